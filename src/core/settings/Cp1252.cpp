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
    // Written in place: a list of a million names is tens of megabytes.
    QByteArray out(text.size(), Qt::Uninitialized);
    char* dst = out.data();
    const QChar* src = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        // A surrogate pair is one character the code page lacks, not two.
        if (src[i].isHighSurrogate() && i + 1 < n && src[i + 1].isLowSurrogate())
            ++i, *dst++ = '?';
        else
            *dst++ = encodeOne(src[i].unicode());
    }
    out.truncate(dst - out.data());
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
    QChar* dst = out.data() + at;
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned char u = static_cast<unsigned char>(bytes[i]);
        *dst++ = QChar(u >= 0x80 && u < 0xA0 ? high[u - 0x80] : char16_t(u));
    }
}

} // namespace drovane::cp1252
