#include "SetupCheck.h"

#include "core/model/DomainName.h"

#include "ErrorText.h"
#include "ListText.h"
#include "StartChecks.h"
#include "core/registrar/ReplyInterpreter.h"
#include "core/registrar/RequestBuilder.h"
#include "core/settings/SettingNames.h"

#include <QMap>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <limits>

namespace drovane {
namespace {

// A reply larger than this is not the registrar's; the rest of it is not kept.
constexpr qsizetype kMaxReply = 1024 * 1024;

QString ms(qint64 us) {
    return QString::number(double(us) / 1000.0, 'f', us < 10000 ? 1 : 0);
}

QString seconds(qint64 us) {
    return QString::number(double(us) / 1000000.0, 'f', 1);
}

qint64 median(std::vector<qint64> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

CheckLine line(const char* id, const char* title) {
    CheckLine l;
    l.id = QLatin1String(id);
    l.title = QLatin1String(title);
    return l;
}

bool looksLikeDomainName(const QString& text) {
    return !domainNameProblem(text);
}

// Records what the start rules would say, instead of showing it.
class RecordingPrompter : public Prompter {
public:
    void critical(const QString&, const QString& text) override { refusal = text; }
    void notice(const QString& text) override { refusal = text; }
    bool question(const QString& text) override {
        asked = text;
        return true; // a question is a warning: the check goes on past it
    }
    void beep() override {}
    QString refusal;
    QString asked;
};

QString tldOf(const QString& name) {
    return splitDomain(name).tld.toLower();
}

} // namespace

QString verdictWord(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ready:
        return QStringLiteral("ready");
    case Verdict::Warning:
        return QStringLiteral("warning");
    case Verdict::NotReady:
        return QStringLiteral("not ready");
    }
    return QString();
}

Verdict SetupCheck::overall(const QList<CheckLine>& lines) {
    for (const CheckLine& l : lines)
        if (l.verdict == Verdict::NotReady)
            return Verdict::NotReady;
    return Verdict::Ready;
}

SetupCheck::SetupCheck(Platform& platform, SetupInput input)
    : platform_(platform), input_(std::move(input)), timeout_(platform.createTimer(kStepTimeoutMs)),
      turn_(platform.createTimer(0)) {
    timeout_->onTick = [this] {
        timeout_->setEnabled(false);
        failed(current_ && current_->connectedUs < 0
                   ? QStringLiteral("no connection within %1 s").arg(kStepTimeoutMs / 1000)
                   : QStringLiteral("no reply within %1 s").arg(kStepTimeoutMs / 1000),
               false);
    };
    turn_->onTick = [this] {
        turn_->setEnabled(false);
        retired_.clear(); // no socket event is on the stack here
        const auto step = onTurn_;
        if (step)
            step();
    };
}

SetupCheck::~SetupCheck() {
    cancel();
}

void SetupCheck::cancel() {
    running_ = false;
    onTurn_ = nullptr;
    timeout_->setEnabled(false);
    turn_->setEnabled(false);
    retireSocket();
    current_ = nullptr;
}

void SetupCheck::retireSocket() {
    if (!socket_)
        return;
    // Its callbacks may be on the stack: it is closed now and destroyed on the next turn.
    socket_->onConnected = nullptr;
    socket_->onData = nullptr;
    socket_->onClosedByPeer = nullptr;
    socket_->onError = nullptr;
    socket_->onHandshakeFailed = nullptr;
    socket_->close();
    retired_.push_back(std::move(socket_));
}

void SetupCheck::start() {
    cancel();
    lines_.clear();
    names_ = listLines(cleanList(input_.fields.domains));
    names_.removeAll(QString());
    credentials_ = !input_.fields.username.isEmpty() && !input_.fields.password.isEmpty();
    probes_.assign(kProbes, Exchange{});
    if (credentials_)
        for (Exchange& e : probes_)
            e.request = balanceRequest(input_.fields.username, input_.fields.password);
    prices_.clear();
    phase_ = &probes_;
    at_ = 0;
    stopAsking_ = false;
    haveBalance_ = false;
    running_ = true;
    onTurn_ = [this] { next(); };
    turn_->setEnabled(true);
}

void SetupCheck::next() {
    if (!running_)
        return;
    std::vector<Exchange>& phase = *phase_;
    if (at_ < phase.size() && !stopAsking_) {
        begin(phase[at_]);
        return;
    }
    if (phase_ == &probes_)
        afterProbes();
    else
        afterPrices();
}

void SetupCheck::begin(Exchange& e) {
    current_ = &e;
    socket_ = platform_.createSocket();
    TcpSocket& s = *socket_;
    s.onConnected = [this] { connected(); };
    s.onData = [this](const QByteArray& bytes) { arrived(bytes); };
    s.onClosedByPeer = [this] { ended(); };
    s.onError = [this](const QString& why) { failed(why, false); };
    s.onHandshakeFailed = [this](const QString& why) { failed(why, true); };
    e.openedUs = platform_.clock().steadyUs();
    timeout_->setEnabled(true);
    // Exactly as a run's slot connects: TLS verified against the host, or plain.
    if (input_.endpoint.secure)
        s.connectEncrypted(input_.endpoint.host, input_.endpoint.port);
    else
        s.connectTo(input_.endpoint.host, input_.endpoint.port);
}

void SetupCheck::connected() {
    Exchange& e = *current_;
    e.connectedUs = platform_.clock().steadyUs();
    if (e.request.isEmpty()) {
        finishExchange();
        return;
    }
    // The reply is awaited afresh from the request on.
    timeout_->setEnabled(false);
    timeout_->setEnabled(true);
    e.sentUs = platform_.clock().steadyUs();
    e.sentWallUs = platform_.clock().wallUs();
    socket_->send(e.request);
}

void SetupCheck::arrived(const QByteArray& bytes) {
    Exchange& e = *current_;
    if (e.sentUs < 0)
        return;
    if (e.firstByteWallUs == 0)
        e.firstByteWallUs = platform_.clock().wallUs();
    if (e.reply.size() < kMaxReply)
        e.reply += bytes.left(kMaxReply - e.reply.size());
    if (e.replyEnd.complete(e.reply))
        ended();
}

void SetupCheck::ended() {
    Exchange& e = *current_;
    if (e.sentUs < 0) {
        failed(QStringLiteral("the registrar closed the connection before the request"), false);
        return;
    }
    e.doneUs = platform_.clock().steadyUs();
    finishExchange();
}

void SetupCheck::failed(const QString& why, bool handshake) {
    if (!current_)
        return;
    current_->failure = why;
    current_->handshakeFailed = handshake;
    finishExchange();
}

void SetupCheck::finishExchange() {
    timeout_->setEnabled(false);
    Exchange& e = *current_;
    current_ = nullptr;
    retireSocket();
    if (phase_ == &probes_) {
        if (!e.failure.isEmpty())
            stopAsking_ = true; // the next connection would fare no better
        if (&e == &probes_.front() && e.failure.isEmpty() && !e.request.isEmpty()) {
            balance_ = readRegistrarAnswer(e.reply);
            haveBalance_ = true;
            // A refused account is asked nothing more: repeated bad logins may lock it.
            if (loginRejected(e.reply) || addressRefusal(e.reply))
                stopAsking_ = true;
        }
    } else if (e.handshakeFailed) {
        stopAsking_ = true;
    }
    ++at_;
    onTurn_ = [this] { next(); };
    turn_->setEnabled(true);
}

void SetupCheck::emitLine(const CheckLine& line) {
    lines_.append(line);
    fire(onLine, line);
}

void SetupCheck::afterProbes() {
    emitLine(connectionLine());
    const CheckLine account = accountLine();
    emitLine(account);
    if (account.verdict == Verdict::NotReady || names_.isEmpty()) {
        afterPrices();
        return;
    }
    QStringList tlds;
    for (const QString& name : names_)
        if (looksLikeDomainName(name))
            if (const QString tld = tldOf(name); !tlds.contains(tld) && tlds.size() < kMaxTlds)
                tlds.append(tld);
    prices_.assign(size_t(tlds.size()), Exchange{});
    for (qsizetype i = 0; i < tlds.size(); ++i) {
        prices_[size_t(i)].tld = tlds[i];
        prices_[size_t(i)].request =
            priceRequest(input_.fields.username, input_.fields.password, tlds[i], 1);
    }
    phase_ = &prices_;
    at_ = 0;
    stopAsking_ = false;
    next();
}

void SetupCheck::afterPrices() {
    emitLine(fundsLine());
    emitLine(clockLine());
    emitLine(purchaseLine());
    finish();
}

void SetupCheck::finish() {
    running_ = false;
    onTurn_ = nullptr;
    fire(onFinished);
}

CheckLine SetupCheck::connectionLine() const {
    CheckLine l = line("connection", "Connection");
    const Endpoint& to = input_.endpoint;
    const QString where = QStringLiteral("%1:%2").arg(to.host).arg(to.port);
    l.facts = {{QStringLiteral("host"), to.host},
               {QStringLiteral("port"), int(to.port)},
               {QStringLiteral("secure"), to.secure},
               {QStringLiteral("test_environment"), input_.testEnvironment}};
    const Exchange& first = probes_.front();
    if (first.connectedUs < 0) {
        l.verdict = Verdict::NotReady;
        l.text = first.handshakeFailed
                     ? QStringLiteral("the secure connection to %1 failed, because %2; nothing was "
                                      "sent")
                           .arg(to.host, printableLine(first.failure))
                     : QStringLiteral("no connection to %1: %2").arg(where, first.failure);
        return l;
    }
    std::vector<qint64> setup, reply;
    int failures = 0;
    QString failure;
    for (const Exchange& e : probes_) {
        if (e.connectedUs >= 0)
            setup.push_back(e.connectedUs - e.openedUs);
        if (e.doneUs >= 0)
            reply.push_back(e.doneUs - e.sentUs);
        if (!e.failure.isEmpty()) {
            ++failures;
            failure = e.failure;
        }
    }
    const qint64 setupUs = median(setup);
    const qint64 replyUs = median(reply);
    l.facts.insert(QStringLiteral("setup_ms"), double(setupUs) / 1000.0);
    l.facts.insert(QStringLiteral("samples"), int(setup.size()));
    QString text =
        QStringLiteral("%1 to %2%3: set-up %4 ms")
            .arg(to.secure ? QStringLiteral("TLS, certificate verified,")
                           : QStringLiteral("plain HTTP"),
                 where, input_.testEnvironment ? QStringLiteral(" (test environment)") : QString(),
                 ms(setupUs));
    if (replyUs >= 0) {
        l.facts.insert(QStringLiteral("round_trip_ms"), double(replyUs) / 1000.0);
        text += QStringLiteral(", round trip %1 ms").arg(ms(replyUs));
    }
    text += QStringLiteral(" (median of %1)").arg(setup.size());
    if (!credentials_)
        text += QStringLiteral("; nothing was asked without a user name and password");
    if (!first.failure.isEmpty()) {
        l.verdict = Verdict::NotReady;
        text += QStringLiteral("; then %1").arg(printableLine(first.failure));
    } else if (failures > 0) {
        l.verdict = Verdict::Warning;
        text += QStringLiteral("; a later connection failed: %1").arg(printableLine(failure));
    }
    if (!to.secure) {
        if (l.verdict == Verdict::Ready)
            l.verdict = Verdict::Warning;
        text += QStringLiteral("; your account crosses the network readable by anyone on the way "
                               "(Secure connection is off)");
    }
    l.text = text;
    return l;
}

CheckLine SetupCheck::accountLine() const {
    CheckLine l = line("account", "Account and address");
    l.verdict = Verdict::NotReady;
    const QString environment =
        input_.testEnvironment ? QStringLiteral("test") : QStringLiteral("live");
    if (!credentials_) {
        l.text = input_.fields.username.isEmpty() ? QStringLiteral("no user name entered")
                                                  : QStringLiteral("no password entered");
        return l;
    }
    if (!haveBalance_) {
        l.text = QStringLiteral("not checked: the registrar could not be reached");
        return l;
    }
    const QByteArray& reply = probes_.front().reply;
    if (loginRejected(reply)) {
        l.text = QStringLiteral("the registrar rejected the user name or password (%1 "
                                "environment)")
                     .arg(environment);
        if (input_.testEnvironment)
            l.text += QStringLiteral(": the test environment has accounts of its own");
        return l;
    }
    if (const auto refusal = addressRefusal(reply)) {
        l.facts.insert(QStringLiteral("address"), refusal->address);
        l.text = refusal->address.isEmpty()
                     ? QStringLiteral("the account does not take requests from this computer's "
                                      "address (the registrar did not say which address it saw): "
                                      "add this computer's public address to the account's "
                                      "allowed IP addresses for the %1 environment")
                           .arg(environment)
                     : QStringLiteral("the account does not take requests from %1, the address the "
                                      "registrar saw: add %1 to the account's allowed IP addresses "
                                      "for the %2 environment (live and test keep separate lists)")
                           .arg(refusal->address, environment);
        return l;
    }
    const RegistrarAnswer& a = balance_;
    const bool understood = (a.httpStatus == 0 || a.httpStatus == 200) &&
                            (a.errorCount() >= 0 || a.has(u"AvailableBalance"));
    if (!understood) {
        l.text = QStringLiteral("the registrar's reply was not understood (it began: \"%1\")")
                     .arg(printableLine(a.firstLine));
        return l;
    }
    if (a.errorCount() > 0) {
        l.text = QStringLiteral("the registrar refused the request: %1")
                     .arg(printableLine(a.value(u"Err1")));
        return l;
    }
    const QString reseller = a.value(u"Reseller").trimmed();
    l.facts.insert(QStringLiteral("reseller"), reseller == QLatin1String("1"));
    if (reseller == QLatin1String("0")) {
        l.verdict = Verdict::Warning;
        l.text = QStringLiteral("accepted (%1 environment), but the registrar does not report a "
                                "reseller account (Reseller=0)")
                     .arg(environment);
        return l;
    }
    l.verdict = Verdict::Ready;
    l.text = reseller == QLatin1String("1")
                 ? QStringLiteral("accepted: a reseller account (%1 environment)").arg(environment)
                 : QStringLiteral("accepted (%1 environment)").arg(environment);
    return l;
}

CheckLine SetupCheck::fundsLine() const {
    CheckLine l = line("funds", "Funds");
    l.verdict = Verdict::NotReady;
    QStringList names;
    for (const QString& name : names_)
        if (looksLikeDomainName(name))
            names.append(name);
    if (names.isEmpty()) {
        l.verdict = Verdict::Warning;
        l.text = QStringLiteral("not checked: the list holds no domain name");
        return l;
    }
    if (prices_.empty()) {
        l.text = QStringLiteral("not checked: the account was not accepted");
        return l;
    }
    const QString availableText = balance_.value(u"AvailableBalance");
    const std::optional<qint64> available = parseAmountCents(availableText);
    if (!available) {
        l.verdict = Verdict::Warning;
        l.text = availableText.isNull()
                     ? QStringLiteral("the registrar did not say the available balance")
                     : QStringLiteral("the available balance was not understood "
                                      "(AvailableBalance=%1)")
                           .arg(printableLine(availableText));
        return l;
    }
    l.facts.insert(QStringLiteral("available"), double(*available) / 100.0);
    if (const auto balance = parseAmountCents(balance_.value(u"Balance")))
        l.facts.insert(QStringLiteral("balance"), double(*balance) / 100.0);

    // The cost of one name under each TLD priced, and what stood in the way elsewhere.
    QMap<QString, qint64> cost;
    QStringList disabled, unpriced, priceTexts;
    QVariantMap tldFacts;
    for (const Exchange& e : prices_) {
        QVariantMap fact;
        if (!e.failure.isEmpty() || e.doneUs < 0) {
            unpriced.append(QStringLiteral(".%1 (%2)")
                                .arg(e.tld, e.failure.isEmpty() ? QStringLiteral("not asked")
                                                                : printableLine(e.failure)));
            tldFacts.insert(e.tld, fact);
            continue;
        }
        const RegistrarAnswer a = readRegistrarAnswer(e.reply);
        const QString enabled = a.value(u"productenabled").trimmed().toLower();
        const std::optional<qint64> price = parseAmountCents(a.value(u"price"));
        if (enabled == QLatin1String("false") || enabled == QLatin1String("0") ||
            enabled == QLatin1String("no")) {
            fact.insert(QStringLiteral("enabled"), false);
            disabled.append(QStringLiteral(".") + e.tld);
        } else if (!price || a.errorCount() > 0) {
            unpriced.append(QStringLiteral(".%1 (%2)")
                                .arg(e.tld, a.errorCount() > 0
                                                ? printableLine(a.value(u"Err1"))
                                                : QStringLiteral("the reply was not understood")));
        } else {
            const int years = purchaseYears(e.tld);
            cost.insert(e.tld, *price * years);
            fact.insert(QStringLiteral("enabled"), true);
            fact.insert(QStringLiteral("price"), double(*price) / 100.0);
            fact.insert(QStringLiteral("years"), years);
            priceTexts.append(years > 1 ? QStringLiteral(".%1 %2 for %3 years")
                                              .arg(e.tld, formatCents(*price * years))
                                              .arg(years)
                                        : QStringLiteral(".%1 %2").arg(e.tld, formatCents(*price)));
        }
        tldFacts.insert(e.tld, fact);
    }
    l.facts.insert(QStringLiteral("tlds"), tldFacts);

    // How many of the names the balance pays for, the cheapest first.
    std::vector<qint64> costs;
    QStringList tooDear;
    for (const QString& name : names)
        if (const auto it = cost.constFind(tldOf(name)); it != cost.constEnd())
            costs.push_back(*it);
    for (auto it = cost.constBegin(); it != cost.constEnd(); ++it)
        if (*it > *available)
            tooDear.append(QStringLiteral(".%1").arg(it.key()));
    std::sort(costs.begin(), costs.end());
    qint64 left = *available;
    int covered = 0;
    for (qint64 c : costs) {
        if (c > left)
            break;
        left -= c;
        ++covered;
    }
    l.facts.insert(QStringLiteral("names"), int(names.size()));
    l.facts.insert(QStringLiteral("covered"), covered);

    QString text = QStringLiteral("%1 available covers %2 of the %3 listed names")
                       .arg(formatCents(*available))
                       .arg(covered)
                       .arg(names.size());
    if (!priceTexts.isEmpty())
        text += QStringLiteral(" (%1)").arg(priceTexts.join(QStringLiteral(", ")));
    l.verdict = Verdict::Ready;
    if (!tooDear.isEmpty()) {
        l.verdict = Verdict::Warning;
        text += QStringLiteral("; not enough for one name under %1")
                    .arg(tooDear.join(QStringLiteral(", ")));
    }
    if (!disabled.isEmpty()) {
        l.verdict = Verdict::Warning;
        text += QStringLiteral("; not enabled for this account: %1")
                    .arg(disabled.join(QStringLiteral(", ")));
    }
    if (!unpriced.isEmpty()) {
        l.verdict = Verdict::Warning;
        text += QStringLiteral("; no price for %1").arg(unpriced.join(QStringLiteral(", ")));
    }
    QStringList tlds;
    for (const QString& name : names)
        if (const QString tld = tldOf(name); !tlds.contains(tld))
            tlds.append(tld);
    if (tlds.size() > kMaxTlds)
        text += QStringLiteral("; prices asked for the first %1 of the %2 TLDs only")
                    .arg(kMaxTlds)
                    .arg(tlds.size());
    if (covered == 0)
        l.verdict = Verdict::NotReady; // nothing could be bought
    l.text = text;
    return l;
}

CheckLine SetupCheck::clockLine() const {
    CheckLine l = line("clock", "Clock");
    const ClockSync sync = platform_.clock().sync();
    QString text;
    switch (sync.state) {
    case ClockSync::State::Synchronised:
        l.facts.insert(QStringLiteral("synchronised"), QStringLiteral("yes"));
        text = QStringLiteral("this computer's clock is synchronised");
        if (sync.maxErrorUs >= 0) {
            l.facts.insert(QStringLiteral("max_error_ms"), double(sync.maxErrorUs) / 1000.0);
            text += QStringLiteral(" (error at most %1 ms)").arg(ms(sync.maxErrorUs));
            if (sync.maxErrorUs > kLocalErrorWarnUs)
                l.verdict = Verdict::Warning;
        }
        break;
    case ClockSync::State::Unsynchronised:
        l.facts.insert(QStringLiteral("synchronised"), QStringLiteral("no"));
        l.verdict = Verdict::Warning;
        text = QStringLiteral("this computer's clock is not synchronised: no time service keeps it "
                              "right (start one, such as systemd-timesyncd or chrony)");
        break;
    case ClockSync::State::Unknown:
        l.facts.insert(QStringLiteral("synchronised"), QStringLiteral("unknown"));
        l.verdict = Verdict::Warning;
        text = QStringLiteral("whether this computer's clock is synchronised is unknown: %1")
                   .arg(sync.why.isEmpty() ? QStringLiteral("this process cannot tell") : sync.why);
        break;
    }

    // The registrar's clock against ours: each Date header, a whole second, was stamped
    // between the request leaving and the first byte of its reply coming back.
    qint64 lo = std::numeric_limits<qint64>::min(), hi = std::numeric_limits<qint64>::max();
    qint64 hullLo = hi, hullHi = lo;
    int samples = 0;
    auto take = [&](const std::vector<Exchange>& exchanges) {
        for (const Exchange& e : exchanges) {
            if (e.doneUs < 0 || e.firstByteWallUs == 0)
                continue;
            const RegistrarAnswer a = readRegistrarAnswer(e.reply);
            if (!a.date)
                continue;
            const qint64 stamped = a.date->toMSecsSinceEpoch() * 1000;
            const qint64 from = stamped - e.firstByteWallUs;
            const qint64 to = stamped + 1000000 - e.sentWallUs;
            lo = std::max(lo, from);
            hi = std::min(hi, to);
            hullLo = std::min(hullLo, from);
            hullHi = std::max(hullHi, to);
            ++samples;
        }
    };
    take(probes_);
    take(prices_);
    if (samples == 0) {
        text += haveBalance_
                    ? QStringLiteral("; the registrar's replies carry no Date header, so "
                                     "its clock was not compared")
                    : QStringLiteral("; the registrar's clock was not compared (no reply)");
    } else {
        if (lo > hi) { // the replies disagree (several servers, or a clock stepped meanwhile)
            lo = hullLo;
            hi = hullHi;
        }
        const qint64 offset = lo / 2 + hi / 2;
        const qint64 bound = hi / 2 - lo / 2;
        l.facts.insert(QStringLiteral("registrar_offset_ms"), double(offset) / 1000.0);
        l.facts.insert(QStringLiteral("registrar_bound_ms"), double(bound) / 1000.0);
        const qint64 magnitude = offset < 0 ? -offset : offset;
        if (magnitude > kRegistrarSkewWarnUs) {
            l.verdict = Verdict::Warning;
            text += QStringLiteral("; the registrar's clock is %1 s %2 this computer's (± %3 s): a "
                                   "start at a named second lands that far from the registrar's")
                        .arg(seconds(magnitude),
                             offset > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"),
                             seconds(bound));
        } else {
            text += QStringLiteral("; the registrar's clock agrees within %1 s (± %2 s)")
                        .arg(seconds(magnitude), seconds(bound));
        }
    }
    l.text = text;
    return l;
}

CheckLine SetupCheck::purchaseLine() const {
    CheckLine l = line("purchase", "What a purchase will need");
    const MainFields& f = input_.fields;
    const SettingsArray& s = input_.settings;
    MainFields cleaned = f;
    cleaned.domains = cleanList(f.domains);
    RecordingPrompter rules;
    passStartChecks(cleaned, s, rules, QString(), false);
    QStringList problems, warnings;
    if (!rules.refusal.isEmpty())
        problems.append(rules.refusal);
    if (!rules.asked.isEmpty())
        warnings.append(rules.asked);

    if (f.nameServers != 0) {
        for (Setting k : {Setting::NameServer1, Setting::NameServer2}) {
            const int n = k == Setting::NameServer1 ? 1 : 2;
            if (s[k].isEmpty())
                problems.append(QStringLiteral("Custom Nameservers is checked, but name server %1 "
                                               "is empty: purchases would carry no name servers")
                                    .arg(n));
            else if (!looksLikeDomainName(s[k]))
                warnings.append(QStringLiteral("name server %1 is not a host name").arg(n));
        }
    }

    const BadLines bad = badListLines(cleaned.domains, 1);
    l.facts.insert(QStringLiteral("names"), int(names_.size()));
    l.facts.insert(QStringLiteral("bad_lines"), bad.count);
    if (bad.count > 0)
        warnings.append(QStringLiteral("%1 of the %2 lines %3 not a domain name (the first: %4)")
                            .arg(bad.count)
                            .arg(names_.size())
                            .arg(bad.count == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                            .arg(bad.first.value(0).describe()));

    // The registrant's details go with the purchases of these TLDs: the registrar judges
    // them, but a plainly odd one is worth a word now.
    if ((listNeedsRegistrant(cleaned.domains) || listNeedsLegalType(cleaned.domains)) &&
        registrantComplete(s)) {
        static const QRegularExpression phone(QStringLiteral(R"(^\+\d{1,3}\.\d{4,14}$)"));
        static const QRegularExpression email(QStringLiteral(R"(^[^@\s]+@[^@\s]+\.[^@\s.]+$)"));
        static const QRegularExpression country(QStringLiteral("^[A-Za-z]{2}$"));
        if (!phone.match(s[Setting::Phone].trimmed()).hasMatch())
            warnings.append(QStringLiteral("the phone number is not in the form the registrar "
                                           "expects, +country code.number (+1.4155551212)"));
        if (!email.match(s[Setting::EMail].trimmed()).hasMatch())
            warnings.append(QStringLiteral("the e-mail address does not look like one"));
        if (!country.match(s[Setting::Country].trimmed()).hasMatch())
            warnings.append(
                QStringLiteral("the country is not a two-letter code (US, GB, DE, ...)"));
    }

    if (!problems.isEmpty()) {
        l.verdict = Verdict::NotReady;
        l.text = (problems + warnings).join(QStringLiteral("; "));
    } else if (!warnings.isEmpty()) {
        l.verdict = Verdict::Warning;
        l.text = warnings.join(QStringLiteral("; "));
    } else {
        l.text = QStringLiteral("the %1 listed names pass the start checks").arg(names_.size());
    }
    return l;
}

} // namespace drovane
