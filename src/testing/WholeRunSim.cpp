#include "WholeRunSim.h"

#include "RegistrarReplies.h"
#include "core/settings/SettingNames.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace drovane::test {

// ---- The engine's names this file relies on, in one place -------------------------

namespace {

std::vector<DomainJobPtr> jobsOf(const RunController& run) {
    std::vector<DomainJobPtr> jobs;
    for (const auto& group : run.groups())
        for (int k = 1; k <= group->size(); ++k)
            jobs.push_back(group->at(k));
    return jobs;
}

const QString& domainOf(const DomainJobPtr& job) {
    return job->domain;
}

int triesOf(const DomainJobPtr& job) {
    return job->tries;
}

bool inSlotGroup(const RunController& run, int slot, const DomainJobPtr& job) {
    const auto& groups = run.groups();
    return slot >= 1 && slot <= groups.size() && groups[slot - 1]->indexOf(job) > 0;
}

qint32 totalOf(const RunController& run) {
    return run.submissions();
}

// A slot's own timers: the watchdog guards what is in flight, pacing counts down to the
// moment a connection is opened ahead (or the interval is read again).
const Timer& watchdogOf(Slot& slot) {
    return slot.watchdog();
}
const Timer& pacingOf(Slot& slot) {
    return slot.pacing();
}

// ---- Replies ------------------------------------------------------------------------

const QString kLegalType = QStringLiteral("4$STRA");

// A reply in the registrar's shape, with `padding` bytes of comment lines ahead of its
// lines and, when asked, a Content-Length that covers them.
QByteArray shapedReply(const QByteArray& command, const QByteArray& body, qsizetype padding,
                       bool contentLength) {
    QByteArray filler;
    if (padding > 0) {
        const QByteArray line = ";" + QByteArray(62, 'x') + "\r\n";
        filler.reserve(padding + line.size());
        while (filler.size() < padding)
            filler += line;
    }
    const QByteArray text = ";URL Interface\r\n;Machine is SIM01\r\n;Encoding Type is utf-8\r\n" +
                            filler + body + "Command=" + command +
                            "\r\nAPIType=API.NET.LCS\r\nLanguage=eng\r\nErrCount=0\r\n"
                            "ResponseCount=0\r\nDone=true\r\n";
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
    if (contentLength)
        head += "Content-Length: " + QByteArray::number(text.size()) + "\r\n";
    return head + "\r\n" + text;
}

const QByteArray kGarbage = "HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/html\r\n\r\n"
                            "<html><body>RRPCode=210 Command= check</body></html>\r\n";

QString printable(const QByteArray& bytes) {
    QString text = QString::fromLatin1(bytes.left(160));
    text.replace(QLatin1String("\r"), QLatin1String("\\r"))
        .replace(QLatin1String("\n"), QLatin1String("\\n"));
    return text;
}

QString percentDecoded(const QString& value) {
    return QString::fromLatin1(QByteArray::fromPercentEncoding(value.toLatin1()));
}

} // namespace

// ---- Seeds, alarms ------------------------------------------------------------------

quint64 SeedRandom::next() {
    quint64 z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

int SeedRandom::below(int n) {
    return n <= 1 ? 0 : int(next() % quint64(n));
}

qint64 SeedRandom::between(qint64 lo, qint64 hi) {
    return hi <= lo ? lo : lo + qint64(next() % quint64(hi - lo + 1));
}

bool SeedRandom::percent(double p) {
    return double(next() % 100000) < p * 1000.0;
}

WatchedAlarm::WatchedAlarm(std::unique_ptr<Alarm> inner) : inner_(std::move(inner)) {
    inner_->onFire = [this] { fire(onFire); };
}

WatchedAlarm::~WatchedAlarm() {
    if (registration)
        *registration = nullptr;
}

void WatchedAlarm::setAt(qint64 steadyUs) {
    setFor_ = steadyUs;
    inner_->setAt(steadyUs);
}

std::unique_ptr<Alarm> WatchedPlatform::createAlarm() {
    auto alarm = std::make_unique<WatchedAlarm>(sim_.createAlarm());
    alarms.push_back(alarm.get());
    alarm->registration = &alarms.back();
    return alarm;
}

// ---- The session --------------------------------------------------------------------

WholeRunSim::WholeRunSim(quint64 seed) : seed_(seed), rng_(seed) {
    sim.connectPlan = [this](const QString&, quint16) { return planConnect(); };
    sim.replyFor = [this](const QByteArray& request) { return planReply(request); };

    // Characters that must be encoded, so a request that forgets shows.
    view.f.username = QStringLiteral("res eller&1");
    view.f.password = QStringLiteral("p@ss=w%rd+?");
    for (const Setting k : kContactSettings)
        store.setSettings(k, QStringLiteral("Contact %1").arg(int(k)));
    store.setSettings(Setting::NameServer1, QStringLiteral("ns1.example.net"));
    store.setSettings(Setting::NameServer2, QStringLiteral("ns2.example.net"));
    store.setSettings(Setting::LegalType, kLegalType);

    static const char* const tlds[] = {"com", "net", "com", "org", "info", "co.uk"};
    QStringList list;
    const int count = 1 + rng_.below(7);
    for (int k = 1; k <= count; ++k) {
        Name name;
        name.domain = QStringLiteral("name%1.%2").arg(k).arg(QLatin1String(tlds[rng_.below(6)]));
        static const int freeShares[] = {0, 0, 10, 40, 100};
        name.freePercent = freeShares[rng_.below(5)];
        name.errorPercent = rng_.percent(25) ? int(rng_.between(5, 40)) : 0;
        names_.append(name);
        list.append(name.domain);
    }
    view.f.domains = list.join(QLatin1String("\r\n"));
    view.f.logging = rng_.percent(10) ? 1 : 0;
    view.f.nameServers = rng_.percent(50) ? 1 : 0;
}

WholeRunSim::~WholeRunSim() = default;

WatchedAlarm* WholeRunSim::slotAlarm(int index) const {
    const size_t at = book_.alarmsFrom + size_t(index - 1);
    return at < platform.alarms.size() ? platform.alarms[at] : nullptr;
}

void WholeRunSim::note(const QString& line) {
    trace.append(QStringLiteral("%1 ms: %2").arg(sim.nowMs()).arg(line));
}

void WholeRunSim::fail(const QString& why) {
    if (failure_.isEmpty())
        failure_ = QStringLiteral("at %1 ms: %2").arg(sim.nowMs()).arg(why);
}

SimOutcome WholeRunSim::run(int steps) {
    SimOutcome out;
    startRun();
    int step = 0;
    for (; step < steps && failure_.isEmpty(); ++step) {
        act(step);
        if (afterStep)
            afterStep(*this, step);
        if (const QString why = check(); !why.isEmpty())
            fail(QStringLiteral("after step %1: %2").arg(step).arg(why));
    }
    if (failure_.isEmpty()) {
        // The program ends: nothing more may go out, whatever was under way.
        note(QStringLiteral("the program ends"));
        controller.halt();
        sim.advance(60000);
        QString why = check();
        if (why.isEmpty()) {
            ordersChecked_ = -1;
            why = checkOrders();
        }
        if (!why.isEmpty())
            fail(QStringLiteral("at the end: %1").arg(why));
    }
    out.failure = failure_;
    out.steps = step;
    out.virtualMs = sim.nowMs();
    out.runs = runs_;
    out.requests = requests_;
    out.setupRequests = setupRequests_;
    out.counted = int(view.replies.size());
    out.orders = orderedEvents_;
    quint64 h = 1469598103934665603ULL; // FNV-1a
    auto mix = [&h](const QByteArray& bytes) {
        for (char c : bytes)
            h = (h ^ quint8(c)) * 1099511628211ULL;
    };
    for (const SimEvent& e : sim.log)
        mix(QByteArray::number(e.atMs) + ' ' + QByteArray::number(e.socketId) + ' ' +
            e.what.toLatin1() + ' ' + e.bytes);
    out.fingerprint = h;
    return out;
}

// ---- What the user and the world do -------------------------------------------------

void WholeRunSim::act(int) {
    if (!controller.isRunning()) {
        // Between runs time passes, in which nothing may go out; then the next run.
        if (rng_.percent(50)) {
            const qint64 ms = rng_.between(1, 20000);
            note(QStringLiteral("idle %1 ms").arg(ms));
            sim.advance(ms);
        } else {
            startRun();
        }
        return;
    }
    const int roll = rng_.below(1000);
    if (roll < 560) {
        const qint64 ms = rng_.between(1, 400);
        note(QStringLiteral("advance %1 ms").arg(ms));
        sim.advance(ms);
    } else if (roll < 780) {
        const qint64 ms = rng_.between(400, 5000);
        note(QStringLiteral("advance %1 ms").arg(ms));
        sim.advance(ms);
    } else if (roll < 810) {
        const qint64 ms = rng_.between(5000, 40000);
        note(QStringLiteral("advance %1 ms").arg(ms));
        sim.advance(ms);
    } else if (roll < 870) {
        view.f.delayTime = pickInterval();
        note(QStringLiteral("interval %1").arg(view.f.delayTime));
    } else if (roll < 920) {
        stopCurrent();
    } else if (roll < 935) {
        note(QStringLiteral("Stop All"));
        controller.stopAll();
    } else if (roll < 950) {
        note(QStringLiteral("Stop"));
        controller.DoStart();
    } else if (roll < 975) {
        const qint64 ms =
            (rng_.percent(50) ? 1 : -1) * (rng_.percent(5) ? 3600000 : rng_.between(500, 90000));
        note(QStringLiteral("wall clock moves %1 ms").arg(ms));
        sim.shiftWallClock(ms);
    } else if (roll < 992) {
        view.f.nameServers = 1 - view.f.nameServers;
        note(QStringLiteral("Custom Nameservers %1").arg(view.f.nameServers));
    } else {
        view.f.logging = 1 - view.f.logging;
        note(QStringLiteral("Logging %1").arg(view.f.logging));
    }
}

QString WholeRunSim::pickInterval() {
    static const char* const choices[] = {"0.001", "0.05", "0.2", "0.5", "1",
                                          "1.5",   "2",    "3",   "5",   "10"};
    QString text = QLatin1String(choices[rng_.below(10)]);
    book_.longestIntervalMs =
        std::max(book_.longestIntervalMs, qint64(std::llround(text.toDouble() * 1000.0)));
    return text;
}

void WholeRunSim::startRun() {
    const bool purchase = rng_.percent(30);
    Options options;
    options.secure = rng_.percent(50);
    options.buyAtOnce = rng_.percent(50);
    store.setOptions(options);
    store.setSettings(Setting::UsePurchase, purchase ? QStringLiteral("1") : QStringLiteral("0"));
    book_ = Book();
    book_.purchaseMethod = purchase;
    view.f.delayTime = pickInterval();
    book_.immediate = rng_.percent(75);
    view.f.startImmediately = book_.immediate ? 1 : 0;
    if (!book_.immediate) {
        // Some far enough ahead for the setup check to go first.
        const qint64 aheadS = rng_.percent(20) ? rng_.between(31, 90) : rng_.between(1, 20);
        const QDateTime start = platform.clock().now().addSecs(aheadS);
        const QDateTime end = start.addSecs(rng_.between(5, 300));
        view.f.startTime = start.toString(QStringLiteral("h:mm:ss AP"));
        view.f.endTime = end.toString(QStringLiteral("h:mm:ss AP"));
    }
    note(QStringLiteral("Start: %1, %2, %3, interval %4, %5")
             .arg(purchase ? QStringLiteral("PURCHASE") : QStringLiteral("check"),
                  options.secure ? QStringLiteral("TLS") : QStringLiteral("plain"),
                  options.buyAtOnce ? QStringLiteral("buy at once") : QStringLiteral("buy next"),
                  view.f.delayTime,
                  book_.immediate ? QStringLiteral("at once")
                                  : view.f.startTime + QStringLiteral(" to ") + view.f.endTime));
    book_.firstReply = book_.absorbed = view.replies.size();
    book_.firstError = view.errors.size();
    book_.alarmsFrom = platform.alarms.size();
    book_.live = true; // from here a slot may connect
    controller.DoStart();
    ++runs_;
    if (!controller.isRunning()) {
        book_.live = false;
        fail(QStringLiteral("the run did not start: %1")
                 .arg(prompter.shown.isEmpty() ? QStringLiteral("nothing said")
                                               : prompter.shown.last().text));
        return;
    }
    book_.jobs = jobsOf(controller);
    for (int slot = 1; slot <= 2; ++slot)
        for (const DomainJobPtr& job : book_.jobs)
            if (inSlotGroup(controller, slot, job))
                book_.slotOf.insert(domainOf(job), slot);
    book_.listNeedsRegistrant = false;
    for (const Name& n : names_)
        for (const char* tld : {".org", ".info", ".biz"})
            book_.listNeedsRegistrant |= n.domain.endsWith(QLatin1String(tld));
    if (platform.alarms.size() - book_.alarmsFrom != 2)
        fail(QStringLiteral("a run made %1 alarms; the simulation tells the slots' wake-ups "
                            "apart by their one alarm each")
                 .arg(platform.alarms.size() - book_.alarmsFrom));
}

void WholeRunSim::stopCurrent() {
    const qsizetype open = view.errors.size() - book_.firstError;
    if (open <= 0)
        return;
    const ServerErrorReport report = view.errors[book_.firstError + rng_.below(int(open))];
    const DomainJobPtr job = report.job.lock();
    const bool before = job && inSlotGroup(controller, report.slot, job);
    note(QStringLiteral("Stop Current on %1 (%2)").arg(report.domain, report.reference));
    controller.stopCurrent(report);
    const bool after = job && inSlotGroup(controller, report.slot, job);
    if (after)
        fail(QStringLiteral("Stop Current left %1 in the run").arg(report.domain));
    else if (before)
        book_.droppedAt.insert(report.domain, view.replies.size());
}

// ---- The registrar ------------------------------------------------------------------

SimConnectPlan WholeRunSim::planConnect() {
    if (!controller.isRunning() || !book_.live)
        fail(QStringLiteral("a connection was opened while no run was going"));
    SimConnectPlan plan;
    const int roll = rng_.below(1000);
    if (roll < 50)
        plan.outcome = SimConnectPlan::Refuse;
    else if (roll < 70)
        plan.outcome = SimConnectPlan::Unresolvable;
    else if (roll < 130)
        plan.outcome = SimConnectPlan::Silent;
    plan.delayMs = rng_.between(0, rng_.percent(10) ? 2000 : 150);
    plan.handshakeMs = rng_.between(0, 80);
    if (rng_.percent(0.03))
        plan.handshakeFailure = QStringLiteral("its certificate has expired");
    if (rng_.percent(10))
        plan.closeIdleAfterMs = rng_.between(0, 3000);
    note(QStringLiteral("connect socket %1: plan %2, %3 ms%4%5")
             .arg(sim.log.last().socketId)
             .arg(int(plan.outcome))
             .arg(plan.delayMs)
             .arg(plan.handshakeFailure.isEmpty() ? QString() : QStringLiteral(", bad certificate"))
             .arg(plan.closeIdleAfterMs < 0
                      ? QString()
                      : QStringLiteral(", idle close %1 ms").arg(plan.closeIdleAfterMs)));
    return plan;
}

QByteArray WholeRunSim::answerFor(const QString& command, const QString& domain,
                                  bool contentLength) {
    const QByteArray cmd = command == QLatin1String("purchase") ? "PURCHASE" : "CHECK";
    const qsizetype padding = rng_.percent(0.3) ? 1024 * 1024 : 0;
    auto shaped = [&](const QByteArray& body) {
        return shapedReply(cmd, body, padding, contentLength);
    };
    const auto name = std::find_if(names_.begin(), names_.end(),
                                   [&](const Name& n) { return n.domain == domain; });
    if (rng_.percent(0.02))
        return shaped("ErrCount=1\r\nErr1=Bad User name or Password\r\n");
    if (rng_.percent(3))
        return kGarbage;
    if (name != names_.end() && rng_.percent(name->errorPercent))
        return shaped("RRPCode=545\r\nRRPText=Entered domain name is not valid\r\nErrCount=1\r\n"
                      "Err1=Domain name not available for registration\r\n");
    if (cmd == "CHECK") {
        const bool free = name != names_.end() && rng_.percent(name->freePercent);
        return shaped("DomainName=" + domain.toLatin1() + "\r\nRRPCode=" +
                      (free ? "210\r\nRRPText=Domain available\r\n"
                            : "211\r\nRRPText=Domain not available\r\n"));
    }
    if (rng_.percent(8))
        return shaped("RRPCode=540\r\nRRPText=Domain not available\r\n");
    const QString id = QString::number(nextOrder_++);
    orderOwner_.insert(id, domain);
    return shaped("OrderID=" + id.toLatin1() +
                  "\r\nRRPCode=200\r\nRRPText=Command completed "
                  "successfully - " +
                  id.toLatin1() + "\r\n");
}

SimReply WholeRunSim::planReply(const QByteArray& request) {
    const int socket = sim.log.last().socketId;
    applySocketLog(sim.log.size() - 1);
    ++requests_;
    if (!controller.isRunning() || !book_.live)
        fail(QStringLiteral("a request went out while no run was going: %1")
                 .arg(printable(request)));
    if (const QString why = requestProblem(request); !why.isEmpty())
        fail(why);
    if (const QString why = absorbEvents(); !why.isEmpty())
        fail(why);

    const QUrlQuery q = requestQuery(request);
    const QString command = q.queryItemValue(QStringLiteral("command"));
    const bool setup = isSetupCommand(command);
    const QString domain = setup ? q.queryItemValue(QStringLiteral("TLD"))
                                 : q.queryItemValue(QStringLiteral("sld")) + u'.' +
                                       q.queryItemValue(QStringLiteral("tld"));
    const bool purchase = command == QLatin1String("purchase");
    if (setup)
        ++setupRequests_;
    else if (book_.droppedAt.contains(domain))
        fail(QStringLiteral("%1 %2 went out after Stop Current dropped it").arg(command, domain));
    if (purchase) {
        const int bought = ++book_.purchases[domain];
        if (!book_.purchaseMethod && bought > book_.frees.value(domain))
            fail(QStringLiteral("purchase %1 number %2 after only %3 checks found it free")
                     .arg(domain)
                     .arg(bought)
                     .arg(book_.frees.value(domain)));
        for (auto it = inFlight_.cbegin(); it != inFlight_.cend(); ++it)
            if (it.key() != socket && it->purchase && it->domain == domain &&
                (it->endMs < 0 || sim.nowMs() < it->endMs))
                fail(QStringLiteral("two purchases of %1 in flight, on sockets %2 and %3")
                         .arg(domain)
                         .arg(it.key())
                         .arg(socket));
    } else if (book_.purchaseMethod && !setup) {
        fail(QStringLiteral("check %1 under the PURCHASE method").arg(domain));
    }

    // How the answer comes back.
    const bool contentLength = rng_.percent(30);
    const QByteArray answer = setup ? setupAnswer(command, domain, contentLength)
                                    : answerFor(command, domain, contentLength);
    SimReply reply;
    reply.firstDelayMs = rng_.percent(10) ? rng_.between(400, 3000) : rng_.between(0, 120);
    reply.pieceGapMs = rng_.percent(50) ? 0 : rng_.between(1, 300);
    const int split = rng_.below(100);
    if (split < 5 && answer.size() < 2000) {
        for (qsizetype at = 0; at < answer.size();) {
            const qsizetype size = rng_.between(1, 8);
            reply.pieces.append(answer.mid(at, size));
            at += size;
        }
    } else if (split < 40) {
        QList<qsizetype> cuts = {0, answer.size()};
        for (int k = int(rng_.between(1, 3)); k > 0; --k)
            cuts.append(rng_.between(1, answer.size() - 1));
        std::sort(cuts.begin(), cuts.end());
        for (qsizetype k = 0; k + 1 < cuts.size(); ++k)
            if (cuts[k + 1] > cuts[k])
                reply.pieces.append(answer.mid(cuts[k], cuts[k + 1] - cuts[k]));
    } else {
        reply.pieces = {answer};
    }
    const int ending = rng_.below(100);
    QString how;
    if (ending < 4) {
        reply.silent = true;
        how = QStringLiteral("silent");
    } else if (ending < 8) {
        reply.pieces = reply.pieces.mid(0, rng_.below(int(reply.pieces.size())));
        reply.resetAfter = true;
        how = QStringLiteral("reset after %1 pieces").arg(reply.pieces.size());
    } else if (ending < 10) {
        reply.resetAfter = true;
        how = QStringLiteral("reset after the reply");
    } else if ((contentLength && ending < 50) || ending == 99) {
        reply.closeAfter = false;
        how = QStringLiteral("left open");
    } else {
        how = QStringLiteral("closed");
    }
    const qsizetype n = reply.pieces.size();
    const qint64 sentAt = sim.nowMs();
    InFlight flight{domain, purchase, -1};
    if (reply.silent)
        flight.endMs = -1;
    else if (reply.closeAfter || reply.resetAfter)
        flight.endMs = sentAt + reply.firstDelayMs + n * reply.pieceGapMs;
    else if (contentLength && n > 0)
        flight.endMs = sentAt + reply.firstDelayMs + (n - 1) * reply.pieceGapMs;
    inFlight_.insert(socket, flight);
    logApplied_ = sim.log.size();
    note(QStringLiteral("socket %1 asks %2 %3: %4 bytes%5 in %6 pieces, first after %7 ms, "
                        "gaps %8 ms, %9")
             .arg(socket)
             .arg(command, domain)
             .arg(answer.size())
             .arg(contentLength ? QStringLiteral(" with length") : QString())
             .arg(n)
             .arg(reply.firstDelayMs)
             .arg(reply.pieceGapMs)
             .arg(how));
    return reply;
}

// The socket events since the last look: a connection closed or opened anew carries no
// request any more.
void WholeRunSim::applySocketLog(qsizetype upTo) {
    for (; logApplied_ < upTo; ++logApplied_) {
        const SimEvent& e = sim.log[logApplied_];
        if (e.what == QLatin1String("connect") || e.what == QLatin1String("close") ||
            e.what == QLatin1String("peer-close"))
            inFlight_.remove(e.socketId);
    }
}

QString WholeRunSim::requestProblem(const QByteArray& request) const {
    if (std::optional<QString> why = setupRequestProblem(request))
        return *why;
    static const QRegularExpression shape(QStringLiteral(
        "^GET /interface\\.asp\\?command=(check|purchase)&uid=([^&]*)&pw=([^&]*)&sld=([^&]*)"
        "&tld=([^&]*)(&uk_legal_type=[^&]*)?&numyears=([12])((?:&[a-z0-9_]+=[^&]*)*)"
        "&responsetype=text HTTP/1\\.0\\r\\n\\r\\n$"));
    static const QRegularExpression encoded(QStringLiteral("^(?:[A-Za-z0-9._~-]|%[0-9A-F]{2})*$"));
    const QString text = QString::fromLatin1(request);
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return QStringLiteral("a request not in the registrar's form: %1").arg(printable(request));
    QStringList extras = m.captured(8).split(u'&', Qt::SkipEmptyParts);
    QStringList values = {m.captured(2), m.captured(3), m.captured(4), m.captured(5)};
    QStringList extraNames;
    for (const QString& pair : extras) {
        extraNames.append(pair.section(u'=', 0, 0));
        values.append(pair.section(u'=', 1));
    }
    for (const QString& v : values)
        if (!encoded.match(v).hasMatch())
            return QStringLiteral("a value that is not percent-encoded: %1").arg(v);
    if (percentDecoded(m.captured(2)) != view.f.username ||
        percentDecoded(m.captured(3)) != view.f.password)
        return QStringLiteral("a request with another account: %1").arg(printable(request));
    const bool purchase = m.captured(1) == QLatin1String("purchase");
    const QString tld = percentDecoded(m.captured(5));
    const QString domain = percentDecoded(m.captured(4)) + u'.' + tld;
    if (!book_.slotOf.contains(domain))
        return QStringLiteral("a request for %1, not a name of the run").arg(domain);
    const bool coUk = tld == QLatin1String("co.uk");
    if ((m.captured(7) == QLatin1String("2")) != coUk || m.captured(6).isEmpty() == coUk)
        return QStringLiteral("%1 asked with the wrong years or legal type: %2")
            .arg(domain, printable(request));
    if (coUk && m.captured(6) != QLatin1String("&uk_legal_type=STRA"))
        return QStringLiteral("%1 asked with legal type %2").arg(domain, m.captured(6));
    QStringList expected;
    if (purchase && (coUk || book_.listNeedsRegistrant))
        expected << QStringLiteral("registrantaddress1") << QStringLiteral("registrantcity")
                 << QStringLiteral("registrantcountry") << QStringLiteral("registrantemailaddress")
                 << QStringLiteral("registrantfirstname") << QStringLiteral("registrantlastname")
                 << QStringLiteral("registrantphone");
    if (purchase && view.f.nameServers == 1)
        expected << QStringLiteral("ns1") << QStringLiteral("ns2");
    if (extraNames != expected)
        return QStringLiteral("%1 %2 carried [%3], expected [%4]")
            .arg(purchase ? QStringLiteral("purchase") : QStringLiteral("check"), domain,
                 extraNames.join(u' '), expected.join(u' '));
    return QString();
}

// The setup check's two side-effect-free commands, sent while a scheduled run waits.
bool WholeRunSim::isSetupCommand(const QString& command) {
    return command == QLatin1String("GetBalance") || command == QLatin1String("PE_GetProductPrice");
}

QByteArray WholeRunSim::setupAnswer(const QString& command, const QString& tld,
                                    bool contentLength) {
    if (rng_.percent(3))
        return kGarbage;
    const StandInAccount account;
    QByteArray answer = command == QLatin1String("GetBalance")
                            ? balanceReply(account, platform.clock().now())
                            : priceReply(account, tld.toLatin1(), platform.clock().now());
    if (contentLength) {
        const qsizetype body = answer.indexOf("\r\n\r\n") + 4;
        answer.insert(body - 2,
                      "Content-Length: " + QByteArray::number(answer.size() - body) + "\r\n");
    }
    return answer;
}

// Nothing when the request is not one of the setup check's; else its problem, empty for none.
std::optional<QString> WholeRunSim::setupRequestProblem(const QByteArray& request) const {
    static const QRegularExpression shape(QStringLiteral(
        "^GET /interface\\.asp\\?command=(GetBalance|PE_GetProductPrice)&uid=([^&]*)&pw=([^&]*)"
        "(?:&ProductType=10&TLD=([^&]*)&Years=([12]))?&responsetype=text HTTP/1\\.0\\r\\n\\r\\n$"));
    const QString text = QString::fromLatin1(request);
    if (!text.startsWith(QLatin1String("GET /interface.asp?command=GetBalance&")) &&
        !text.startsWith(QLatin1String("GET /interface.asp?command=PE_GetProductPrice&")))
        return std::nullopt;
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return QStringLiteral("a setup request not in the registrar's form: %1")
            .arg(printable(request));
    if (percentDecoded(m.captured(2)) != view.f.username ||
        percentDecoded(m.captured(3)) != view.f.password)
        return QStringLiteral("a setup request with another account: %1").arg(printable(request));
    const bool price = m.captured(1) == QLatin1String("PE_GetProductPrice");
    if (price == m.captured(4).isEmpty())
        return QStringLiteral("%1 with the wrong parameters: %2")
            .arg(m.captured(1), printable(request));
    if (!price)
        return QString();
    const QString tld = percentDecoded(m.captured(4));
    const bool listed = std::any_of(book_.slotOf.keyBegin(), book_.slotOf.keyEnd(),
                                    [&](const QString& d) { return d.endsWith(u'.' + tld); });
    if (!listed)
        return QStringLiteral("a price asked for .%1, no name of the run's").arg(tld);
    // The price of one year, which the check multiplies by the years a purchase takes.
    if (m.captured(5) != QLatin1String("1"))
        return QStringLiteral("a price for .%1 over %2 years").arg(tld, m.captured(5));
    return QString();
}

// ---- The invariants -----------------------------------------------------------------

// Looks at the run's events not yet seen: each must belong to the run, and each order to
// exactly one purchase the registrar confirmed.
QString WholeRunSim::absorbEvents() {
    for (; book_.absorbed < view.replies.size(); ++book_.absorbed) {
        const ReplyEvent& e = view.replies[book_.absorbed];
        if (book_.slotOf.value(e.domain) != e.slot)
            return QStringLiteral("an event for %1 from slot %2, which does not hold it")
                .arg(e.domain)
                .arg(e.slot);
        if (const auto dropped = book_.droppedAt.constFind(e.domain);
            dropped != book_.droppedAt.cend() && book_.absorbed >= *dropped)
            ++book_.afterDrop;
        switch (e.outcome) {
        case ReplyEvent::Outcome::Free:
            ++book_.frees[e.domain];
            break;
        case ReplyEvent::Outcome::Ordered:
            if (orderOwner_.value(e.orderId) != e.domain)
                return QStringLiteral("order %1 for %2, which the registrar never gave")
                    .arg(e.orderId, e.domain);
            if (orderIds_.contains(e.orderId))
                return QStringLiteral("order %1 reported twice").arg(e.orderId);
            orderIds_.append(e.orderId);
            ++orderedEvents_;
            break;
        case ReplyEvent::Outcome::SentBlind:
            if (!book_.purchaseMethod)
                return QStringLiteral("a purchase sent blind under the check method");
            break;
        default:
            break;
        }
    }
    return QString();
}

// One line in orders.txt per order, in order.
QString WholeRunSim::checkOrders() {
    if (orderedEvents_ == ordersChecked_)
        return QString();
    ordersChecked_ = orderedEvents_;
    QFile file(store.ordersPath());
    QList<QByteArray> lines;
    if (file.open(QIODevice::ReadOnly))
        lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != orderIds_.size())
        return QStringLiteral("orders.txt holds %1 lines for %2 orders")
            .arg(lines.size())
            .arg(orderIds_.size());
    for (qsizetype k = 0; k < lines.size(); ++k)
        if (!lines[k].contains(" - Order ID: " + orderIds_[k].toLatin1() + " - "))
            return QStringLiteral("orders.txt line %1 is not order %2: %3")
                .arg(k + 1)
                .arg(orderIds_[k], QString::fromLatin1(lines[k]));
    return QString();
}

// Every slot of a running run that has begun is either guarding something in flight
// (its watchdog runs) or waiting for a moment no further off than the longest interval
// typed during the run (or the start second).
QString WholeRunSim::checkSlots() {
    const qint64 horizonMs = std::max<qint64>(book_.longestIntervalMs, 3000) + 1;
    for (int i = 1; i <= 2; ++i) {
        Slot* slot = controller.slot(i);
        if (!slot)
            continue;
        const WatchedAlarm* alarm = slotAlarm(i);
        if (!alarm)
            return QStringLiteral("slot %1 runs without its alarm").arg(i);
        const Timer& watchdog = watchdogOf(*slot);
        const Timer& pacing = pacingOf(*slot);
        const bool awake = watchdog.isEnabled() || pacing.isEnabled() || alarm->isSet();
        if (!awake) {
            if (book_.begun[i - 1] || book_.immediate)
                return QStringLiteral("slot %1 runs with nothing in flight and nothing due").arg(i);
            continue; // a scheduled run before its start
        }
        book_.begun[i - 1] = true;
        if (watchdog.isEnabled()) {
            if (watchdog.interval() > Slot::kFirstWatchdogMs)
                return QStringLiteral("slot %1's watchdog waits %2 ms")
                    .arg(i)
                    .arg(watchdog.interval());
            continue;
        }
        if (pacing.isEnabled() && pacing.interval() > horizonMs)
            return QStringLiteral("slot %1 paces %2 ms ahead, the interval is at most %3 ms")
                .arg(i)
                .arg(pacing.interval())
                .arg(horizonMs);
        if (alarm->isSet() && alarm->setFor() > sim.nowMs() * 1000 + horizonMs * 1000)
            return QStringLiteral("slot %1's next request is due in %2 ms, the interval is at "
                                  "most %3 ms")
                .arg(i)
                .arg(alarm->setFor() / 1000 - sim.nowMs())
                .arg(horizonMs);
    }
    return QString();
}

QString WholeRunSim::check() {
    if (!failure_.isEmpty())
        return QString();
    if (book_.live && !controller.isRunning()) {
        book_.live = false;
        note(QStringLiteral("the run has stopped"));
    }
    if (QString why = absorbEvents(); !why.isEmpty())
        return why;
    if (runs_ > 0) {
        const qint32 total = totalOf(controller);
        const qsizetype events = view.replies.size() - book_.firstReply;
        if (total != view.submissions)
            return QStringLiteral("the window shows %1 submissions, the run counted %2")
                .arg(view.submissions)
                .arg(total);
        if (total != events)
            return QStringLiteral("the run counted %1 submissions but reported %2 replies")
                .arg(total)
                .arg(events);
        qint64 tries = 0;
        bool saturated = false;
        for (const DomainJobPtr& job : book_.jobs) {
            tries += triesOf(job);
            saturated |= triesOf(job) == INT16_MAX;
        }
        if (saturated ? tries + book_.afterDrop > total : tries + book_.afterDrop != total)
            return QStringLiteral("the jobs' tries add up to %1, and %2 replies came for "
                                  "dropped jobs, but the run counted %3")
                .arg(tries)
                .arg(book_.afterDrop)
                .arg(total);
    }
    if (QString why = checkOrders(); !why.isEmpty())
        return why;
    if (controller.isRunning())
        return checkSlots();
    return QString();
}

} // namespace drovane::test
