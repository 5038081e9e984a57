#include "Properties.h"

#include "core/registrar/RequestBuilder.h"
#include "core/run/ListText.h"
#include "core/settings/Cp1252.h"
#include "core/settings/SettingNames.h"

#include <QList>
#include <QPair>
#include <QStringList>

namespace drovane::fuzz {
namespace {

const QByteArray kHead = "GET /interface.asp?";
const QByteArray kTail = " HTTP/1.0\r\n\r\n";

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

struct Field {
    QByteArray key;
    QString value; // percent-decoded, then read as Windows-1252
};

// The query of one request line, or a reason why it is not well framed.
QString parseRequest(const QByteArray& bytes, QList<Field>& fields) {
    if (!bytes.startsWith(kHead) || !bytes.endsWith(kTail) ||
        bytes.size() < kHead.size() + kTail.size())
        return QStringLiteral("the request is not one GET line ending the request");
    const QByteArray query = bytes.sliced(kHead.size(), bytes.size() - kHead.size() - kTail.size());
    for (const char c : query) {
        // No blank, line end, zero byte or other control, nothing outside ASCII.
        if (quint8(c) <= 0x20 || quint8(c) >= 0x7F)
            return QStringLiteral("byte %1 inside the request line").arg(quint8(c));
    }
    for (const QByteArray& pair : query.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq <= 0 || pair.indexOf('=', eq + 1) >= 0)
            return QStringLiteral("a query item is not key=value");
        const QByteArray value = pair.sliced(eq + 1);
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == '%' &&
                (i + 2 >= value.size() || !isHex(value[i + 1]) || !isHex(value[i + 2])))
                return QStringLiteral("a broken percent escape");
        }
        fields.append({pair.first(eq), cp1252::decode(QByteArray::fromPercentEncoding(value))});
    }
    return {};
}

struct Inputs {
    SettingsArray settings;
    RequestContext context;
    QStringList lines; // the list as dealt
};

// The request must carry exactly the inputs, in the order the registrar is sent them.
QString checkRequest(const Request& request, const Inputs& in) {
    QList<Field> fields;
    if (QString failed = parseRequest(request.bytes, fields); !failed.isEmpty())
        return failed;
    const SettingsArray& s = in.settings;
    qsizetype at = 0;
    auto next = [&](const char* key) -> const Field* {
        return at < fields.size() && fields[at].key == key ? &fields[at++] : nullptr;
    };
    auto expect = [&](const char* key, const QString& value) {
        const Field* field = next(key);
        return field && field->value == cp1252Image(value);
    };

    const Field* command = next("command");
    if (!command || command->value != QLatin1String(request.purchase ? "purchase" : "check"))
        return QStringLiteral("wrong command");
    if (!expect("uid", in.context.username) || !expect("pw", in.context.password))
        return QStringLiteral("the account does not decode back");

    // The name comes back as its two parts around the first dot after its first character.
    const QString domain = cp1252Image(request.job->domain);
    const Field* sld = next("sld");
    const Field* tld = next("tld");
    if (!sld || !tld || sld->value.contains(u'.') || !domain.startsWith(sld->value) ||
        !domain.endsWith(tld->value))
        return QStringLiteral("the name does not decode back");
    const qsizetype dot = domain.indexOf(u'.');
    if (dot >= 1 && sld->value + u'.' + tld->value != domain)
        return QStringLiteral("the name does not decode back");

    const bool coUk = tld->value.toLower() == QLatin1String("co.uk");
    if (coUk && !expect("uk_legal_type", s[Setting::LegalType].section(u'$', 1, 1)))
        return QStringLiteral("the legal type does not decode back");
    if (!expect("numyears", coUk ? QStringLiteral("2") : QStringLiteral("1")))
        return QStringLiteral("wrong number of years");

    bool contactsComplete = true;
    for (Setting k : kContactSettings)
        contactsComplete = contactsComplete && !s[k].isEmpty();
    if (at < fields.size() && fields[at].key == "registrantaddress1") {
        if (!request.purchase || !contactsComplete)
            return QStringLiteral("registrant fields where none belong");
        const QList<QPair<const char*, Setting>> registrant = {
            {"registrantaddress1", Setting::Address},    {"registrantcity", Setting::City},
            {"registrantcountry", Setting::Country},     {"registrantemailaddress", Setting::EMail},
            {"registrantfirstname", Setting::FirstName}, {"registrantlastname", Setting::LastName},
            {"registrantphone", Setting::Phone}};
        for (const auto& [key, k] : registrant)
            if (!expect(key, s[Setting(k)]))
                return QStringLiteral("registrant field %1 does not decode back")
                    .arg(QLatin1String(key));
    } else if (request.purchase && (coUk || in.context.listNeedsRegistrant) && contactsComplete) {
        return QStringLiteral("a purchase without the registrant it needs");
    }
    if (at < fields.size() && fields[at].key == "ns1") {
        if (!request.purchase || !in.context.nameServerSwitch)
            return QStringLiteral("name servers where none belong");
        if (!expect("ns1", s[Setting::NameServer1]) || !expect("ns2", s[Setting::NameServer2]))
            return QStringLiteral("the name servers do not decode back");
    }
    if (!expect("responsetype", QStringLiteral("text")) || at != fields.size())
        return QStringLiteral("the request does not end with responsetype=text");
    if (!in.lines.contains(request.job->domain))
        return QStringLiteral("a name that is not on the list");
    return {};
}

} // namespace

QString requestProperties(QByteArrayView input) {
    ByteReader reader(input);
    Inputs in;
    for (int k = 1; k <= kSettingCount; ++k)
        in.settings[Setting(k)] = reader.text();
    switch (reader.byte() % 4) {
    case 0:
        in.settings[Setting::UsePurchase].clear();
        break;
    case 1:
        in.settings[Setting::UsePurchase] = QStringLiteral("0");
        break;
    case 2:
        in.settings[Setting::UsePurchase] = QStringLiteral("1");
        break;
    default: // whatever the file held
        break;
    }
    if (reader.flag())
        in.settings[Setting::LegalType] =
            QString::number(int(reader.byte() % 11) - 1) + u'$' + reader.text();
    in.context.username = reader.text();
    in.context.password = reader.text();
    in.context.settings = &in.settings;
    in.context.nameServerSwitch = reader.flag();
    const bool normalize = reader.flag();
    QString list = reader.longText();
    if (normalize)
        list = normalizeLineEnds(list);
    const QString cleaned = cleanList(list);
    in.context.listNeedsRegistrant = listNeedsRegistrant(cleaned);
    in.lines = listLines(cleaned);

    const RequestMethod method = requestMethod(in.settings[Setting::UsePurchase]);
    const DealtGroups dealt = dealDomains(cleaned, method == RequestMethod::Check);
    for (int step = 0; step < 24 && !reader.atEnd(); ++step) {
        DomainGroup& group = reader.flag() ? *dealt.slot2 : *dealt.slot1;
        // What replies and the error dialog may have done since the last request.
        const quint8 events = reader.byte();
        if (const DomainJobPtr current = group.cursor >= 1 && group.cursor <= group.size()
                                             ? group.at(group.cursor)
                                             : nullptr) {
            if (events & 1)
                current->countTry();
            if (events & 2)
                current->buyNext = true;
        }
        if (events & 4)
            group.remove(reader.byte() % (group.size() + 1) + 1);

        const std::optional<Request> request = takeRequest(group, in.context);
        if (group.size() == 0 || method == RequestMethod::None) {
            if (request)
                return QStringLiteral("a request without a name or a method");
            continue;
        }
        if (!request)
            return QStringLiteral("no request although the group holds names");
        if (group.cursor < 1 || group.cursor > group.size() || request->position != group.cursor ||
            group.at(group.cursor) != request->job)
            return QStringLiteral("the cursor does not name the job asked for");
        if (method == RequestMethod::Purchase && !request->purchase)
            return QStringLiteral("a check with the purchase method");
        if (method == RequestMethod::Check && request->purchase && request->job->buyNext)
            return QStringLiteral("the pending purchase was not cleared");
        if (QString failed = checkRequest(*request, in); !failed.isEmpty())
            return failed;
    }
    return {};
}

} // namespace drovane::fuzz
