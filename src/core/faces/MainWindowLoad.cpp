#include "MainWindowLoad.h"

#include "core/model/HandleError.h"
#include "core/run/IntervalCheck.h"
#include "core/run/ListText.h"
#include "core/settings/SettingNames.h"

namespace drovane {
namespace {

int switchState(const SettingsStore& store, Setting setting, int created) {
    const QString value = store.Settings(setting);
    if (value.isEmpty())
        return created;
    if (value == QLatin1String("0") || value == QLatin1String("1"))
        return value == QLatin1String("1") ? 1 : 0;
    // Loading goes on to the list: otherwise the next save would write an empty one.
    HandleError(
        380,
        QStringLiteral("Invalid property value: %1 is neither 0 nor 1").arg(settingLabel(setting)),
        QStringLiteral("Form_Load"), QStringLiteral("settings.dat"), QStringLiteral("frmMain"));
    return created;
}

} // namespace

LoadedFields loadMainFields(SettingsStore& store) {
    LoadedFields loaded;
    MainFields& f = loaded.fields;
    f.username = store.Settings(Setting::Username);
    f.password = store.Settings(Setting::Password);
    const IntervalCheck interval = checkIntervalText(store.Settings(Setting::DelayTime), QString());
    loaded.intervalRangeMessage = interval.outcome == IntervalCheck::RangeMessage;
    loaded.intervalBeep = interval.outcome == IntervalCheck::Beep;
    f.delayTime = interval.text;
    f.logging = switchState(store, Setting::Logging, 0);
    f.startImmediately = switchState(store, Setting::StartImmediately, 1);
    f.nameServers =
        nameServerSwitchMustGoOff(store.all()) ? 0 : switchState(store, Setting::NameServers, 1);
    f.startTime = store.Settings(Setting::StartTime);
    f.endTime = store.Settings(Setting::EndTime);
    f.domains = normalizeLineEnds(store.readDomains());
    return loaded;
}

bool nameServerSwitchMustGoOff(const SettingsArray& settings) {
    return !nameServersComplete(settings);
}

} // namespace drovane
