#include "DataFiles.h"

#include "core/platform/OwnedFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>
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
    if (file.status != FileRead::Read)
        return {file.status, Options{}, file.error, {}};
    return parseOptions(file.bytes);
}

OptionsRead parseOptions(const QByteArray& bytes) {
    OptionsRead result;
    result.status = FileRead::Read;
    auto notIni = [&](const QString& why) {
        return OptionsRead{
            FileRead::Failed, Options{}, QStringLiteral("it is not an INI file (%1)").arg(why), {}};
    };
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError() || bytes.contains('\0'))
        return notIni(QStringLiteral("it is not UTF-8 text"));
    const Options defaults;
    struct Key {
        const char* name;
        bool Options::*field;
    };
    static const Key keys[] = {{"secure", &Options::secure},
                               {"test-environment", &Options::testEnvironment},
                               {"buy-at-once", &Options::buyAtOnce},
                               {"stop-when-bought", &Options::stopWhenBought}};
    // What QSettings writes: the keys of the [General] section, or before any section.
    bool general = true;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            general = line.compare(QLatin1String("[General]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            return notIni(
                QStringLiteral("line %1 is neither a [section] nor a key=value line").arg(i + 1));
        if (!general)
            continue;
        const QString name = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        if (name == QLatin1String("password-in-keyring")) {
            // Unasked until a true or false says otherwise.
            const QString v = value.toLower();
            if (v == QLatin1String("true") || v == QLatin1String("1"))
                result.options.keyring = Options::Keyring::Yes;
            else if (v == QLatin1String("false") || v == QLatin1String("0"))
                result.options.keyring = Options::Keyring::No;
            else
                result.notices << QStringLiteral("%1 is neither true nor false (nor 1 or 0), so "
                                                 "the user is asked again")
                                      .arg(name);
            continue;
        }
        for (const Key& key : keys) {
            if (name != QLatin1String(key.name))
                continue;
            const QString v = value.toLower();
            if (v == QLatin1String("true") || v == QLatin1String("1")) {
                result.options.*key.field = true;
            } else if (v == QLatin1String("false") || v == QLatin1String("0")) {
                result.options.*key.field = false;
            } else {
                result.options.*key.field = defaults.*key.field;
                result.notices << QStringLiteral("%1 is neither true nor false (nor 1 or 0), so "
                                                 "its default, %2, is used")
                                      .arg(name, defaults.*key.field ? QStringLiteral("true")
                                                                     : QStringLiteral("false"));
            }
        }
    }
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
        if (options.keyring != Options::Keyring::Unasked)
            ini.setValue(QStringLiteral("password-in-keyring"),
                         options.keyring == Options::Keyring::Yes);
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
