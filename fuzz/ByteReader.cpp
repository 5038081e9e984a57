#include "Properties.h"

#include "core/settings/Cp1252.h"

#include <bitset>

namespace drovane::fuzz {

QByteArray ByteReader::bytes(qsizetype n) {
    n = std::min(n, data_.size() - pos_);
    const QByteArray out = data_.sliced(pos_, n).toByteArray();
    pos_ += n;
    return out;
}

QString ByteReader::textOf(qsizetype n, bool utf16) {
    if (!utf16)
        return cp1252::decode(bytes(n));
    QString out;
    for (qsizetype i = 0; i < n && !atEnd(); ++i) {
        const quint8 low = byte();
        out += QChar(char16_t(low | byte() << 8));
    }
    return out;
}

QString ByteReader::text() {
    const quint8 head = byte();
    return textOf(head & 0x3F, head & 0x80);
}

QString ByteReader::longText() {
    const quint8 high = byte();
    const quint8 low = byte();
    return textOf((high & 0x0F) << 8 | low, high & 0x80);
}

QString cp1252Image(const QString& text) {
    static const std::bitset<0x10000> inPage = [] {
        std::bitset<0x10000> set;
        for (int b = 0; b < 256; ++b)
            set.set(cp1252::decode(QByteArray(1, char(b))).at(0).unicode());
        return set;
    }();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += u'?';
            ++i;
        } else {
            out += inPage.test(c.unicode()) ? c : QChar(u'?');
        }
    }
    return out;
}

} // namespace drovane::fuzz
