#include "DomainName.h"

namespace drovane {
namespace {

bool isLetterOrDigit(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

std::optional<QString> characterProblem(QChar c) {
    if (c == u' ' || c == u'\t')
        return QStringLiteral("it holds a blank");
    if (c.category() == QChar::Other_Control || c.isNonCharacter() || c.isSurrogate() ||
        c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
        return QStringLiteral("it holds a control character");
    if (c.unicode() > 0x7f)
        return QStringLiteral("it holds \"%1\", a character outside A-Z, 0-9 and the hyphen (write "
                              "an internationalised name in its xn-- form)")
            .arg(c);
    return QStringLiteral("it holds \"%1\", which no domain name has").arg(c);
}

} // namespace

std::optional<QString> domainNameProblem(QStringView line) {
    if (line.isEmpty())
        return QStringLiteral("it is empty");
    for (QChar c : line)
        if (!isLetterOrDigit(c) && c != u'.' && c != u'-')
            return characterProblem(c);
    if (line.size() > 253)
        return QStringLiteral("it is longer than 253 characters");
    if (!line.contains(u'.'))
        return QStringLiteral("it has no dot (a name ends in its extension, such as .com)");
    qsizetype from = 0;
    QStringView last;
    while (from <= line.size()) {
        qsizetype dot = line.indexOf(u'.', from);
        if (dot < 0)
            dot = line.size();
        const QStringView label = line.sliced(from, dot - from);
        if (label.isEmpty())
            return QStringLiteral("it has an empty label (a dot at its start or end, or two dots "
                                  "in a row)");
        if (label.size() > 63)
            return QStringLiteral("a label is longer than 63 characters");
        if (label.startsWith(u'-') || label.endsWith(u'-'))
            return QStringLiteral("a label starts or ends with a hyphen");
        last = label;
        from = dot + 1;
    }
    bool number = true;
    for (QChar c : last)
        number = number && c.isDigit();
    if (number)
        return QStringLiteral("its extension is a number (an address is not a domain name)");
    return std::nullopt;
}

QString shownLine(const QString& text) {
    // It may be anything the user pasted.
    QString shown = text.left(80);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = u'?';
    if (text.size() > 80)
        shown += QStringLiteral("...");
    return u'"' + shown + u'"';
}

QString BadLine::describe() const {
    return QStringLiteral("line %1, %2: %3").arg(line).arg(shownLine(text), reason);
}

BadLines badListLines(const QString& crlfText, int limit) {
    BadLines bad;
    if (crlfText.isEmpty())
        return bad;
    const QStringView text(crlfText);
    qsizetype from = 0;
    int number = 1;
    while (from <= text.size()) {
        qsizetype end = text.indexOf(u'\n', from);
        if (end < 0)
            end = text.size();
        QStringView line = text.sliced(from, end - from);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (const auto problem = domainNameProblem(line)) {
            if (bad.first.size() < limit)
                bad.first.append({number, line.toString(), *problem});
            ++bad.count;
        }
        from = end + 1;
        ++number;
    }
    return bad;
}

} // namespace drovane
