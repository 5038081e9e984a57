#include "DomainsCommand.h"

#include "ConsolePrompter.h"
#include "ExitStatus.h"
#include "WindowFields.h"

#include "core/model/DomainName.h"
#include "core/run/ListText.h"
#include "core/settings/SettingsCodec.h"
#include "core/settings/SettingsStore.h"

#include <QFile>
#include <QStringDecoder>

namespace drovane::cli {
namespace {

// The names of an imported text, one a line, blanks around them dropped; or, for what is
// not a list of names, why (naming the line), so that nothing of it is added.
std::optional<QStringList> namesOf(const QByteArray& bytes, const QString& source,
                                   QString* refusal) {
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0) {
        *refusal = QStringLiteral("%1 is not a text file: line %2 holds a NUL byte")
                       .arg(source)
                       .arg(bytes.left(nul).count('\n') + 1);
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        const qsizetype bad = text.indexOf(QChar::ReplacementCharacter);
        *refusal = QStringLiteral("%1 is not UTF-8 text: line %2 holds bytes that are not")
                       .arg(source)
                       .arg(QStringView(text).first(std::max<qsizetype>(bad, 0)).count(u'\n') + 1);
        return std::nullopt;
    }
    QStringList names;
    const QStringList lines = unifyLineBreaks(text, u"\n").split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = lines[i].trimmed();
        if (name.isEmpty())
            continue;
        if (const auto problem = domainNameProblem(name)) {
            *refusal =
                QStringLiteral("%1 %2").arg(source, BadLine{int(i + 1), name, *problem}.describe());
            return std::nullopt;
        }
        names.append(name);
    }
    return names;
}

std::optional<QStringList> argumentNames(const QStringList& args, bool check, QString* refusal) {
    QStringList names;
    for (const QString& a : args) {
        const QString name = a.trimmed();
        if (name.isEmpty())
            continue;
        if (const auto problem = domainNameProblem(name); problem && check) {
            *refusal = QStringLiteral("%1 is not a domain name: %2").arg(shownLine(name), *problem);
            return std::nullopt;
        }
        names.append(name);
    }
    return names;
}

std::optional<QStringList> importedNames(const QString& from, QString* refusal) {
    QFile in;
    const bool opened = from == QLatin1String("-")
                            ? in.open(stdin, QIODevice::ReadOnly)
                            : (in.setFileName(from), in.open(QIODevice::ReadOnly));
    if (!opened) {
        *refusal = QStringLiteral("%1 cannot be read: %2").arg(from, in.errorString());
        return std::nullopt;
    }
    return namesOf(in.readAll(), from == QLatin1String("-") ? QStringLiteral("stdin") : from,
                   refusal);
}

QString plural(int n, const char* one) {
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                  : QStringLiteral("%1 %2s").arg(n).arg(QLatin1String(one));
}

} // namespace

int domainsCommand(const Invocation& inv, const QString& folder) {
    SettingsStore store(folder);
    ConsolePrompter prompter(inv.yes);
    const QString sub = inv.words.value(1);
    const QStringList args = inv.words.mid(2);
    const bool add = sub == QLatin1String("add");
    const bool remove = sub == QLatin1String("remove");
    const bool import = sub == QLatin1String("import");
    if (!(sub == QLatin1String("list") && args.isEmpty()) &&
        !((add || remove) && !args.isEmpty()) && !(import && args.size() == 1)) {
        printError(helpText({QStringLiteral("domains")}));
        return exitstatus::Usage;
    }

    // What is to be added is read and checked before the folder is taken: a bad name
    // changes nothing, and nobody else's save waits for a slow file.
    QString refusal;
    std::optional<QStringList> names;
    if (import)
        names = importedNames(args[0], &refusal);
    else if (add || remove)
        names = argumentNames(args, add, &refusal); // a bad line already listed may go
    if ((add || remove || import) && !names) {
        printError(QStringLiteral("Not changed: %1.").arg(refusal));
        return exitstatus::Refused;
    }

    std::optional<FolderEdit> edit;
    if (names) {
        edit.emplace(store);
        if (!*edit)
            return edit->status();
    }
    loadFiles(store);
    MainFields f = windowFields(store, prompter);
    QStringList lines = listLines(cleanList(f.domains));
    if (!names) {
        for (const QString& line : lines)
            printOut(line);
        return exitstatus::Ok;
    }

    int changed = 0;
    if (remove) {
        QStringList missing;
        changed = removeNames(lines, *names, &missing);
        for (const QString& name : missing)
            printError(QStringLiteral("%1 is not in the list").arg(name));
    } else {
        changed = addNames(lines, *names);
    }
    if (changed > 0) {
        f.domains = lines.join(QLatin1String("\r\n"));
        if (!reportSave(store.WriteSettings(f), store.domainsPath()))
            return exitstatus::Refused;
    }
    if (remove)
        printOut(QStringLiteral("%1 removed").arg(plural(changed, "name")));
    else
        printOut(QStringLiteral("%1 added, %2 already listed")
                     .arg(plural(changed, "name"))
                     .arg(names->size() - changed));
    return exitstatus::Ok;
}

} // namespace drovane::cli
