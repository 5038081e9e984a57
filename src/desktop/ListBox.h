#pragma once

#include "ListRowLayout.h"
#include "core/run/ListLines.h"

#include <QAbstractScrollArea>
#include <QList>

namespace drovane {

// The multi-line box of the domain list. A text document keeps a block, a layout and
// an undo record per line and lays out a whole paragraph: a million names cost half a
// gigabyte and seconds, one line of a megabyte minutes. This box keeps the bare text
// with its line starts and measures only the lines on screen. A line is one row: a name
// never wraps, so its tail can never pass for a name of its own; a line wider than the
// box scrolls sideways, with the caret or the horizontal scroll bar.
//
// It edits as a plain text box does: typing, Enter and Shift+Enter (both start a new
// line), Backspace, Delete, the arrow, Home, End and page keys (with Shift to select,
// with Ctrl by words or to the ends), the mouse (click, drag, double-click, wheel,
// middle-click pastes the primary selection), select all, cut, copy, paste, undo and
// redo, by key or from its context menu. A selection becomes the primary selection
// where the desktop has one. Tab moves the focus on. Assistive technology reads and
// edits it through ListBoxAccessible, which this box keeps informed of every change.
class ListBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // Any line breaks; kept with "\n" between lines. Clears the undo and redo steps.
    void setPlainText(QString text);
    QString toPlainText() const { return lines_.text(); }
    // CR LF between lines, as the list is saved and run.
    QString crlfText() const { return lines_.crlfText(); }
    const ListLines& lines() const { return lines_; }
    int lineCount() const { return lines_.lineCount(); }

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return readOnly_; }

    qsizetype cursorPosition() const { return cursor_; }
    qsizetype anchorPosition() const { return anchor_; }
    QString selectedText() const;
    // Puts the caret at `cursor` with the text from `anchor` to it selected, and shows it.
    void setSelection(qsizetype anchor, qsizetype cursor);
    // An edit as if typed: undoable, and refused (false) while the box is read-only.
    bool replace(qsizetype from, qsizetype to, const QString& text);
    void undo();
    void redo();

    // Where a character is drawn, in the box's coordinates; empty when it is not on screen.
    QRect characterRect(qsizetype position) const;
    // The position nearest to a point in the box's coordinates.
    qsizetype positionAtPoint(const QPoint& point) const;
    // Scrolls so that the characters from..to show, as much of them as fits.
    void ensureVisible(qsizetype from, qsizetype to);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // One step of the undo or redo record: the text at..at+length is to become `text`.
    struct Edit {
        qsizetype at;
        QString text;
        qsizetype length;
    };

    // Where the box's rows are: its scroll bars and margins around the row layout.
    void measureFont();
    qsizetype positionAt(const QPoint& viewportPoint) const;
    int textWidth() const;
    int visibleRows() const;
    int visibleRowsFor(int viewportHeight) const;
    int topLine() const;
    int scrollX() const;
    qsizetype unitBefore(qsizetype position) const;
    qsizetype unitAfter(qsizetype position) const;
    qsizetype wordBefore(qsizetype position) const;
    qsizetype wordAfter(qsizetype position) const;

    // Keys, each from a table: the standard shortcuts first, then the keys that move the
    // caret and break or erase lines, then what the key types. False for a key that is
    // none of the box's, which goes on to the window.
    bool runShortcut(const QKeyEvent* event);
    bool runKey(const QKeyEvent* event);
    bool typeText(const QKeyEvent* event);
    // Left and Right: a step, or a word with Ctrl; without Shift a selection ends at that
    // side instead.
    void stepBack(bool select, bool byWord);
    void stepOn(bool select, bool byWord);
    // Up and Down by a row or a page, keeping the column the moves started from.
    void moveRows(int direction, bool page, bool select);
    // Backspace and Delete: the selection, or from the caret to `to` when there is none.
    void eraseTo(qsizetype to);
    int caretLine() const { return lines_.lineOf(cursor_); }

    // Editing and the caret.
    void moveCursor(qsizetype position, bool select);
    void insert(const QString& text);
    Edit apply(const Edit& edit);
    void selectAll();
    void cut();
    void paste();
    void copySelection() const;
    void publishSelection() const;
    void pasteSelection(const QPoint& viewportPoint);
    void ensureCursorVisible();
    void updateScrollBars();

    // What assistive technology is told.
    void reportTextChange(qsizetype at, const QString& removed, qsizetype addedLength);
    void reportCaret();

    ListLines lines_;
    ListRowLayout layout_{lines_};
    qsizetype cursor_ = 0;
    qsizetype anchor_ = 0;
    qsizetype reportedCursor_ = 0;
    qsizetype reportedAnchor_ = 0;
    qreal preferredX_ = -1; // kept over Up and Down moves
    bool readOnly_ = false;
    bool selecting_ = false;
    QList<Edit> undo_;
    QList<Edit> redo_;
};

} // namespace drovane
