// The desktop program as a user runs it, for measuring it beside the server runner:
// the same start-up as the `drovane` executable (store, window, signals), then a
// click on Start. The window connects to 127.0.0.1 on the port its options choose (80
// or 443), so it runs in a network namespace of its own with the stand-in
// (bench/server_run.sh); given a port, every connection goes there instead (the timing
// harness).
//
//   QT_QPA_PLATFORM=offscreen drovane_desktop_run FOLDER [PORT]

#include "core/platform/QtPlatform.h"
#include "core/platform/TerminationSignals.h"
#include "core/settings/LegalTypes.h"
#include "core/settings/SettingsStore.h"
#include "desktop/MessageBoxPrompter.h"
#include "desktop/frmMain.h"
#include "testing/ObservedPlatform.h"

#include <QApplication>
#include <QPushButton>

using namespace drovane;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 64;
    SettingsStore store(QString::fromLocal8Bit(argv[1]));
    store.removeStaleSaves();
    store.GetSettings();
    QStringList colLegalTypes;
    FillLegalTypes(colLegalTypes);
    QtPlatform qt;
    test::ObservedPlatform platform(qt);
    if (argc > 2) {
        const quint16 port = quint16(QByteArray(argv[2]).toUShort());
        platform.route = [port](int, const QString& host, quint16) {
            return std::pair{host, port};
        };
    }
    MessageBoxPrompter prompter;
    frmMain main(store, platform, prompter, colLegalTypes, QStringLiteral("127.0.0.1"),
                 [] { QCoreApplication::exit(0); });
    TerminationSignals terminate([&main] { main.close(); });
    main.show();
    main.findChild<QPushButton*>(QStringLiteral("cmdStart"))->click();
    return app.exec();
}
