// The window and drovane-cli, given the same files, send the same bytes and log the
// same lines: the server runner is the same engine, not a second one.

#include "CliProcess.h"
#include "core/platform/QtPlatform.h"
#include "core/run/RunController.h"
#include "core/settings/LegalTypes.h"
#include "core/settings/SettingsStore.h"
#include "desktop/frmMain.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"
#include "testing/ScriptedPrompter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int kPerSlot = 3;
// As the list deals them: lines 1 and 3 to slot 1, lines 2 and 4 to slot 2.
const QStringList kSlot1{u"free.org"_s, u"free.co.uk"_s};

LoopbackRegistrar::Answer answerFor(const QByteArray& request) {
    const QString what = requested(request).toUpper();
    if (what.startsWith(u"PURCHASE"_s))
        return {{orderReply()}};
    return {{checkReply(what.contains(u"FREE"_s) ? "210" : "211")}};
}

// The first requests (or log lines) of each slot, told apart by the names they carry.
QList<QByteArray> perSlot(const QList<QByteArray>& items) {
    QList<QByteArray> slot1, slot2;
    for (const QByteArray& item : items) {
        const bool first = std::any_of(kSlot1.begin(), kSlot1.end(), [&](const QString& name) {
            return item.contains(name.section(u'.', 0, 0).toLatin1() +
                                 "&tld=" + name.section(u'.', 1).toLatin1()) ||
                   item.contains(" - " + name.toLatin1() + " - ");
        });
        (first ? slot1 : slot2).append(item);
    }
    return slot1.mid(0, kPerSlot) + QList<QByteArray>{"--"} + slot2.mid(0, kPerSlot);
}

// The log without its timestamps, which differ by the moment each run started.
QList<QByteArray> logLines(const QString& folder) {
    QFile log(QDir(folder).filePath(u"enomlog.txt"_s));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines;
    for (const QByteArray& line : log.readAll().split('\n'))
        if (!line.isEmpty())
            lines.append(line.mid(line.indexOf(" - ")));
    return lines;
}

QByteArray fileBytes(const QString& folder, const char* name) {
    QFile file(QDir(folder).filePath(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool enough(const QList<QByteArray>& items) {
    const QList<QByteArray> split = perSlot(items);
    return split.indexOf("--") >= kPerSlot && split.size() - split.indexOf("--") - 1 >= kPerSlot;
}

// Each slot has sent its requests and logged their replies.
bool enough(const LoopbackRegistrar& registrar, const QString& folder) {
    return enough(registrar.requests) && enough(logLines(folder));
}

} // namespace

class tst_samerequests : public QObject {
    Q_OBJECT
private slots:
    void windowAndServerRunnerSendAndLogTheSame() {
        QTemporaryDir root;
        const QString cliFolder = root.filePath(u"cli"_s);
        const QString windowFolder = root.filePath(u"window"_s);
        QDir().mkpath(cliFolder);
        // Registrant details, name servers and a legal type, so purchases carry them all;
        // a list with an empty line, which a start cleans away.
        for (const QStringList& set : QList<QStringList>{{u"username"_s, u"reseller"_s},
                                                         {u"interval"_s, u"1"_s},
                                                         {u"logging"_s, u"true"_s},
                                                         {u"first-name"_s, u"Ann"_s},
                                                         {u"last-name"_s, u"Smith"_s},
                                                         {u"phone"_s, u"+44.2071234567"_s},
                                                         {u"address"_s, u"1 High Street"_s},
                                                         {u"city"_s, u"London"_s},
                                                         {u"country"_s, u"GB"_s},
                                                         {u"email"_s, u"ann@example.org"_s},
                                                         {u"ns1"_s, u"ns1.example.net"_s},
                                                         {u"ns2"_s, u"ns2.example.net"_s},
                                                         {u"custom-nameservers"_s, u"true"_s},
                                                         {u"legal-type"_s, u"LTD"_s},
                                                         {u"secure"_s, u"false"_s}})
            QCOMPARE(CliProcess::run(cliFolder, QStringList{u"settings"_s, u"set"_s} + set), 0);
        QCOMPARE(
            CliProcess::run(cliFolder, {u"settings"_s, u"set"_s, u"password"_s}, "p&ss word\n"), 0);
        {
            QFile list(QDir(cliFolder).filePath(u"domains.dat"_s));
            QVERIFY(list.open(QIODevice::WriteOnly));
            list.write("free.org\r\n\r\ntaken.com\r\nfree.co.uk\r\ntaken.net\r\n");
        }
        for (const QString& name : {u"settings.dat"_s, u"domains.dat"_s, u"options.ini"_s})
            if (QFile::exists(QDir(cliFolder).filePath(name))) {
                QDir().mkpath(windowFolder);
                QVERIFY(
                    QFile::copy(QDir(cliFolder).filePath(name), QDir(windowFolder).filePath(name)));
            }

        LoopbackRegistrar cliRegistrar;
        cliRegistrar.answer = answerFor;
        CliProcess cli(cliFolder);
        cli.start({u"run"_s, u"--registrar"_s, u"127.0.0.1:%1"_s.arg(cliRegistrar.port())});
        QVERIFY2(cli.waitFor([&] { return enough(cliRegistrar, cliFolder); }), cli.err.constData());
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);

        // The window's own fields, loaded from its files, drive the engine; only the
        // registrar's port differs, which is not part of a request.
        LoopbackRegistrar windowRegistrar;
        windowRegistrar.answer = answerFor;
        {
            SettingsStore store(windowFolder);
            store.GetSettings();
            QStringList colLegalTypes;
            FillLegalTypes(colLegalTypes);
            QtPlatform platform;
            ScriptedPrompter prompter;
            frmMain window(store, platform, prompter, colLegalTypes, u"127.0.0.1"_s, {});
            RunController run(store, platform, prompter, window, u"127.0.0.1"_s,
                              EndpointOverride{u"127.0.0.1"_s, windowRegistrar.port()});
            run.DoStart();
            QVERIFY(run.isRunning());
            QTRY_VERIFY_WITH_TIMEOUT(enough(windowRegistrar, windowFolder), 15000);
            run.halt();
        }

        QCOMPARE(perSlot(cliRegistrar.requests), perSlot(windowRegistrar.requests));
        QVERIFY(cliRegistrar.requests.join().contains("PURCHASE") ||
                cliRegistrar.requests.join().contains("purchase"));
        QCOMPARE(perSlot(logLines(cliFolder)), perSlot(logLines(windowFolder)));
        // Both saved the same files at the start.
        for (const char* name : {"settings.dat", "domains.dat"})
            QCOMPARE(fileBytes(cliFolder, name), fileBytes(windowFolder, name));
    }
};

QTEST_MAIN(tst_samerequests)
#include "tst_samerequests.moc"
