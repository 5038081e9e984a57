#pragma once

#include "core/model/MainFields.h"
#include "core/settings/SettingsStore.h"

#include <QStringList>

namespace drovane::test {

// The two saves the kill helper alternates between. They differ in every file and in
// size (B's list spans several pages), so a torn or half-written file cannot pass for
// either.
inline MainFields killSaveFields(bool b) {
    MainFields f;
    f.username = b ? QStringLiteral("reseller-b") : QStringLiteral("reseller-a");
    f.password = b ? QStringLiteral("secret b") : QStringLiteral("secret a");
    f.delayTime = b ? QStringLiteral("12") : QStringLiteral("5");
    f.logging = b ? 1 : 0;
    f.startTime = b ? QStringLiteral("10:30 PM") : QString();
    QStringList names;
    for (int i = 0; i < (b ? 1500 : 3); ++i)
        names << QStringLiteral("name%1.%2").arg(i).arg(QLatin1String(b ? "co.uk" : "com"));
    f.domains = names.join(QStringLiteral("\r\n"));
    return f;
}

inline void killSaveSettings(SettingsStore& store, bool b) {
    store.setSettings(Setting::FirstName, b ? QStringLiteral("Jane") : QStringLiteral("John"));
    store.setSettings(Setting::LegalType, b ? QStringLiteral("6$IND") : QStringLiteral("-1$"));
}

} // namespace drovane::test
