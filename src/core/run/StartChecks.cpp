#include "StartChecks.h"

#include "core/model/DomainName.h"
#include "core/model/UserTexts.h"
#include "core/platform/DateTimeText.h"
#include "core/settings/SettingNames.h"

namespace drovane {

QString badLinesQuestion(const BadLines& bad) {
    QStringList shown;
    for (const BadLine& line : bad.first)
        shown << line.describe();
    if (bad.count > bad.first.size())
        shown << QStringLiteral("and %1 more").arg(bad.count - bad.first.size());
    return QStringLiteral("%1 of the list %2 not a domain name and would be sent as %3:\n\n"
                          "%4\n\nStart anyway?")
        .arg(bad.count == 1 ? QStringLiteral("A line")
                            : QString::number(bad.count) + QStringLiteral(" lines"),
             bad.count == 1 ? QStringLiteral("is") : QStringLiteral("are"),
             bad.count == 1 ? QStringLiteral("it stands") : QStringLiteral("they stand"),
             shown.join(QLatin1Char('\n')));
}

bool passStartChecks(const MainFields& f, const SettingsArray& s, Prompter& prompter,
                     const QString& caption, bool askAboutLines) {
    auto fail = [&](const char* text) {
        prompter.critical(caption, QString::fromLatin1(text));
        return false;
    };
    if (f.delayTime.isEmpty())
        return fail("Please enter a valid delay for domain requests!");
    if (f.domains.isEmpty())
        return fail("Please enter valid domain names!");
    if (f.username.isEmpty())
        return fail("Please enter a valid username!");
    if (f.password.isEmpty())
        return fail("Please enter a valid password!");
    if (f.startImmediately == 0) {
        const auto start = parseDateTime(f.startTime);
        if (!start)
            return fail(kInvalidStartTime);
        const auto end = parseDateTime(f.endTime);
        if (!end)
            return fail(kInvalidEndTime);
        if (minutesBetween(*start, *end) > 30 &&
            !prompter.question(QStringLiteral(
                "WARNING: Use of this program for over 30 minutes is not recommended and may "
                "cause eNom account suspension. Are you sure you wish to use these start and "
                "stop times?")))
            return false;
    }
    const bool coUk = listNeedsLegalType(f.domains);
    if (!registrantComplete(s) && (coUk || listNeedsRegistrant(f.domains))) {
        prompter.notice(QStringLiteral(
            "Please enter a valid First Name, Last Name, Phone Number, Address, City, Country, "
            "and E-Mail address in the settings screen to register a .info, .biz, or .co.uk "
            "domain!"));
        return false;
    }
    const QString& legalType = s[Setting::LegalType];
    if ((legalType.isEmpty() || legalType.startsWith(QLatin1String("-1"))) && coUk) {
        prompter.notice(QStringLiteral("Please select a valid Contact Legal Type in the settings "
                                       "screen in order to register a .co.uk domain name!"));
        return false;
    }
    // A line that is no name would be sent as it stands, at the registrar's pace, for the
    // whole run: the user hears of it first, and the list stays as typed.
    if (const BadLines bad = badListLines(f.domains, 5); askAboutLines && bad.count > 0)
        return prompter.question(badLinesQuestion(bad));
    return true;
}

} // namespace drovane
