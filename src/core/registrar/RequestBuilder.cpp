#include "RequestBuilder.h"

#include "core/settings/Cp1252.h"
#include "core/settings/SettingNames.h"

namespace drovane {

RequestMethod requestMethod(const QString& setting19) {
    if (setting19.isEmpty() || setting19 == QLatin1String("0"))
        return RequestMethod::Check;
    if (setting19 == QLatin1String("1"))
        return RequestMethod::Purchase;
    return RequestMethod::None;
}

DomainParts splitDomain(const QString& domain) {
    const qsizetype firstDot = domain.indexOf(u'.');
    const qsizetype tldDot = domain.indexOf(u'.', 1);
    return {firstDot < 0 ? domain : domain.left(firstDot),
            tldDot < 0 ? domain : domain.mid(tldDot + 1)};
}

QByteArray encodeValue(const QString& value) {
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray raw = cp1252::encode(value);
    QByteArray out;
    out.reserve(raw.size() * 3);
    for (char c : raw) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
            u == '-' || u == '.' || u == '_' || u == '~') {
            out.append(c);
        } else {
            out.append('%');
            out.append(hex[u >> 4]);
            out.append(hex[u & 15]);
        }
    }
    return out;
}

namespace {

struct NextChoice {
    int position = 0;
    bool purchase = false;
    bool pendingPurchase = false; // a check found the job free: its flag is used up
};

std::optional<NextChoice> nextChoice(const clsDomainsMain& g, RequestMethod method) {
    const int count = g.Count();
    if (count == 0 || method == RequestMethod::None)
        return std::nullopt;
    NextChoice choice;
    choice.purchase = method == RequestMethod::Purchase;
    int cursor = g.CurPos;
    if (method == RequestMethod::Check) {
        // A cursor past the end (after a removal) names no job: nothing is pending.
        const bool inRange = cursor >= 1 && cursor <= count;
        if (inRange && g.item(cursor)->DoPURCHASE) {
            choice.position = cursor;
            choice.purchase = choice.pendingPurchase = true;
            return choice;
        }
        if (cursor == 1 && g.item(1)->Tries == 0)
            cursor = 0; // the first check of a run goes to the first name
    }
    // The walk 1, 2, ..., Count, 1, ...; a cursor outside the group comes back to 1.
    choice.position = cursor >= 0 && cursor < count ? cursor + 1 : 1;
    return choice;
}

} // namespace

DomainJob peekNextJob(const clsDomainsMain& group, const RequestContext& context) {
    const auto choice = nextChoice(group, requestMethod((*context.settings)[setting::UsePurchase]));
    return choice ? group.item(choice->position) : DomainJob();
}

std::optional<Request> buildRequest(clsDomainsMain& g, const RequestContext& ctx) {
    const SettingsArray& s = *ctx.settings;
    const auto choice = nextChoice(g, requestMethod(s[setting::UsePurchase]));
    if (!choice)
        return std::nullopt;
    const bool purchase = choice->purchase;
    if (choice->pendingPurchase)
        g.item(choice->position)->DoPURCHASE = false;
    g.CurPos = choice->position;

    const DomainJob job = g.item(g.CurPos);
    const DomainParts parts = splitDomain(job->Domain);
    const bool coUk = parts.tld.toLower() == QLatin1String("co.uk");
    const QString legalType = s[setting::LegalType].section(u'$', 1, 1);
    const bool registrant = (coUk || ctx.listNeedsRegistrant) && registrantComplete(s);
    const bool nameServers = ctx.nameServerSwitch && nameServersComplete(s);

    QByteArray q;
    q.reserve(256);
    q += purchase ? "GET /interface.asp?command=purchase&uid="
                  : "GET /interface.asp?command=check&uid=";
    q += encodeValue(ctx.username);
    q += "&pw=" + encodeValue(ctx.password);
    q += "&sld=" + encodeValue(parts.sld);
    q += "&tld=" + encodeValue(parts.tld);
    if (coUk)
        q += "&uk_legal_type=" + encodeValue(legalType);
    q += "&numyears=" + QByteArray::number(purchaseYears(parts.tld));
    if (purchase && registrant) {
        q += "&registrantaddress1=" + encodeValue(s[setting::Address]);
        q += "&registrantcity=" + encodeValue(s[setting::City]);
        q += "&registrantcountry=" + encodeValue(s[setting::Country]);
        q += "&registrantemailaddress=" + encodeValue(s[setting::EMail]);
        q += "&registrantfirstname=" + encodeValue(s[setting::FirstName]);
        q += "&registrantlastname=" + encodeValue(s[setting::LastName]);
        q += "&registrantphone=" + encodeValue(s[setting::Phone]);
    }
    if (purchase && nameServers) {
        q += "&ns1=" + encodeValue(s[setting::NameServer1]);
        q += "&ns2=" + encodeValue(s[setting::NameServer2]);
    }
    q += "&responsetype=text HTTP/1.0\r\n\r\n";
    return Request{q, job, g.CurPos, purchase};
}

int purchaseYears(const QString& tld) {
    return tld.toLower() == QLatin1String("co.uk") ? 2 : 1;
}

QByteArray balanceRequest(const QString& username, const QString& password) {
    return "GET /interface.asp?command=GetBalance&uid=" + encodeValue(username) +
           "&pw=" + encodeValue(password) + "&responsetype=text HTTP/1.0\r\n\r\n";
}

QByteArray priceRequest(const QString& username, const QString& password, const QString& tld,
                        int years) {
    return "GET /interface.asp?command=PE_GetProductPrice&uid=" + encodeValue(username) +
           "&pw=" + encodeValue(password) + "&ProductType=10&TLD=" + encodeValue(tld) +
           "&Years=" + QByteArray::number(years) + "&responsetype=text HTTP/1.0\r\n\r\n";
}

} // namespace drovane
