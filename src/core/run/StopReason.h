#pragma once

#include <QString>

namespace drovane {

// Why a run ended; the server runner turns it into its exit status and tells --on-stop.
enum class StopReason {
    None,
    User,               // the Stop button
    EndTime,            // the schedule's end time
    AccountRejected,    // the registrar rejected the user name or password
    CertificateFailure, // the secure connection to the registrar failed
    AddressRefused,     // the account does not take requests from this machine's address
    StopAll,            // Stop All in an error dialog (--on-error stop)
};

// The word --json records and --on-stop commands get: "end-time", "account-rejected"...
QString stopReasonWord(StopReason reason);

} // namespace drovane
