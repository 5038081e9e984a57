#include "ListText.h"

#include "core/settings/SettingsCodec.h"

#include <QHash>
#include <QSet>

namespace drovane {

QString normalizeLineEnds(const QString& text) {
    return unifyLineBreaks(text, u"\r\n");
}

QString cleanList(const QString& text) {
    const QLatin1String crlf("\r\n");
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (end - begin >= 2 && QStringView(text).sliced(begin, 2) == crlf)
        begin += 2;
    while (end - begin >= 2 && QStringView(text).sliced(end - 2, 2) == crlf)
        end -= 2;
    // One pass collapses what repeated replacement of CR LF CR LF by CR LF would.
    QString out;
    out.reserve(end - begin);
    qsizetype i = begin;
    while (i < end) {
        if (i + 1 < end && text[i] == u'\r' && text[i + 1] == u'\n') {
            out += crlf;
            i += 2;
            while (i + 1 < end && text[i] == u'\r' && text[i + 1] == u'\n')
                i += 2;
        } else {
            out += text[i++];
        }
    }
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
    DealtGroups g{std::make_shared<clsDomainsMain>(), std::make_shared<clsDomainsMain>()};
    const QStringList lines = listLines(text);
    for (qsizetype k = 0; k < lines.size(); ++k) {
        auto job = std::make_shared<clsDomains>();
        job->Domain = lines[k];
        clsDomainsMain& group = k % 2 == 0 ? *g.slot1 : *g.slot2;
        group.Add(job);
        if (checkMethod)
            group.CurPos = 1;
    }
    return g;
}

} // namespace drovane
