#include "Properties.h"

#include "core/settings/Cp1252.h"
#include "core/settings/SettingsCodec.h"

namespace drovane::fuzz {
namespace {

const QByteArray kSeparator(5, '\0');

// Non-overlapping runs of five zero bytes, counted from the left.
int separatorCount(const QByteArray& bytes) {
    int count = 0;
    for (qsizetype at = bytes.indexOf(kSeparator); at >= 0;
         at = bytes.indexOf(kSeparator, at + kSeparator.size()))
        ++count;
    return count;
}

// A value the file gives back unchanged: the reader deletes CR LF pairs and the byte
// 01, and zero bytes at its end would join the separator that follows.
bool fileCarries(const QString& value) {
    return !value.contains(QLatin1String("\r\n")) && !value.contains(QChar(1)) &&
           !value.endsWith(QChar(0)) && !value.contains(QString(5, QChar(0)));
}

// The settings read back from the file written for `written`, compared where the format
// can carry them. Zero bytes at the end of a value (or five in a row) shift every
// separator after it, so nothing after such a value is compared.
QString compareRoundTrip(const SettingsArray& written, const SettingsArray& read) {
    for (int k = 1; k <= kSettingCount; ++k) {
        const QString expected = cp1252Image(written[Setting(k)]);
        if (!fileCarries(expected)) {
            if (expected.endsWith(QChar(0)) || expected.contains(QString(5, QChar(0))))
                break;
            continue;
        }
        if (read[Setting(k)] != expected)
            return QStringLiteral("setting %1 did not survive writing and reading").arg(k);
    }
    return {};
}

QString sentinel(int k) {
    return QStringLiteral("\u2603%1").arg(k);
}

} // namespace

QString settingsDatProperties(QByteArrayView input) {
    const QByteArray bytes = QByteArray::fromRawData(input.data(), input.size());

    // Any file: pieces that are missing keep the values in memory; what is read is text
    // of the code page without the byte 01.
    SettingsArray held;
    for (int k = 0; k <= kSettingCount; ++k)
        held[Setting(k)] = sentinel(k);
    const int pieces = decodeSettings(bytes, held);
    if (pieces != std::min(separatorCount(bytes), kSettingCount))
        return QStringLiteral("%1 pieces reported for %2 separators")
            .arg(pieces)
            .arg(separatorCount(bytes));
    if (held[Setting(0)] != sentinel(0))
        return QStringLiteral("index 0 was written");
    for (int k = 1; k <= kSettingCount; ++k) {
        if (k > pieces && held[Setting(k)] != sentinel(k))
            return QStringLiteral("setting %1 changed without a piece").arg(k);
        if (k <= pieces && (held[Setting(k)].contains(QChar(1)) ||
                            cp1252Image(held[Setting(k)]) != held[Setting(k)]))
            return QStringLiteral("setting %1 holds what the file cannot hold").arg(k);
    }

    // Every byte comes back through the code page.
    if (cp1252::encode(cp1252::decode(bytes)) != bytes)
        return QStringLiteral("bytes changed through Windows-1252");

    // What was read, written again, reads back the same and always in twenty pieces.
    SettingsArray read;
    decodeSettings(bytes, read);
    const QByteArray rewritten = encodeSettings(read);
    if (!rewritten.startsWith(kSeparator) || !rewritten.endsWith(kSeparator + "\r\n"))
        return QStringLiteral("written file is not framed by separators and CR LF");
    SettingsArray reread;
    if (decodeSettings(rewritten, reread) != kSettingCount)
        return QStringLiteral("a written file lost a piece");
    if (QString failed = compareRoundTrip(read, reread); !failed.isEmpty())
        return failed;

    // Twenty values taken from the input, any characters at all.
    ByteReader reader(input);
    SettingsArray values;
    for (int k = 1; k <= kSettingCount; ++k)
        values[Setting(k)] = reader.text();
    SettingsArray back;
    if (decodeSettings(encodeSettings(values), back) != kSettingCount)
        return QStringLiteral("a written file lost a piece");
    return compareRoundTrip(values, back);
}

} // namespace drovane::fuzz
