#include "SettingsCodec.h"

#include "Cp1252.h"

#include <QByteArrayMatcher>

namespace drovane {
namespace {
const QByteArray kSeparator(5, '\0');
}

QByteArray encodeSettings(const SettingsArray& settings) {
    QByteArray out;
    for (int k = 1; k <= kSettingCount; ++k) {
        out += kSeparator;
        out += settings[k].isEmpty() ? QByteArray(1, '\x01') : cp1252::encode(settings[k]);
    }
    out += kSeparator;
    out += "\r\n";
    return out;
}

int decodeSettings(const QByteArray& bytes, SettingsArray& settings) {
    static const QByteArrayMatcher separator(kSeparator);
    qsizetype from = 0;
    // Piece 0 is what stands before the first separator; it is ignored.
    qsizetype at = separator.indexIn(bytes, from);
    int piece = 0;
    while (at >= 0 && piece < kSettingCount) {
        from = at + kSeparator.size();
        at = separator.indexIn(bytes, from);
        ++piece;
        const QByteArray raw = bytes.mid(from, at < 0 ? -1 : at - from);
        QString value = cp1252::decode(raw);
        value.remove(QStringLiteral("\r\n"));
        value.remove(QChar(0x01));
        settings[piece] = value;
    }
    return piece;
}

QString unifyLineBreaks(const QString& text, QStringView lineEnd) {
    auto isBreak = [](QChar c) {
        return c == u'\r' || c == u'\n' || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator || c == QChar(u'\u0085');
    };
    const QStringView view(text);
    const qsizetype n = view.size();
    auto nextBreak = [&](qsizetype from) {
        while (from < n && !isBreak(view[from]))
            ++from;
        return from;
    };
    qsizetype at = nextBreak(0);
    if (at == n)
        return text;
    QString out;
    out.reserve(n + n / 8);
    out.append(view.first(at));
    while (at < n) {
        out.append(lineEnd);
        at += view[at] == u'\r' && at + 1 < n && view[at + 1] == u'\n' ? 2 : 1;
        const qsizetype next = nextBreak(at);
        out.append(view.sliced(at, next - at));
        at = next;
    }
    return out;
}

QByteArray encodeDomains(const QString& listText) {
    // A line separator the code page lacks would join two names into one for good.
    return cp1252::encode(unifyLineBreaks(listText, u"\r\n")) + "\r\n";
}

QString decodeDomains(const QByteArray& bytes) {
    const QString text = cp1252::decode(bytes);
    const qsizetype n = text.size();
    QString list;
    bool first = true;
    auto lineEndLength = [&](qsizetype i) -> int {
        if (i >= n)
            return 0;
        if (text[i] == u'\r')
            return i + 1 < n && text[i + 1] == u'\n' ? 2 : 1;
        return text[i] == u'\n' ? 1 : 0;
    };
    auto add = [&](const QString& item) {
        // Empty items before the first non-empty one leave no trace.
        if (first) {
            list = item;
            first = list.isEmpty();
        } else {
            list += QStringLiteral("\r\n") + item;
        }
    };
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (text[i] == u' ' || text[i] == u'\t'))
            ++i;
        if (i >= n)
            break;
        QString item;
        if (text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            item = text.mid(i + 1, close < 0 ? -1 : close - i - 1);
            i = close < 0 ? n : close + 1;
            // Whatever follows the closing quote up to the delimiter is dropped.
            while (i < n && text[i] != u',' && lineEndLength(i) == 0)
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != u',' && lineEndLength(i) == 0)
                ++i;
            item = text.mid(start, i - start);
        }
        if (i < n)
            i += text[i] == u',' ? 1 : lineEndLength(i);
        add(item);
    }
    return list;
}

qint32 Check(const QString& text, const QString& pattern) {
    if (pattern.isEmpty())
        return 0;
    qint32 count = 0;
    for (qsizetype at = text.indexOf(pattern); at >= 0; at = text.indexOf(pattern, at + 1))
        ++count;
    return count;
}

} // namespace drovane
