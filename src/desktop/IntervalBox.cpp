#include "IntervalBox.h"

#include "core/run/IntervalCheck.h"

#include <QLineEdit>
#include <QValidator>
#include <algorithm>

namespace drovane {

namespace {
constexpr int kDelayTimeMaxTyped = 3;
} // namespace

// Limits what the user types to three characters, as a maximum length would, and lets
// the program put in any text.
class DelayTimeValidator : public QValidator {
public:
    using QValidator::QValidator;

    bool programSet = false;
    QString previous; // the box's text before the change being validated

    State validate(QString& input, int& pos) const override {
        if (programSet)
            return Acceptable;
        const int allowed = std::max<int>(kDelayTimeMaxTyped, previous.size());
        if (input.size() <= allowed)
            return Acceptable;
        // Drop what does not fit from the end of the insertion, as a paste is clipped.
        const int excess = int(input.size()) - allowed;
        const int from = std::max(0, pos - excess);
        input.remove(from, excess);
        pos = from;
        return input == previous ? Invalid : Acceptable;
    }
};

IntervalBox::IntervalBox(QLineEdit* box, Prompter& prompter)
    : box_(box), prompter_(prompter), limit_(new DelayTimeValidator(box)) {
    box_->setValidator(limit_);
}

void IntervalBox::setText(const QString& text) {
    const bool wasProgramSet = limit_->programSet;
    limit_->programSet = true;
    box_->setText(text);
    limit_->programSet = wasProgramSet;
}

void IntervalBox::check() {
    const QString text = box_->text();
    limit_->previous = text;
    const IntervalCheck verdict = checkIntervalText(text, box_->property("Tag").toString());
    if (verdict.outcome == IntervalCheck::Accept) {
        box_->setProperty("Tag", verdict.text);
        return;
    }
    if (verdict.outcome == IntervalCheck::RangeMessage)
        prompter_.notice(QString::fromLatin1(kIntervalRangeMessage));
    // The cursor goes back to where the refused edit was made.
    const int cursor = box_->cursorPosition() - int(text.size() - verdict.text.size());
    setText(verdict.text); // accepted when checked again: it was accepted before
    box_->setCursorPosition(std::clamp(cursor, 0, int(verdict.text.size())));
    if (verdict.outcome == IntervalCheck::Beep)
        prompter_.beep();
}

} // namespace drovane
