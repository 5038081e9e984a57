#pragma once

#include "core/platform/Prompter.h"

#include <QString>

namespace drovane::cli {

// The window's message boxes as lines on stderr (the journal, under the service). A
// question is answered Yes only when the user said so in advance with --yes: nobody is
// there to answer it.
class ConsolePrompter : public Prompter {
public:
    explicit ConsolePrompter(bool answerYes) : answerYes_(answerYes) {}

    void critical(const QString& title, const QString& text) override;
    void notice(const QString& text) override;
    bool question(const QString& text) override;
    void beep() override {}

    // A question was answered No for want of --yes.
    bool declined() const { return declined_; }
    // Any message was printed (a refusal explains itself).
    bool told() const { return told_; }

private:
    bool answerYes_;
    bool declined_ = false;
    bool told_ = false;
};

// The syslog priorities of lines, as the journal files them when stdout or stderr is its
// stream ($JOURNAL_STREAM): `journalctl -p warning` then lists errors and orders.
namespace priority {
constexpr int Err = 3;
constexpr int Warning = 4;
constexpr int Notice = 5;
constexpr int Info = 6; // the journal's default: no prefix
} // namespace priority

// One line on stderr, written at once.
void printError(const QString& text, int priority = priority::Err);
// One line on stdout, written at once, so the journal gets it as it happens.
void printOut(const QString& text, int priority = priority::Info);
// Whether the stream is the journal's, for tests: `fd` is compared with $JOURNAL_STREAM.
bool isJournalStream(int fd);

} // namespace drovane::cli
