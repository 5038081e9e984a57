#pragma once

#include "core/model/MainFields.h"
#include "core/settings/SettingsStore.h"

namespace drovane {

// What both faces share above the engine: how the main window's fields come out of the
// saved files, so that drovane-cli saves back exactly what the window would.

struct LoadedFields {
    MainFields fields;
    // The saved interval is a number out of range (the window shows its range message)
    // or no number at all (the window beeps); either way the box is left empty.
    bool intervalRangeMessage = false;
    bool intervalBeep = false;
};

// The fields after loading the store's settings (GetSettings has run) and its list: a box
// keeps its created state when its setting is empty or neither 0 nor 1 (told to the
// common error routine); Custom Nameservers is on only with both name servers, whatever
// was saved, since a purchase without them carries none; the list has CR LF line ends.
LoadedFields loadMainFields(SettingsStore& store);

// Custom Nameservers cannot stay on while a default name server is missing: a purchase
// would carry none. Loading, the settings window's Done and close, and `settings set`
// all switch it off then.
bool nameServerSwitchMustGoOff(const SettingsArray& settings);

} // namespace drovane
