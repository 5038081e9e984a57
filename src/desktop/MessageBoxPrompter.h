#pragma once

#include "core/platform/Prompter.h"

class QWidget;

namespace drovane {

class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void critical(const QString& title, const QString& text) override;
    void notice(const QString& text) override;
    bool question(const QString& text) override;
    void beep() override;

private:
    QWidget* parent_;
};

} // namespace drovane
