#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace drovane::cli {

// What an unexpected registrar reply does to a run; on the desktop it opens a dialog
// while the run goes on.
enum class OnError { Continue, Drop, Stop };

struct Invocation {
    QStringList words; // the command and its arguments: "settings", "set", "interval", "2"
    QString folder;
    QString registrarHost;     // empty: the built-in host
    quint16 registrarPort = 0; // 0: the port the options choose
    bool yes = false;
    bool json = false;
    bool quiet = false; // run: only orders and errors among the reply lines
    OnError onError = OnError::Continue;
    QString onOrder;
    QString onStop;
    bool help = false;
    bool version = false;
};

// The options may stand anywhere among the words. Returns the reason when the line
// cannot be read.
std::optional<Invocation> parseCommandLine(const QStringList& arguments, QString* error);

// --folder, else $STATE_DIRECTORY (the first of its folders), else the desktop program's
// folder rule applied to the folder both executables are installed in.
QString chooseFolder(const Invocation& invocation, const QString& executableFolder);

// The help text for the command the words name (the general one for none).
QString helpText(const QStringList& words);

} // namespace drovane::cli
