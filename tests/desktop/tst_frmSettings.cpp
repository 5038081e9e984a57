#include "core/settings/LegalTypes.h"
#include "core/settings/SettingNames.h"
#include "desktop/Controls.h"
#include "desktop/frmSettings.h"
#include "testing/FakeKeyring.h"
#include "testing/FileBytes.h"
#include "testing/ScriptedPrompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane;

namespace {

struct FakeMainWindow : SettingsWindowHost {
    int unchecks = 0;
    int focused = 0;
    bool visible = true;
    MainFields fields;
    void uncheckNameServers() override { ++unchecks; }
    bool mainWindowVisible() const override { return visible; }
    void focusMainWindow() override { ++focused; }
    MainFields mainFields() const override { return fields; }
};

const char* const kContactBoxes[] = {"txtFirstName", "txtLastName", "txtPhone", "txtAddress",
                                     "txtCity",      "txtCountry",  "txtEMail"};

struct Rig {
    QTemporaryDir dir;
    SettingsStore store{dir.path()};
    ScriptedPrompter prompter;
    FakeMainWindow host;
    QStringList colLegalTypes;
    QPointer<frmSettings> window;

    Rig() { FillLegalTypes(colLegalTypes); }
    ~Rig() { delete window.data(); }

    frmSettings& open() {
        window = new frmSettings(store, colLegalTypes, prompter, host);
        window->show(); // as the Settings button leaves it
        return *window;
    }
    template <class T> T* get(const char* name) {
        T* control = window->findChild<T*>(QLatin1String(name));
        if (!control)
            qFatal("no control %s", name);
        return control;
    }
    QLineEdit* box(const char* name) { return get<QLineEdit>(name); }
    QCheckBox* purchase() { return get<QCheckBox>("chkUsePURCHASE"); }
    QComboBox* legalType() { return get<QComboBox>("cmbLegalType"); }
    void retype(const char* name, const QString& text) {
        box(name)->clear();
        QTest::keyClicks(box(name), text);
    }
};

const QString kPurchaseWarning = QStringLiteral(
    "WARNING: Use of the PURCHASE method instead of the CHECK method may lead to eNom account "
    "suspension. Are you sure you wish to use the PURCHASE method?");

} // namespace

class tst_frmSettings : public QObject {
    Q_OBJECT
private slots:
    void loadShowsStoredSettings_data();
    void loadShowsStoredSettings();
    void doneStoresExactly_data();
    void doneStoresExactly();
    void closeBoxDiscardsEdits();
    void purchaseWarning_data();
    void purchaseWarning();
    void failedSaveIsTold();
    void keyringCheckBoxMovesPassword();
    void noKeyringIsSaid();
    void connectionOptionsRoundTrip();
    void enterAndEscape_data();
    void enterAndEscape();
};

void tst_frmSettings::loadShowsStoredSettings_data() {
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("legalType");
    QTest::addColumn<bool>("purchaseChecked");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("legalTypeAfter");

    QTest::newRow("first start") << ""
                                 << "" << false << -1 << "-1$";
    QTest::newRow("purchase, sole trader") << "1"
                                           << "4$STRA" << true << 4 << "4$STRA";
    QTest::newRow("check, first row") << "0"
                                      << "0$LTD" << false << 0 << "0$LTD";
    QTest::newRow("last row") << "0"
                              << "9$FOTHER" << false << 9 << "9$FOTHER";
    QTest::newRow("no row") << "0"
                            << "-1$" << false << -1 << "-1$";
    QTest::newRow("no dollar") << "1"
                               << "STRA" << true << -1 << "-1$";
    QTest::newRow("bad method still shows legal type") << "yes"
                                                       << "2$PTNR" << false << 2 << "2$PTNR";
    QTest::newRow("row out of range") << "1"
                                      << "10$X" << true << -1 << "10$X";
    QTest::newRow("row not a number") << "1"
                                      << "x$LTD" << true << -1 << "x$LTD";
}

void tst_frmSettings::loadShowsStoredSettings() {
    QFETCH(QString, method);
    QFETCH(QString, legalType);
    QFETCH(bool, purchaseChecked);
    QFETCH(int, row);
    QFETCH(QString, legalTypeAfter);

    Rig rig;
    for (int k = 6; k <= 12; ++k)
        rig.store.setSettings(Setting(k), QStringLiteral("value %1").arg(k));
    rig.store.setSettings(Setting::NameServer1, QStringLiteral("ns1.x"));
    rig.store.setSettings(Setting::NameServer2, QStringLiteral("ns2.x"));
    rig.store.setSettings(Setting::UsePurchase, method);
    rig.store.setSettings(Setting::LegalType, legalType);
    rig.open();

    for (int k = 6; k <= 12; ++k)
        QCOMPARE(rig.box(kContactBoxes[k - 6])->text(), QStringLiteral("value %1").arg(k));
    QCOMPARE(rig.box("txtNameServer1")->text(), QStringLiteral("ns1.x"));
    QCOMPARE(rig.box("txtNameServer2")->text(), QStringLiteral("ns2.x"));
    QCOMPARE(rig.purchase()->isChecked(), purchaseChecked);
    QCOMPARE(rig.legalType()->currentIndex(), row);
    QCOMPARE(rig.legalType()->count(), 10);
    QVERIFY(rig.window->windowIcon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(rig.store.Settings(Setting::LegalType), legalTypeAfter);
    // A stored PURCHASE method is shown without the warning.
    QVERIFY(rig.prompter.shown.isEmpty());
}

void tst_frmSettings::doneStoresExactly_data() {
    QTest::addColumn<bool>("purchase");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("nameServer2");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("legalType");
    QTest::addColumn<int>("unchecks");

    QTest::newRow("sole trader, purchase") << true << 4 << "ns2.x"
                                           << "1"
                                           << "4$STRA" << 0;
    QTest::newRow("nothing chosen") << false << -1 << "ns2.x"
                                    << "0"
                                    << "-1$" << 0;
    QTest::newRow("last row") << false << 9 << "ns2.x"
                              << "0"
                              << "9$FOTHER" << 0;
    QTest::newRow("name server left empty") << false << 0 << ""
                                            << "0"
                                            << "0$LTD" << 1;
}

void tst_frmSettings::doneStoresExactly() {
    QFETCH(bool, purchase);
    QFETCH(int, row);
    QFETCH(QString, nameServer2);
    QFETCH(QString, method);
    QFETCH(QString, legalType);
    QFETCH(int, unchecks);

    Rig rig;
    rig.host.fields.username = QStringLiteral("ann");
    rig.host.fields.domains = QStringLiteral("a.co.uk");
    rig.open();
    for (int k = 6; k <= 12; ++k)
        rig.retype(kContactBoxes[k - 6], QStringLiteral(" text %1 ").arg(k));
    // Both name servers entered now: a first Done keeps Custom Nameservers on.
    rig.retype("txtNameServer1", QStringLiteral("ns1.x"));
    rig.retype("txtNameServer2", nameServer2);
    rig.prompter.answers = {true};
    rig.purchase()->setChecked(purchase);
    rig.legalType()->setCurrentIndex(row);
    QCheckBox* buyAtOnce = rig.get<QCheckBox>("chkBuyAtOnce");
    QVERIFY(!buyAtOnce->isChecked()); // off unless chosen
    buyAtOnce->setChecked(purchase);
    rig.prompter.shown.clear();
    rig.window->cmdDone_Click();

    for (int k = 6; k <= 12; ++k)
        QCOMPARE(rig.store.Settings(Setting(k)), QStringLiteral(" text %1 ").arg(k)); // no trimming
    QCOMPARE(rig.store.Settings(Setting::NameServer1), QStringLiteral("ns1.x"));
    QCOMPARE(rig.store.Settings(Setting::NameServer2), nameServer2);
    QCOMPARE(rig.store.Settings(Setting::UsePurchase), method);
    QCOMPARE(rig.store.Settings(Setting::LegalType), legalType);
    QCOMPARE(rig.host.unchecks, unchecks);

    // Saved with the main window's fields, and read back the same.
    SettingsStore reread(rig.dir.path());
    reread.GetSettings();
    QCOMPARE(reread.all(), rig.store.all());
    QCOMPARE(reread.Settings(Setting::Username), QStringLiteral("ann"));
    QCOMPARE(reread.readDomains(), QStringLiteral("a.co.uk"));
    QCOMPARE(reread.options().buyAtOnce, purchase); // in options.ini, not settings.dat

    QCOMPARE(rig.prompter.shown.size(), 1);
    QCOMPARE(rig.prompter.shown.first().text, QStringLiteral("Settings successfully updated!"));
    QCOMPARE(rig.host.focused, 1);
    QVERIFY(!rig.window->isVisible());
    QVERIFY(rig.window); // hidden, not unloaded
}

void tst_frmSettings::closeBoxDiscardsEdits() {
    Rig rig;
    rig.store.setSettings(Setting::FirstName, QStringLiteral("Ann"));
    rig.store.setSettings(Setting::NameServer1, QStringLiteral("ns1.x"));
    rig.open();
    rig.retype("txtFirstName", QStringLiteral("Bob"));
    rig.retype("txtNameServer2", QStringLiteral("ns2.x"));
    rig.legalType()->setCurrentIndex(3);
    QSignalSpy unloaded(rig.window.data(), &frmSettings::unloaded);
    rig.window->close();

    QCOMPARE(unloaded.size(), 1);
    QCOMPARE(rig.store.Settings(Setting::FirstName), QStringLiteral("Ann"));
    QCOMPARE(rig.store.Settings(Setting::NameServer2), QString());
    // Setting 18 is still empty: Custom Nameservers goes off.
    QCOMPARE(rig.host.unchecks, 1);
    QVERIFY(!QFile::exists(rig.store.settingsPath()));

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!rig.window);
    rig.open();
    QCOMPARE(rig.box("txtFirstName")->text(), QStringLiteral("Ann"));
    QCOMPARE(rig.legalType()->currentIndex(), -1);
}

void tst_frmSettings::purchaseWarning_data() {
    QTest::addColumn<bool>("byLabel");
    QTest::addColumn<bool>("answer");

    QTest::newRow("box, Yes") << false << true;
    QTest::newRow("box, No") << false << false;
    QTest::newRow("label, Yes") << true << true;
    QTest::newRow("label, No") << true << false;
}

void tst_frmSettings::purchaseWarning() {
    QFETCH(bool, byLabel);
    QFETCH(bool, answer);

    Rig rig;
    rig.open();
    rig.prompter.answers = {answer};
    QTest::mouseClick(byLabel ? static_cast<QWidget*>(rig.get<ClickLabel>("lblUsePURCHASE"))
                              : rig.purchase(),
                      Qt::LeftButton);
    QCOMPARE(rig.purchase()->isChecked(), answer);
    QCOMPARE(rig.prompter.shown.size(), 1);
    QCOMPARE(rig.prompter.shown.first().kind, QStringLiteral("question"));
    QCOMPARE(rig.prompter.shown.first().text, kPurchaseWarning);
    QCOMPARE(rig.store.Settings(Setting::UsePurchase), QString()); // only Done stores it

    // Unchecking never asks.
    rig.prompter.answers = {true};
    rig.purchase()->setChecked(true);
    rig.prompter.shown.clear();
    QTest::mouseClick(rig.get<ClickLabel>("lblUsePURCHASE"), Qt::LeftButton);
    QVERIFY(!rig.purchase()->isChecked());
    QVERIFY(rig.prompter.shown.isEmpty());
}

void tst_frmSettings::failedSaveIsTold() {
    Rig rig;
    SettingsStore nowhere(rig.dir.filePath(QStringLiteral("missing")));
    QPointer<frmSettings> window =
        new frmSettings(nowhere, rig.colLegalTypes, rig.prompter, rig.host);
    rig.window = window;
    window->show();
    rig.retype("txtFirstName", QStringLiteral("Ann"));
    window->cmdDone_Click();

    QCOMPARE(rig.prompter.shown.size(), 1);
    QVERIFY2(rig.prompter.shown.first().text.startsWith(
                 QStringLiteral("The settings could not be saved: ")),
             qPrintable(rig.prompter.shown.first().text));
    QVERIFY(window->isVisible()); // the edits are still there to save again
    QCOMPARE(rig.box("txtFirstName")->text(), QStringLiteral("Ann"));
}

// A new user sees HTTPS on and the test environment off; Done writes both to options.ini
// and the next opening shows what was stored; the close box stores nothing.
void tst_frmSettings::connectionOptionsRoundTrip() {
    Rig rig;
    rig.open();
    auto secure = [&] { return rig.get<QCheckBox>("chkSecure"); };
    auto testEnvironment = [&] { return rig.get<QCheckBox>("chkTestEnvironment"); };
    QVERIFY(secure()->isChecked());
    QVERIFY(!testEnvironment()->isChecked());
    // The group fits between the name servers and the method, captions unclipped.
    const QRect group = rig.get<QGroupBox>("fraConnection")->geometry();
    QVERIFY(group.top() > rig.box("txtNameServer2")->geometry().bottom());
    QVERIFY(group.bottom() < rig.purchase()->geometry().top());
    QVERIFY(rig.window->rect().contains(rig.get<QPushButton>("cmdDone")->geometry()));
    for (QCheckBox* c : {secure(), testEnvironment()})
        QVERIFY2(c->sizeHint().width() <= c->width() && c->geometry().right() < group.width() - 1,
                 qPrintable(c->text()));

    secure()->setChecked(false);
    testEnvironment()->setChecked(true);
    rig.window->cmdDone_Click();
    SettingsStore reread(rig.dir.path());
    reread.GetSettings();
    QCOMPARE(reread.options().secure, false);
    QCOMPARE(reread.options().testEnvironment, true);

    rig.window->close(); // WA_DeleteOnClose
    rig.open();
    QVERIFY(!secure()->isChecked());
    QVERIFY(testEnvironment()->isChecked());
    secure()->setChecked(true);
    rig.window->close();
    QCOMPARE(rig.store.options().secure, false);
}

void tst_frmSettings::enterAndEscape_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("saved");

    QTest::newRow("Enter in a text box") << "txtCity" << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter on a check box") << "chkSecure" << int(Qt::Key_Enter) << true;
    QTest::newRow("Enter on the legal-type list") << "cmbLegalType" << int(Qt::Key_Return) << true;
    QTest::newRow("Enter on Done") << "cmdDone" << int(Qt::Key_Return) << true;
    QTest::newRow("Escape in a text box") << "txtCity" << int(Qt::Key_Escape) << false;
    QTest::newRow("Escape on the legal-type list")
        << "cmbLegalType" << int(Qt::Key_Escape) << false;
}

// Enter presses Done and Escape does what the close box does, wherever the focus is.
void tst_frmSettings::enterAndEscape() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, saved);

    Rig rig;
    rig.store.setSettings(Setting::City, QStringLiteral("Paris"));
    rig.open();
    QVERIFY(QTest::qWaitForWindowActive(rig.window));
    rig.retype("txtCity", QStringLiteral("Lyon"));
    QSignalSpy unloaded(rig.window.data(), &frmSettings::unloaded);
    QWidget* target = rig.get<QWidget>(qPrintable(focus));
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

    QCOMPARE(rig.store.Settings(Setting::City),
             saved ? QStringLiteral("Lyon") : QStringLiteral("Paris"));
    QCOMPARE(QFile::exists(rig.store.settingsPath()), saved);
    QCOMPARE(unloaded.size(), saved ? 0 : 1);
    QVERIFY(!rig.window->isVisible());
    if (saved)
        QCOMPARE(rig.prompter.shown.last().text, QStringLiteral("Settings successfully updated!"));
    else
        QCOMPARE(rig.host.unchecks, 1); // name servers missing, as with the close box
}

// Where the password is kept shows in the window, and its check box moves it both ways.
void tst_frmSettings::keyringCheckBoxMovesPassword() {
    Rig rig;
    test::FakeKeyring keyring;
    rig.store.setKeyring(&keyring);
    rig.host.fields.username = QStringLiteral("ann");
    rig.host.fields.password = QStringLiteral("pw 1");
    QVERIFY(rig.store.WriteSettings(rig.host.fields).ok); // a new account: to the keyring
    rig.open();
    auto keep = [&] { return rig.get<QCheckBox>("chkKeyring"); };
    auto place = [&] { return rig.get<QLabel>("lblPasswordPlace")->text(); };
    QVERIFY(keep()->isChecked() && keep()->isEnabled());
    QVERIFY2(place().contains(QStringLiteral("the system keyring")), qPrintable(place()));
    QVERIFY(rig.get<QGroupBox>("fraConnection")
                ->geometry()
                .contains(rig.get<QLabel>("lblPasswordPlace")
                              ->geometry()
                              .translated(rig.get<QGroupBox>("fraConnection")->pos())));

    keep()->setChecked(false);
    rig.window->cmdDone_Click();
    QVERIFY(test::readAll(rig.store.settingsPath()).contains("pw 1"));
    QVERIFY(keyring.secrets.isEmpty());

    rig.window->show();
    QVERIFY2(place().contains(QStringLiteral("settings.dat")), qPrintable(place()));
    keep()->setChecked(true);
    rig.window->cmdDone_Click();
    QVERIFY(!test::readAll(rig.store.settingsPath()).contains("pw 1"));
    QCOMPARE(keyring.secrets.value(QStringLiteral("ann")), QStringLiteral("pw 1"));
}

void tst_frmSettings::noKeyringIsSaid() {
    Rig rig;
    rig.store.setKeyring(nullptr, QStringLiteral("the keyring module is not installed"));
    rig.store.GetSettings();
    rig.open();
    QVERIFY(!rig.get<QCheckBox>("chkKeyring")->isEnabled());
    QVERIFY(rig.get<QLabel>("lblPasswordPlace")->text().contains(QStringLiteral("not installed")));
}

QTEST_MAIN(tst_frmSettings)
#include "tst_frmSettings.moc"
