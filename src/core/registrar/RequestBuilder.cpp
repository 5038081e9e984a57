#include "RequestBuilder.h"

#include "core/settings/Cp1252.h"

namespace drovane {

RequestMethod requestMethod(const QString& setting19) {
    if (setting19.isEmpty() || setting19 == QLatin1String("0"))
        return RequestMethod::Check;
    if (setting19 == QLatin1String("1"))
        return RequestMethod::Purchase;
    return RequestMethod::None;
}

bool listNeedsRegistrant(const QString& listText) {
    return listText.contains(QLatin1String(".org")) || listText.contains(QLatin1String(".biz")) ||
           listText.contains(QLatin1String(".info"));
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

std::optional<Request> buildRequest(clsDomainsMain& g, const RequestContext& ctx) {
    const int count = g.Count();
    if (count == 0)
        return std::nullopt;
    const SettingsArray& s = *ctx.settings;
    const RequestMethod method = requestMethod(s[19]);
    if (method == RequestMethod::None)
        return std::nullopt;

    bool purchase = method == RequestMethod::Purchase;
    bool advance = true;
    if (method == RequestMethod::Check) {
        // A cursor past the end (after a removal) names no job: nothing is pending.
        const bool inRange = g.CurPos >= 1 && g.CurPos <= count;
        if (inRange && g.item(g.CurPos)->DoPURCHASE) {
            g.item(g.CurPos)->DoPURCHASE = false;
            purchase = true;
            advance = false;
        } else if (g.CurPos == 1 && g.item(1)->Tries == 0) {
            g.CurPos = 0; // the first check of a run goes to the first name
        }
    }
    // The walk 1, 2, ..., Count, 1, ...; a cursor outside the group comes back to 1.
    if (advance)
        g.CurPos = g.CurPos >= 0 && g.CurPos < count ? g.CurPos + 1 : 1;

    const DomainJob job = g.item(g.CurPos);
    const DomainParts parts = splitDomain(job->Domain);
    const bool coUk = parts.tld.toLower() == QLatin1String("co.uk");
    const QString legalType = s[20].section(u'$', 1, 1);
    bool contactsComplete = true;
    for (int k = 6; k <= 12; ++k)
        contactsComplete = contactsComplete && !s[k].isEmpty();
    const bool registrant = (coUk || ctx.listNeedsRegistrant) && contactsComplete;
    const bool nameServers = ctx.nameServerSwitch && !s[17].isEmpty() && !s[18].isEmpty();

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
    q += coUk ? "&numyears=2" : "&numyears=1";
    if (purchase && registrant) {
        q += "&registrantaddress1=" + encodeValue(s[9]);
        q += "&registrantcity=" + encodeValue(s[10]);
        q += "&registrantcountry=" + encodeValue(s[11]);
        q += "&registrantemailaddress=" + encodeValue(s[12]);
        q += "&registrantfirstname=" + encodeValue(s[6]);
        q += "&registrantlastname=" + encodeValue(s[7]);
        q += "&registrantphone=" + encodeValue(s[8]);
    }
    if (purchase && nameServers) {
        q += "&ns1=" + encodeValue(s[17]);
        q += "&ns2=" + encodeValue(s[18]);
    }
    q += "&responsetype=text HTTP/1.0\r\n\r\n";
    return Request{q, job, g.CurPos, purchase};
}

} // namespace drovane
