#include "SecretServiceKeyring.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <memory>

namespace drovane {
namespace {

const QString kService = QStringLiteral("Drovane");
// Long enough for the user to answer an unlock prompt.
constexpr int kAnswerWaitMs = 120000;

// Without a session bus the Secret Service cannot be reached, and a library that tried to
// start one (dbus-launch) on a server would only fail more slowly.
QString sessionBusMissing() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QString();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus"))))
        return QString();
    return QStringLiteral("there is no session bus (DBUS_SESSION_BUS_ADDRESS is not set)");
}

QString describe(const QKeychain::Job& job) {
    switch (job.error()) {
    case QKeychain::AccessDeniedByUser:
        return QStringLiteral("the keyring was not unlocked (%1)").arg(job.errorString());
    case QKeychain::NoBackendAvailable:
        return QStringLiteral("no keyring service answers on the session bus (%1)")
            .arg(job.errorString());
    default:
        return job.errorString();
    }
}

// Runs the job to its end; false when it did not end in time. A job that outlives the
// wait is left to delete itself whenever it ends; one that ended is the caller's.
bool finish(QKeychain::Job* job) {
    bool done = false;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(kAnswerWaitMs, &loop, &QEventLoop::quit);
    job->setAutoDelete(false);
    job->start();
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done) {
        QObject::disconnect(job, nullptr, &loop, nullptr);
        job->setAutoDelete(true);
    }
    return done;
}

QString timedOut() {
    return QStringLiteral("the keyring did not answer within %1 seconds").arg(kAnswerWaitMs / 1000);
}

} // namespace

Keyring::Lookup SecretServiceKeyring::read(const QString& user) {
    if (QString missing = sessionBusMissing(); !missing.isEmpty())
        return {Lookup::Failed, {}, missing};
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(user);
    if (!finish(job))
        return {Lookup::Failed, {}, timedOut()};
    const std::unique_ptr<QKeychain::ReadPasswordJob> ended(job);
    switch (job->error()) {
    case QKeychain::NoError:
        return {Lookup::Found, job->textData(), {}};
    case QKeychain::EntryNotFound:
        return {Lookup::NotFound, {}, {}};
    default:
        return {Lookup::Failed, {}, describe(*job)};
    }
}

QString SecretServiceKeyring::write(const QString& user, const QString& secret) {
    if (QString missing = sessionBusMissing(); !missing.isEmpty())
        return missing;
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(user);
    job->setTextData(secret);
    if (!finish(job))
        return timedOut();
    const std::unique_ptr<QKeychain::WritePasswordJob> ended(job);
    return job->error() == QKeychain::NoError ? QString() : describe(*job);
}

QString SecretServiceKeyring::remove(const QString& user) {
    if (QString missing = sessionBusMissing(); !missing.isEmpty())
        return missing;
    auto* job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(user);
    if (!finish(job))
        return timedOut();
    const std::unique_ptr<QKeychain::DeletePasswordJob> ended(job);
    const auto error = job->error();
    return error == QKeychain::NoError || error == QKeychain::EntryNotFound ? QString()
                                                                            : describe(*job);
}

} // namespace drovane
