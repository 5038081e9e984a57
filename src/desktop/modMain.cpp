#include "modMain.h"

#include "Controls.h"
#include "DesktopNotifier.h"
#include "MessageBoxPrompter.h"
#include "core/platform/QtPlatform.h"
#include "core/platform/TerminationSignals.h"
#include "core/settings/LegalTypes.h"
#include "core/settings/PasswordPlaces.h"
#include "core/settings/SettingsStore.h"
#include "frmMain.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QScreen>
#include <cstdio>

namespace drovane {

void registerFonts() {
    const QString tahoma = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    if (QFile::exists(tahoma) && QFontDatabase::addApplicationFont(tahoma) < 0)
        qWarning("Drovane: %s could not be loaded; using the default font", qUtf8Printable(tahoma));
}

bool answerCommandLine(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (word == "--version") {
            std::fputs("drovane " DROVANE_VERSION "\n", stdout);
            return true;
        }
        if (word == "--help" || word == "-h") {
            std::fputs("Usage: drovane [--help | --version]\n"
                       "Catches domain names the moment they become free: the desktop window.\n"
                       "Everything is set in the window; the program reads no other arguments.\n"
                       "\n"
                       "  --help     this help\n"
                       "  --version  print the version\n"
                       "\n"
                       "Without a display, drovane-cli runs the same catch (drovane-cli --help\n"
                       "tells more).\n",
                       stdout);
            return true;
        }
    }
    return false;
}

int Main(int argc, char* argv[], const QString& registrarHost) {
    // Answered before the application object exists: without a display, Qt cannot make
    // one, and these two questions need none.
    if (answerCommandLine(argc, argv))
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    // Nothing else of the command line is read, not even Qt's own options.
    int noArguments = argc > 0 ? 1 : 0;
    QApplication app(noArguments, argv);
    QApplication::setApplicationName(QStringLiteral("Drovane"));
    QApplication::setApplicationVersion(QStringLiteral(DROVANE_VERSION));
    // Lets the desktop match the window to the menu entry and its icon (Wayland app id).
    QApplication::setDesktopFileName(QStringLiteral("org.drovane.Drovane"));
    // Closing the main window ends the program itself, after saving.
    QApplication::setQuitOnLastWindowClosed(false);
    registerFonts();

    SettingsStore store(dataFolder(QCoreApplication::applicationDirPath()));
    QString noKeyring;
    store.setKeyring(loadKeyring(QCoreApplication::applicationDirPath(), &noKeyring), noKeyring);
    MessageBoxPrompter prompter;
    // The window keeps its own copy of the files and writes it back when it closes: it
    // has them to itself, and a second window says so instead of undoing the first's.
    std::unique_ptr<HeldLock> owner;
    QString refusal;
    {
        const SettingsStore::EditScope edit(store);
        owner = store.claim(FolderRole::Window, &refusal);
        if (owner) {
            store.removeStaleSaves();
            store.GetSettings();
        }
    }
    if (!owner) {
        qWarning("Drovane: %s", qUtf8Printable(refusal));
        prompter.notice(refusal);
        return 1;
    }
    QStringList colLegalTypes;
    FillLegalTypes(colLegalTypes);

    QtPlatform platform;
    DesktopNotifier notifier(drovane::windowIcon()); // outlives the window that calls it
    frmMain main(store, platform, prompter, colLegalTypes, registrarHost,
                 [] { QCoreApplication::exit(0); });
    prompter.setParent(&main);
    main.setOrderNotifier(&notifier);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect at = main.frameGeometry();
        at.moveCenter(screen->availableGeometry().center());
        main.move(at.topLeft());
    }
    TerminationSignals terminate([&main] { main.endAtSystemRequest(); });
    main.show();
    return QApplication::exec();
}

} // namespace drovane
