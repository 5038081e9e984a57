#include "DomainsCommand.h"

#include "ConsolePrompter.h"
#include "ExitStatus.h"
#include "WindowFields.h"

#include "core/run/ListText.h"
#include "core/settings/SettingsStore.h"

#include <QFile>

namespace drovane::cli {
namespace {

bool listed(const QStringList& lines, const QString& name) {
    for (const QString& line : lines)
        if (line.trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The names of an imported text: one a line, blanks around them dropped.
QStringList namesOf(const QByteArray& bytes) {
    QStringList names;
    for (const QString& line :
         normalizeLineEnds(QString::fromUtf8(bytes)).split(QLatin1String("\r\n")))
        if (const QString name = line.trimmed(); !name.isEmpty())
            names.append(name);
    return names;
}

} // namespace

int domainsCommand(const Invocation& inv, const QString& folder) {
    SettingsStore store(folder);
    ConsolePrompter prompter(inv.yes);
    const QString sub = inv.words.value(1);
    std::optional<FolderEdit> edit;
    if (sub != QLatin1String("list")) {
        edit.emplace(store);
        if (!*edit)
            return edit->status();
    }
    loadFiles(store);
    const QStringList args = inv.words.mid(2);
    MainFields f = windowFields(store, prompter);
    QStringList lines = listLines(cleanList(f.domains));

    if (sub == QLatin1String("list") && args.isEmpty()) {
        for (const QString& line : lines)
            printOut(line);
        return exitstatus::Ok;
    }

    QStringList names;
    if ((sub == QLatin1String("add") || sub == QLatin1String("remove")) && !args.isEmpty()) {
        for (const QString& a : args)
            if (!a.trimmed().isEmpty())
                names.append(a.trimmed());
    } else if (sub == QLatin1String("import") && args.size() == 1) {
        QFile in;
        const bool opened = args[0] == QLatin1String("-")
                                ? in.open(stdin, QIODevice::ReadOnly)
                                : (in.setFileName(args[0]), in.open(QIODevice::ReadOnly));
        if (!opened) {
            printError(QStringLiteral("%1 cannot be read: %2").arg(args[0], in.errorString()));
            return exitstatus::Refused;
        }
        names = namesOf(in.readAll());
    } else {
        printError(helpText({QStringLiteral("domains")}));
        return exitstatus::Usage;
    }

    int changed = 0;
    if (sub == QLatin1String("remove")) {
        for (const QString& name : names) {
            const qsizetype before = lines.size();
            lines.removeIf([&](const QString& line) {
                return line.trimmed().compare(name, Qt::CaseInsensitive) == 0;
            });
            if (lines.size() == before)
                printError(QStringLiteral("%1 is not in the list").arg(name));
            changed += int(before - lines.size());
        }
    } else {
        for (const QString& name : names) {
            if (listed(lines, name))
                continue;
            lines.append(name);
            ++changed;
        }
    }
    if (changed == 0)
        return exitstatus::Ok;
    f.domains = lines.join(QLatin1String("\r\n"));
    return reportSave(store.WriteSettings(f), store.domainsPath()) ? exitstatus::Ok
                                                                   : exitstatus::Refused;
}

} // namespace drovane::cli
