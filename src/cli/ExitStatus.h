#pragma once

namespace drovane::cli {

// The exit statuses users' scripts and the service unit depend on; they never change.
namespace exitstatus {
constexpr int Ok = 0;                 // done, or the run ended at its end time or on a signal
constexpr int Refused = 1;            // a start check, a value or a save failed
constexpr int NotReady = 1;           // check: something is not ready for a catch
constexpr int AccountRejected = 2;    // the registrar rejected the account or this machine's
                                      // address: restarting is futile
constexpr int Unanswered = 3;         // a question needs --yes
constexpr int CertificateFailure = 4; // the secure connection failed: the registrar's
                                      // certificate was not trusted, or the TLS handshake
                                      // failed; nothing was sent
constexpr int StoppedOnError = 5;     // --on-error stop ended the run
constexpr int FolderInUse = 6;        // another run, or the window, has the folder's files
constexpr int Usage = 64;             // the command line was wrong
} // namespace exitstatus

} // namespace drovane::cli
