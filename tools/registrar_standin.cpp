// A registrar stand-in for trying Drovane on one machine: it listens on 127.0.0.1 and
// answers check and purchase requests in the registrar's documented reply shape, then
// closes the connection as the registrar does.
//
//   registrar_standin [port, default 80]
//
// Names whose second-level label starts with "free" are available; every purchase
// succeeds; labels starting with "err" get an error the program has no rule for; the
// user id "bad" is rejected. Each request is printed with the time it arrived.

#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTextStream>

int main(int argc, char* argv[]) {
    using namespace drovane::test;
    QCoreApplication app(argc, argv);
    const quint16 port = argc > 1 ? QByteArray(argv[1]).toUShort() : 80;
    LoopbackRegistrar registrar(port);
    if (!registrar.isListening()) {
        QTextStream(stderr) << "cannot listen on 127.0.0.1:" << port << ": "
                            << registrar.errorString() << "\n";
        return 1;
    }
    QTextStream out(stdout);
    registrar.answer = [&out](const QByteArray& request) {
        out << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")) << "  "
            << request.left(request.indexOf("\r\n")) << Qt::endl;
        LoopbackRegistrar::Answer a;
        a.pieces = {standInReply(request)};
        return a;
    };
    out << "registrar stand-in on 127.0.0.1:" << registrar.port() << Qt::endl;
    return app.exec();
}
