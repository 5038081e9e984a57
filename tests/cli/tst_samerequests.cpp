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

namespace {

constexpr int kPerSlot = 3;
// As the list deals them: lines 1 and 3 to slot 1, lines 2 and 4 to slot 2.
const QStringList kSlot1{"free.org", "free.co.uk"};

LoopbackRegistrar::Answer answerFor(const QByteArray& request) {
    const QString what = requested(request).toUpper();
    if (what.startsWith("PURCHASE"))
        return {{orderReply()}};
    return {{checkReply(what.contains("FREE") ? "210" : "211")}};
}

// The first requests (or log lines) of each slot, told apart by the names they carry.
QList<QByteArray> perSlot(const QList<QByteArray>& items) {
    QList<QByteArray> slot1, slot2;
    for (const QByteArray& item : items) {
        const bool first = std::any_of(kSlot1.begin(), kSlot1.end(), [&](const QString& name) {
            return item.contains(name.section('.', 0, 0).toLatin1() +
                                 "&tld=" + name.section('.', 1).toLatin1()) ||
                   item.contains(" - " + name.toLatin1() + " - ");
        });
        (first ? slot1 : slot2).append(item);
    }
    return slot1.mid(0, kPerSlot) + QList<QByteArray>{"--"} + slot2.mid(0, kPerSlot);
}

// The log without its timestamps, which differ by the moment each run started.
QList<QByteArray> logLines(const QString& folder) {
    QFile log(QDir(folder).filePath("enomlog.txt"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines;
    for (const QByteArray& line : log.readAll().split('\n'))
        if (!line.isEmpty())
            lines.append(line.mid(line.indexOf(" - ")));
    return lines;
}

QByteArray fileBytes(const QString& folder, const char* name) {
    QFile file(QDir(folder).filePath(name));
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
        const QString cliFolder = root.filePath("cli");
        const QString windowFolder = root.filePath("window");
        QDir().mkpath(cliFolder);
        // Registrant details, name servers and a legal type, so purchases carry them all;
        // a list with an empty line, which a start cleans away.
        for (const QStringList& set : QList<QStringList>{{"username", "reseller"},
                                                         {"interval", "1"},
                                                         {"logging", "true"},
                                                         {"first-name", "Ann"},
                                                         {"last-name", "Smith"},
                                                         {"phone", "+44.2071234567"},
                                                         {"address", "1 High Street"},
                                                         {"city", "London"},
                                                         {"country", "GB"},
                                                         {"email", "ann@example.org"},
                                                         {"ns1", "ns1.example.net"},
                                                         {"ns2", "ns2.example.net"},
                                                         {"custom-nameservers", "true"},
                                                         {"legal-type", "LTD"},
                                                         {"secure", "false"}})
            QCOMPARE(CliProcess::run(cliFolder, QStringList{"settings", "set"} + set), 0);
        QCOMPARE(CliProcess::run(cliFolder, {"settings", "set", "password"}, "p&ss word\n"), 0);
        {
            QFile list(QDir(cliFolder).filePath("domains.dat"));
            QVERIFY(list.open(QIODevice::WriteOnly));
            list.write("free.org\r\n\r\ntaken.com\r\nfree.co.uk\r\ntaken.net\r\n");
        }
        for (const char* name : {"settings.dat", "domains.dat", "options.ini"})
            if (QFile::exists(QDir(cliFolder).filePath(name))) {
                QDir().mkpath(windowFolder);
                QVERIFY(
                    QFile::copy(QDir(cliFolder).filePath(name), QDir(windowFolder).filePath(name)));
            }

        LoopbackRegistrar cliRegistrar;
        cliRegistrar.answer = answerFor;
        CliProcess cli(cliFolder);
        cli.start({"run", "--registrar", QString("127.0.0.1:%1").arg(cliRegistrar.port())});
        QVERIFY2(cli.waitFor([&] { return enough(cliRegistrar, cliFolder); }), cli.err);
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
            frmMain window(store, platform, prompter, colLegalTypes, "127.0.0.1", {});
            RunController run(store, platform, prompter, window, "127.0.0.1",
                              EndpointOverride{"127.0.0.1", windowRegistrar.port()});
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
