#include "Controls.h"

#include "ListBox.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace drovane {

QRect twipRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

QFont tahoma(qreal pointSize) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(pointSize);
    return font;
}

QFont courierNew(qreal pointSize) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(pointSize);
    return font;
}

namespace {
// Text colours for the enabled states only: a disabled control keeps the style's grey,
// which is how the user sees that it is locked.
void setEnabledColour(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
}
} // namespace

void paintWhite(QWidget* window) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, kWhite);
    setEnabledColour(palette, QPalette::WindowText, kBlack);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void makeTransparentLabel(QLabel* label) {
    QPalette palette = label->palette();
    setEnabledColour(palette, QPalette::WindowText, kBlack);
    label->setPalette(palette);
    label->setAutoFillBackground(false);
    // Captions are fixed texts and shown names come from the registrar or the user:
    // none of them is markup.
    label->setTextFormat(Qt::PlainText);
}

void fitCaption(QLabel* label) {
    label->resize(label->size().expandedTo(label->sizeHint()));
}

void makeGreyButton(QAbstractButton* button) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, kButtonGrey);
    setEnabledColour(palette, QPalette::ButtonText, kBlack);
    button->setPalette(palette);
}

void paintBoxWhite(QWidget* box) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, kWhite);
    palette.setColor(QPalette::Text, kBlack);
    box->setPalette(palette);
}

void makeFlatBox(QLineEdit* box) {
    paintBoxWhite(box);
    box->setFrame(false);
}

void makeFlatBox(ListBox* box) {
    paintBoxWhite(box); // the list box draws no border of its own
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

FrameRect::FrameRect(const QColor& colour, QWidget* parent) : QWidget(parent), colour_(colour) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FrameRect::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colour_);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QPixmap artwork(const QString& name) {
    return QPixmap(QStringLiteral(":/art/") + name);
}

QIcon windowIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/art/icon-16.png"));
    icon.addFile(QStringLiteral(":/art/icon-32.png"));
    icon.addFile(QStringLiteral(":/art/icon-64.png"));
    return icon;
}

} // namespace drovane
