#pragma once

// Properties the four file and wire readers and writers must keep for any input. Each
// check returns an empty string when they all hold, otherwise the first that failed.
// The libFuzzer targets abort on a failure; the regression test replays kept inputs.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace drovane::fuzz {

QString settingsDatProperties(QByteArrayView input);
QString domainsDatProperties(QByteArrayView input);
QString replyProperties(QByteArrayView input);
QString requestProperties(QByteArrayView input);

// Hands out the input piece by piece to build structured values; past its end every
// piece is empty, so any input gives a complete case.
class ByteReader {
public:
    explicit ByteReader(QByteArrayView data) : data_(data) {}

    bool atEnd() const { return pos_ >= data_.size(); }
    quint8 byte() { return atEnd() ? 0 : quint8(data_[pos_++]); }
    bool flag() { return byte() & 1; }
    QByteArray bytes(qsizetype n);
    // Up to 63 characters: mostly Windows-1252 bytes, sometimes raw UTF-16 units so that
    // characters the code page lacks (and lone surrogates) occur too.
    QString text();
    // The same with a two-byte length of up to 4095 characters, for list texts.
    QString longText();

private:
    QString textOf(qsizetype n, bool utf16);

    QByteArrayView data_;
    qsizetype pos_ = 0;
};

// The text as it comes back from Windows-1252: characters the code page lacks (a
// surrogate pair counting as one) become "?". Built from the decoder's table alone, so
// it checks the encoder against the decoder.
QString cp1252Image(const QString& text);

} // namespace drovane::fuzz
