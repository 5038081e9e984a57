#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QRect>
#include <QWidget>
#include <span>

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

// What a row of a window's control table builds.
enum class ControlKind {
    Label,         // a caption or a shown value, at the top left of its rectangle
    ClickLabel,    // the same, telling of clicks (ClickLabel)
    Box,           // a one-line text box in Tahoma 9.75, in a red frame
    List,          // the domain list box in Tahoma 9.75, in a red frame
    Option,        // a check box without a caption of its own, unchecked
    CheckedOption, // the same, checked
    Button,
};

// One control of a window: its name (the objectName tests and tools find it by), what it
// is, its caption and its rectangle in twips. A box's frame is named after the box, "shp"
// in place of "txt".
struct ControlSpec {
    const char* name;
    ControlKind kind;
    const char* caption;
    int left, top, width, height;
};

// Builds the controls of a table on the window, in the table's order, which is also
// the order they stack in and the order Tab follows until the window sets its own.
void buildControls(QWidget* window, std::span<const ControlSpec> table);

// The window's control of that name and class, as its table built it. A table and a
// window that disagree are a slip of the program, which stops at once.
template <class T> T* builtControl(QWidget* window, const char* name) {
    T* control = window->findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    if (!control)
        qFatal("Drovane: no control %s of that kind on %s", name, qPrintable(window->objectName()));
    return control;
}

// The picture a label shows, from the program's resources.
QPixmap artwork(const QString& name);
QIcon windowIcon();

} // namespace drovane
