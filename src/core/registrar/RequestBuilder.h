#pragma once

#include "core/model/DomainGroup.h"
#include "core/settings/SettingsCodec.h"

#include <QByteArray>
#include <optional>

namespace drovane {

// Setting 19: empty or "0" checks first, "1" purchases every name, anything else sends
// nothing.
RequestMethod requestMethod(const QString& setting19);

// What a slot needs to know, beyond the job picked, to write its next request.
struct RequestContext {
    QString username;
    QString password;
    const SettingsArray* settings = nullptr;
    bool listNeedsRegistrant = false; // listNeedsRegistrant() of the run's list (SettingNames.h)
    bool nameServerSwitch = false;    // Custom Nameservers checked
};

struct Request {
    QByteArray bytes;
    DomainJobPtr job; // the job the request was sent for
    int position = 0; // its position in the group when sent
    bool purchase = false;
};

// The method setting 19 of the context's settings asks for.
RequestMethod requestMethod(const RequestContext& context);

// The request for a job picked from its group: the same pick and context always give
// the same bytes.
QByteArray formatRequest(const Pick& pick, const RequestContext& context);

// Picks the group's next job by the context's method (moving its cursor) and writes the
// request for it; nothing for an empty group or an unknown method.
std::optional<Request> takeRequest(DomainGroup& group, const RequestContext& context);

// The setup check's side-effect-free commands: the account's balance, and its price for
// registering a name under `tld` for `years` years.
QByteArray balanceRequest(const QString& username, const QString& password);
QByteArray priceRequest(const QString& username, const QString& password, const QString& tld,
                        int years);

// How many years a purchase of a name under `tld` registers: two for .co.uk.
int purchaseYears(const QString& tld);

struct DomainParts {
    QString sld;
    QString tld;
};
DomainParts splitDomain(const QString& domain);

// Percent-encodes a value: every byte but A-Z a-z 0-9 - . _ ~ becomes %XX, so a value
// can never split or end the request.
QByteArray encodeValue(const QString& value);

} // namespace drovane
