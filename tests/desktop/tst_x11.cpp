// What only a real window system shows, under a private X server without a window
// manager (tests/desktop/under_x11.sh): the primary selection, and whether a window
// takes the keyboard when it appears.

#include "core/settings/LegalTypes.h"
#include "desktop/ListBox.h"
#include "desktop/frmError.h"
#include "desktop/frmMain.h"
#include "testing/ScriptedPrompter.h"
#include "testing/SimPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane;
using namespace Qt::StringLiterals;

class tst_X11 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server: run through tests/desktop/under_x11.sh");
    }

    // Selecting sets the primary selection and a middle click pastes it, between the list
    // and the window's other boxes both ways.
    void primarySelection() {
        QWidget window;
        auto* box = new ListBox(&window);
        box->setGeometry(0, 0, 200, 200);
        auto* line = new QLineEdit(&window);
        line->setGeometry(0, 210, 200, 24);
        box->setPlainText(QStringLiteral("a.com\nb.net"));
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QClipboard* clipboard = QGuiApplication::clipboard();
        QVERIFY(clipboard->supportsSelection());

        box->setFocus();
        QTest::keyClick(box, Qt::Key_End, Qt::ShiftModifier);
        QTRY_COMPARE(clipboard->text(QClipboard::Selection), QStringLiteral("a.com"));
        QTest::mouseClick(line, Qt::MiddleButton, {}, QPoint(5, 12));
        QCOMPARE(line->text(), QStringLiteral("a.com"));

        line->setText(QStringLiteral("new.org"));
        line->setFocus();
        QTest::keyClick(line, Qt::Key_Home);
        QTest::keyClick(line, Qt::Key_End, Qt::ShiftModifier);
        QTRY_COMPARE(clipboard->text(QClipboard::Selection), QStringLiteral("new.org"));
        // A middle click on the second line puts the text where it points.
        const QRect second = box->characterRect(6);
        QVERIFY(!second.isEmpty());
        QTest::mouseClick(box->viewport(), Qt::MiddleButton, {},
                          second.topLeft() - box->viewport()->pos() + QPoint(1, 2));
        QCOMPARE(box->toPlainText(), QStringLiteral("a.com\nnew.orgb.net"));
        // A locked list takes nothing.
        box->setReadOnly(true);
        QTest::mouseClick(box->viewport(), Qt::MiddleButton, {}, QPoint(5, 5));
        QCOMPARE(box->toPlainText(), QStringLiteral("a.com\nnew.orgb.net"));
    }

    // An unexpected reply while the user types elsewhere: the error window appears, the
    // keyboard stays where it was, and the next key goes where the user meant it.
    void errorWindowLeavesTheKeyboardAlone() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        store.GetSettings();
        SimPlatform platform;
        ScriptedPrompter prompter;
        QStringList colLegalTypes;
        FillLegalTypes(colLegalTypes);
        frmMain main(store, platform, prompter, colLegalTypes, QStringLiteral("registrar.test"),
                     [] {});
        main.show();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        auto* user = main.findChild<QLineEdit*>(QStringLiteral("txtUsername"));
        user->setFocus();

        main.showServerError({u"a.com"_s, u"Unknown"_s, u"1-1"_s, {}, 1});
        QCOMPARE(main.errorWindows().size(), 1);
        frmError* error = main.errorWindows().first();
        QVERIFY(QTest::qWaitForWindowExposed(error));
        QTest::qWait(200); // time for a focus change to arrive, were one requested
        QCOMPARE(QApplication::activeWindow(), &main);
        QCOMPARE(QApplication::focusWidget(), user);
        QTest::keyClicks(QApplication::focusWidget(), u"ann "_s);
        QCOMPARE(user->text(), QStringLiteral("ann "));
        QVERIFY(error->isVisible());
    }
};

QTEST_MAIN(tst_X11)
#include "tst_x11.moc"
