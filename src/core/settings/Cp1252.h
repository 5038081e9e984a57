#pragma once

#include <QByteArray>
#include <QString>

namespace drovane::cp1252 {

// One byte per character, always Windows-1252 whatever the locale says. Characters
// the code page lacks are written as "?".
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);
// Decodes `length` bytes from `bytes` onto the end of `out`.
void decodeAppend(QString& out, const char* bytes, qsizetype length);
// Decodes `length` bytes to `out`, which has room for them; returns the end.
QChar* decodeTo(QChar* out, const char* bytes, qsizetype length);

// 0x80..0x9F; the five bytes Windows leaves undefined map to the C1 control of the
// same value so that they survive a round trip.
inline constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline QChar decodeByte(char byte) {
    const unsigned char u = static_cast<unsigned char>(byte);
    return QChar(u >= 0x80 && u < 0xA0 ? kHigh[u - 0x80] : char16_t(u));
}

} // namespace drovane::cp1252
