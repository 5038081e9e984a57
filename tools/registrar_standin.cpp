// A registrar stand-in for trying Drovane on one machine: it listens on 127.0.0.1 and
// answers check and purchase requests, and the setup check's GetBalance and
// PE_GetProductPrice, in the registrar's documented reply shape, then closes the
// connection as the registrar does.
//
//   registrar_standin [PORT] [--available AMOUNT] [--balance AMOUNT] [--price TLD=AMOUNT]...
//                     [--disable TLD]... [--refuse-address ADDRESS] [--retail]
//                     [--skew SECONDS] [--no-date]
//
// PORT defaults to 80. Names whose second-level label starts with "free" are available;
// every purchase succeeds; labels starting with "err" get an error the program has no
// rule for; the user id "bad" is rejected. --refuse-address answers every request with
// the allow-list refusal naming ADDRESS; --skew sets the stand-in's clock (its Date
// header) that many seconds ahead (or behind, negative). Each request is printed with the
// time it arrived.

#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTextStream>

int main(int argc, char* argv[]) {
    using namespace drovane::test;
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    StandInAccount account;
    quint16 port = 80;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&]() -> QByteArray {
            if (i + 1 >= args.size()) {
                err << a << " needs a value\n";
                std::exit(64);
            }
            return args[++i].toUtf8();
        };
        if (a == QLatin1String("--available")) {
            account.available = value();
        } else if (a == QLatin1String("--balance")) {
            account.balance = value();
        } else if (a == QLatin1String("--price")) {
            const QByteArray v = value();
            account.prices.insert(v.left(v.indexOf('=')).toLower(), v.mid(v.indexOf('=') + 1));
        } else if (a == QLatin1String("--disable")) {
            account.disabled.insert(value().toLower());
        } else if (a == QLatin1String("--refuse-address")) {
            account.refusedAddress = value();
        } else if (a == QLatin1String("--retail")) {
            account.reseller = false;
        } else if (a == QLatin1String("--skew")) {
            account.clockSkewMs = qint64(value().toDouble() * 1000);
        } else if (a == QLatin1String("--no-date")) {
            account.sendDate = false;
        } else if (!a.startsWith(u'-') && a.toUShort() != 0) {
            port = a.toUShort();
        } else {
            err << "unknown argument " << a << "\n";
            return 64;
        }
    }
    LoopbackRegistrar registrar(port);
    if (!registrar.isListening()) {
        err << "cannot listen on 127.0.0.1:" << port << ": " << registrar.errorString() << "\n";
        return 1;
    }
    QTextStream out(stdout);
    registrar.answer = [&out, &account](const QByteArray& request) {
        out << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")) << "  "
            << request.left(request.indexOf("\r\n")) << Qt::endl;
        LoopbackRegistrar::Answer a;
        a.pieces = {standInReply(request, account, QDateTime::currentDateTimeUtc())};
        return a;
    };
    out << "registrar stand-in on 127.0.0.1:" << registrar.port() << Qt::endl;
    return app.exec();
}
