#include "Cp1252.h"

namespace drovane::cp1252 {
namespace {

char encodeOne(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return char(0x80 + i);
    return '?';
}

} // namespace

QByteArray encode(const QString& text) {
    // Written in place: a list of a million names is tens of megabytes.
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
    for (qsizetype i = 0; i < length; ++i)
        *out++ = decodeByte(bytes[i]);
    return out;
}

} // namespace drovane::cp1252
