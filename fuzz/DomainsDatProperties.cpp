#include "Properties.h"

#include "core/run/ListText.h"
#include "core/settings/Cp1252.h"
#include "core/settings/SettingsCodec.h"

#include <QStringList>

namespace drovane::fuzz {
namespace {

const QLatin1String kCrLf("\r\n");

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString withoutLeadingBlanks(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return text.mid(i);
}

// Every CR stands before an LF and every LF after a CR.
bool onlyCrLfPairs(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))
            return false;
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            return false;
    }
    return true;
}

QString withoutLineEnds(QString text) {
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

// The file read as it is: without quotes every line of the list is one unquoted item,
// which holds no comma, no line end and no leading blank, and the list never begins
// with an empty line.
QString checkReader(const QByteArray& bytes) {
    const QString list = decodeDomains(bytes);
    if (cp1252Image(list) != list)
        return QStringLiteral("the list holds a character the file cannot hold");
    if (bytes.contains('"') || list.isEmpty())
        return {};
    const QStringList lines = list.split(kCrLf);
    if (lines.first().isEmpty())
        return QStringLiteral("the list begins with an empty line");
    for (const QString& line : lines) {
        if (line.contains(u',') || line.contains(u'\r') || line.contains(u'\n'))
            return QStringLiteral("a line holds a delimiter");
        if (!line.isEmpty() && isBlank(line[0]))
            return QStringLiteral("a line begins with a blank");
    }
    const qsizetype items = bytes.count(',') + bytes.count('\r') + bytes.count('\n') + 1;
    if (lines.size() > items)
        return QStringLiteral("more lines than items");
    return {};
}

// A list built line by line, some lines quoted, saved and loaded again: each quoted line
// comes back whole, commas included; each other line without its leading blanks; empty
// lines before the first non-empty one are dropped.
QString checkRoundTrip(QByteArrayView input) {
    ByteReader reader(input);
    const int count = reader.byte() % 33;
    QStringList written;
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const bool quoted = reader.flag();
        QString line = cp1252Image(reader.text());
        line.remove(u'\r');
        line.remove(u'\n');
        line.remove(u'"');
        if (quoted) {
            written << u'"' + line + u'"';
            expected << line;
        } else {
            line.remove(u',');
            written << line;
            expected << withoutLeadingBlanks(line);
        }
    }
    while (!expected.isEmpty() && expected.first().isEmpty())
        expected.removeFirst();
    const QString loaded = decodeDomains(encodeDomains(written.join(kCrLf)));
    if (loaded != expected.join(kCrLf))
        return QStringLiteral("a saved list did not load back line for line");
    return {};
}

// The clean-up a run applies to the list: no empty line is left, nothing but line ends
// is dropped, and the text deals into lines alternately to the two slots.
QString checkCleanUp(const QString& text) {
    const QString normal = normalizeLineEnds(text);
    if (!onlyCrLfPairs(normal) || normalizeLineEnds(normal) != normal)
        return QStringLiteral("line ends not made CR LF");
    for (const QString& source : {text, normal}) {
        const QString cleaned = cleanList(source);
        if (cleaned.startsWith(kCrLf) || cleaned.endsWith(kCrLf) ||
            cleaned.contains(QLatin1String("\r\n\r\n")))
            return QStringLiteral("an empty line survived the clean-up");
        if (cleanList(cleaned) != cleaned)
            return QStringLiteral("the clean-up changed a clean list");
    }
    const QString cleaned = cleanList(normal);
    if (withoutLineEnds(cleaned) != withoutLineEnds(normal))
        return QStringLiteral("the clean-up dropped more than line ends");
    if (cleaned.isEmpty())
        return {};
    const QStringList lines = cleaned.split(kCrLf);
    const DealtGroups dealt = dealDomains(cleaned, true);
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const DomainGroup& group = k % 2 == 0 ? *dealt.slot1 : *dealt.slot2;
        const DomainJobPtr job = group.at(int(k / 2) + 1);
        if (!job || job->domain != lines[k] || job->tries != 0 || job->buyNext)
            return QStringLiteral("line %1 was not dealt as it stands").arg(k + 1);
    }
    if (dealt.slot1->size() + dealt.slot2->size() != lines.size())
        return QStringLiteral("more jobs than lines");
    return {};
}

} // namespace

QString domainsDatProperties(QByteArrayView input) {
    const QByteArray bytes = QByteArray::fromRawData(input.data(), input.size());
    QString failed = checkReader(bytes);
    if (failed.isEmpty())
        failed = checkRoundTrip(input);
    if (failed.isEmpty())
        failed = checkCleanUp(cp1252::decode(bytes));
    return failed;
}

} // namespace drovane::fuzz
