#pragma once

#include "core/platform/Prompter.h"

#include <QList>
#include <QStringList>

namespace drovane {

// Answers message boxes from a script and records what was shown.
class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        QString kind; // "critical", "notice", "question"
        QString title;
        QString text;
    };
    void critical(const QString& title, const QString& text) override {
        shown.append({QStringLiteral("critical"), title, text});
    }
    void notice(const QString& text) override {
        shown.append({QStringLiteral("notice"), QStringLiteral("Drovane"), text});
    }
    bool question(const QString& text) override {
        shown.append({QStringLiteral("question"), QStringLiteral("WARNING"), text});
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void beep() override { ++beeps; }

    QList<bool> answers; // next answers to questions; No when empty
    QList<Shown> shown;
    int beeps = 0;
};

} // namespace drovane
