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

// One line on stderr, written at once.
void printError(const QString& text);
// One line on stdout, written at once, so the journal gets it as it happens.
void printOut(const QString& text);

} // namespace drovane::cli
