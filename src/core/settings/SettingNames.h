#pragma once

#include "SettingsCodec.h"

#include <QString>

namespace drovane {

// The twenty settings by name; the numbers are their places in settings.dat and never
// change. Setting 1 is kept but unused.
namespace setting {
constexpr int Username = 2;
constexpr int Password = 3;
constexpr int Logging = 4;
constexpr int DelayTime = 5;
constexpr int FirstName = 6;
constexpr int LastName = 7;
constexpr int Phone = 8;
constexpr int Address = 9;
constexpr int City = 10;
constexpr int Country = 11;
constexpr int EMail = 12;
constexpr int StartImmediately = 13;
constexpr int StartTime = 14;
constexpr int EndTime = 15;
constexpr int NameServers = 16;
constexpr int NameServer1 = 17;
constexpr int NameServer2 = 18;
constexpr int UsePurchase = 19;
constexpr int LegalType = 20;

// The registrant's contact details, first name to e-mail address, in setting order.
constexpr int FirstContact = FirstName;
constexpr int LastContact = EMail;
} // namespace setting

// "setting 19 (UsePurchase)": how messages refer to a setting. A setting's value never
// goes into a message, the log or stderr: it may be the password.
QString settingLabel(int k);

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
