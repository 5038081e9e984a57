#include "ListText.h"

#include "core/settings/SettingsCodec.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace drovane {

QString normalizeLineEnds(const QString& text) {
    return unifyLineBreaks(text, u"\r\n");
}

QString cleanList(const QString& text) {
    const QLatin1String crlf("\r\n");
    const QStringView view(text);
    qsizetype begin = 0;
    qsizetype end = view.size();
    while (end - begin >= 2 && view.sliced(begin, 2) == crlf)
        begin += 2;
    while (end - begin >= 2 && view.sliced(end - 2, 2) == crlf)
        end -= 2;
    // Every run of CR LF pairs becomes one, as repeated replacement of CR LF CR LF by CR LF
    // would make it. The text between such runs is copied whole; a list with nothing to
    // clean is kept as it is, not copied.
    const QLatin1String twice("\r\n\r\n");
    const QStringView inner = view.sliced(begin, end - begin);
    qsizetype at = inner.indexOf(twice);
    if (at < 0)
        return begin == 0 && end == view.size() ? text : inner.toString();
    QString out;
    out.reserve(inner.size());
    qsizetype from = 0;
    while (at >= 0) {
        out.append(inner.sliced(from, at + 2 - from));
        from = at + 2;
        while (from + 1 < inner.size() && inner[from] == u'\r' && inner[from + 1] == u'\n')
            from += 2;
        at = inner.indexOf(twice, from);
    }
    out.append(inner.sliced(from));
    return out;
}

QStringList listLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    for (QString& line : lines)
        line.remove(u'\r');
    return lines;
}

namespace {
QString listKey(const QString& line) {
    return line.trimmed().toLower();
}
} // namespace

int addNames(QStringList& lines, const QStringList& names) {
    QSet<QString> listed;
    listed.reserve(lines.size() + names.size());
    for (const QString& line : lines)
        listed.insert(listKey(line));
    int added = 0;
    for (const QString& name : names) {
        const QString key = listKey(name);
        if (listed.contains(key))
            continue;
        listed.insert(key);
        lines.append(name);
        ++added;
    }
    return added;
}

int removeNames(QStringList& lines, const QStringList& names, QStringList* missing) {
    QHash<QString, bool> wanted; // name key -> a line named it
    for (const QString& name : names)
        wanted.insert(listKey(name), false);
    const qsizetype before = lines.size();
    lines.removeIf([&](const QString& line) {
        const auto it = wanted.find(listKey(line));
        if (it == wanted.end())
            return false;
        *it = true;
        return true;
    });
    for (auto it = wanted.begin(); it != wanted.end(); ++it)
        if (!it.value())
            it.value() = true, missing->append(it.key()); // each name once
    return int(before - lines.size());
}

DealtGroups dealDomains(const QString& text, bool checkMethod) {
    DealtGroups g{std::make_shared<DomainGroup>(), std::make_shared<DomainGroup>()};
    // One pass over the list, the lines packed straight into the groups (listLines would
    // make a string of every line first).
    const QChar* const data = text.constData();
    const qsizetype n = text.size();
    // Room made once: grown step by step, the records of a long list would hold up to
    // half as much again unused.
    const qsizetype lines = std::count(data, data + n, u'\n') + 1;
    g.slot1->reserve((lines + 1) / 2, n / 2);
    g.slot2->reserve(lines / 2, n / 2);
    qsizetype from = 0;
    for (qsizetype k = 0;; ++k) {
        qsizetype end = from;
        qsizetype carriageReturns = 0;
        while (end < n && data[end] != u'\n')
            carriageReturns += data[end++] == u'\r';
        DomainGroup& group = k % 2 == 0 ? *g.slot1 : *g.slot2;
        // The CR of the line's CR LF is dropped here; any other goes the long way.
        qsizetype last = end;
        if (last > from && data[last - 1] == u'\r') {
            --last;
            --carriageReturns;
        }
        const QStringView line(data + from, last - from);
        if (carriageReturns > 0)
            group.addName(line.toString().remove(u'\r'));
        else
            group.addName(line);
        if (checkMethod)
            group.cursor = 1;
        if (end == n)
            break;
        from = end + 1;
    }
    return g;
}

} // namespace drovane
