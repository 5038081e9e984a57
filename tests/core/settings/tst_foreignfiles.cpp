#include "PermissionsBindRoot.h"
#include "core/settings/SettingsStore.h"
#include "testing/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

// What lies at a path, without following a link: its kind, a link's target, a file's bytes.
QByteArray describe(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink())
        return "link to " + QFile::encodeName(info.symLinkTarget());
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return "nothing";
    if (S_ISFIFO(st.st_mode))
        return "fifo";
    if (S_ISDIR(st.st_mode))
        return "folder";
    return "file " + readAll(path);
}

} // namespace

// Files in the program's folder that are not what a save makes: links, FIFOs, folders,
// unreadable files, other people's files. The program reads none of them and never
// writes through or over them.
class TestForeignFiles : public QObject {
    Q_OBJECT
private slots:
    void notReadNeverReplaced_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("settings.dat links to a file") << "settings.dat"
                                                      << "link"
                                                      << "symbolic link";
        QTest::newRow("domains.dat links nowhere") << "domains.dat"
                                                   << "dangling"
                                                   << "symbolic link";
        QTest::newRow("options.ini links to a file") << "options.ini"
                                                     << "link"
                                                     << "symbolic link";
        QTest::newRow("settings.dat is a FIFO") << "settings.dat"
                                                << "fifo"
                                                << "not a regular file";
        QTest::newRow("domains.dat is a folder") << "domains.dat"
                                                 << "folder"
                                                 << "not a regular file";
        QTest::newRow("settings.dat cannot be read") << "settings.dat"
                                                     << "unreadable"
                                                     << "denied";
    }
    void notReadNeverReplaced() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"data"_s);
        QVERIFY(QDir().mkdir(folder));
        const QString path = QDir(folder).filePath(name);
        const QString target = dir.filePath(u"elsewhere"_s);
        if (kind == u"link"_s) {
            QVERIFY(writeAll(target, "someone else's file"));
            QVERIFY(QFile::link(target, path));
        } else if (kind == u"dangling"_s) {
            QVERIFY(QFile::link(target, path));
        } else if (kind == u"fifo"_s) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == u"folder"_s) {
            QVERIFY(QDir().mkdir(path));
        } else {
            QVERIFY(writeAll(path, "kept"));
            QVERIFY(QFile::setPermissions(path, QFile::Permissions()));
        }
        const QByteArray before = describe(path);
        const QByteArray targetBefore = describe(target);

        SettingsStore store(folder);
        {
            test::PermissionsBindRoot binding; // root's reads fail on a mode-0 file too
            store.GetSettings();
            store.readDomains();
        }
        const QStringList problems = store.loadProblems();
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].contains(name) && problems[0].contains(reason),
                 qPrintable(problems[0]));

        Options changed = store.options();
        changed.buyAtOnce = !changed.buyAtOnce;
        store.setOptions(changed);
        MainFields fields;
        fields.username = QStringLiteral("reseller");
        fields.domains = QStringLiteral("a.com");
        QVERIFY(store.WriteSettings(fields).ok);

        QCOMPARE(describe(path), before);
        QCOMPARE(describe(target), targetBefore);
        // The files that were read are saved as usual.
        for (const char* other : {"settings.dat", "domains.dat", "options.ini"})
            if (name != QLatin1String(other))
                QVERIFY2(describe(QDir(folder).filePath(QLatin1String(other)))
                             .startsWith(QLatin1String("file ")),
                         other);
    }

    void onlyOwnLeftoversAreRemoved() {
        QTemporaryDir dir;
        const QDir folder(dir.path());
        const QStringList kept = {u"settings.dat.backup"_s, u"domains.dat.2024-1"_s,
                                  u"settings.dat.AbC123"_s, u"settings.dat.drovane-save-AbC1234"_s,
                                  u"xsettings.dat.drovane-save-AbC123"_s};
        for (const QString& name : kept)
            QVERIFY(writeAll(folder.filePath(name), "user's"));
        const QStringList removed = {u"settings.dat.drovane-save-AbC123"_s,
                                     u"domains.dat.drovane-save-000000"_s,
                                     u"options.ini.drovane-save-zZzZzZ"_s};
        for (const QString& name : removed)
            QVERIFY(writeAll(folder.filePath(name), "leftover"));
        // Leftover names on what no save makes: a folder, a link.
        QVERIFY(folder.mkdir(u"domains.dat.drovane-save-Folder"_s));
        QVERIFY(QFile::link(folder.filePath(u"settings.dat.backup"_s),
                            folder.filePath(u"settings.dat.drovane-save-Link00"_s)));
        QStringList survivors = kept;
        survivors << u"domains.dat.drovane-save-Folder"_s << u"settings.dat.drovane-save-Link00"_s;
        // Another user's file, where the test may give one away.
        const QString foreign = folder.filePath(u"domains.dat.drovane-save-Theirs"_s);
        QVERIFY(writeAll(foreign, "theirs"));
        if (::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0)
            survivors << u"domains.dat.drovane-save-Theirs"_s; // else it stays ours and goes

        SettingsStore(dir.path()).removeStaleSaves();
        survivors << u"drovane.lock"_s; // what the folder's saves are kept apart by
        QStringList left = folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        left.sort();
        survivors.sort();
        QCOMPARE(left, survivors);
    }

    void folderRule_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("foreign");
        QTest::addColumn<bool>("used");
        QTest::newRow("own, private") << 0700 << false << true;
        QTest::newRow("own, readable by all") << 0755 << false << true;
        QTest::newRow("group may write") << 0770 << false << false;
        QTest::newRow("anyone may write") << 0777 << false << false;
        QTest::newRow("another user's") << 0700 << true << false;
    }
    void folderRule() {
        QFETCH(int, mode);
        QFETCH(bool, foreign);
        QFETCH(bool, used);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path());
        QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
        if (foreign && ::chown(path.constData(), 65534, 65534) != 0)
            QSKIP("only root can give a folder away");
        QCOMPARE(ownPrivateFolder(dir.path()), used);
        ::chown(path.constData(), ::geteuid(), ::getegid());
    }
};

QTEST_GUILESS_MAIN(TestForeignFiles)
#include "tst_foreignfiles.moc"
