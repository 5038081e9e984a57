#include "ConsolePrompter.h"

#include <cstdio>
#include <sys/stat.h>

namespace drovane::cli {
namespace {
void printLine(FILE* stream, const QString& text, int priority) {
    QByteArray bytes = text.toUtf8() + '\n';
    // The journal reads "<N>" at the start of each line as the line's priority.
    static const bool journal[] = {isJournalStream(fileno(stdout)),
                                   isJournalStream(fileno(stderr))};
    if (priority != priority::Info && journal[stream == stderr ? 1 : 0]) {
        const QByteArray prefix = '<' + QByteArray::number(priority) + '>';
        bytes.chop(1);
        bytes = prefix + bytes.replace("\n", "\n" + prefix) + '\n';
    }
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

bool isJournalStream(int fd) {
    // systemd sets "device:inode" of the stream it connected stdout and stderr to.
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    struct stat st {};
    if (colon <= 0 || ::fstat(fd, &st) != 0)
        return false;
    bool okDevice = false;
    bool okInode = false;
    const qulonglong device = stream.left(colon).toULongLong(&okDevice);
    const qulonglong inode = stream.mid(colon + 1).toULongLong(&okInode);
    return okDevice && okInode && device == qulonglong(st.st_dev) && inode == qulonglong(st.st_ino);
}

void printError(const QString& text, int priority) {
    printLine(stderr, text, priority);
}

void printOut(const QString& text, int priority) {
    printLine(stdout, text, priority);
}

void ConsolePrompter::critical(const QString&, const QString& text) {
    // The title is the window's caption; the text alone says what is wrong.
    told_ = true;
    printError(text);
}

void ConsolePrompter::notice(const QString& text) {
    told_ = true;
    printError(text, priority::Warning);
}

bool ConsolePrompter::question(const QString& text) {
    told_ = true;
    if (answerYes_) {
        printError(text + QStringLiteral(" Yes (--yes)"), priority::Warning);
        return true;
    }
    printError(text, priority::Warning);
    printError(QStringLiteral("Not answered: give --yes to answer Yes."));
    declined_ = true;
    return false;
}

} // namespace drovane::cli
