#include "StartChecks.h"

#include "core/platform/DateTimeText.h"
#include "core/settings/SettingNames.h"

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
    const bool coUk = listNeedsLegalType(f.domains);
    if (!registrantComplete(s) && (coUk || listNeedsRegistrant(f.domains))) {
        prompter.notice(QStringLiteral(
            "Please enter a valid First Name, Last Name, Phone Number, Address, City, Country, "
            "and E-Mail address in the settings screen to register a .info, .biz, or .co.uk "
            "domain!"));
        return false;
    }
    const QString& legalType = s[setting::LegalType];
    if ((legalType.isEmpty() || legalType.startsWith(QLatin1String("-1"))) && coUk) {
        prompter.notice(QStringLiteral("Please select a valid Contact Legal Type in the settings "
                                       "screen in order to register a .co.uk domain name!"));
        return false;
    }
    return true;
}

} // namespace drovane
