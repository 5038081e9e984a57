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

RequestMethod requestMethod(const RequestContext& context) {
    return requestMethod((*context.settings)[Setting::UsePurchase]);
}

std::optional<Request> takeRequest(DomainGroup& group, const RequestContext& context) {
    std::optional<Pick> pick = group.pickNext(requestMethod(context));
    if (!pick)
        return std::nullopt;
    QByteArray bytes = formatRequest(*pick, context);
    return Request{std::move(bytes), std::move(pick->job), pick->position, pick->purchase};
}

QByteArray formatRequest(const Pick& pick, const RequestContext& ctx) {
    const SettingsArray& s = *ctx.settings;
    const bool purchase = pick.purchase;
    const DomainParts parts = splitDomain(pick.job->domain);
    const bool coUk = parts.tld.toLower() == QLatin1String("co.uk");
    const QString legalType = s[Setting::LegalType].section(u'$', 1, 1);
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
        q += "&registrantaddress1=" + encodeValue(s[Setting::Address]);
        q += "&registrantcity=" + encodeValue(s[Setting::City]);
        q += "&registrantcountry=" + encodeValue(s[Setting::Country]);
        q += "&registrantemailaddress=" + encodeValue(s[Setting::EMail]);
        q += "&registrantfirstname=" + encodeValue(s[Setting::FirstName]);
        q += "&registrantlastname=" + encodeValue(s[Setting::LastName]);
        q += "&registrantphone=" + encodeValue(s[Setting::Phone]);
    }
    if (purchase && nameServers) {
        q += "&ns1=" + encodeValue(s[Setting::NameServer1]);
        q += "&ns2=" + encodeValue(s[Setting::NameServer2]);
    }
    q += "&responsetype=text HTTP/1.0\r\n\r\n";
    return q;
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
