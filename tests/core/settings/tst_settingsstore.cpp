#include "core/settings/SettingNames.h"
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
using namespace Qt::StringLiterals;

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
    // options.ini: a word meant as "no" must never be read as "yes".
    void optionsFile_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("read"); // secure, test-environment, buy-at-once as 0/1
        QTest::addColumn<int>("notices");  // -1: not an INI file
        QTest::newRow("as written") << QByteArray("[General]\nsecure=false\ntest-environment=true\n"
                                                  "buy-at-once=true\n")
                                    << "011" << 0;
        QTest::newRow("1 and 0, any case, no section")
            << QByteArray("secure=0\nTest-Environment=1\nbuy-at-once=TRUE\n") << "001" << 0;
        QTest::newRow("words that are not true or false keep the defaults")
            << QByteArray("[General]\nsecure=maybe\ntest-environment=no\nbuy-at-once=off\n")
            << "100" << 3;
        QTest::newRow("other sections are not ours")
            << QByteArray("[Other]\nsecure=false\n[General]\nbuy-at-once=1\n") << "101" << 0;
        QTest::newRow("random bytes") << QByteArray("\x01\xff\xfe garbage\0", 12) << "" << -1;
        QTest::newRow("a line that is no key") << QByteArray("secure=true\nhello\n") << "" << -1;
    }
    void optionsFile() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, read);
        QFETCH(int, notices);
        const OptionsRead r = parseOptions(ini);
        if (notices < 0) {
            QCOMPARE(r.status, FileRead::Failed);
            QVERIFY2(r.error.startsWith(u"it is not an INI file"_s), qPrintable(r.error));
            return;
        }
        QCOMPARE(r.status, FileRead::Read);
        const QString got = u"%1%2%3"_s.arg(r.options.secure)
                                .arg(r.options.testEnvironment)
                                .arg(r.options.buyAtOnce);
        QCOMPARE(got, read);
        QCOMPARE(r.notices.size(), notices);
    }

    void settingValues_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("problem");
        QTest::newRow("Western letters") << QString::fromUtf8("M\xc3\xbcller & S\xc3\xb8n") << "";
        QTest::newRow("undecodable bytes") << QString::fromUtf8("M\xfcller") << "UTF-8";
        QTest::newRow("line break") << "a\nb"
                                    << "control";
        QTest::newRow("NUL") << u"a"_s + QChar(0) + u"b"_s << "control";
        QTest::newRow("not in the code page")
            << QStringLiteral(u"\u0141\u00f3d\u017a") << "cannot keep";
        QTest::newRow("255 characters") << QString(255, u'x') << "";
        QTest::newRow("256 characters") << QString(256, u'x') << "longer";
    }
    void settingValues() {
        QFETCH(QString, value);
        QFETCH(QString, problem);
        const QString found = settingValueProblem(value);
        QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.contains(problem), qPrintable(found));
    }

    void readsWhatItWrote() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        store.setSettings(Setting::FirstName, QStringLiteral("Jane"));
        QVERIFY(store.WriteSettings(someFields()).ok);
        QCOMPARE(readAll(store.settingsPath()), encodeSettings(store.all()));
        QCOMPARE(readAll(store.domainsPath()), QByteArray("a.com, b.com\r\nc.org\r\n"));

        SettingsStore again(dir.path());
        again.GetSettings();
        QCOMPARE(again.all(), store.all());
        const QStringList taken = {
            again.Settings(Setting::Username),  again.Settings(Setting::Password),
            again.Settings(Setting::Logging),   again.Settings(Setting::StartImmediately),
            again.Settings(Setting::StartTime), again.Settings(Setting::NameServers)};
        QCOMPARE(taken, QStringList({u"reseller"_s, u"p&ss w\u00f6rd"_s, u"1"_s, u"1"_s,
                                     u"10:30 PM"_s, u"0"_s}));
        QCOMPARE(again.readDomains(), u"a.com\r\nb.com\r\nc.org"_s);
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
            store.setSettings(Setting(k), QStringLiteral("old"));
        if (kind == u"folder"_s)
            QVERIFY(QDir(dir.path()).mkdir(u"settings.dat"_s));
        if (kind == u"empty"_s)
            QVERIFY(writeAll(store.settingsPath(), {}));
        store.GetSettings();
        for (int k = 1; k <= kSettingCount; ++k)
            QCOMPARE(store.Settings(Setting(k)), expected);
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
        QVERIFY(writeAll(dir.filePath(u"file"_s), "x"));
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
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
        QVERIFY(QFile::link(QStringLiteral("/usr/bin"), dir.filePath(u"bin"_s)));
        QVERIFY(QDir(dir.path()).mkdir(u"usrlocal"_s));
        folder.replace(QLatin1Char('@'), dir.path());
        QCOMPARE(dataFolder(folder) == folder, used);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
