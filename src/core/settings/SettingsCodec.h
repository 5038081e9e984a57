#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "Setting.h"

namespace drovane {

// settings.dat: for each setting five zero bytes then its text (or the byte 01 when
// empty), five more zero bytes, CR LF.
QByteArray encodeSettings(const SettingsArray& settings);

// Splits settings.dat into its pieces 1..20. Returns how many pieces were present;
// settings whose piece is missing keep the value they had.
int decodeSettings(const QByteArray& bytes, SettingsArray& settings);

// CR, LF, U+2028 (line separator), U+2029 (paragraph separator) or U+0085 (next line).
inline bool isLineBreak(QChar c) {
    // Most characters of a list lie between CR and U+0085: one comparison rules them out.
    const char16_t u = c.unicode();
    if (u > u'\r' && u < u'\u0085')
        return false;
    return u == u'\r' || u == u'\n' || u == QChar::LineSeparator ||
           u == QChar::ParagraphSeparator || u == u'\u0085';
}

// Every line break a text box can hold (CR LF, a lone CR or LF, U+2028, U+2029, U+0085)
// replaced by lineEnd.
QString unifyLineBreaks(const QString& text, QStringView lineEnd);

// domains.dat: the list text followed by CR LF, every line break written as CR LF.
QByteArray encodeDomains(const QString& listText);

// Reads domains.dat item by item (leading blanks skipped, an item ends at a comma or
// a line end, a quoted item runs to the next quote) and joins the items with CR LF.
QString decodeDomains(const QByteArray& bytes);

} // namespace drovane
