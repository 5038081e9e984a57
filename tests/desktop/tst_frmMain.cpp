#include "MainWindowRig.h"
#include "core/settings/LegalTypes.h"
#include "core/settings/SettingNames.h"
#include "desktop/ListBox.h"
#include "desktop/frmError.h"
#include "desktop/frmMain.h"
#include "testing/FakeKeyring.h"
#include "testing/ScriptedPrompter.h"
#include "testing/SimPlatform.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane;
using namespace Qt::StringLiterals;
using namespace drovane::test;

class tst_frmMain : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithoutFiles();
    void switchValuesAtLoad_data();
    void switchValuesAtLoad();
    void intervalCheck_data();
    void intervalCheck();
    void startImmediatelyQuestion_data();
    void startImmediatelyQuestion();
    void labelClickTogglesDisabledBox();
    void customNameServersOpensSettings_data();
    void customNameServersOpensSettings();
    void closingWritesBothFilesAndEndsProgram();
    void closingDuringAStartQuestionStartsNothing();
    void failedSaveAtCloseAsks();
    void shiftedSettingsNeverPrintValues();
    void linkedFileIsToldAndLeftAlone();
    void byteLevelRoundTrip_data();
    void byteLevelRoundTrip();
    void oneErrorWindowPerJob();
    void everyLineBreakSeparatesNames();
    void megabyteLineRoundTrip();
    void clearTextPasswordOfferedOnce_data();
    void clearTextPasswordOfferedOnce();
};

void tst_frmMain::firstStartWithoutFiles() {
    Rig rig;
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("Drovane - v" DROVANE_VERSION));
    QCOMPARE(rig.window->size(), QSize(300, 400));
    QVERIFY(rig.window->windowIcon().availableSizes().contains(QSize(32, 32)));
    for (const char* name : {"txtUsername", "txtPassword", "txtDelayTime", "txtEndTime"})
        QVERIFY2(rig.box(name)->text().isEmpty(), name);
    QVERIFY(rig.get<ListBox>("txtDomains")->toPlainText().isEmpty());
    QVERIFY(!rig.checked("chkLogging") && !rig.window->logging());
    // Without name servers a purchase carries none: the box shows what it will do.
    QVERIFY(rig.checked("chkStartImmediately") && !rig.checked("chkNameServers"));
    QVERIFY(rig.box("txtStartTime")->isReadOnly() && rig.box("txtEndTime")->isReadOnly());
    QVERIFY(!rig.get("lblStartTime")->isEnabled() && !rig.get("lblEndTime")->isEnabled());
    // Disabled labels are shown greyed, not in the black of the enabled ones.
    const QPalette& label = rig.get("lblStartTime")->palette();
    QVERIFY(label.color(QPalette::Disabled, QPalette::WindowText) !=
            label.color(QPalette::Active, QPalette::WindowText));
    QCOMPARE(rig.get<QLabel>("lblSubmissions")->text(), QStringLiteral("0"));
    QCOMPARE(rig.get<QPushButton>("cmdStart")->text(), QStringLiteral("Start"));
    QVERIFY(rig.prompter.shown.isEmpty() && rig.prompter.beeps == 0);

    QStringList order; // the keyboard visits the inputs as the eye does, past locked times
    for (QWidget* at = rig.box("txtUsername"); order.size() < 10; at = at->nextInFocusChain())
        if (at->focusPolicy() & Qt::TabFocus &&
            at->objectName().contains(QRegularExpression(u"^(txt|chk|cmd)"_s)))
            order << at->objectName();
    QCOMPARE(order,
             QStringList({u"txtUsername"_s, u"txtPassword"_s, u"txtDelayTime"_s, u"chkLogging"_s,
                          u"chkStartImmediately"_s, u"chkNameServers"_s, u"txtDomains"_s,
                          u"cmdStatus"_s, u"cmdStart"_s, u"cmdSettings"_s}));
}

void tst_frmMain::switchValuesAtLoad_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("states"); // Logging, Start Immediately, Custom Nameservers

    const QByteArray times = "14=9:00 AM", ns1 = "17=ns1.x", ns2 = "18=ns2.x";
    QTest::newRow("stored states")
        << settingsBytes({"4=1", "13=0", "16=1", times, ns1, ns2}) << "101";
    QTest::newRow("name server missing")
        << settingsBytes({"4=0", "13=1", "16=1", times, ns2}) << "010";
    QTest::newRow("junk logging") << settingsBytes({"4=2", "13=0", "16=0", times, ns1, ns2})
                                  << "000";
    QTest::newRow("junk start immediately")
        << settingsBytes({"4=1", "13=yes", "16=0", times, ns1, ns2}) << "110";
    QTest::newRow("junk name servers")
        << settingsBytes({"4=0", "13=0", "16=-1", times, ns1, ns2}) << "001";
}

void tst_frmMain::switchValuesAtLoad() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, states);
    Rig rig(settings, "a.com\r\nb.com\r\n");
    QCOMPARE(rig.checked("chkLogging"), states[0] == u'1');
    QCOMPARE(rig.window->logging(), states[0] == u'1');
    QCOMPARE(rig.checked("chkStartImmediately"), states[1] == u'1');
    QCOMPARE(rig.box("txtStartTime")->isReadOnly(), states[1] == u'1');
    QCOMPARE(rig.checked("chkNameServers"), states[2] == u'1');
    // A bad value never costs the rest of the load, and loading asks and opens nothing.
    QCOMPARE(rig.box("txtStartTime")->text(), QStringLiteral("9:00 AM"));
    QCOMPARE(rig.window->fields().domains, QStringLiteral("a.com\r\nb.com"));
    QVERIFY(rig.prompter.shown.isEmpty() && !rig.window->settingsWindow());
}

void tst_frmMain::intervalCheck_data() {
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<bool>("home");     // type with the cursor before the first character
    QTest::addColumn<QString>("typed"); // "<" is a backspace
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("beeps");

    QTest::newRow("saved 15") << QByteArray("15") << false << ""
                              << "15" << 0 << 0;
    QTest::newRow("saved 999.5, longer than typing allows") << QByteArray("999.5") << false << ""
                                                            << "999.5" << 0 << 0;
    QTest::newRow("saved 0") << QByteArray("0") << false << ""
                             << "" << 1 << 0;
    QTest::newRow("saved abc") << QByteArray("abc") << false << ""
                               << "" << 0 << 1;
    QTest::newRow("saved 1000, not cut to 100") << QByteArray("1000") << false << ""
                                                << "" << 1 << 0;
    QTest::newRow("0 into an empty box") << QByteArray() << false << "0"
                                         << "" << 1 << 0;
    QTest::newRow("letter after 12") << QByteArray("12") << false << "a"
                                     << "12" << 0 << 1;
    QTest::newRow("5 in front of 12") << QByteArray("12") << true << "5"
                                      << "512" << 0 << 0;
    QTest::newRow("deleting all") << QByteArray("12") << false << "<<"
                                  << "" << 0 << 0;
    QTest::newRow("fraction") << QByteArray() << false << "1.5"
                              << "1.5" << 0 << 0;
    QTest::newRow("a fourth character is not taken") << QByteArray() << false << "1234"
                                                     << "123" << 0 << 0;
    QTest::newRow("minus, then a digit") << QByteArray() << false << "-1"
                                         << "1" << 0 << 1;
}

void tst_frmMain::intervalCheck() {
    QFETCH(QByteArray, saved);
    QFETCH(bool, home);
    QFETCH(QString, typed);
    QFETCH(QString, after);
    QFETCH(int, messages);
    QFETCH(int, beeps);

    Rig rig(settingsBytes({"5=" + saved}));
    QLineEdit* box = rig.box("txtDelayTime");
    box->setFocus();
    box->setCursorPosition(home ? 0 : int(box->text().size()));
    for (QChar c : typed)
        c == u'<' ? QTest::keyClick(box, Qt::Key_Backspace) : QTest::keyClicks(box, QString(c));
    QCOMPARE(box->text(), after);
    QCOMPARE(box->property("Tag").toString(), after);
    QCOMPARE(rig.shown(u"notice"_s), messages);
    if (messages)
        QCOMPARE(rig.prompter.shown.first().text,
                 QStringLiteral("Please enter a number between 1 and 999!"));
    QCOMPARE(rig.prompter.beeps, beeps);
}

void tst_frmMain::startImmediatelyQuestion_data() {
    QTest::addColumn<bool>("before");
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("after");

    QTest::newRow("box, Yes") << false << "chkStartImmediately" << true << true;
    QTest::newRow("box, No") << false << "chkStartImmediately" << false << false;
    QTest::newRow("label, Yes") << false << "lblStartImmediately" << true << true;
    QTest::newRow("label, No") << false << "lblStartImmediately" << false << false;
    QTest::newRow("unchecking asks nothing") << true << "lblStartImmediately" << true << false;
}

void tst_frmMain::startImmediatelyQuestion() {
    QFETCH(bool, before);
    QFETCH(QString, clicked);
    QFETCH(bool, answer);
    QFETCH(bool, after);

    Rig rig(settingsBytes({before ? "13=1" : "13=0", "14=9:00"}));
    rig.prompter.answers = {answer};
    rig.click(clicked.toLatin1().constData());
    QCOMPARE(rig.checked("chkStartImmediately"), after);
    QCOMPARE(rig.shown(u"question"_s), before ? 0 : 1);
    if (!before)
        QVERIFY(rig.prompter.shown.first().text.endsWith(
            u"Are you sure you wish to manually control the start and stop times?"_s));
    QCOMPARE(rig.box("txtStartTime")->isReadOnly(), after);
    QCOMPARE(rig.box("txtEndTime")->isReadOnly(), after);
    QCOMPARE(rig.get("lblStartTime")->isEnabled(), !after);
    QCOMPARE(rig.box("txtStartTime")->text(), QStringLiteral("9:00"));
}

void tst_frmMain::labelClickTogglesDisabledBox() {
    Rig rig(settingsBytes({"2=ann", "3=pw", "5=5"}), "example.com\r\n");
    rig.click("cmdStart");
    QVERIFY(rig.window->runController().isRunning());
    QCOMPARE(rig.get<QPushButton>("cmdStart")->text(), QStringLiteral("Stop"));
    QVERIFY(!rig.get("chkLogging")->isEnabled());

    rig.click("lblLogging");
    QVERIFY(rig.checked("chkLogging") && rig.window->logging());
    rig.click("lblLogging");
    QVERIFY(!rig.checked("chkLogging") && !rig.window->logging());
    // A double-click is one click, as on any caption: what the label gets from it.
    QWidget* label = rig.get("lblLogging");
    const QPointF at = label->rect().center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, label->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(label, &event);
    }
    QVERIFY(rig.checked("chkLogging") && rig.window->logging());

    rig.click("cmdStart");
    QCOMPARE(rig.get<QPushButton>("cmdStart")->text(), QStringLiteral("Start"));
    QVERIFY(rig.get("chkLogging")->isEnabled());
}

void tst_frmMain::customNameServersOpensSettings_data() {
    QTest::addColumn<QByteArray>("nameServer2");
    QTest::newRow("a name server missing") << QByteArray();
    QTest::newRow("both stored") << QByteArray("ns2.x");
}

void tst_frmMain::customNameServersOpensSettings() {
    QFETCH(QByteArray, nameServer2);
    Rig rig(settingsBytes({"16=0", "17=ns1.x", "18=" + nameServer2}));
    rig.window->move(140, 90);
    rig.click("lblNameServers");
    QVERIFY(rig.checked("chkNameServers"));
    QPointer<frmSettings> settings = rig.window->settingsWindow();
    QCOMPARE(!settings, !nameServer2.isEmpty());
    if (!settings)
        return;
    QVERIFY(settings->isVisible());
    const QPoint offset = settings->frameGeometry().center() - rig.window->frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, "centred over the main window");

    // The Settings button brings the same window back to the centre.
    settings->move(0, 0);
    rig.click("cmdSettings");
    QCOMPARE(rig.window->settingsWindow(), settings.data());
    QCOMPARE(settings->frameGeometry().center(), rig.window->frameGeometry().center() + offset);

    // Its close box, with a name server still missing, turns the option off.
    settings->close();
    QVERIFY(!rig.checked("chkNameServers") && !rig.window->settingsWindow());
}

void tst_frmMain::closingWritesBothFilesAndEndsProgram() {
    Rig rig;
    QTest::keyClicks(rig.box("txtUsername"), u"ann"_s);
    auto* domains = rig.get<ListBox>("txtDomains");
    QTest::keyClicks(domains, u"a.com"_s);
    QTest::keyClick(domains, Qt::Key_Return);
    QTest::keyClicks(domains, u"b.com"_s);
    rig.click("lblLogging");
    rig.click("cmdSettings");
    QPointer<frmSettings> settings = rig.window->settingsWindow();
    rig.window->showServerError({u"a.com"_s, u"Unknown error"_s, u"1-1"_s, {}, 1});
    QCOMPARE(rig.window->errorWindows().size(), 1);

    rig.window->close();
    QCOMPARE(rig.programEnded, 1);
    QVERIFY(!settings->isVisible() && rig.window->errorWindows().isEmpty());
    QCOMPARE(rig.read(u"domains.dat"_s), QByteArray("a.com\r\nb.com\r\n"));
    // A loaded settings window stands for "no legal type" as "-1$"; leaving it by the
    // program's end unchecks nothing.
    QCOMPARE(rig.read(u"settings.dat"_s),
             settingsBytes({"2=ann", "4=1", "13=1", "16=0", "20=-1$"}));
}

void tst_frmMain::closingDuringAStartQuestionStartsNothing() {
    // The session ends while the schedule question of a start is open; the user's Yes
    // comes back to a window that is gone.
    struct ClosingPrompter : ScriptedPrompter {
        QWidget* window = nullptr;
        bool question(const QString& text) override {
            ScriptedPrompter::question(text);
            window->close();
            return true;
        }
    };
    Rig rig(settingsBytes({"2=ann", "3=pw", "5=5", "13=0", "14=10:00 PM", "15=11:00 PM"}),
            "a.com\r\n");
    ClosingPrompter prompter;
    prompter.window = rig.window.get();
    std::unique_ptr<frmMain> window = std::move(rig.window);
    window.reset();
    rig.window =
        std::make_unique<frmMain>(rig.store, rig.platform, prompter, rig.colLegalTypes,
                                  QStringLiteral("registrar.test"), [&rig] { ++rig.programEnded; });
    prompter.window = rig.window.get();
    rig.window->show();

    rig.click("cmdStart");
    QCOMPARE(prompter.shown.size(), 1);
    QCOMPARE(rig.programEnded, 1);
    QVERIFY(!rig.window->runController().isRunning());
    QCOMPARE(rig.get<QPushButton>("cmdStart")->text(), QStringLiteral("Start"));
    rig.platform.advance(60000);
    QCOMPARE(rig.platform.count(QStringLiteral("connect")), 0);
    rig.window->close();
    QCOMPARE(rig.programEnded, 1);
}

void tst_frmMain::failedSaveAtCloseAsks() {
    Rig rig;
    QTest::keyClicks(rig.box("txtUsername"), u"ann"_s);
    QVERIFY(QDir(rig.dir.path()).mkdir(u"domains.dat"_s)); // no save can replace a folder
    rig.prompter.answers = {false};
    rig.window->close();
    QCOMPARE(rig.shown(u"question"_s), 1);
    QVERIFY2(rig.prompter.shown.last().text.contains(u"domains.dat"_s),
             qPrintable(rig.prompter.shown.last().text));
    QCOMPARE(rig.programEnded, 0);
    QVERIFY(rig.window->isVisible());
    QCOMPARE(rig.box("txtUsername")->text(), QStringLiteral("ann"));
    rig.prompter.answers = {true};
    rig.window->close();
    QCOMPARE(rig.programEnded, 1);

    // A logout cannot ask: the program ends all the same.
    Rig ended;
    QVERIFY(QDir(ended.dir.path()).mkdir(u"domains.dat"_s));
    ended.window->endAtSystemRequest();
    QCOMPARE(ended.programEnded, 1);
    QVERIFY(ended.prompter.shown.isEmpty() && !ended.window->isVisible());
}

void tst_frmMain::shiftedSettingsNeverPrintValues() {
    // A settings.dat shifted by one puts the password where switches and choices belong.
    static QStringList printed;
    printed.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { printed << text; });
    {
        const QByteArray secret = "pw-4711";
        Rig rig(settingsBytes({"4=" + secret, "13=" + secret, "16=" + secret, "17=a", "18=b",
                               "19=" + secret, "20=" + secret}));
        rig.click("cmdSettings");
    }
    qInstallMessageHandler(previous);
    QVERIFY(printed.size() >= 4);
    for (const QString& line : std::as_const(printed))
        QVERIFY2(!line.contains(QStringLiteral("pw-4711")), qPrintable(line));
}

void tst_frmMain::linkedFileIsToldAndLeftAlone() {
    Rig rig;
    rig.window.reset();
    rig.write(u"elsewhere"_s, "someone else's file");
    QVERIFY(QFile::link(rig.dir.filePath(u"elsewhere"_s), rig.dir.filePath(u"settings.dat"_s)));
    rig.window =
        std::make_unique<frmMain>(rig.store, rig.platform, rig.prompter, rig.colLegalTypes,
                                  QStringLiteral("registrar.test"), [&rig] { ++rig.programEnded; });
    QCOMPARE(rig.shown(u"notice"_s), 1);
    QVERIFY2(rig.prompter.shown[0].text.contains(u"settings.dat"_s) &&
                 rig.prompter.shown[0].text.contains(u"symbolic link"_s),
             qPrintable(rig.prompter.shown[0].text));
    rig.window->show();
    QTest::keyClicks(rig.box("txtUsername"), u"ann"_s);
    rig.window->close();
    QCOMPARE(rig.programEnded, 1);
    QCOMPARE(rig.read(u"elsewhere"_s), QByteArray("someone else's file"));
    QVERIFY(QFileInfo(rig.dir.filePath(u"settings.dat"_s)).isSymLink());
}

void tst_frmMain::byteLevelRoundTrip_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("domains");

    QTest::newRow("every setting") << settingsBytes({"1=spare",
                                                     "2=reseller",
                                                     "3=p@ss w0rd",
                                                     "4=1",
                                                     "5=30",
                                                     "6=Ren\xe9",
                                                     "7=M\xfcller",
                                                     "8=+44.2079460000",
                                                     "9=1 High Street",
                                                     "10=London",
                                                     "11=GB",
                                                     "12=ren@example.co.uk",
                                                     "13=0",
                                                     "14=10:00 PM",
                                                     "15=10:25 PM",
                                                     "16=1",
                                                     "17=ns1.example.net",
                                                     "18=ns2.example.net",
                                                     "19=1",
                                                     "20=4$STRA"})
                                   << QByteArray("caf\xe9.com\r\n\x80uro.net\r\nnon\xa0"
                                                 "breaking.org\r\n");
    QTest::newRow("empty list, no legal type")
        << settingsBytes({"4=0", "13=1", "16=0", "19=0", "20=-1$"}) << QByteArray("\r\n");
}

void tst_frmMain::byteLevelRoundTrip() {
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, domains);
    Rig rig(settings, domains);
    rig.window->close();
    QCOMPARE(rig.read(u"settings.dat"_s), settings);
    QCOMPARE(rig.read(u"domains.dat"_s), domains);
    QVERIFY(rig.prompter.shown.isEmpty());
}

void tst_frmMain::oneErrorWindowPerJob() {
    Rig rig;
    auto a = std::make_shared<DomainJob>();
    auto b = std::make_shared<DomainJob>();
    a->domain = QStringLiteral("a.com");
    b->domain = QStringLiteral("b.com");
    const QString huge(4 << 20, u'x'); // an Err1= of 4 MiB without a line end
    auto description = [](frmError* w) {
        return w->findChild<QLabel*>(QStringLiteral("lblErrDesc"))->text();
    };

    rig.window->showServerError({u"a.com"_s, huge, u"1-1"_s, a, 1});
    rig.window->showServerError({u"b.com"_s, u"Unknown"_s, u"2-1"_s, b, 2});
    for (int i = 0; i < 3; ++i)
        rig.window->showServerError({u"a.com"_s, u"Again"_s, u"1-2"_s, a, 1});
    QList<frmError*> open = rig.window->errorWindows();
    QCOMPARE(open.size(), 2);
    frmError* ofA = open[0]->job() == a ? open[0] : open[1];
    QCOMPARE(description(ofA), QStringLiteral("(4 times) Again"));
    QCOMPARE(ofA->Tag(), QStringLiteral("1-2")); // Stop Current acts on the latest
    frmError* ofB = ofA == open[0] ? open[1] : open[0];
    QCOMPARE(description(ofB), QStringLiteral("Unknown"));

    // Closed by the user: the next error of the same job opens a new window.
    ofA->close();
    rig.window->showServerError({u"a.com"_s, huge, u"1-3"_s, a, 1});
    open = rig.window->errorWindows();
    QCOMPARE(open.size(), 2);
    frmError* again = open[0] == ofB ? open[1] : open[0];
    QVERIFY(again != ofA);
    QCOMPARE(description(again).size(), 500);
    QVERIFY(description(again).endsWith(QChar(0x2026)));
}

void tst_frmMain::everyLineBreakSeparatesNames() {
    Rig rig;
    auto* domains = rig.get<ListBox>("txtDomains");
    domains->setFocus();
    QTest::keyClicks(domains, u"one.com"_s);
    QTest::keyClick(domains, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(domains, u"two.com"_s);
    QGuiApplication::clipboard()->setText(QString::fromUtf16(u"\u2028three.com\u2029four.com"));
    QTest::keySequence(domains, QKeySequence::Paste);
    QCOMPARE(rig.window->fields().domains,
             QStringLiteral("one.com\r\ntwo.com\r\nthree.com\r\nfour.com"));
    rig.window->close();
    QCOMPARE(rig.read(u"domains.dat"_s),
             QByteArray("one.com\r\ntwo.com\r\nthree.com\r\nfour.com\r\n"));
}

void tst_frmMain::megabyteLineRoundTrip() {
    // One line of a megabyte once froze start-up for minutes: the box wrapped it whole.
    const QByteArray domains = QByteArray(1 << 20, 'x') + "\r\nb.com\r\n";
    Rig rig({}, domains);
    rig.window->grab();
    QCOMPARE(rig.get<ListBox>("txtDomains")->lineCount(), 2);
    rig.window->close();
    QCOMPARE(rig.read(u"domains.dat"_s), domains);
}

// An upgrade finds the password in clear text: it still logs in, and the user is asked
// once whether it moves into the keyring.
void tst_frmMain::clearTextPasswordOfferedOnce_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("moved") << true;
    QTest::newRow("kept") << false;
}
void tst_frmMain::clearTextPasswordOfferedOnce() {
    QFETCH(bool, answer);
    const QByteArray old = settingsBytes({"2=ann", "3=old pw", "5=1"});
    test::FakeKeyring keyring;
    Rig rig(old, {}, &keyring, {answer});
    QCOMPARE(rig.shown(QStringLiteral("question")), 1);
    QVERIFY(rig.prompter.shown.first().text.contains(QStringLiteral("system keyring")));
    QCOMPARE(rig.box("txtPassword")->text(), QStringLiteral("old pw"));
    QCOMPARE(rig.read(u"settings.dat"_s).contains("old pw"), !answer);
    QCOMPARE(keyring.secrets.value(QStringLiteral("ann")), answer ? u"old pw"_s : QString());

    // The next start asks nothing and finds the password where it went.
    SettingsStore again(rig.dir.path());
    again.setKeyring(&keyring);
    again.GetSettings();
    QVERIFY(!again.offerKeyringMove());
    QCOMPARE(again.Settings(Setting::Password), QStringLiteral("old pw"));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
