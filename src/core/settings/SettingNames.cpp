#include "SettingNames.h"

namespace drovane {

bool registrantComplete(const SettingsArray& settings) {
    for (int k = setting::FirstContact; k <= setting::LastContact; ++k)
        if (settings[k].isEmpty())
            return false;
    return true;
}

bool nameServersComplete(const SettingsArray& settings) {
    return !settings[setting::NameServer1].isEmpty() && !settings[setting::NameServer2].isEmpty();
}

bool listNeedsLegalType(const QString& listText) {
    return listText.contains(QLatin1String(".co.uk"));
}

bool listNeedsRegistrant(const QString& listText) {
    return listText.contains(QLatin1String(".org")) || listText.contains(QLatin1String(".biz")) ||
           listText.contains(QLatin1String(".info"));
}

} // namespace drovane
