#include "SettingsCodec.h"

#include "Cp1252.h"

#include <QByteArrayMatcher>
#include <cstring>

namespace drovane {
namespace {
const QByteArray kSeparator(5, '\0');
}

QByteArray encodeSettings(const SettingsArray& settings) {
    QByteArray out;
    for (int k = 1; k <= kSettingCount; ++k) {
        out += kSeparator;
        const QString& value = settings[Setting(k)];
        out += value.isEmpty() ? QByteArray(1, '\x01') : cp1252::encode(value);
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
        settings[Setting(piece)] = value;
    }
    return piece;
}

QString unifyLineBreaks(const QString& text, QStringView lineEnd) {
    const QStringView view(text);
    const qsizetype n = view.size();
    auto nextBreak = [&](qsizetype from) {
        while (from < n && !isLineBreak(view[from]))
            ++from;
        return from;
    };
    auto breakLength = [&](qsizetype at) {
        return view[at] == u'\r' && at + 1 < n && view[at + 1] == u'\n' ? 2 : 1;
    };
    qsizetype at = nextBreak(0);
    // Mostly every break is the wanted one already: then the text is kept, not copied.
    qsizetype k = at;
    while (k < n && view.sliced(k, breakLength(k)) == lineEnd)
        k = nextBreak(k + breakLength(k));
    if (k == n)
        return text;
    QString out;
    out.reserve(n + n / 8);
    out.append(view.first(at));
    while (at < n) {
        out.append(lineEnd);
        at += breakLength(at);
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
    // The delimiters are ASCII, the same bytes in the code page: the items are found in
    // the bytes and only they are decoded, straight onto the end of the list.
    const char* const text = bytes.constData();
    const qsizetype n = bytes.size();
    // Written in place: an item takes no more characters than its bytes, and the CR LF
    // before it at most one more than the byte that ended the item before (a comma, a
    // lone LF). The room beyond what is written is never touched, so it costs no memory.
    QString list(2 * n + 2, Qt::Uninitialized);
    QChar* const begin = list.data();
    QChar* out = begin;
    bool first = true;
    auto lineEndLength = [&](qsizetype i) -> int {
        if (text[i] == '\r')
            return i + 1 < n && text[i + 1] == '\n' ? 2 : 1;
        return text[i] == '\n' ? 1 : 0;
    };
    auto toDelimiter = [&](qsizetype i) {
        while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
            ++i;
        return i;
    };
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        // Empty items before the first non-empty one leave no trace.
        if (!first) {
            *out++ = u'\r';
            *out++ = u'\n';
        }
        qsizetype length = 0;
        if (text[i] == '"') {
            const char* close = static_cast<const char*>(std::memchr(text + i + 1, '"', n - i - 1));
            const qsizetype from = i + 1;
            length = close ? close - text - from : n - from;
            out = cp1252::decodeTo(out, text + from, length);
            // Whatever follows the closing quote up to the delimiter is dropped.
            i = toDelimiter(close ? close - text + 1 : n);
        } else {
            // Decoded on the way to the delimiter, in one pass.
            const qsizetype from = i;
            for (char c; i < n && (c = text[i]) != ',' && c != '\r' && c != '\n'; ++i)
                *out++ = cp1252::decodeByte(c);
            length = i - from;
        }
        if (i < n)
            i += text[i] == ',' ? 1 : lineEndLength(i);
        first = first && length == 0;
    }
    list.truncate(out - begin);
    return list;
}

} // namespace drovane
