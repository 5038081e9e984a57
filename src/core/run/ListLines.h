#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace drovane {

// The domain list as the main window edits it: one text with "\n" between lines and
// the start of every line, so that a list of a million names or a line of a megabyte
// costs a few bytes beyond its characters and every edit is linear in the list at
// most. Any line break put in (CR LF, CR, LF, U+2028, U+2029, U+0085) becomes "\n".
class ListLines {
public:
    ListLines();

    // Line breaks are turned into "\n" in place: pass a list that is not needed after.
    void setText(QString text);
    const QString& text() const { return text_; }
    // The list as it is saved and run: CR LF between lines.
    QString crlfText() const;

    qsizetype size() const { return text_.size(); }
    int lineCount() const { return int(starts_.size()); }
    qsizetype lineStart(int line) const { return starts_[line]; }
    // The end of the line's text, before its line break.
    qsizetype lineEnd(int line) const;
    QStringView line(int line) const;
    // The line that holds the position (a position on a line break belongs to its line).
    int lineOf(qsizetype position) const;

    // Replaces the characters from..to (to excluded) by `with`; returns its length once
    // its line breaks are made "\n".
    qsizetype replace(qsizetype from, qsizetype to, const QString& with);

private:
    QString text_;
    QList<qsizetype> starts_; // starts_[0] is 0; one more entry after every "\n"
};

} // namespace drovane
