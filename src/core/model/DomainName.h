#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace drovane {

// What a line of the domain list must be to be sent as a name: host-name syntax (labels
// of letters, digits and inner hyphens, at most 63 characters each and 253 in all) with
// at least one dot, and a last label that is not a number. Internationalised names are
// taken in their ASCII (xn--) form only: the registrar's check and purchase commands
// are given the name as it is written. Returns why a line is not such a name.
std::optional<QString> domainNameProblem(QStringView line);

// A line as a message quotes it: cut, on one line, in quotes.
QString shownLine(const QString& text);

struct BadLine {
    int line = 0; // 1-based, as the user counts the lines
    QString text;
    QString reason;

    // "line 3, "bad name": it holds a blank"
    QString describe() const;
};

// The lines of a CR LF list that are not domain names, at most `limit` of them, and how
// many there are in all.
struct BadLines {
    QList<BadLine> first;
    int count = 0;
};
BadLines badListLines(const QString& crlfText, int limit);

} // namespace drovane
