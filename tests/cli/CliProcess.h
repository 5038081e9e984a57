#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <functional>

namespace drovane::test {

// drovane-cli started as a user or a service starts it: its own process, its own files,
// and the loopback stand-in as its registrar.
struct CliProcess {
    QProcess process;
    QByteArray out;
    QByteArray err;

    explicit CliProcess(const QString& folder) {
        process.setProgram(QStringLiteral(DROVANE_CLI_PATH));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("STATE_DIRECTORY"));
        // Never the tester's own keyring, credentials or service manager.
        for (const char* name :
             {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "CREDENTIALS_DIRECTORY",
              "NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID", "JOURNAL_STREAM"})
            env.remove(QLatin1String(name));
        process.setProcessEnvironment(env);
        folder_ = folder;
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { out += process.readAllStandardOutput(); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += process.readAllStandardError(); });
    }
    ~CliProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    void start(QStringList arguments, const QByteArray& input = {}) {
        arguments << QStringLiteral("--folder") << folder_;
        process.setArguments(arguments);
        process.start();
        QVERIFY(process.waitForStarted(5000));
        process.write(input);
        process.closeWriteChannel();
    }

    // Waits, serving the event loop (and so the stand-in), for `done` or the end.
    bool waitFor(const std::function<bool()>& done, int ms = 15000) {
        QDeadlineTimer deadline(ms);
        while (!done() && process.state() != QProcess::NotRunning && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
        return done();
    }
    // Waits for the end; -1 when it did not end in time.
    int exitCode(int ms = 15000) {
        waitFor([this] { return process.state() == QProcess::NotRunning; }, ms);
        if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit)
            return -1;
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
        return process.exitCode();
    }
    QStringList lines() const { return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts); }

    // A command run to its end: its exit status.
    static int run(const QString& folder, const QStringList& arguments,
                   const QByteArray& input = {}, QByteArray* out = nullptr,
                   QByteArray* err = nullptr) {
        CliProcess cli(folder);
        cli.start(arguments, input);
        const int code = cli.exitCode();
        if (out)
            *out = cli.out;
        if (err)
            *err = cli.err;
        return code;
    }

private:
    QString folder_;
};

// A folder with an account (password "secret"), interval 1, plain HTTP (the loopback
// stand-in's) and the given list, set up as a user does it: through drovane-cli.
inline void prepareFolder(const QString& folder, const QString& user, const QStringList& names) {
    using namespace Qt::StringLiterals;
    QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"username"_s, user}), 0);
    QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"password"_s}, "secret\n"), 0);
    QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"interval"_s, u"1"_s}), 0);
    QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"secure"_s, u"false"_s}), 0);
    if (!names.isEmpty())
        QCOMPARE(CliProcess::run(folder, QStringList{u"domains"_s, u"add"_s} + names), 0);
}

} // namespace drovane::test
