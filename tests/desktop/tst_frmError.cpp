#include "desktop/frmError.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace drovane;
using namespace Qt::StringLiterals;

class tst_frmError : public QObject {
    Q_OBJECT
private slots:
    void showsTheReport();
    void strayKeysStopNothing();
    void choices_data();
    void choices();
};

void tst_frmError::showsTheReport() {
    const ServerErrorReport report{
        u"example.com"_s, u"<b>Bad</b> request & more"_s, u"2-5"_s, {}, 2};
    frmError window(report, {}, {});
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Domain Registration Error"));
    QCOMPARE(window.size(), QSize(175, 128));
    QVERIFY(!window.parentWidget());
    QVERIFY(window.windowIcon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(window.Tag(), QStringLiteral("2-5"));
    auto* domain = window.findChild<QLabel*>(QStringLiteral("lblDomain"));
    auto* description = window.findChild<QLabel*>(QStringLiteral("lblErrDesc"));
    QCOMPARE(domain->text(), QStringLiteral("example.com"));
    QCOMPARE(description->text(), report.description);
    // Registrar text is shown as it came, never as markup.
    QCOMPARE(description->textFormat(), Qt::PlainText);
    QVERIFY(description->wordWrap());
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblDomainLbl"))->text(),
             QStringLiteral("Error When Registering Domain: "));
}

void tst_frmError::strayKeysStopNothing() {
    // Even where the desktop hands the new window the keyboard (the offscreen platform
    // activates every window it shows), keys land on the window, not on Stop All.
    int stops = 0;
    QPointer<frmError> window =
        new frmError({u"b.com"_s, u"Unknown"_s, u"1-3"_s, {}, 1}, {}, [&] { ++stops; });
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(QApplication::focusWidget(), key);
    QCOMPARE(stops, 0);
    QVERIFY(window && window->isVisible());
    // A deliberate choice still works by keyboard: Tab to Stop All, then Space.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdStopAll"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(stops, 1);
    delete window.data();
}

void tst_frmError::choices_data() {
    QTest::addColumn<QString>("button"); // empty: the frame's close box
    QTest::addColumn<int>("stopCurrent");
    QTest::addColumn<int>("stopAll");

    QTest::newRow("Stop Current") << "cmdStopCurrent" << 1 << 0;
    QTest::newRow("Stop All") << "cmdStopAll" << 0 << 1;
    QTest::newRow("close box") << "" << 0 << 0;
}

void tst_frmError::choices() {
    QFETCH(QString, button);
    QFETCH(int, stopCurrent);
    QFETCH(int, stopAll);

    QStringList droppedReferences;
    int stops = 0;
    QPointer<frmError> window = new frmError(
        {u"b.com"_s, u"Unknown"_s, u"1-3"_s, {}, 1},
        [&](const ServerErrorReport& r) { droppedReferences << r.reference; }, [&] { ++stops; });
    window->show();
    if (button.isEmpty())
        window->close();
    else
        QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);

    QCOMPARE(droppedReferences, QStringList(stopCurrent, QStringLiteral("1-3")));
    QCOMPARE(stops, stopAll);
    QVERIFY(!window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window); // one window per error, gone once it has been answered
}

QTEST_MAIN(tst_frmError)
#include "tst_frmError.moc"
