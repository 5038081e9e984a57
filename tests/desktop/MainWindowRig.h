#pragma once

// The main window on a store in a fresh folder, with every message box answered: the rig
// the window's tests share.

#include "core/settings/LegalTypes.h"
#include "core/settings/SettingsStore.h"
#include "desktop/frmMain.h"
#include "testing/ScriptedPrompter.h"
#include "testing/SimPlatform.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace drovane::test {

using namespace Qt::StringLiterals;

// settings.dat written by hand from "k=value" entries: settings 1..20, each behind five
// zero bytes, the byte 01 for an empty one, a last separator and CR LF.
inline QByteArray settingsBytes(const QList<QByteArray>& entries) {
    QByteArray values[21];
    for (const QByteArray& e : entries)
        values[e.left(e.indexOf('=')).toInt()] = e.mid(e.indexOf('=') + 1);
    const QByteArray separator(5, '\0');
    QByteArray bytes;
    for (int k = 1; k <= 20; ++k)
        bytes += separator + (values[k].isEmpty() ? QByteArray("\x01") : values[k]);
    return bytes + separator + "\r\n";
}

struct Rig {
    QTemporaryDir dir;
    SettingsStore store{dir.path()};
    SimPlatform platform;
    ScriptedPrompter prompter;
    QStringList colLegalTypes;
    int programEnded = 0;
    std::unique_ptr<frmMain> window;

    explicit Rig(const QByteArray& settings = {}, const QByteArray& domains = {},
                 Keyring* keyring = nullptr, QList<bool> answers = {}) {
        FillLegalTypes(colLegalTypes);
        if (!settings.isEmpty())
            write(u"settings.dat"_s, settings);
        if (!domains.isEmpty())
            write(u"domains.dat"_s, domains);
        prompter.answers = answers;
        store.setKeyring(keyring);
        store.GetSettings();
        window =
            std::make_unique<frmMain>(store, platform, prompter, colLegalTypes,
                                      QStringLiteral("registrar.test"), [this] { ++programEnded; });
        window->show();
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QByteArray read(const QString& name) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    template <class T = QWidget> T* get(const char* name) {
        T* control = window->findChild<T*>(QLatin1String(name));
        if (!control)
            qFatal("no control %s", name);
        return control;
    }
    QLineEdit* box(const char* name) { return get<QLineEdit>(name); }
    bool checked(const char* name) { return get<QCheckBox>(name)->isChecked(); }
    void click(const char* name) { QTest::mouseClick(get(name), Qt::LeftButton); }
    int shown(const QString& kind) const {
        return int(std::count_if(prompter.shown.begin(), prompter.shown.end(),
                                 [&](const auto& s) { return s.kind == kind; }));
    }
};

} // namespace drovane::test
