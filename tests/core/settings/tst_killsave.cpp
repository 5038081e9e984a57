#include "KillSaveContents.h"
#include "testing/FileBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

// How long the helper takes to start and to save once, so that the kills can be
// spread over a whole save.
struct HelperPace {
    qint64 firstSaveUs = 0;
    qint64 saveUs = 0;
};

} // namespace

// A process killed in the middle of saving leaves settings.dat and domains.dat each
// either as before or as after that save: never cut short, never gone once written.
class TestKillSave : public QObject {
    Q_OBJECT
    QByteArray settings_[2];
    QByteArray domains_[2];
    HelperPace pace_;

private slots:
    void initTestCase() {
        QTemporaryDir scratch;
        for (const bool b : {false, true}) {
            SettingsStore store(scratch.path());
            test::killSaveSettings(store, b);
            QVERIFY(store.WriteSettings(test::killSaveFields(b)).ok);
            settings_[b] = readAll(store.settingsPath());
            domains_[b] = readAll(store.domainsPath());
        }
        QVERIFY(settings_[0] != settings_[1] && domains_[0] != domains_[1]);

        QProcess helper;
        QElapsedTimer clock;
        clock.start();
        helper.start(QStringLiteral(KILLSAVE_HELPER), {scratch.path()});
        QVERIFY(helper.waitForReadyRead(10000));
        pace_.firstSaveUs = clock.nsecsElapsed() / 1000;
        const qint64 firstAt = clock.nsecsElapsed();
        qint64 saves = helper.readAll().size();
        while (saves < 40 && helper.waitForReadyRead(10000))
            saves += helper.readAll().size();
        pace_.saveUs = std::max<qint64>(1, (clock.nsecsElapsed() - firstAt) / 1000 / saves);
        helper.kill();
        QVERIFY(helper.waitForFinished(10000));
        qInfo("helper: first save after %lld us, then one save every %lld us", pace_.firstSaveUs,
              pace_.saveUs);
    }

    void killedSaveLeavesOldOrNew_data() {
        QTest::addColumn<int>("kills");
        QTest::addColumn<bool>("emptyFolder");
        QTest::newRow("over earlier files") << 1000 << false;
        QTest::newRow("first save into an empty folder") << 200 << true;
    }
    void killedSaveLeavesOldOrNew() {
        QFETCH(int, kills);
        QFETCH(bool, emptyFolder);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString folder = dir.path();
        if (!emptyFolder) {
            SettingsStore store(folder);
            test::killSaveSettings(store, false);
            QVERIFY(store.WriteSettings(test::killSaveFields(false)).ok);
        }

        QRandomGenerator random(20240607u + uint(kills));
        int outcomes[3][3] = {}; // settings.dat, domains.dat: missing, A, B
        int strayTemporaries = 0;
        for (int i = 0; i < kills; ++i) {
            if (emptyFolder) {
                folder = dir.filePath(QString::number(i));
                QVERIFY(QDir().mkdir(folder));
            }
            QProcess helper;
            helper.start(QStringLiteral(KILLSAVE_HELPER), {folder});
            QVERIFY2(helper.waitForStarted(10000), qPrintable(helper.errorString()));
            // Three kills in four come after the first save went through, anywhere in
            // the two saves that follow; the others anywhere from the start on.
            const bool afterFirstSave = i % 4 != 0;
            qint64 delayUs = random.bounded(2 * pace_.saveUs + 1);
            if (afterFirstSave)
                QVERIFY2(helper.waitForReadyRead(10000), "the helper saved nothing");
            else
                delayUs = random.bounded(pace_.firstSaveUs + 2 * pace_.saveUs + 1);
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            helper.kill();
            QVERIFY(helper.waitForFinished(10000));
            QVERIFY2(helper.exitStatus() == QProcess::CrashExit,
                     helper.readAllStandardError()
                         .prepend("the helper stopped on its own: ")
                         .constData());

            const bool written = !emptyFolder || afterFirstSave;
            const QString paths[2] = {QDir(folder).filePath(u"settings.dat"_s),
                                      QDir(folder).filePath(u"domains.dat"_s)};
            const QByteArray* choices[2] = {settings_, domains_}; // old (A), new (B)
            int state[2] = {};
            for (int f = 0; f < 2; ++f) {
                if (!QFileInfo::exists(paths[f])) {
                    QVERIFY2(!written,
                             qPrintable(paths[f] + u" is gone after kill "_s + QString::number(i)));
                    continue;
                }
                const QByteArray bytes = readAll(paths[f]);
                QVERIFY2(bytes == choices[f][0] || bytes == choices[f][1],
                         qPrintable(QStringLiteral("%1 holds %2 bytes that are neither the "
                                                   "old nor the new content after kill %3")
                                        .arg(paths[f])
                                        .arg(bytes.size())
                                        .arg(i)));
                state[f] = bytes == choices[f][0] ? 1 : 2;
            }
            ++outcomes[state[0]][state[1]];

            // A temporary file left by the kill holds the password: it must be the
            // owner's alone, and the next start-up clears it.
            const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
            for (const QFileInfo& entry : entries) {
                if (entry.fileName() == u"settings.dat"_s || entry.fileName() == u"domains.dat"_s ||
                    entry.fileName() == u"drovane.lock"_s)
                    continue;
                QCOMPARE(entry.permissions() & ~(QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ReadUser | QFile::WriteUser),
                         QFile::Permissions());
                ++strayTemporaries;
            }
            SettingsStore(folder).removeStaleSaves();
            QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).size() <= 3); // + the lock
        }
        qInfo("%d kills; settings.dat/domains.dat A/A %d, A/B %d, B/A %d, B/B %d, "
              "missing %d; %d temporary files left by kills",
              kills, outcomes[1][1], outcomes[1][2], outcomes[2][1], outcomes[2][2],
              kills - outcomes[1][1] - outcomes[1][2] - outcomes[2][1] - outcomes[2][2],
              strayTemporaries);
        // The kills landed on both contents, so they were spread over whole saves.
        QVERIFY(outcomes[1][1] > 0);
        QVERIFY(outcomes[2][2] > 0);
    }
};

QTEST_GUILESS_MAIN(TestKillSave)
#include "tst_killsave.moc"
