#pragma once

#include "core/platform/Prompter.h"

class QLineEdit;
class QString;

namespace drovane {

class DelayTimeValidator;

// The rules of the main window's interval box (txtDelayTime). The user types at most
// three characters, but the program may put in any text: a saved "1000" must reach the
// interval check whole and get the range message, not be cut to "100". Every change is
// checked; a refused one puts back the last accepted text (kept in the box's "Tag"
// property) with the range message or a beep, the cursor where the edit was made.
class IntervalBox {
public:
    // The box keeps the rules' validator; the box itself stays the window's.
    IntervalBox(QLineEdit* box, Prompter& prompter);

    // Puts in a text as the program does, past the typing limit.
    void setText(const QString& text);
    // Checks the box's text after a change.
    void check();

private:
    QLineEdit* box_;
    Prompter& prompter_;
    DelayTimeValidator* limit_;
};

} // namespace drovane
