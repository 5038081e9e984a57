#include "ConsolePrompter.h"

#include <cstdio>

namespace drovane::cli {
namespace {
void printLine(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

void printError(const QString& text) {
    printLine(stderr, text);
}

void printOut(const QString& text) {
    printLine(stdout, text);
}

void ConsolePrompter::critical(const QString&, const QString& text) {
    // The title is the window's caption; the text alone says what is wrong.
    told_ = true;
    printError(text);
}

void ConsolePrompter::notice(const QString& text) {
    told_ = true;
    printError(text);
}

bool ConsolePrompter::question(const QString& text) {
    told_ = true;
    if (answerYes_) {
        printError(text + QStringLiteral(" Yes (--yes)"));
        return true;
    }
    printError(text);
    printError(QStringLiteral("Not answered: give --yes to answer Yes."));
    declined_ = true;
    return false;
}

} // namespace drovane::cli
