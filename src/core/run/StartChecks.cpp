#include "StartChecks.h"

#include "core/platform/DateTimeText.h"

namespace drovane {

bool passStartChecks(const MainFields& f, const SettingsArray& s, Prompter& prompter,
                     const QString& caption) {
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
            return fail("Please enter a valid Start Time!");
        const auto end = parseDateTime(f.endTime);
        if (!end)
            return fail("Please enter a valid End Time!");
        if (minutesBetween(*start, *end) > 30 &&
            !prompter.question(QStringLiteral(
                "WARNING: Use of this program for over 30 minutes is not recommended and may "
                "cause eNom account suspension. Are you sure you wish to use these start and "
                "stop times?")))
            return false;
    }
    bool contactMissing = false;
    for (int k = 6; k <= 12; ++k)
        contactMissing = contactMissing || s[k].isEmpty();
    const bool coUk = f.domains.contains(QLatin1String(".co.uk"));
    if (contactMissing &&
        (coUk || f.domains.contains(QLatin1String(".org")) ||
         f.domains.contains(QLatin1String(".biz")) || f.domains.contains(QLatin1String(".info")))) {
        prompter.notice(QStringLiteral(
            "Please enter a valid First Name, Last Name, Phone Number, Address, City, Country, "
            "and E-Mail address in the settings screen to register a .info, .biz, or .co.uk "
            "domain!"));
        return false;
    }
    if ((s[20].isEmpty() || s[20].startsWith(QLatin1String("-1"))) && coUk) {
        prompter.notice(QStringLiteral("Please select a valid Contact Legal Type in the settings "
                                       "screen in order to register a .co.uk domain name!"));
        return false;
    }
    return true;
}

} // namespace drovane
