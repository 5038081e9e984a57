#pragma once

#include <QString>

namespace drovane {

// Every message box the program shows goes through here, so tests can answer them.
class Prompter {
public:
    virtual ~Prompter() = default;
    // OK box with the critical icon.
    virtual void critical(const QString& title, const QString& text) = 0;
    // OK box without icon, titled with the application title "Drovane".
    virtual void notice(const QString& text) = 0;
    // Yes/No box titled "WARNING"; true for Yes.
    virtual bool question(const QString& text) = 0;
    virtual void beep() = 0;
};

} // namespace drovane
