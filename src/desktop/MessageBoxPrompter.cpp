#include "MessageBoxPrompter.h"

#include <QApplication>
#include <QMessageBox>

namespace drovane {
namespace {

int show(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
         QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText); // registrar and user texts are never markup
    return box.exec();
}

} // namespace

void MessageBoxPrompter::critical(const QString& title, const QString& text) {
    show(parent_, QMessageBox::Critical, title, text, QMessageBox::Ok);
}

void MessageBoxPrompter::notice(const QString& text) {
    show(parent_, QMessageBox::NoIcon, QStringLiteral("Drovane"), text, QMessageBox::Ok);
}

bool MessageBoxPrompter::question(const QString& text) {
    return show(parent_, QMessageBox::NoIcon, QStringLiteral("WARNING"), text,
                QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxPrompter::beep() {
    QApplication::beep();
}

} // namespace drovane
