#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QRect>
#include <QWidget>

class QAbstractButton;
class QLineEdit;

namespace drovane {

class ListBox;

// Positions are laid out in twips, 15 to a pixel at 96 dpi.
constexpr int px(int twips) {
    return (twips * 2 + 15) / 30;
}
QRect twipRect(int left, int top, int width, int height);

inline const QColor kWhite(255, 255, 255);
inline const QColor kBlack(0, 0, 0);
inline const QColor kButtonGrey(220, 220, 220);
inline const QColor kFrameRed(184, 8, 8);

QFont tahoma(qreal pointSize);
QFont courierNew(qreal pointSize);

// White window with black text.
void paintWhite(QWidget* window);
// Black text on whatever lies behind the label.
void makeTransparentLabel(QLabel* label);
// Grows a caption to its text where this system's font draws wider or taller than the
// layout allows, so no caption is clipped; it never shrinks.
void fitCaption(QLabel* label);
void makeGreyButton(QAbstractButton* button);
// Black text on white.
void paintBoxWhite(QWidget* box);
// Black on white, without the sunken border.
void makeFlatBox(QLineEdit* box);
void makeFlatBox(ListBox* box);

// A label that works as a caption: a click on it (press and release over it) is
// reported even when the control it names is disabled.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A double-click is one click on a caption, not two.
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }

private:
    bool pressed_ = false;
};

// A one-pixel rectangle drawn around a text box; clicks go through it.
class FrameRect : public QWidget {
public:
    FrameRect(const QColor& colour, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

// The picture a label shows, from the program's resources.
QPixmap artwork(const QString& name);
QIcon windowIcon();

} // namespace drovane
