#include "CommandLine.h"

#include "core/settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace drovane::cli {
namespace {

bool takesValue(const QString& option) {
    return option == QLatin1String("--folder") || option == QLatin1String("--registrar") ||
           option == QLatin1String("--on-error") || option == QLatin1String("--on-order") ||
           option == QLatin1String("--on-stop");
}

bool applyOption(Invocation& inv, const QString& name, const QString& value, QString* error) {
    if (name == QLatin1String("--folder")) {
        if (value.isEmpty()) {
            *error = QStringLiteral("--folder needs a folder");
            return false;
        }
        inv.folder = value;
    } else if (name == QLatin1String("--registrar")) {
        // HOST or HOST:PORT; a bracketed IPv6 address keeps its colons.
        QString host = value;
        QString port;
        if (value.startsWith(u'[')) {
            const qsizetype close = value.indexOf(u']');
            host = value.mid(1, close - 1);
            if (close < 0 || (close + 1 < value.size() && value.at(close + 1) != u':')) {
                *error = QStringLiteral("--registrar takes HOST or HOST:PORT");
                return false;
            }
            port = value.mid(close + 2);
        } else if (value.count(u':') == 1) {
            host = value.section(u':', 0, 0);
            port = value.section(u':', 1);
        }
        bool ok = true;
        const uint number = port.isEmpty() ? 0 : port.toUInt(&ok);
        if (host.isEmpty() || !ok || (!port.isEmpty() && number == 0) || number > 65535) {
            *error = QStringLiteral("--registrar takes HOST or HOST:PORT, not \"%1\"").arg(value);
            return false;
        }
        inv.registrarHost = host;
        inv.registrarPort = quint16(number);
    } else if (name == QLatin1String("--on-error")) {
        if (value == QLatin1String("continue"))
            inv.onError = OnError::Continue;
        else if (value == QLatin1String("drop"))
            inv.onError = OnError::Drop;
        else if (value == QLatin1String("stop"))
            inv.onError = OnError::Stop;
        else {
            *error = QStringLiteral("--on-error takes continue, drop or stop");
            return false;
        }
    } else if (name == QLatin1String("--on-order")) {
        inv.onOrder = value;
    } else if (name == QLatin1String("--on-stop")) {
        inv.onStop = value;
    } else if (name == QLatin1String("--yes") || name == QLatin1String("-y")) {
        inv.yes = true;
    } else if (name == QLatin1String("--json")) {
        inv.json = true;
    } else if (name == QLatin1String("--quiet") || name == QLatin1String("-q")) {
        inv.quiet = true;
    } else if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        inv.help = true;
    } else if (name == QLatin1String("--version")) {
        inv.version = true;
    } else {
        *error = QStringLiteral("unknown option %1").arg(name);
        return false;
    }
    return true;
}

} // namespace

std::optional<Invocation> parseCommandLine(const QStringList& arguments, QString* error) {
    Invocation inv;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        // "--" ends the options, and a lone "-" is a word (stdin for an import).
        if (optionsEnded || !arg.startsWith(u'-') || arg == QLatin1String("-")) {
            inv.words.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg;
        QString value;
        const qsizetype equals = arg.indexOf(u'=');
        if (equals > 0) {
            name = arg.left(equals);
            value = arg.mid(equals + 1);
        } else if (takesValue(arg)) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("%1 needs a value").arg(arg);
                return std::nullopt;
            }
            value = arguments[++i];
        }
        if (equals > 0 && !takesValue(name)) {
            *error = QStringLiteral("%1 takes no value").arg(name);
            return std::nullopt;
        }
        if (!applyOption(inv, name, value, error))
            return std::nullopt;
    }
    return inv;
}

QString chooseFolder(const Invocation& inv, const QString& executableFolder) {
    if (!inv.folder.isEmpty()) {
        // A new folder holds the account's password: owner-only, as the desktop's own.
        QString folder = QDir(inv.folder).absolutePath();
        if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        return folder;
    }
    // systemd may list several state folders; the unit names one.
    QString state = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
    if (!state.isEmpty())
        return state;
    return dataFolder(executableFolder);
}

QString helpText(const QStringList& words) {
    const QString command = words.value(0);
    if (command == QLatin1String("run"))
        return QStringLiteral(
            "Usage: drovane-cli run [--yes] [--json] [--on-error continue|drop|stop]\n"
            "                       [--on-order COMMAND] [--on-stop COMMAND]\n"
            "                       [--registrar HOST[:PORT]] [--folder DIR]\n"
            "\n"
            "Starts a run from the saved settings and domain list, as the Start button does:\n"
            "the same start checks (their messages on stderr, exit status 1), Start\n"
            "Immediately or the daily start and end times, the same requests, log and options.\n"
            "\n"
            "Prints one line per counted reply on stdout:\n"
            "  2026-01-31T22:00:01.004Z slot 1 example.com tries 7 taken|free|ordered ID|\n"
            "                                    rejected account|unexpected: TEXT|purchase sent\n"
            "and a line when a request comes to nothing (at most one a slot per 8 s):\n"
            "  2026-01-31T22:00:09.004Z slot 1 example.com failed: no reply within 8 s\n"
            "What the registrar sent is shown on one line, cut after 500 characters.\n"
            "A scheduled run checks the setup when it starts waiting and again 5 minutes\n"
            "before its start time (see drovane-cli check --help); what is not ready, and a\n"
            "slot whose every request has failed for a minute, are told on stderr.\n"
            "\n"
            "  --yes            answer Yes to the questions the window asks (the 30-minute\n"
            "                   warning); without it such a run does not start (exit status 3)\n"
            "  --json           print each reply as a JSON object on a line of its own, and\n"
            "                   records with \"event\": start, stop (with its reason),\n"
            "                   failure, at-risk and check\n"
            "  --quiet          print only orders and errors among the replies; the run's\n"
            "                   start and stop are told on stderr all the same\n"
            "  --on-error WHAT  an unexpected reply: continue (default; the run goes on),\n"
            "                   drop (the name leaves this run, as Stop Current) or\n"
            "                   stop (the run ends, as Stop All; exit status 5)\n"
            "  --on-order CMD   run CMD through /bin/sh after each successful order, with\n"
            "                   DROVANE_DOMAIN, DROVANE_ORDER_ID and DROVANE_SLOT set; it never\n"
            "                   delays or fails the run\n"
            "  --on-stop CMD    run CMD through /bin/sh when the run ends, with\n"
            "                   DROVANE_STOP_REASON (end-time, account-rejected,\n"
            "                   address-refused, secure-connection-failed, stop-all, signal)\n"
            "                   and DROVANE_STOP_MESSAGE set\n"
            "                   Both commands get /dev/null as input, output and error output\n"
            "                   (redirect inside CMD to keep them, e.g. 'cmd >>/tmp/log 2>&1');\n"
            "                   at most 4 run at once, the rest wait; one still running after\n"
            "                   60 s is stopped, and the run waits up to 10 s for them at its end\n"
            "  --registrar H[:P] connect to H (and port P) for this run instead of the\n"
            "                   built-in registrar host; the secure option still chooses\n"
            "                   TLS (port 443) or plain HTTP (port 80)\n"
            "\n"
            "Ends with 0 at the end time or on SIGTERM/SIGINT, 2 when the registrar rejects\n"
            "the account or this machine's address, 4 when the secure connection to it fails\n"
            "(its certificate is not trusted, or the TLS handshake fails).\n");
    if (command == QLatin1String("check"))
        return QStringLiteral(
            "Usage: drovane-cli check [--json] [--registrar HOST[:PORT]] [--folder DIR]\n"
            "\n"
            "Checks the saved setup before the drop, over exactly the connection a run would\n"
            "use, and prints one line per check, each ready, warning or not ready with its\n"
            "reason:\n"
            "  Connection                 the TLS handshake and certificate; connection set-up\n"
            "                             and round trip (the median of 3)\n"
            "  Account and address        GetBalance: the user name and password, and whether\n"
            "                             the account takes requests from this address\n"
            "  Funds                      the available balance against the account's price\n"
            "                             for each TLD of the list (PE_GetProductPrice)\n"
            "  Clock                      whether this machine's clock is synchronised, and\n"
            "                             the registrar's clock against it\n"
            "  What a purchase will need  the start checks, name servers, the list's lines,\n"
            "                             the registrant's phone, e-mail and country\n"
            "It sends only GetBalance and PE_GetProductPrice (no check or purchase of a listed\n"
            "name), takes no lock and writes no file.\n"
            "\n"
            "  --json   one JSON object per check\n"
            "\n"
            "Ends with 0 when ready (warnings may be printed), 1 when something is not ready.\n");
    if (command == QLatin1String("settings"))
        return QStringLiteral(
            "Usage: drovane-cli settings show [--folder DIR]\n"
            "       drovane-cli settings set NAME VALUE [--yes] [--folder DIR]\n"
            "       drovane-cli settings set password [--folder DIR]   (reads stdin or asks)\n"
            "       drovane-cli settings clear NAME [--folder DIR]     (a text or time setting)\n"
            "\n"
            "show prints every setting (the password as *****). set checks the value as the\n"
            "windows do and saves the files atomically. Names:\n"
            "  username, password, interval (above 0 and below 1000), logging,\n"
            "  start-immediately, start-time, end-time (e.g. 10:30 PM, 22:30, 12/31/2026\n"
            "  10:30 PM), custom-nameservers, first-name, last-name, phone, address, city,\n"
            "  country, email, ns1, ns2, method (check or purchase), legal-type (a code such\n"
            "  as LTD, or none), and in options.ini secure, test-environment, buy-at-once,\n"
            "  stop-when-bought (a bought name is not checked again in that run).\n"
            "Switches take true/false or 1/0. Switching on start-immediately or the purchase\n"
            "method asks the window's question: answer it with --yes (exit status 3 without).\n"
            "The password is never taken from the command line: it would show in the\n"
            "process list. A value is refused, never changed, when it is not UTF-8 text,\n"
            "holds a control character or a character settings.dat cannot keep (it keeps\n"
            "Windows-1252 text), or is longer than 255 characters; an empty username or\n"
            "password is refused too: clear one with settings clear.\n");
    if (command == QLatin1String("domains"))
        return QStringLiteral(
            "Usage: drovane-cli domains list [--folder DIR]\n"
            "       drovane-cli domains add NAME... [--folder DIR]\n"
            "       drovane-cli domains remove NAME... [--folder DIR]\n"
            "       drovane-cli domains import FILE|- [--folder DIR]\n"
            "\n"
            "Edits domains.dat, the window's domain list, one name per line. add and import\n"
            "append the names not yet listed (import reads a file, or stdin for -, one name\n"
            "per line) and say how many were added; remove drops every line naming one of\n"
            "the names (any letter case). A name must be a host name with at least one dot\n"
            "(letters, digits, inner hyphens; an internationalised name in its xn-- form):\n"
            "add and import refuse anything else, naming the first bad name or line, and\n"
            "then add nothing. While a Drovane window has the folder open, edits are\n"
            "refused (exit status 6): the window would write its own copy over them.\n");
    return QStringLiteral(
        "Usage: drovane-cli COMMAND [OPTIONS]\n"
        "\n"
        "The Drovane engine without a display, for servers: the same files, rules and\n"
        "requests as the desktop program.\n"
        "\n"
        "Commands:\n"
        "  run                       start a run from the saved settings and list\n"
        "  check                     check the setup before the drop\n"
        "  settings show             print the settings\n"
        "  settings set NAME VALUE   change one setting (clear NAME empties one)\n"
        "  domains list|add|remove|import   show or edit the domain list\n"
        "\n"
        "Options of every command:\n"
        "  --folder DIR   the folder of settings.dat, domains.dat, options.ini and\n"
        "                 enomlog.txt; without it $STATE_DIRECTORY when set, else the\n"
        "                 desktop program's folder\n"
        "  --help         help on the command\n"
        "  --version      print the version\n"
        "\n"
        "Exit statuses: 0 done (check: ready); 1 refused (a start check, a value, a save;\n"
        "check: not ready); 2 account or address rejected; 3 a question needs --yes;\n"
        "4 the secure connection to the registrar failed (certificate not trusted, or the\n"
        "TLS handshake failed); 5 stopped by --on-error stop; 6 the folder is in use\n"
        "(another run, or the window for an edit); 64 wrong command line.\n"
        "\n"
        "drovane-cli COMMAND --help tells more.\n");
}

} // namespace drovane::cli
