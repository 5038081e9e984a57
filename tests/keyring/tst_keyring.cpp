// The keyring plugin against a real Secret Service, started for the test on a private
// session bus: what a desktop user's password goes through.

#include "core/settings/PasswordPlaces.h"
#include "core/settings/SettingNames.h"
#include "core/settings/SettingsStore.h"
#include "testing/FileBytes.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane;
using namespace drovane::test;

namespace {
MainFields account(const QString& user, const QString& password) {
    MainFields f;
    f.username = user;
    f.password = password;
    f.delayTime = QStringLiteral("1");
    return f;
}
} // namespace

class tst_keyring : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QProcess bus_;
    QProcess daemon_;
    Keyring* keyring_ = nullptr;

    // Starts `program` with the test's environment; the reason when it cannot.
    QString start(QProcess& process, const QString& program, const QStringList& arguments) {
        const QString path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            return program + QStringLiteral(" is not installed");
        process.setProgram(path);
        process.setArguments(arguments);
        process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        process.start();
        if (!process.waitForStarted(10000))
            return program + QStringLiteral(" did not start: ") + process.errorString();
        return QString();
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        // The keyring files and the daemon's sockets stay in the test's own folder.
        for (const char* name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            qputenv(name, QFile::encodeName(home_.path()));
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        // Not at $XDG_RUNTIME_DIR/bus, so that without the variable there is no bus.
        const QString address = QStringLiteral("unix:path=%1/session-bus").arg(home_.path());
        QString failure =
            start(bus_, QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1"), QStringLiteral("--address=") + address});
        if (failure.isEmpty() && !bus_.waitForReadyRead(10000))
            failure = QStringLiteral("dbus-daemon printed no address: ") +
                      QString::fromUtf8(bus_.readAllStandardError());
        if (!failure.isEmpty())
            QSKIP(qPrintable(QStringLiteral("NO SECRET SERVICE, NOT TESTED: ") + failure));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.readLine().trimmed());

        failure = start(daemon_, QStringLiteral("gnome-keyring-daemon"),
                        {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                         QStringLiteral("--components=secrets")});
        if (failure.isEmpty()) {
            // The login keyring's password, on stdin, creates and unlocks it.
            daemon_.write("test-keyring-password");
            daemon_.closeWriteChannel();
            // Up once it owns the Secret Service's name on the bus.
            QProcess probe;
            for (int i = 0; i < 100; ++i) {
                probe.start(QStringLiteral("dbus-send"),
                            {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                             QStringLiteral("--dest=org.freedesktop.DBus"),
                             QStringLiteral("/org/freedesktop/DBus"),
                             QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                             QStringLiteral("string:org.freedesktop.secrets")});
                probe.waitForFinished(5000);
                if (probe.readAllStandardOutput().contains("boolean true"))
                    break;
                if (daemon_.state() == QProcess::NotRunning) {
                    failure = QStringLiteral("gnome-keyring-daemon ended: ") +
                              QString::fromUtf8(daemon_.readAllStandardError());
                    break;
                }
                QTest::qWait(100);
            }
        }
        if (!failure.isEmpty())
            QSKIP(qPrintable(QStringLiteral("NO SECRET SERVICE, NOT TESTED: ") + failure));

        QString why;
        keyring_ = loadKeyring(QStringLiteral(DROVANE_KEYRING_FOLDER), &why);
        QVERIFY2(keyring_, qPrintable(why));
    }

    void cleanupTestCase() {
        for (QProcess* p : {&daemon_, &bus_}) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
        }
    }

    void keepsReplacesAndRemoves() {
        const QString user = QStringLiteral("reseller");
        QCOMPARE(keyring_->read(user).status, Keyring::Lookup::NotFound);
        QCOMPARE(keyring_->write(user, QStringLiteral("first p\u00e4ss")), QString());
        QCOMPARE(keyring_->write(QStringLiteral("other"), QStringLiteral("other's")), QString());
        QCOMPARE(keyring_->write(user, QStringLiteral("second p\u00e4ss")), QString());
        const Keyring::Lookup lookup = keyring_->read(user);
        QCOMPARE(lookup.status, Keyring::Lookup::Found);
        QCOMPARE(lookup.secret, QStringLiteral("second p\u00e4ss"));
        QCOMPARE(keyring_->remove(user), QString());
        QCOMPARE(keyring_->read(user).status, Keyring::Lookup::NotFound);
        QCOMPARE(keyring_->read(QStringLiteral("other")).secret, QStringLiteral("other's"));
        QCOMPARE(keyring_->remove(user), QString()); // gone already: nothing to do
    }

    // What users see: the password reaches the keyring, never settings.dat, and comes back.
    void savesOutOfSettingsDat_data() {
        QTest::addColumn<bool>("clearTextFirst"); // an older version's settings.dat
        QTest::newRow("new account") << false;
        QTest::newRow("clear text moved when the user agrees") << true;
    }
    void savesOutOfSettingsDat() {
        QFETCH(bool, clearTextFirst);
        QTemporaryDir dir;
        const QString user = clearTextFirst ? QStringLiteral("upgrader") : QStringLiteral("newbie");
        const QByteArray password = "kr-Secret-42";
        if (clearTextFirst) {
            SettingsStore old(dir.path());
            QVERIFY(old.WriteSettings(account(user, QString::fromLatin1(password))).ok);
            QVERIFY(readAll(old.settingsPath()).contains(password));
        }
        {
            SettingsStore store(dir.path());
            store.setKeyring(keyring_);
            store.GetSettings();
            QCOMPARE(store.offerKeyringMove(), clearTextFirst);
            if (clearTextFirst)
                store.chooseKeyring(true);
            const SaveResult saved =
                store.WriteSettings(account(user, QString::fromLatin1(password)));
            QVERIFY(saved.ok);
            QCOMPARE(saved.notice, QString());
            QVERIFY(!readAll(store.settingsPath()).contains(password));
            QCOMPARE(store.passwordSource(), PasswordSource::Keyring);
        }
        SettingsStore again(dir.path());
        again.setKeyring(keyring_);
        again.GetSettings();
        QCOMPARE(again.Settings(Setting::Password), QString::fromLatin1(password));
        QCOMPARE(again.passwordSource(), PasswordSource::Keyring);
        QCOMPARE(keyring_->read(user).secret, QString::fromLatin1(password));
    }

    void noSessionBusIsSaidPlainly() {
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        const Keyring::Lookup lookup = keyring_->read(QStringLiteral("reseller"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QCOMPARE(lookup.status, Keyring::Lookup::Failed);
        QVERIFY2(lookup.error.contains(QStringLiteral("no session bus")), qPrintable(lookup.error));
    }
};

QTEST_GUILESS_MAIN(tst_keyring)
#include "tst_keyring.moc"
