#include "Controls.h"

#include "ListBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QIcon>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

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

namespace {
QWidget* label(QLabel* l, const ControlSpec& spec) {
    l->setText(QString::fromUtf8(spec.caption));
    l->setObjectName(QLatin1String(spec.name));
    l->setGeometry(twipRect(spec.left, spec.top, spec.width, spec.height));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

// A box and its frame rectangle, which lies 45 twips (3 px) outside it.
template <class Box> QWidget* framed(Box* box, QWidget* window, const ControlSpec& spec) {
    box->setObjectName(QLatin1String(spec.name));
    box->setGeometry(twipRect(spec.left, spec.top, spec.width, spec.height));
    box->setFont(tahoma(9.75));
    auto* frame = new FrameRect(kFrameRed, window);
    frame->setObjectName(QStringLiteral("shp") + QLatin1String(spec.name).mid(3));
    frame->setGeometry(box->geometry().adjusted(-px(45), -px(45), px(45), px(45)));
    return box;
}

QWidget* option(QWidget* window, const ControlSpec& spec) {
    auto* c = new QCheckBox(window);
    c->setObjectName(QLatin1String(spec.name));
    QRect at = twipRect(spec.left, spec.top, spec.width, spec.height);
    // The style's indicator may be a pixel larger than the box; never clip it.
    const int indicator = window->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, c);
    at.setSize(at.size().expandedTo(QSize(indicator, indicator)));
    c->setGeometry(at);
    c->setChecked(spec.kind == ControlKind::CheckedOption);
    return c;
}

QWidget* button(QWidget* window, const ControlSpec& spec) {
    auto* b = new QPushButton(QString::fromUtf8(spec.caption), window);
    b->setObjectName(QLatin1String(spec.name));
    b->setGeometry(twipRect(spec.left, spec.top, spec.width, spec.height));
    return b;
}

QWidget* build(QWidget* window, const ControlSpec& spec) {
    switch (spec.kind) {
    case ControlKind::Label:
        return label(new QLabel(window), spec);
    case ControlKind::ClickLabel:
        return label(new ClickLabel(window), spec);
    case ControlKind::Box:
        return framed(new QLineEdit(window), window, spec);
    case ControlKind::List:
        return framed(new ListBox(window), window, spec);
    case ControlKind::Option:
    case ControlKind::CheckedOption:
        return option(window, spec);
    case ControlKind::Button:
        return button(window, spec);
    }
    return nullptr;
}
} // namespace

void buildControls(QWidget* window, std::span<const ControlSpec> table) {
    for (const ControlSpec& spec : table)
        build(window, spec);
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
