#pragma once

#include "core/model/clsDomainsMain.h"
#include "core/settings/SettingsCodec.h"

#include <QByteArray>
#include <optional>

namespace drovane {

enum class RequestMethod { Check, Purchase, None };

// Setting 19: empty or "0" checks first, "1" purchases every name, anything else sends
// nothing.
RequestMethod requestMethod(const QString& setting19);

// What a slot needs to know, beyond its group, to build its next request.
struct RequestContext {
    QString username;
    QString password;
    const SettingsArray* settings = nullptr;
    bool listNeedsRegistrant = false; // listNeedsRegistrant() of the run's list (SettingNames.h)
    bool nameServerSwitch = false;    // Custom Nameservers checked
};

struct Request {
    QByteArray bytes;
    DomainJob job;    // the job the request was sent for
    int position = 0; // its position in the group when sent
    bool purchase = false;
};

// Chooses the next job of the group, moves the cursor and builds the request for it,
// or nothing (empty group, unknown method).
std::optional<Request> buildRequest(clsDomainsMain& group, const RequestContext& context);

// The job the group's next request would be for, without choosing it: what a report of
// a connection that failed before its request can name. Null when there is none.
DomainJob peekNextJob(const clsDomainsMain& group, const RequestContext& context);

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
