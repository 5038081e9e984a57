#include "SettingNames.h"

#include "Cp1252.h"

#include <iterator>

namespace drovane {

QString settingLabel(Setting setting) {
    const int k = int(setting);
    static const char* const names[] = {"",
                                        "",
                                        "Username",
                                        "Password",
                                        "Logging",
                                        "DelayTime",
                                        "FirstName",
                                        "LastName",
                                        "Phone",
                                        "Address",
                                        "City",
                                        "Country",
                                        "EMail",
                                        "StartImmediately",
                                        "StartTime",
                                        "EndTime",
                                        "NameServers",
                                        "NameServer1",
                                        "NameServer2",
                                        "UsePurchase",
                                        "LegalType"};
    static_assert(std::size(names) == kSettingCount + 1);
    if (k < 2 || k > kSettingCount)
        return QStringLiteral("setting %1").arg(k);
    return QStringLiteral("setting %1 (%2)").arg(k).arg(QLatin1String(names[k]));
}

bool registrantComplete(const SettingsArray& settings) {
    for (Setting k : kContactSettings)
        if (settings[k].isEmpty())
            return false;
    return true;
}

bool nameServersComplete(const SettingsArray& settings) {
    return !settings[Setting::NameServer1].isEmpty() && !settings[Setting::NameServer2].isEmpty();
}

bool listNeedsLegalType(const QString& listText) {
    return listText.contains(QLatin1String(".co.uk"));
}

bool listNeedsRegistrant(const QString& listText) {
    // One pass from dot to dot, where three searches would read a long list three times.
    const QChar* const text = listText.constData();
    const qsizetype n = listText.size();
    auto at = [&](qsizetype i, const char* word) {
        for (; *word; ++i, ++word)
            if (i >= n || text[i] != QLatin1Char(*word))
                return false;
        return true;
    };
    for (qsizetype i = 0; i < n; ++i)
        if (text[i] == u'.' && (at(i + 1, "org") || at(i + 1, "biz") || at(i + 1, "info")))
            return true;
    return false;
}

QString settingValueProblem(const QString& value) {
    if (value.contains(QChar::ReplacementCharacter))
        return QStringLiteral("it is not valid UTF-8 text");
    for (QChar c : value)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return QStringLiteral("it holds a control character (a line break, a tab, a NUL...)");
    if (cp1252::decode(cp1252::encode(value)) != value)
        return QStringLiteral("it holds a character that settings.dat cannot keep (it keeps "
                              "Windows-1252 text: Western European letters and signs)");
    if (value.size() > kSettingMaxLength)
        return QStringLiteral("it is longer than %1 characters").arg(kSettingMaxLength);
    return QString();
}

} // namespace drovane
