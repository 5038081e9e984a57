#pragma once

#include "Setting.h"
#include "SettingsCodec.h"

#include <QString>

namespace drovane {

// "setting 19 (UsePurchase)": how messages refer to a setting. A setting's value never
// goes into a message, the log or stderr: it may be the password.
QString settingLabel(Setting k);

// The longest text a setting takes.
constexpr qsizetype kSettingMaxLength = 255;

// Why a text cannot be a setting's value as it is, in plain words without the value
// itself: it is not valid text (decoded from bytes that were not UTF-8), holds a control
// character (a line break would split settings.dat), holds a character settings.dat's
// code page lacks (it would be stored as "?"), or is too long. Empty when it can.
QString settingValueProblem(const QString& value);

// All seven registrant contact settings are filled in.
bool registrantComplete(const SettingsArray& settings);

// Both default name servers are filled in.
bool nameServersComplete(const SettingsArray& settings);

// The list text holds ".org", ".biz" or ".info" anywhere (a plain substring test): every
// purchase of the run then carries the registrant's details, and so does any .co.uk
// purchase on its own.
bool listNeedsRegistrant(const QString& listText);

// The list holds a .co.uk name, which needs a contact legal type too.
bool listNeedsLegalType(const QString& listText);

} // namespace drovane
