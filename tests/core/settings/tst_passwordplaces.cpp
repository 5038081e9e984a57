// Where the password comes from and where saves put it: the credential file, settings.dat
// and the system keyring, with the keyring faked.

#include "core/settings/PasswordPlaces.h"
#include "core/settings/SettingNames.h"
#include "core/settings/SettingsStore.h"
#include "testing/FakeKeyring.h"
#include "testing/FileBytes.h"
#include "testing/MemoryFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane;
using namespace drovane::test;

Q_DECLARE_METATYPE(PasswordSource)
Q_DECLARE_METATYPE(Options::Keyring)

namespace {

const QString kUser = QStringLiteral("reseller");

// A folder in memory with settings.dat as a version without the keyring wrote it, a fake
// keyring and, when `credential` is not null, a credential file holding it.
struct Rig {
    QTemporaryDir dir;
    MemoryFiles* files = new MemoryFiles(dir.path());
    SettingsStore store{std::unique_ptr<DataFiles>(files)};
    FakeKeyring keyring;

    Rig(const QString& field, Options::Keyring choice, const QString& inKeyring,
        const char* credential = nullptr) {
        SettingsArray settings{};
        settings[Setting::Username] = kUser;
        settings[Setting::Password] = field;
        files->files.insert(QStringLiteral("settings.dat"), encodeSettings(settings));
        files->options.keyring = choice;
        if (!inKeyring.isEmpty())
            keyring.secrets.insert(kUser, inKeyring);
        if (credential) {
            const QString path = dir.filePath(QLatin1String(kCredentialName));
            writeAll(path, credential);
            store.setCredentialFile(path);
        }
        store.setKeyring(&keyring);
    }
    QString field() const {
        SettingsArray settings{};
        decodeSettings(files->files.value(QStringLiteral("settings.dat")), settings);
        return settings[Setting::Password];
    }
    SaveResult save(const QString& password) {
        MainFields f;
        f.username = kUser;
        f.password = password;
        return store.WriteSettings(f);
    }
};

} // namespace

class tst_passwordplaces : public QObject {
    Q_OBJECT
private slots:
    void precedence_data() {
        QTest::addColumn<QByteArray>("credential"); // "-": no credential file
        QTest::addColumn<QString>("field");         // settings.dat's password field
        QTest::addColumn<QString>("inKeyring");
        QTest::addColumn<bool>("keyringFails");
        QTest::addColumn<Options::Keyring>("choice");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<PasswordSource>("source");
        QTest::addColumn<bool>("problem"); // the user is told something is wrong
        const auto unasked = Options::Keyring::Unasked;
        QTest::newRow("credential file before all") << QByteArray("cred pw\n") << "file pw"
                                                    << "ring pw" << false << unasked << "cred pw"
                                                    << PasswordSource::CredentialFile << false;
        QTest::newRow("empty credential file: none, and said")
            << QByteArray("\n") << "file pw"
            << "ring pw" << false << unasked << "" << PasswordSource::CredentialFile << true;
        QTest::newRow("keyring when settings.dat's field is empty")
            << QByteArray("-") << ""
            << "ring pw" << false << Options::Keyring::Yes << "ring pw" << PasswordSource::Keyring
            << false;
        // The program empties the field whenever the keyring takes the password: a filled
        // field was written later (an older version, the keyring down) and is the newer.
        QTest::newRow("a filled field is newer than the keyring's")
            << QByteArray("-") << "file pw"
            << "ring pw" << false << Options::Keyring::Yes << "file pw"
            << PasswordSource::SettingsFile << false;
        QTest::newRow("clear text of an older version")
            << QByteArray("-") << "file pw"
            << "" << false << unasked << "file pw" << PasswordSource::SettingsFile << false;
        QTest::newRow("clear text, keyring down")
            << QByteArray("-") << "file pw"
            << "" << true << unasked << "file pw" << PasswordSource::SettingsFile << false;
        QTest::newRow("kept in the keyring, keyring down: said")
            << QByteArray("-") << ""
            << "ring pw" << true << Options::Keyring::Yes << "" << PasswordSource::SettingsFile
            << true;
        QTest::newRow("nowhere") << QByteArray("-") << ""
                                 << "" << false << unasked << "" << PasswordSource::SettingsFile
                                 << false;
    }
    void precedence() {
        QFETCH(QByteArray, credential);
        QFETCH(QString, field);
        QFETCH(QString, inKeyring);
        QFETCH(bool, keyringFails);
        QFETCH(Options::Keyring, choice);
        QFETCH(QString, expected);
        QFETCH(PasswordSource, source);
        QFETCH(bool, problem);
        Rig rig(field, choice, inKeyring, credential == "-" ? nullptr : credential.constData());
        if (keyringFails)
            rig.keyring.failWith = QStringLiteral("the keyring was not unlocked");
        rig.store.GetSettings();
        QCOMPARE(rig.store.Settings(Setting::Password), expected);
        QCOMPARE(rig.store.passwordSource(), source);
        QCOMPARE(!rig.store.passwordProblem().isEmpty(), problem);
        // A credential file is all the server runner needs: the keyring is never asked.
        if (credential != "-")
            QCOMPARE(rig.keyring.reads, 0);
    }

    // What a save leaves in settings.dat and the keyring: the password is always in one of
    // them, and never in settings.dat while a keyring or credential keeps it.
    void savePlacesPassword_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<Options::Keyring>("choice");
        QTest::addColumn<QString>("inKeyring");
        QTest::addColumn<bool>("credential"); // a credential file holds "cred pw"
        QTest::addColumn<bool>("keyringFails");
        QTest::addColumn<QString>("typed"); // the password field as saved
        QTest::addColumn<QString>("fieldAfter");
        QTest::addColumn<QString>("keyringAfter");
        QTest::addColumn<bool>("notice");
        const auto unasked = Options::Keyring::Unasked;
        const auto yes = Options::Keyring::Yes;
        const auto no = Options::Keyring::No;
        QTest::newRow("credential: settings.dat keeps its empty field")
            << "" << unasked << "" << true << false << "cred pw"
            << ""
            << "" << false;
        QTest::newRow("credential: an old clear text is not ours to touch")
            << "old pw" << unasked << "" << true << false << "cred pw"
            << "old pw"
            << "" << false;
        QTest::newRow("new account: into the keyring")
            << "" << unasked << "" << false << false << "new pw"
            << ""
            << "new pw" << false;
        QTest::newRow("changed password: into the keyring")
            << "" << yes << "old pw" << false << false << "new pw"
            << ""
            << "new pw" << false;
        QTest::newRow("clear text, not asked yet: stays")
            << "old pw" << unasked << "" << false << false << "old pw"
            << "old pw"
            << "" << false;
        QTest::newRow("clear text, user chose the keyring: moved")
            << "old pw" << yes << "" << false << false << "old pw"
            << ""
            << "old pw" << false;
        QTest::newRow("user chose settings.dat: moved out of the keyring")
            << "" << no << "ring pw" << false << false << "ring pw"
            << "ring pw"
            << "" << false;
        QTest::newRow("user emptied the field: keyring entry goes")
            << "" << yes << "ring pw" << false << false << ""
            << ""
            << "" << false;
        QTest::newRow("keyring refuses: clear text, and said")
            << "" << unasked << "" << false << true << "new pw"
            << "new pw"
            << "" << true;
        QTest::newRow("keyring down at load: its entry is not emptied")
            << "" << yes << "ring pw" << false << true << ""
            << ""
            << "ring pw" << false;
    }
    void savePlacesPassword() {
        QFETCH(QString, field);
        QFETCH(Options::Keyring, choice);
        QFETCH(QString, inKeyring);
        QFETCH(bool, credential);
        QFETCH(bool, keyringFails);
        QFETCH(QString, typed);
        QFETCH(QString, fieldAfter);
        QFETCH(QString, keyringAfter);
        QFETCH(bool, notice);
        Rig rig(field, choice, inKeyring, credential ? "cred pw\n" : nullptr);
        if (keyringFails)
            rig.keyring.failWith = QStringLiteral("the keyring was not unlocked");
        rig.store.GetSettings();
        const SaveResult saved = rig.save(typed);
        QVERIFY(saved.ok);
        QCOMPARE(rig.field(), fieldAfter);
        rig.keyring.failWith.clear();
        QCOMPARE(rig.keyring.secrets.value(kUser), keyringAfter);
        QCOMPARE(!saved.notice.isEmpty(), notice);
        // Told once: the keyring is not tried again this session.
        const int writes = rig.keyring.writes;
        const SaveResult again = rig.save(typed);
        QCOMPARE(again.notice, QString());
        QCOMPARE(rig.field(), fieldAfter);
        if (keyringFails)
            QCOMPARE(rig.keyring.writes, writes);
    }

    void offeredOnce_data() {
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void offeredOnce() {
        QFETCH(bool, answer);
        Rig rig(QStringLiteral("old pw"), Options::Keyring::Unasked, QString());
        rig.store.GetSettings();
        QVERIFY(rig.store.offerKeyringMove());
        rig.store.chooseKeyring(answer);
        QVERIFY(rig.save(QStringLiteral("old pw")).ok);
        QCOMPARE(rig.field(), answer ? QString() : QStringLiteral("old pw"));
        QCOMPARE(rig.keyring.secrets.value(kUser), answer ? QStringLiteral("old pw") : QString());
        QCOMPARE(rig.files->options.keyring, answer ? Options::Keyring::Yes : Options::Keyring::No);

        SettingsStore next{std::make_unique<MemoryFiles>(*rig.files)};
        next.setKeyring(&rig.keyring);
        next.GetSettings();
        QVERIFY(!next.offerKeyringMove());
        QCOMPARE(next.Settings(Setting::Password), QStringLiteral("old pw"));
    }

    void notOfferedWithoutAKeyring() {
        Rig rig(QStringLiteral("old pw"), Options::Keyring::Unasked, QString());
        rig.keyring.failWith = QStringLiteral("there is no session bus");
        rig.store.GetSettings();
        QVERIFY(!rig.store.offerKeyringMove());
        QVERIFY(rig.store.passwordPlaceReason().contains(QStringLiteral("no session bus")));
    }

    void credentialFile_data() {
        QTest::addColumn<QByteArray>("content"); // "<dir>": a folder in its place
        QTest::addColumn<QString>("password");   // "!": refused
        QTest::newRow("line end dropped") << QByteArray("p\u00e4ss w\n") << "p\u00e4ss w";
        QTest::newRow("CR LF dropped") << QByteArray("pass\r\n") << "pass";
        QTest::newRow("no line end") << QByteArray("pass") << "pass";
        QTest::newRow("inner blank kept") << QByteArray(" a b ") << " a b ";
        QTest::newRow("empty") << QByteArray("") << "!";
        QTest::newRow("only a line end") << QByteArray("\n") << "!";
        QTest::newRow("two lines") << QByteArray("a\nb\n") << "!";
        QTest::newRow("control character") << QByteArray("a\tb") << "!";
        QTest::newRow("not UTF-8") << QByteArray("p\xe4ss") << "!";
        QTest::newRow("huge") << QByteArray(5000, 'x') << "!";
        QTest::newRow("folder") << QByteArray("<dir>") << "!";
    }
    void credentialFile() {
        QFETCH(QByteArray, content);
        QFETCH(QString, password);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("registrar-password"));
        if (content == "<dir>")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("registrar-password")));
        else
            QVERIFY(writeAll(path, content));
        const CredentialRead read = readCredentialFile(path);
        if (password == QLatin1String("!")) {
            QCOMPARE(read.status, CredentialRead::Failed);
            QVERIFY2(read.error.contains(path), qPrintable(read.error));
        } else {
            QCOMPARE(read.status, CredentialRead::Read);
            QCOMPARE(read.password, password);
        }
        QCOMPARE(readCredentialFile(dir.filePath(QStringLiteral("absent"))).status,
                 CredentialRead::Absent);
    }
};

QTEST_GUILESS_MAIN(tst_passwordplaces)
#include "tst_passwordplaces.moc"
