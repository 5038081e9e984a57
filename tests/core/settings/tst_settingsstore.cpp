#include "core/settings/SettingsStore.h"
#include "testing/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace drovane;
using namespace drovane::test;

namespace {

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

MainFields someFields() {
    MainFields f;
    f.username = QStringLiteral("reseller");
    f.password = QStringLiteral("p&ss w\u00f6rd");
    f.logging = 1;
    f.nameServers = 0;
    f.startImmediately = 1;
    f.startTime = QStringLiteral("10:30 PM");
    f.domains = QStringLiteral("a.com, b.com\r\nc.org");
    return f;
}

} // namespace

// The two files on disk: tolerance and atomic saving are what keep the user's data.
class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void readsWhatItWrote() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        store.setSettings(6, QStringLiteral("Jane"));
        QVERIFY(store.WriteSettings(someFields()).ok);
        QCOMPARE(readAll(store.settingsPath()), encodeSettings(store.all()));
        QCOMPARE(readAll(store.domainsPath()), QByteArray("a.com, b.com\r\nc.org\r\n"));

        SettingsStore again(dir.path());
        again.GetSettings();
        QCOMPARE(again.all(), store.all());
        const QStringList taken = {again.Settings(2),  again.Settings(3),  again.Settings(4),
                                   again.Settings(13), again.Settings(14), again.Settings(16)};
        QCOMPARE(taken, QStringList({"reseller", "p&ss w\u00f6rd", "1", "1", "10:30 PM", "0"}));
        QCOMPARE(again.readDomains(), QString("a.com\r\nb.com\r\nc.org"));
    }

    void getSettingsWithoutAFile_data() {
        QTest::addColumn<QString>("kind"); // what lies at settings.dat
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing file empties all") << "missing"
                                                  << "";
        QTest::newRow("a folder counts as missing") << "folder"
                                                    << "";
        QTest::newRow("empty file changes nothing") << "empty"
                                                    << "old";
    }
    void getSettingsWithoutAFile() {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        for (int k = 1; k <= kSettingCount; ++k)
            store.setSettings(k, QStringLiteral("old"));
        if (kind == "folder")
            QVERIFY(QDir(dir.path()).mkdir("settings.dat"));
        if (kind == "empty")
            QVERIFY(writeAll(store.settingsPath(), {}));
        store.GetSettings();
        for (int k = 1; k <= kSettingCount; ++k)
            QCOMPARE(store.Settings(k), expected);
    }

    void savedFilesAreOwnerOnly() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        // An old world-readable file must not pass its mode on.
        QVERIFY(writeAll(store.settingsPath(), "old"));
        QVERIFY(QFile::setPermissions(store.settingsPath(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QVERIFY(store.WriteSettings(someFields()).ok);
        QCOMPARE(modeOf(store.settingsPath()), 0600);
        QCOMPARE(modeOf(store.domainsPath()), 0600);
    }

    void fileExists_data() {
        QTest::addColumn<QString>("name"); // in a folder holding "file" and "folder"
        QTest::addColumn<bool>("exists");
        QTest::newRow("ordinary file") << "file" << true;
        QTest::newRow("directory") << "folder" << false;
        QTest::newRow("missing") << "nothing" << false;
        QTest::newRow("empty path") << "" << false;
    }
    void fileExists() {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        QVERIFY(writeAll(dir.filePath("file"), "x"));
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QCOMPARE(FileExists(name.isEmpty() ? QString() : dir.filePath(name)), exists);
    }

    // Root may write to /usr/bin; an installed program must still keep its files per user.
    void dataFolderAvoidsSystemFolders_data() {
        QTest::addColumn<QString>("folder"); // "@" stands for a private temporary folder
        QTest::addColumn<bool>("used");
        QTest::newRow("private folder") << "@" << true;
        QTest::newRow("/usr/bin") << "/usr/bin" << false;
        QTest::newRow("/usr/local/bin") << "/usr/local/bin" << false;
        QTest::newRow("/bin") << "/bin" << false;
        QTest::newRow("link to /usr/bin") << "@/bin" << false;
        QTest::newRow("/usrlocal is not /usr") << "@/usrlocal" << true;
    }
    void dataFolderAvoidsSystemFolders() {
        QFETCH(QString, folder);
        QFETCH(bool, used);
        QStandardPaths::setTestModeEnabled(true);
        QTemporaryDir dir;
        QVERIFY(QFile::link(QStringLiteral("/usr/bin"), dir.filePath("bin")));
        QVERIFY(QDir(dir.path()).mkdir("usrlocal"));
        folder.replace(QLatin1Char('@'), dir.path());
        QCOMPARE(dataFolder(folder) == folder, used);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
