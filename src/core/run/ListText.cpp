#include "ListText.h"

#include "core/settings/SettingsCodec.h"

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
