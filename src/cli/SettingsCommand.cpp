#include "SettingsCommand.h"

#include "ConsolePrompter.h"
#include "ExitStatus.h"
#include "WindowFields.h"

#include "core/faces/MainWindowLoad.h"
#include "core/model/UserTexts.h"
#include "core/platform/DateTimeText.h"
#include "core/run/IntervalCheck.h"
#include "core/settings/LegalTypeSetting.h"
#include "core/settings/LegalTypes.h"
#include "core/settings/SettingNames.h"
#include "core/settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace drovane::cli {
namespace {

enum class Kind { Text, Switch, Interval, Time, Method, LegalType, Option };

struct Name {
    const char* name;
    Kind kind;
    Setting setting; // none for an Option
    int option = 0;  // for an Option: which one (optionField)
};

// Settings show lists them in this order.
const Name kNames[] = {
    {"username", Kind::Text, Setting::Username},
    {"password", Kind::Text, Setting::Password},
    {"interval", Kind::Interval, Setting::DelayTime},
    {"logging", Kind::Switch, Setting::Logging},
    {"start-immediately", Kind::Switch, Setting::StartImmediately},
    {"start-time", Kind::Time, Setting::StartTime},
    {"end-time", Kind::Time, Setting::EndTime},
    {"custom-nameservers", Kind::Switch, Setting::NameServers},
    {"first-name", Kind::Text, Setting::FirstName},
    {"last-name", Kind::Text, Setting::LastName},
    {"phone", Kind::Text, Setting::Phone},
    {"address", Kind::Text, Setting::Address},
    {"city", Kind::Text, Setting::City},
    {"country", Kind::Text, Setting::Country},
    {"email", Kind::Text, Setting::EMail},
    {"ns1", Kind::Text, Setting::NameServer1},
    {"ns2", Kind::Text, Setting::NameServer2},
    {"method", Kind::Method, Setting::UsePurchase},
    {"legal-type", Kind::LegalType, Setting::LegalType},
    {"secure", Kind::Option, Setting{}, 0},
    {"test-environment", Kind::Option, Setting{}, 1},
    {"buy-at-once", Kind::Option, Setting{}, 2},
    {"stop-when-bought", Kind::Option, Setting{}, 3},
};

bool& optionField(Options& o, int which) {
    return which == 0   ? o.secure
           : which == 1 ? o.testEnvironment
           : which == 2 ? o.buyAtOnce
                        : o.stopWhenBought;
}

const Name* findName(const QString& name) {
    for (const Name& n : kNames)
        if (name == QLatin1String(n.name))
            return &n;
    return nullptr;
}

QString yesNo(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

std::optional<bool> parseSwitch(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("false") || t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

QString legalTypeCode(const QString& value) {
    const auto row = parseLegalTypeRow(value, int(std::size(kLegalTypes)));
    if (!row || *row < 0)
        return QStringLiteral("none");
    return QString::fromLatin1(kLegalTypes[*row].code);
}

// The value as the windows show it.
QString shown(const Name& n, const SettingsStore& store, const MainFields& f) {
    switch (n.kind) {
    case Kind::Option: {
        Options o = store.options();
        return yesNo(optionField(o, n.option));
    }
    case Kind::Method:
        return store.Settings(n.setting) == QLatin1String("1") ? QStringLiteral("purchase")
                                                               : QStringLiteral("check");
    case Kind::LegalType:
        return legalTypeCode(store.Settings(n.setting));
    default:
        break;
    }
    switch (n.setting) {
    case Setting::Password:
        return (f.password.isEmpty() ? QString() : QStringLiteral("***** ")) +
               QStringLiteral("(%1)").arg(passwordPlaceLine(store));
    case Setting::DelayTime:
        return f.delayTime;
    case Setting::Logging:
        return yesNo(f.logging == 1);
    case Setting::StartImmediately:
        return yesNo(f.startImmediately == 1);
    case Setting::NameServers:
        return yesNo(f.nameServers == 1);
    default:
        return store.Settings(n.setting);
    }
}

termios echoing{};

// Ctrl-C at the prompt must not leave the terminal without echo.
void restoreEchoAndDie(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &echoing);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// One line of stdin, without echo when it is a terminal.
std::optional<QString> readPassword() {
    const bool terminal = ::isatty(STDIN_FILENO);
    termios& saved = echoing;
    if (terminal) {
        std::fputs("Password: ", stderr);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            std::signal(signal, restoreEchoAndDie);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QFile in;
    QByteArray line;
    bool got = false;
    if (in.open(stdin, QIODevice::ReadOnly)) {
        // Byte by byte, as readLine() would end the line at a NUL and so cut the password
        // silently; a line far beyond any password is cut, and then refused as too long.
        char c = 0;
        while (line.size() <= 4 * kSettingMaxLength && in.getChar(&c)) {
            got = true;
            if (c == '\n')
                break;
            line.append(c);
        }
    }
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!got)
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

int show(SettingsStore& store, ConsolePrompter& prompter) {
    const MainFields f = windowFields(store, prompter);
    for (const Name& n : kNames)
        printOut(QStringLiteral("%1 %2").arg(QLatin1String(n.name), -18).arg(shown(n, store, f)));
    return exitstatus::Ok;
}

int set(const Invocation& inv, SettingsStore& store, ConsolePrompter& prompter) {
    const QString name = inv.words.value(2);
    const Name* n = findName(name);
    if (!n) {
        printError(
            QStringLiteral("Unknown setting \"%1\"; see drovane-cli settings --help.").arg(name));
        return exitstatus::Usage;
    }
    const bool clear = inv.words.value(1) == QLatin1String("clear");
    QString value;
    if (clear) {
        if (inv.words.size() != 3 || (n->kind != Kind::Text && n->kind != Kind::Time)) {
            printError(QStringLiteral("Usage: drovane-cli settings clear NAME, for a text or a "
                                      "time setting"));
            return exitstatus::Usage;
        }
    } else if (n->setting == Setting::Password && n->kind == Kind::Text) {
        if (inv.words.size() > 3) {
            printError(QStringLiteral("The password is read from stdin or asked for, never taken "
                                      "from the command line, where every user can see it."));
            return exitstatus::Usage;
        }
        const auto read = readPassword();
        if (!read) {
            printError(QStringLiteral("No password was given on stdin."));
            return exitstatus::Refused;
        }
        value = *read;
    } else {
        if (inv.words.size() != 4) {
            printError(QStringLiteral("Usage: drovane-cli settings set NAME VALUE"));
            return exitstatus::Usage;
        }
        value = inv.words[3];
    }
    // Nothing is stored other than it was given: no "?" for a byte, no half of a value.
    if (const QString problem = settingValueProblem(value); !problem.isEmpty()) {
        printError(QStringLiteral("%1 is not set: %2.").arg(name, problem));
        return exitstatus::Refused;
    }
    // An empty line on stdin (an unset variable) must not wipe the account.
    const bool account = n->kind == Kind::Text &&
                         (n->setting == Setting::Username || n->setting == Setting::Password);
    if (account && value.isEmpty() && !clear) {
        printError(QStringLiteral("%1 is not set: it is empty. To clear it, use drovane-cli "
                                  "settings clear %1.")
                       .arg(name));
        return exitstatus::Refused;
    }

    // Taken after the password prompt: nobody else's save waits for the user's typing.
    const FolderEdit edit(store);
    if (!edit)
        return edit.status();
    loadFiles(store);
    // The service's credential comes first: a password saved here would never be used.
    if (n->setting == Setting::Password && n->kind == Kind::Text &&
        store.passwordSource() == PasswordSource::CredentialFile) {
        printError(QStringLiteral("Not changed: the password comes from %1 while it is there; "
                                  "change that file instead.")
                       .arg(store.passwordPlace()));
        return exitstatus::Refused;
    }
    MainFields f = windowFields(store, prompter);
    switch (n->kind) {
    case Kind::Text:
        if (n->setting == Setting::Username)
            f.username = value;
        else if (n->setting == Setting::Password)
            f.password = value;
        else
            store.setSettings(n->setting, value);
        break;
    case Kind::Interval: {
        const IntervalCheck verdict = checkIntervalText(value, f.delayTime);
        if (verdict.outcome != IntervalCheck::Accept) {
            printError(QString::fromLatin1(kIntervalRangeMessage));
            return exitstatus::Refused;
        }
        f.delayTime = value;
        break;
    }
    case Kind::Time:
        if (!value.isEmpty() && !parseDateTime(value)) {
            printError(QString::fromLatin1(n->setting == Setting::StartTime ? kInvalidStartTime
                                                                            : kInvalidEndTime));
            return exitstatus::Refused;
        }
        (n->setting == Setting::StartTime ? f.startTime : f.endTime) = value;
        break;
    case Kind::Switch:
    case Kind::Option: {
        const auto on = parseSwitch(value);
        if (!on) {
            printError(QStringLiteral("%1 takes true or false (or 1 or 0).").arg(name));
            return exitstatus::Usage;
        }
        if (n->kind == Kind::Option) {
            Options o = store.options();
            optionField(o, n->option) = *on;
            store.setOptions(o);
        } else if (n->setting == Setting::Logging) {
            f.logging = *on;
        } else if (n->setting == Setting::StartImmediately) {
            // Checking the box asks first, as in the window.
            if (*on && f.startImmediately == 0 &&
                !prompter.question(QString::fromLatin1(kManualTimesQuestion)))
                return exitstatus::Unanswered;
            f.startImmediately = *on;
        } else {
            // The window lets Custom Nameservers stay checked only with both name servers.
            if (*on && !nameServersComplete(store.all())) {
                printError(QStringLiteral("Custom Nameservers needs both default name servers: "
                                          "set ns1 and ns2 first."));
                return exitstatus::Refused;
            }
            f.nameServers = *on;
        }
        break;
    }
    case Kind::Method: {
        const QString m = value.trimmed().toLower();
        if (m != QLatin1String("check") && m != QLatin1String("purchase")) {
            printError(QStringLiteral("method takes check or purchase."));
            return exitstatus::Usage;
        }
        const bool purchase = m == QLatin1String("purchase");
        if (purchase && store.Settings(Setting::UsePurchase) != QLatin1String("1") &&
            !prompter.question(QString::fromLatin1(kPurchaseMethodQuestion)))
            return exitstatus::Unanswered;
        store.setSettings(Setting::UsePurchase,
                          purchase ? QStringLiteral("1") : QStringLiteral("0"));
        break;
    }
    case Kind::LegalType: {
        QStringList codes;
        FillLegalTypes(codes);
        const QString code = value.trimmed().toUpper();
        const qsizetype row = code == QLatin1String("NONE") ? -1 : codes.indexOf(code);
        if (row < 0 && code != QLatin1String("NONE")) {
            printError(
                QStringLiteral("Please select a valid Contact Legal Type: one of %1, or none.")
                    .arg(codes.join(QStringLiteral(", "))));
            return exitstatus::Refused;
        }
        store.setSettings(Setting::LegalType, formatLegalTypeSetting(int(row), codes));
        break;
    }
    }
    // As the settings window's Done: a name server removed takes Custom Nameservers off.
    if (nameServerSwitchMustGoOff(store.all()))
        f.nameServers = 0;
    if (!reportSave(store.WriteSettings(f),
                    n->kind == Kind::Option
                        ? QDir(store.folder()).filePath(QStringLiteral("options.ini"))
                        : store.settingsPath()))
        return exitstatus::Refused;
    if (n->setting == Setting::Password && n->kind == Kind::Text)
        printOut(QStringLiteral("The password is kept %1.").arg(passwordPlaceLine(store)));
    return exitstatus::Ok;
}

} // namespace

int settingsCommand(const Invocation& inv, const QString& folder) {
    // No clearing of stale temporary files here: a running service may be saving.
    SettingsStore store(folder);
    ConsolePrompter prompter(inv.yes);
    const QString sub = inv.words.value(1);
    // The password follows the user name into the keyring.
    const QString name = inv.words.value(2);
    usePasswordPlaces(store, sub == QLatin1String("show") || name == QLatin1String("password") ||
                                 name == QLatin1String("username"));
    if (sub == QLatin1String("show") && inv.words.size() == 2) {
        loadFiles(store);
        return show(store, prompter);
    }
    if (sub == QLatin1String("set") || sub == QLatin1String("clear"))
        return set(inv, store, prompter);
    printError(helpText({QStringLiteral("settings")}));
    return exitstatus::Usage;
}

} // namespace drovane::cli
