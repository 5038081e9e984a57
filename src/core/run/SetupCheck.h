#pragma once

#include "core/model/MainFields.h"
#include "core/platform/Platform.h"
#include "core/registrar/Endpoint.h"
#include "core/registrar/RegistrarAnswer.h"
#include "core/registrar/ReplyInterpreter.h"
#include "core/settings/SettingsCodec.h"

#include <QList>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <vector>

namespace drovane {

// How ready one part of the setup is for a catch.
enum class Verdict { Ready, Warning, NotReady };
QString verdictWord(Verdict verdict); // "ready", "warning", "not ready"

// One check's outcome, as both faces show it: a verdict and a reason a user can act on.
struct CheckLine {
    QString id;    // "connection", "account", "funds", "clock", "purchase"
    QString title; // "Connection", "Account and address", ...
    Verdict verdict = Verdict::Ready;
    QString text;
    QVariantMap facts; // what was measured or read, for --json
};

// What is checked: the window's fields as they stand (or the saved files), the settings,
// and where a run would connect.
struct SetupInput {
    MainFields fields;
    SettingsArray settings;
    Endpoint endpoint;
    bool testEnvironment = false;
};

// Checks the setup before the drop: the connection a run would use, the account and this
// machine's address, the funds against the listed names' prices, the clocks, and what a
// purchase will need. Only side-effect-free commands reach the registrar (GetBalance,
// PE_GetProductPrice), one per connection as a run sends them; no listed name is checked
// or bought, and nothing is written.
class SetupCheck {
public:
    static constexpr int kProbes = 3;            // connections timed for the median
    static constexpr int kStepTimeoutMs = 10000; // a connection and its reply
    static constexpr int kMaxTlds = 20;          // prices asked for at most
    // A registrar clock further off than this matters for a start at a named second.
    static constexpr qint64 kRegistrarSkewWarnUs = 1000000;
    // This machine's own error bound beyond which a scheduled start is imprecise.
    static constexpr qint64 kLocalErrorWarnUs = 500000;

    SetupCheck(Platform& platform, SetupInput input);
    ~SetupCheck();
    SetupCheck(const SetupCheck&) = delete;
    SetupCheck& operator=(const SetupCheck&) = delete;

    // Begins; the lines come in their order through onLine, then onFinished.
    void start();
    // Stops at once; no callback follows.
    void cancel();
    bool isRunning() const { return running_; }
    const QList<CheckLine>& lines() const { return lines_; }

    // Each line as it is decided, in the order connection, account, funds, clock, purchase.
    std::function<void(const CheckLine&)> onLine;
    // After the last line. May destroy the check.
    std::function<void()> onFinished;

    // Not ready when any line is; warnings do not stop a catch.
    static Verdict overall(const QList<CheckLine>& lines);

private:
    // One connection and, when it carries one, one request and its reply.
    struct Exchange {
        QByteArray request;  // empty: the connection alone is timed
        QString tld;         // a price request's TLD
        qint64 openedUs = 0; // steady
        qint64 connectedUs = -1;
        qint64 sentUs = -1;
        qint64 sentWallUs = 0;
        qint64 firstByteWallUs = 0;
        qint64 doneUs = -1;
        QByteArray reply;
        ReplyEndTracker replyEnd;
        QString failure; // why it came to nothing
        bool handshakeFailed = false;
    };

    void next();
    void begin(Exchange& e);
    void connected();
    void arrived(const QByteArray& bytes);
    void ended();
    void failed(const QString& why, bool handshake);
    void finishExchange();
    void retireSocket();
    void afterProbes();
    void afterPrices();
    void emitLine(const CheckLine& line);
    void finish();

    CheckLine connectionLine() const;
    CheckLine accountLine() const;
    CheckLine fundsLine() const;
    CheckLine clockLine() const;
    CheckLine purchaseLine() const;

    Platform& platform_;
    SetupInput input_;
    QStringList names_; // the list's lines as a run deals them
    bool credentials_ = false;

    std::vector<Exchange> probes_;
    std::vector<Exchange> prices_;
    std::vector<Exchange>* phase_ = nullptr;
    size_t at_ = 0;
    Exchange* current_ = nullptr;
    bool stopAsking_ = false; // the account was refused: nothing more is sent
    RegistrarAnswer balance_;
    bool haveBalance_ = false;

    std::unique_ptr<TcpSocket> socket_;
    std::vector<std::unique_ptr<TcpSocket>> retired_;
    std::unique_ptr<Timer> timeout_;
    std::unique_ptr<Timer> turn_; // steps begin outside the socket's own events
    std::function<void()> onTurn_;
    bool running_ = false;
    QList<CheckLine> lines_;
};

} // namespace drovane
