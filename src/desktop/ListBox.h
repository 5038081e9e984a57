#pragma once

#include "core/run/ListLines.h"

#include <QFontMetricsF>
#include <QList>
#include <QWidget>

namespace drovane {

// The multi-line box of the domain list. A text document keeps a block, a layout and
// an undo record per line and lays out a whole paragraph to wrap it: a million names
// cost half a gigabyte and seconds, one line of a megabyte minutes. This box keeps the
// bare text with its line starts and lays out only the rows on screen, wrapping a line
// wherever it meets the right edge.
//
// It edits as a plain text box does: typing, Enter and Shift+Enter (both start a new
// line), Backspace, Delete, the arrow, Home, End and page keys (with Shift to select,
// with Ctrl by words or to the ends), the mouse (click, drag, double-click, wheel),
// select all, cut, copy, paste and undo, by key or from its context menu. Tab moves the
// focus on.
class ListBox : public QWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // Any line breaks; kept with "\n" between lines. Clears the undo steps.
    void setPlainText(QString text);
    QString toPlainText() const { return lines_.text(); }
    // CR LF between lines, as the list is saved and run.
    QString crlfText() const { return lines_.crlfText(); }
    int lineCount() const { return lines_.lineCount(); }

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return readOnly_; }

    qsizetype cursorPosition() const { return cursor_; }
    QString selectedText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Row {
        int line;
        qsizetype start; // the row's first character
        qsizetype end;   // after its last character
    };
    struct Edit {
        qsizetype at;
        QString removed;
        qsizetype addedLength;
    };

    void measureFont();
    qreal advance(qsizetype at, qsizetype* length) const;
    qreal textWidth() const;
    // Rows are filled greedily, so where a row ends depends only on where it starts.
    qsizetype rowEnd(int line, qsizetype start) const;
    // The starts of a line's rows, up to the row that holds `upTo`.
    QList<qsizetype> rowStarts(int line, qsizetype upTo) const;
    Row rowAt(qsizetype position) const;
    bool nextRow(const Row& row, Row* next) const;
    bool previousRow(const Row& row, Row* previous) const;
    Row topRow() const;
    int visibleRows() const;
    qreal xOf(const Row& row, qsizetype position) const;
    qsizetype positionAtX(const Row& row, qreal x) const;
    qsizetype positionAt(const QPoint& point) const;
    qsizetype unitBefore(qsizetype position) const;
    qsizetype unitAfter(qsizetype position) const;
    qsizetype wordBefore(qsizetype position) const;
    qsizetype wordAfter(qsizetype position) const;

    void moveCursor(qsizetype position, bool select);
    void insert(const QString& text);
    void undo();
    void copySelection() const;
    void ensureCursorVisible();
    void scrollRows(int rows);

    ListLines lines_;
    QFontMetricsF metrics_;
    qreal asciiAdvance_[128] = {};
    qreal lineHeight_ = 1;
    qsizetype cursor_ = 0;
    qsizetype anchor_ = 0;
    // The first row on screen: the line and the start of the row within it.
    int topLine_ = 0;
    qsizetype topStart_ = 0;
    qreal preferredX_ = -1; // kept over Up and Down moves
    bool readOnly_ = false;
    bool selecting_ = false;
    QList<Edit> undo_;
};

} // namespace drovane
