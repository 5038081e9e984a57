#include "PermissionsBindRoot.h"
#include "core/model/HandleError.h"
#include "core/settings/SettingsStore.h"
#include "testing/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;
using drovane::test::PermissionsBindRoot;

namespace {

// What a failed save must leave exactly as it was: every entry of the folder, files by
// their bytes, folders by their kind.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> entries;
    const QFileInfoList infos =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : infos)
        entries[info.fileName()] = info.isDir() ? QByteArray("<folder>") : readAll(info.filePath());
    return entries;
}

MainFields fieldsA() {
    MainFields f;
    f.username = QStringLiteral("reseller");
    f.password = QStringLiteral("old secret");
    f.delayTime = QStringLiteral("5");
    f.domains = QStringLiteral("a.com\r\nb.co.uk");
    return f;
}

// Bigger than a page and than settings.dat, so that a disk can hold the new settings.dat
// but not the new domains.dat.
MainFields fieldsB() {
    MainFields f = fieldsA();
    f.password = QStringLiteral("new secret");
    f.logging = 1;
    QStringList names;
    for (int i = 0; i < 2000; ++i)
        names << QStringLiteral("name%1.com").arg(i);
    f.domains = names.join(QStringLiteral("\r\n"));
    return f;
}

// A failure a save runs into; it is lifted when the object goes.
class Fault {
public:
    virtual ~Fault() = default;
};

class ReadOnlyFolder : public Fault {
public:
    explicit ReadOnlyFolder(const QString& folder) : folder_(folder) {
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner);
        binding_ = std::make_unique<PermissionsBindRoot>();
    }
    ~ReadOnlyFolder() override {
        binding_.reset();
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString folder_;
    std::unique_ptr<PermissionsBindRoot> binding_;
};

// Mounts made here live in a mount namespace of this process alone: nobody else sees
// them and they vanish with the process, even if it dies half-way.
bool privateMounts() {
    static const bool ok = ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return ok;
}

class Mounted {
public:
    Mounted(const QString& path, bool ok) : path_(QFile::encodeName(path)), ok_(ok) {}
    ~Mounted() {
        if (ok_)
            ::umount2(path_.constData(), MNT_DETACH);
    }
    bool ok() const { return ok_; }
    Mounted(const Mounted&) = delete;
    Mounted& operator=(const Mounted&) = delete;

private:
    QByteArray path_;
    bool ok_;
};

std::unique_ptr<Mounted> mountTmpfs(const QString& path, int kilobytes) {
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0700";
    const bool ok = privateMounts() && ::mount("tmpfs", QFile::encodeName(path).constData(),
                                               "tmpfs", MS_NOSUID | MS_NODEV, options.data()) == 0;
    return std::make_unique<Mounted>(path, ok);
}

class ReadOnlyMount : public Fault {
public:
    explicit ReadOnlyMount(const QString& folder) {
        const QByteArray path = QFile::encodeName(folder);
        const bool bound = privateMounts() && ::mount(path.constData(), path.constData(), nullptr,
                                                      MS_BIND, nullptr) == 0;
        mount_ = std::make_unique<Mounted>(folder, bound);
        ok_ = bound && ::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                               nullptr) == 0;
    }
    bool ok() const { return ok_; }

private:
    std::unique_ptr<Mounted> mount_;
    bool ok_ = false;
};

// Fills the file system of `filler` until no more than `leaveKb` kilobytes are free.
class DiskFull : public Fault {
public:
    DiskFull(const QString& filler, int leaveKb) : path_(QFile::encodeName(filler)) {
        const int fd = ::open(path_.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0)
            return;
        const QByteArray page(4096, 'x');
        off_t size = 0;
        while (::write(fd, page.constData(), page.size()) == page.size())
            size += page.size();
        ok_ = errno == ENOSPC && ::ftruncate(fd, std::max<off_t>(0, size - leaveKb * 1024)) == 0;
        ::close(fd);
    }
    ~DiskFull() override { ::unlink(path_.constData()); }
    bool ok() const { return ok_; }

private:
    QByteArray path_;
    bool ok_ = false;
};

// Writes past `bytes` fail with EFBIG, as on a full disk, for root as well; works
// wherever the test runs, with no mount.
class FileSizeLimit : public Fault {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() override {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// A folder standing where a file is to be replaced.
class FolderInPlace : public Fault {
public:
    explicit FolderInPlace(const QString& path) : path_(path) {
        QFile::remove(path_);
        QDir().mkpath(QDir(path_).filePath(u"inside"_s));
    }
    ~FolderInPlace() override { QDir(path_).removeRecursively(); }

private:
    QString path_;
};

// A link to another file standing where a file is to be replaced: the save must
// neither write through it nor replace it.
class LinkInPlace : public Fault {
public:
    LinkInPlace(const QString& path, const QString& target) : path_(path) {
        QFile::remove(path_);
        QFile::link(target, path_);
    }
    ~LinkInPlace() override { QFile::remove(path_); }

private:
    QString path_;
};

} // namespace

// A save that fails, for whatever reason, says why and leaves settings.dat and
// domains.dat exactly as they were: never the new settings with the old list, never a
// stray temporary file holding the password.
class TestSaveFaults : public QObject {
    Q_OBJECT
    QByteArray settingsB_;
    QByteArray domainsB_;

private slots:
    void initTestCase() {
        QTemporaryDir scratch;
        SettingsStore store(scratch.path());
        QVERIFY(store.WriteSettings(fieldsB()).ok);
        settingsB_ = readAll(store.settingsPath());
        domainsB_ = readAll(store.domainsPath());
        QVERIFY(settingsB_.size() < 4096);
        QVERIFY(domainsB_.size() > 3 * 4096);
    }

    void failedSaveChangesNothing_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("onTmpfs");
        QTest::newRow("read-only folder") << "read-only folder" << false;
        QTest::newRow("read-only file system") << "read-only mount" << false;
        QTest::newRow("full disk") << "disk full" << true;
        QTest::newRow("disk fills after settings.dat") << "disk nearly full" << true;
        QTest::newRow("write limit after settings.dat") << "limit 4096" << false;
        QTest::newRow("settings.dat is a folder") << "settings.dat folder" << false;
        QTest::newRow("domains.dat is a folder") << "domains.dat folder" << false;
        QTest::newRow("settings.dat links to another file") << "settings.dat link" << false;
    }
    void failedSaveChangesNothing() {
        QFETCH(QString, fault);
        QFETCH(bool, onTmpfs);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString mountPoint = dir.filePath(u"disk"_s);
        QVERIFY(QDir().mkdir(mountPoint));
        std::unique_ptr<Mounted> disk;
        if (onTmpfs) {
            disk = mountTmpfs(mountPoint, 64);
            if (!disk->ok())
                QSKIP("no tmpfs can be mounted here; the write-limit rows stand in");
        }
        const QString folder = QDir(mountPoint).filePath(u"data"_s);
        QVERIFY(QDir().mkdir(folder));
        SettingsStore store(folder);
        QVERIFY(store.WriteSettings(fieldsA()).ok);

        std::unique_ptr<Fault> cause;
        if (fault == u"read-only folder"_s) {
            cause = std::make_unique<ReadOnlyFolder>(folder);
            QVERIFY2(!QFile(QDir(folder).filePath(u"probe"_s)).open(QIODevice::WriteOnly),
                     "the folder is still writable");
        } else if (fault == u"read-only mount"_s) {
            auto readOnly = std::make_unique<ReadOnlyMount>(folder);
            if (!readOnly->ok())
                QSKIP("no bind mount here; the read-only folder row stands in");
            cause = std::move(readOnly);
        } else if (fault.startsWith(u"disk"_s)) {
            auto full = std::make_unique<DiskFull>(QDir(mountPoint).filePath(u"filler"_s),
                                                   fault == u"disk full"_s ? 0 : 4);
            QVERIFY(full->ok());
            cause = std::move(full);
        } else if (fault.startsWith(u"limit "_s)) {
            cause = std::make_unique<FileSizeLimit>(fault.mid(6).toULongLong());
        } else if (fault.endsWith(u" link"_s)) {
            const QString target = dir.filePath(u"another file"_s);
            QFile other(target);
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write("another file") > 0);
            other.close();
            cause = std::make_unique<LinkInPlace>(QDir(folder).filePath(fault.section(u' ', 0, 0)),
                                                  target);
        } else {
            cause =
                std::make_unique<FolderInPlace>(QDir(folder).filePath(fault.section(u' ', 0, 0)));
        }

        const QMap<QString, QByteArray> before = snapshot(folder);
        const int errorsBefore = handledErrorCount();
        const SaveResult result = store.WriteSettings(fieldsB());
        const QMap<QString, QByteArray> after = snapshot(folder);
        cause.reset();

        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QVERIFY2(!result.error.contains(u"Unknown error"_s), qPrintable(result.error));
        QCOMPARE(handledErrorCount(), errorsBefore + 1);
        QCOMPARE(after.keys(), before.keys());
        QVERIFY2(after == before, "a failed save changed a file");

        // Once the fault is gone the same save goes through.
        QVERIFY(store.WriteSettings(fieldsB()).ok);
        QCOMPARE(readAll(store.settingsPath()), settingsB_);
        QCOMPARE(readAll(store.domainsPath()), domainsB_);
    }
};

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
