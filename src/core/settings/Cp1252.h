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

} // namespace drovane::cp1252
