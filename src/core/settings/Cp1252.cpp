#include "Cp1252.h"

namespace drovane::cp1252 {
namespace {

// 0x80..0x9F; the five bytes Windows leaves undefined map to the C1 control of the
// same value so that they survive a round trip.
const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encodeOne(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i)
        if (high[i] == c)
            return char(0x80 + i);
    return '?';
}

} // namespace

QByteArray encode(const QString& text) {
    const qsizetype n = text.size();
    const QChar* in = text.constData();
    QByteArray out(n, Qt::Uninitialized);
    char* const begin = out.data();
    char* dst = begin;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i].unicode();
        if (c < 0x80)
            *dst++ = char(c);
        // A surrogate pair is one character the code page lacks, not two.
        else if (in[i].isHighSurrogate() && i + 1 < n && in[i + 1].isLowSurrogate())
            ++i, *dst++ = '?';
        else
            *dst++ = encodeOne(c);
    }
    out.truncate(dst - begin);
    return out;
}

QString decode(const QByteArray& bytes) {
    QString out;
    decodeAppend(out, bytes.constData(), bytes.size());
    return out;
}

void decodeAppend(QString& out, const char* bytes, qsizetype length) {
    const qsizetype at = out.size();
    out.resize(at + length);
    decodeTo(out.data() + at, bytes, length);
}

QChar* decodeTo(QChar* out, const char* bytes, qsizetype length) {
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned char u = static_cast<unsigned char>(bytes[i]);
        *out++ = QChar(u >= 0x80 && u < 0xA0 ? high[u - 0x80] : char16_t(u));
    }
    return out;
}

} // namespace drovane::cp1252
