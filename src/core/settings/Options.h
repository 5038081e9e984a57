#pragma once

namespace drovane {

// The choices that are not among the twenty settings of settings.dat; they live in
// options.ini beside it, so the old file keeps its exact format.
struct Options {
    bool secure = true;           // "secure": HTTPS to the registrar
    bool testEnvironment = false; // "test-environment": the registrar's test host
    bool buyAtOnce = false;       // "buy-at-once": buy the moment a check finds a name free
    bool stopWhenBought = false;  // "stop-when-bought": a bought name leaves the run's rotation
    // "password-in-keyring": where saves keep the password when a keyring answers; Unasked
    // keeps a clear-text password where it is until the user is asked.
    enum class Keyring { Unasked, Yes, No };
    Keyring keyring = Keyring::Unasked;

    bool operator==(const Options&) const = default;
};

} // namespace drovane
