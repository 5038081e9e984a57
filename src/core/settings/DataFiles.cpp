#include "DataFiles.h"

#include "core/platform/OwnedFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drovane {
namespace {

QString failure(const QString& path, const QString& reason) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}

// A temporary file beside its target, owner-only from its first byte (it holds the
// password), written and flushed to the disk in full.
struct Staged {
    QString target;
    QByteArray temporary; // native path, empty once renamed or removed

    ~Staged() { discard(); }
    void discard() {
        if (!temporary.isEmpty())
            ::unlink(temporary.constData());
        temporary.clear();
    }
};

QString stage(Staged& file, const QByteArray& bytes) {
    QByteArray name = QFile::encodeName(file.target + QLatin1String(kSaveTag)) + "XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return failure(file.target, systemError(errno));
    file.temporary = name;
    // Everything is on the disk before the old file is replaced, so nothing is left to
    // fail for want of space once it is (a short write reports no error: write on).
    qsizetype done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        file.discard();
        return failure(file.target, systemError(error));
    }
    return QString();
}

// rename() replaces the name itself: a link put in the target's place after the check
// is replaced, never followed.
QString commit(Staged& file) {
    if (::rename(file.temporary.constData(), QFile::encodeName(file.target).constData()) != 0)
        return failure(file.target, systemError(errno));
    file.temporary.clear();
    return QString();
}

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

FileRead readFile(const QString& path) {
    FileRead file;
    switch (readRegularFile(path, &file.bytes, &file.error)) {
    case OwnedRead::Missing:
        file.status = FileRead::Missing;
        break;
    case OwnedRead::Read:
        file.status = FileRead::Read;
        break;
    case OwnedRead::Refused:
        file.status = FileRead::Failed;
        break;
    }
    return file;
}

} // namespace

FileRead FolderFiles::read(const QString& name) const {
    return readFile(QDir(folder_).filePath(name));
}

QString FolderFiles::replace(const QList<NamedBytes>& files) {
    std::vector<Staged> staged(size_t(files.size()));
    for (qsizetype i = 0; i < files.size(); ++i) {
        staged[size_t(i)].target = QDir(folder_).filePath(files[i].name);
        if (const QString kind = notReplaceable(staged[size_t(i)].target); !kind.isEmpty())
            return failure(staged[size_t(i)].target, kind);
    }
    for (qsizetype i = 0; i < files.size(); ++i)
        if (QString error = stage(staged[size_t(i)], files[i].bytes); !error.isEmpty())
            return error;
    for (Staged& file : staged)
        if (QString error = commit(file); !error.isEmpty())
            return error;
    syncFolder(folder_);
    return QString();
}

OptionsRead FolderFiles::readOptions() const {
    const QString path = QDir(folder_).filePath(QLatin1String(kOptionsFile));
    const FileRead file = readFile(path);
    OptionsRead result{file.status, Options{}, file.error};
    if (file.status != FileRead::Read)
        return result;
    const QSettings ini(path, QSettings::IniFormat);
    const Options defaults;
    Options& o = result.options;
    o.secure = ini.value(QStringLiteral("secure"), defaults.secure).toBool();
    o.testEnvironment =
        ini.value(QStringLiteral("test-environment"), defaults.testEnvironment).toBool();
    o.buyAtOnce = ini.value(QStringLiteral("buy-at-once"), defaults.buyAtOnce).toBool();
    o.stopWhenBought =
        ini.value(QStringLiteral("stop-when-bought"), defaults.stopWhenBought).toBool();
    return result;
}

QString FolderFiles::writeOptions(const Options& options) {
    const QString path = QDir(folder_).filePath(QLatin1String(kOptionsFile));
    if (const QString kind = notReplaceable(path); !kind.isEmpty())
        return failure(path, kind);
    const FileRead current = readFile(path);
    if (current.status == FileRead::Failed)
        return failure(path, current.error);
    // QSettings edits a private copy (keeping the keys this version does not know),
    // which then replaces the file as a save does.
    Staged copy{path, {}};
    if (QString error = stage(copy, current.bytes); !error.isEmpty())
        return error;
    {
        QSettings ini(QFile::decodeName(copy.temporary), QSettings::IniFormat);
        ini.setValue(QStringLiteral("secure"), options.secure);
        ini.setValue(QStringLiteral("test-environment"), options.testEnvironment);
        ini.setValue(QStringLiteral("buy-at-once"), options.buyAtOnce);
        ini.setValue(QStringLiteral("stop-when-bought"), options.stopWhenBought);
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return failure(path, QStringLiteral("it cannot be written"));
    }
    if (QString error = commit(copy); !error.isEmpty())
        return error;
    syncFolder(folder_);
    return QString();
}

void FolderFiles::removeStaleSaves() {
    static const QRegularExpression leftover(
        QStringLiteral("^(settings\\.dat|domains\\.dat|options\\.ini)%1[A-Za-z0-9]{6}$")
            .arg(QRegularExpression::escape(QLatin1String(kSaveTag))));
    const QDir dir(folder_);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!leftover.match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(path.constData());
    }
}

} // namespace drovane
