// drovane-cli: the Drovane engine for servers, without a display.

#include "CheckCommand.h"
#include "CommandLine.h"
#include "ConsolePrompter.h"
#include "DomainsCommand.h"
#include "ExitStatus.h"
#include "RunCommand.h"
#include "SettingsCommand.h"

#include "core/settings/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace drovane::cli;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Drovane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DROVANE_VERSION));

    QString error;
    const auto inv = parseCommandLine(QCoreApplication::arguments().mid(1), &error);
    if (!inv) {
        printError(QStringLiteral("drovane-cli: %1 (drovane-cli --help tells more)").arg(error));
        return exitstatus::Usage;
    }
    if (inv->version) {
        printOut(QStringLiteral("drovane-cli " DROVANE_VERSION));
        return exitstatus::Ok;
    }
    if (inv->help) {
        printOut(helpText(inv->words).trimmed());
        return exitstatus::Ok;
    }
    const QString command = inv->words.value(0);
    // A check reads what is there; it never makes a folder that is not.
    if (command == QLatin1String("check") && !inv->folder.isEmpty() &&
        !QFileInfo(inv->folder).isDir()) {
        printError(QStringLiteral("drovane-cli check: %1 is not a folder").arg(inv->folder));
        return exitstatus::NotReady;
    }
    const QString folder = chooseFolder(*inv, QCoreApplication::applicationDirPath());
    if (const QString problem = drovane::folderTrustProblem(folder); !problem.isEmpty()) {
        printError(QStringLiteral("The folder %1 is not used: %2. Its files could be anyone's "
                                  "(their account, their name servers): use a folder that is "
                                  "yours alone (chmod go-w).")
                       .arg(folder, problem));
        return exitstatus::Refused;
    }
    if (command == QLatin1String("run") && inv->words.size() == 1)
        return runCommand(*inv, folder);
    if (command == QLatin1String("check") && inv->words.size() == 1)
        return checkCommand(*inv, folder);
    if (command == QLatin1String("settings"))
        return settingsCommand(*inv, folder);
    if (command == QLatin1String("domains"))
        return domainsCommand(*inv, folder);
    printError(helpText(inv->words.mid(0, 1)).trimmed());
    return exitstatus::Usage;
}
