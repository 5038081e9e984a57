#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace drovane {

// Turns SIGTERM, SIGINT and SIGHUP (a session logging out, a terminal closing) into a
// call on the event loop, so the program can save and end in order instead of dying
// with the user's latest edits unsaved. Nobody is there to answer a question then.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace drovane
