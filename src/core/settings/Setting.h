#pragma once

#include <QString>
#include <array>
#include <cstddef>

namespace drovane {

// The twenty settings by name; each number is the setting's place in settings.dat and
// never changes. A place comes from a number only by an explicit Setting(k), so a bare
// index never reads a setting by mistake.
enum class Setting : int {
    Unused = 1, // kept in the file, read by nothing
    Username = 2,
    Password = 3,
    Logging = 4,
    DelayTime = 5,
    FirstName = 6,
    LastName = 7,
    Phone = 8,
    Address = 9,
    City = 10,
    Country = 11,
    EMail = 12,
    StartImmediately = 13,
    StartTime = 14,
    EndTime = 15,
    NameServers = 16,
    NameServer1 = 17,
    NameServer2 = 18,
    UsePurchase = 19,
    LegalType = 20,
};

constexpr int kSettingCount = 20;

// The registrant's contact details, first name to e-mail address, in setting order.
constexpr Setting kContactSettings[] = {Setting::FirstName, Setting::LastName, Setting::Phone,
                                        Setting::Address,   Setting::City,     Setting::Country,
                                        Setting::EMail};

// The values of all twenty settings.
class SettingsArray {
public:
    QString& operator[](Setting k) { return values_[std::size_t(k)]; }
    const QString& operator[](Setting k) const { return values_[std::size_t(k)]; }
    // Every setting, 1..20, set to `value`.
    void fill(const QString& value) {
        for (std::size_t k = 1; k < values_.size(); ++k)
            values_[k] = value;
    }
    bool operator==(const SettingsArray& other) const { return values_ == other.values_; }

private:
    // Places 1..20; place 0 is not a setting.
    std::array<QString, kSettingCount + 1> values_;
};

} // namespace drovane
