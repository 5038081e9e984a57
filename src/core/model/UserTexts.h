#pragma once

#include <QString>

namespace drovane {

// Texts the user sees from both the window and drovane-cli: written once, here.

// The main window's caption, also the title of its critical messages.
inline QString windowCaption() {
    return QStringLiteral("Drovane - v" DROVANE_VERSION);
}

// Asked when Start Immediately is switched off, in the window or by `settings set`.
inline constexpr char kManualTimesQuestion[] =
    "WARNING: Use of this program for over 30 minutes is not recommended and may cause eNom "
    "account suspension. Are you sure you wish to manually control the start and stop times?";

// Asked when the PURCHASE method is switched on.
inline constexpr char kPurchaseMethodQuestion[] =
    "WARNING: Use of the PURCHASE method instead of the CHECK method may lead to eNom account "
    "suspension. Are you sure you wish to use the PURCHASE method?";

inline constexpr char kInvalidStartTime[] = "Please enter a valid Start Time!";
inline constexpr char kInvalidEndTime[] = "Please enter a valid End Time!";

// A save that failed, with its reason.
inline QString settingsNotSaved(const QString& reason) {
    return QStringLiteral("The settings could not be saved: %1").arg(reason);
}

} // namespace drovane
