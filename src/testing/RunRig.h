#pragma once

#include "FakeRunView.h"
#include "MemoryFiles.h"
#include "RegistrarReplies.h"
#include "ScriptedPrompter.h"
#include "SimPlatform.h"
#include "core/run/RunController.h"
#include "core/settings/SettingsStore.h"

#include <QSet>
#include <QTemporaryDir>

namespace drovane::test {

// A whole run under virtual time against a scripted registrar: names in `free` are
// reported available, every other check is taken, every purchase succeeds.
struct RunRig {
    QTemporaryDir dir;
    SimPlatform platform;
    ScriptedPrompter prompter;
    // The run's saves stay in memory; only a transaction log reaches the folder.
    MemoryFiles* files = new MemoryFiles(dir.path());
    SettingsStore store{std::unique_ptr<DataFiles>(files)};
    FakeRunView view;
    // The program's choice of host, port and transport: TLS to the live host by default.
    RunController run{store, platform, prompter, view, QStringLiteral("registrar.test")};
    QSet<QString> free;
    std::function<SimReply(const QByteArray&)> script; // overrides the default answers

    RunRig() {
        // A scheduled run's setup checks send requests of their own while it waits; the
        // tests of the run's timing count only the run's. Their own tests turn them on.
        run.setSetupChecks(false);
        platform.replyFor = [this](const QByteArray& request) {
            if (script)
                return script(request);
            return answer(request);
        };
    }

    SimReply answer(const QByteArray& request) const {
        const QString asked = requested(request);
        SimReply reply;
        if (asked.startsWith(QLatin1String("purchase")))
            reply.pieces = {orderReply()};
        else
            reply.pieces = {checkReply(free.contains(asked.mid(6)) ? "210" : "211")};
        return reply;
    }

    // What slot socket `id` (1 or 2 in the first run) asked, as "check a.com".
    QStringList asked(int id) const {
        QStringList out;
        for (const SimEvent& e : platform.log)
            if (e.socketId == id && e.what == QLatin1String("request"))
                out.append(requested(e.bytes));
        return out;
    }
    QList<qint64> times(int id, const QString& what) const {
        QList<qint64> out;
        for (const SimEvent& e : platform.log)
            if (e.socketId == id && e.what == what)
                out.append(e.atMs);
        return out;
    }
};

} // namespace drovane::test
