// What assistive technology reads from the windows, through Qt's accessibility
// interfaces as a screen reader's bridge does (no screen reader needed), and where the
// keyboard goes.

#include "MainWindowRig.h"
#include "core/settings/LegalTypes.h"
#include "desktop/ListBox.h"
#include "desktop/frmError.h"
#include "desktop/frmMain.h"
#include "desktop/frmSettings.h"
#include "desktop/frmStatus.h"
#include "testing/ScriptedPrompter.h"
#include "testing/SimPlatform.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using namespace drovane;
using namespace Qt::StringLiterals;
using namespace drovane::test;

namespace {

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// The role a control of each kind must report.
QAccessible::Role expectedRole(QWidget* w) {
    if (qobject_cast<ListBox*>(w) || qobject_cast<QLineEdit*>(w))
        return QAccessible::EditableText;
    if (qobject_cast<QCheckBox*>(w))
        return QAccessible::CheckBox;
    if (qobject_cast<QPushButton*>(w))
        return QAccessible::Button;
    if (qobject_cast<QComboBox*>(w))
        return QAccessible::ComboBox;
    if (qobject_cast<QGroupBox*>(w))
        return QAccessible::Grouping;
    if (qobject_cast<QTableView*>(w))
        return QAccessible::Table;
    return QAccessible::NoRole;
}

struct Recorded {
    QAccessible::Event type;
    QObject* object;
    int position; // the caret for caret and text events, the start for selections
    QString text; // inserted, or removed, text
};
QList<Recorded> recorded;

void record(QAccessibleEvent* event) {
    Recorded r{event->type(), event->object(), -1, {}};
    switch (event->type()) {
    case QAccessible::TextCaretMoved:
        r.position = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
        break;
    case QAccessible::TextSelectionChanged:
        r.position = static_cast<QAccessibleTextSelectionEvent*>(event)->selectionStart();
        r.text =
            QString::number(static_cast<QAccessibleTextSelectionEvent*>(event)->selectionEnd());
        break;
    case QAccessible::TextInserted:
        r.position = static_cast<QAccessibleTextInsertEvent*>(event)->changePosition();
        r.text = static_cast<QAccessibleTextInsertEvent*>(event)->textInserted();
        break;
    case QAccessible::TextRemoved:
        r.position = static_cast<QAccessibleTextRemoveEvent*>(event)->changePosition();
        r.text = static_cast<QAccessibleTextRemoveEvent*>(event)->textRemoved();
        break;
    case QAccessible::TextUpdated:
        r.position = static_cast<QAccessibleTextUpdateEvent*>(event)->changePosition();
        r.text = static_cast<QAccessibleTextUpdateEvent*>(event)->textInserted();
        break;
    default:
        break;
    }
    recorded.append(r);
}

// Records what assistive technology would be told, for as long as it lives.
struct Listening {
    Listening() {
        recorded.clear();
        QAccessible::installUpdateHandler(record);
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
    }
    ~Listening() {
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
        QAccessible::installUpdateHandler(nullptr);
    }
    QList<Recorded> of(QObject* object, QAccessible::Event type) const {
        QList<Recorded> found;
        for (const Recorded& r : std::as_const(recorded))
            if (r.object == object && r.type == type)
                found.append(r);
        return found;
    }
};

QStringList tabThrough(QWidget* first, int presses) {
    first->setFocus();
    QStringList visited{first->objectName()};
    for (int i = 0; i < presses; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    return visited;
}

} // namespace

class tst_Accessibility : public QObject {
    Q_OBJECT
private slots:
    void everyControlNamedWithItsRole_data();
    void everyControlNamedWithItsRole();
    void optionBoxesAndListNamedByTheirCaptions();
    void listBoxTextInterface();
    void listBoxEditsThroughTheInterface_data();
    void listBoxEditsThroughTheInterface();
    void listBoxTellsOfChanges();
    void errorWindowIsAnnounced();
    void mainWindowTabOrder_data();
    void mainWindowTabOrder();
    void settingsWindowTabOrderIsVisual();
};

void tst_Accessibility::everyControlNamedWithItsRole_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("role");
    QTest::newRow("main") << "main" << int(QAccessible::Window);
    QTest::newRow("settings") << "settings" << int(QAccessible::Dialog);
    QTest::newRow("status") << "status" << int(QAccessible::Window);
    QTest::newRow("error") << "error" << int(QAccessible::AlertMessage);
}

void tst_Accessibility::everyControlNamedWithItsRole() {
    QFETCH(QString, window);
    QFETCH(int, role);
    Rig rig;
    QWidget* shown = rig.window.get();
    std::unique_ptr<frmError> error;
    if (window == u"settings"_s) {
        QTest::mouseClick(rig.get("cmdSettings"), Qt::LeftButton);
        shown = rig.window->settingsWindow();
    } else if (window == u"status"_s) {
        QTest::mouseClick(rig.get("cmdStatus"), Qt::LeftButton);
        shown = rig.window->statusWindow();
    } else if (window == u"error"_s) {
        error = std::make_unique<frmError>(
            ServerErrorReport{u"a.com"_s, u"Unknown"_s, u"1-1"_s, {}, 1}, nullptr, nullptr);
        error->show();
        shown = error.get();
    }
    QVERIFY(shown && shown->isVisible());
    QAccessibleInterface* self = accessible(shown);
    QCOMPARE(int(self->role()), role);
    QCOMPARE(self->text(QAccessible::Name), shown->windowTitle());

    int controls = 0;
    for (QWidget* w : shown->findChildren<QWidget*>()) {
        const QAccessible::Role expected = expectedRole(w);
        if (expected == QAccessible::NoRole || !w->isVisibleTo(shown) ||
            w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        ++controls;
        QAccessibleInterface* control = accessible(w);
        QVERIFY2(!control->text(QAccessible::Name).isEmpty(), qPrintable(w->objectName()));
        QVERIFY2(control->role() == expected, qPrintable(w->objectName()));
    }
    QVERIFY(controls >= 1);
    // Labels read as their text, the pictures by what they stand for.
    for (QLabel* l : shown->findChildren<QLabel*>())
        if (l->isVisibleTo(shown) && l->isEnabled() && l->objectName() != u"lblDomain"_s &&
            l->objectName() != u"lblErrDesc"_s)
            QVERIFY2(!accessible(l)->text(QAccessible::Name).isEmpty(),
                     qPrintable(l->objectName()));
}

void tst_Accessibility::optionBoxesAndListNamedByTheirCaptions() {
    Rig rig;
    const std::pair<const char*, const char*> named[] = {
        {"chkLogging", "Logging"},
        {"chkStartImmediately", "Start Immediately"},
        {"chkNameServers", "Custom Nameservers"},
        {"txtDomains", "Domains:"},
        {"txtUsername", "Username:"},
        {"txtEndTime", "End Time:"}};
    for (const auto& [control, name] : named)
        QCOMPARE(accessible(rig.get(control))->text(QAccessible::Name), QString::fromLatin1(name));
    // The caption is also the list's label, as a screen reader looks it up.
    const auto labels = accessible(rig.get("txtDomains"))->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels[0].first->object(), rig.get("lblDomains"));

    QTest::mouseClick(rig.get("cmdSettings"), Qt::LeftButton);
    frmSettings* settings = rig.window->settingsWindow();
    QCOMPARE(
        accessible(settings->findChild<QCheckBox*>(u"chkUsePURCHASE"_s))->text(QAccessible::Name),
        QStringLiteral("Use PURCHASE Method"));
    // No row chosen: the list is named by its caption.
    QCOMPARE(
        accessible(settings->findChild<QComboBox*>(u"cmbLegalType"_s))->text(QAccessible::Name),
        QStringLiteral("Contact Legal Type (Required for co.uk domains)"));
    QVERIFY(
        accessible(settings->findChild<QLineEdit*>(u"txtNameServer1"_s))->text(QAccessible::Name) !=
        accessible(settings->findChild<QLineEdit*>(u"txtNameServer2"_s))->text(QAccessible::Name));
}

void tst_Accessibility::listBoxTextInterface() {
    QWidget window;
    auto* caption = new QLabel(QStringLiteral("Domains:"), &window);
    auto* box = new ListBox(&window);
    caption->setBuddy(box);
    box->setGeometry(0, 20, 200, 200);
    box->setPlainText(QStringLiteral("a.com\r\nbb.net\r\nc.org"));
    window.show();
    box->setSelection(2, 8);

    QAccessibleInterface* iface = accessible(box);
    QCOMPARE(iface->role(), QAccessible::EditableText);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Domains:"));
    QVERIFY(iface->state().multiLine && iface->state().editable && !iface->state().readOnly);
    QAccessibleTextInterface* text = iface->textInterface();
    QVERIFY(text && iface->editableTextInterface());
    QCOMPARE(text->characterCount(), 18);
    QCOMPARE(text->text(0, 18), QStringLiteral("a.com\nbb.net\nc.org"));
    QCOMPARE(text->cursorPosition(), 8);
    QCOMPARE(text->selectionCount(), 1);
    int start = -1;
    int end = -1;
    text->selection(0, &start, &end);
    QCOMPARE(start, 2);
    QCOMPARE(end, 8);

    // A screen reader reads by line: the name under the caret, the ones around it.
    QCOMPARE(text->textAtOffset(8, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("bb.net\n"));
    QCOMPARE(start, 6);
    QCOMPARE(end, 13);
    QCOMPARE(text->textBeforeOffset(8, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("a.com\n"));
    QCOMPARE(text->textAfterOffset(8, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("c.org"));
    QCOMPARE(start, 13);
    QCOMPARE(text->textAtOffset(14, QAccessible::CharBoundary, &start, &end), QStringLiteral("."));
    QCOMPARE(start, 14);

    // Where a character is on screen, and which character is at a point.
    const QRect dot = text->characterRect(7);
    QVERIFY(!dot.isEmpty());
    QVERIFY(QRect(box->mapToGlobal(QPoint()), box->size()).contains(dot));
    QCOMPARE(text->offsetAtPoint(dot.center()), 7);
    QCOMPARE(iface->childAt(dot.center().x(), dot.center().y()), nullptr); // the box itself

    text->setCursorPosition(15);
    QCOMPARE(box->cursorPosition(), 15);
    QCOMPARE(text->selectionCount(), 0);
    text->setSelection(0, 13, 18);
    QCOMPARE(box->selectedText(), QStringLiteral("c.org"));
}

void tst_Accessibility::listBoxEditsThroughTheInterface_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("after");
    QTest::newRow("insert a name") << "insert"
                                   << "new.com\na.com\nb.net";
    QTest::newRow("delete a name") << "delete"
                                   << "b.net";
    QTest::newRow("replace a name") << "replace"
                                    << "x.org\nb.net";
}

void tst_Accessibility::listBoxEditsThroughTheInterface() {
    QFETCH(QString, edit);
    QFETCH(QString, after);
    ListBox box;
    box.setPlainText(QStringLiteral("a.com\nb.net"));
    box.show();
    QAccessibleEditableTextInterface* editable = accessible(&box)->editableTextInterface();
    auto apply = [&] {
        if (edit == u"insert"_s)
            editable->insertText(0, QStringLiteral("new.com\r\n"));
        else if (edit == u"delete"_s)
            editable->deleteText(0, 6);
        else
            editable->replaceText(0, 5, QStringLiteral("x.org"));
    };
    apply();
    QCOMPARE(box.toPlainText(), after);
    // As if typed: the user can take it back.
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box.toPlainText(), QStringLiteral("a.com\nb.net"));
    // A running list is locked against every edit.
    box.setReadOnly(true);
    QVERIFY(accessible(&box)->state().readOnly);
    apply();
    QCOMPARE(box.toPlainText(), QStringLiteral("a.com\nb.net"));
}

void tst_Accessibility::listBoxTellsOfChanges() {
    ListBox box;
    box.show();
    Listening listening;
    box.setPlainText(QStringLiteral("a.com\nb.net"));
    QCOMPARE(listening.of(&box, QAccessible::TextUpdated).size(), 1);
    QCOMPARE(listening.of(&box, QAccessible::TextUpdated)[0].text, QStringLiteral("a.com\nb.net"));

    recorded.clear();
    QTest::keyClick(&box, Qt::Key_End);
    QTest::keyClicks(&box, u"x"_s);
    QCOMPARE(listening.of(&box, QAccessible::TextInserted).size(), 1);
    QCOMPARE(listening.of(&box, QAccessible::TextInserted)[0].position, 5);
    QCOMPARE(listening.of(&box, QAccessible::TextInserted)[0].text, QStringLiteral("x"));
    const auto caret = listening.of(&box, QAccessible::TextCaretMoved);
    QCOMPARE(caret.size(), 2);
    QCOMPARE(caret[0].position, 5);
    QCOMPARE(caret[1].position, 6);

    recorded.clear();
    QTest::keyClick(&box, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(listening.of(&box, QAccessible::TextSelectionChanged).size(), 1);
    QCOMPARE(listening.of(&box, QAccessible::TextSelectionChanged)[0].position, 0);
    QCOMPARE(listening.of(&box, QAccessible::TextSelectionChanged)[0].text, QStringLiteral("6"));
    QTest::keyClick(&box, Qt::Key_Delete);
    QCOMPARE(listening.of(&box, QAccessible::TextRemoved).size(), 1);
    QCOMPARE(listening.of(&box, QAccessible::TextRemoved)[0].text, QStringLiteral("a.comx"));
    // The selection is gone with the text: that is told too.
    QCOMPARE(listening.of(&box, QAccessible::TextSelectionChanged).size(), 2);
}

void tst_Accessibility::errorWindowIsAnnounced() {
    Listening listening;
    frmError window({u"a.com"_s, u"Unknown"_s, u"1-1"_s, {}, 1}, nullptr, nullptr);
    window.show();
    QCOMPARE(listening.of(&window, QAccessible::Alert).size(), 1);
}

void tst_Accessibility::mainWindowTabOrder_data() {
    QTest::addColumn<bool>("timesLocked");
    QTest::addColumn<QStringList>("order");
    const QStringList head{u"txtUsername"_s, u"txtPassword"_s,         u"txtDelayTime"_s,
                           u"chkLogging"_s,  u"chkStartImmediately"_s, u"chkNameServers"_s};
    const QStringList tail{u"txtDomains"_s, u"cmdStatus"_s, u"cmdStart"_s, u"cmdSettings"_s,
                           u"txtUsername"_s};
    QTest::newRow("start immediately: time boxes passed by") << true << head + tail;
    QTest::newRow("scheduled: time boxes visited")
        << false << head + QStringList{u"txtStartTime"_s, u"txtEndTime"_s} + tail;
}

void tst_Accessibility::mainWindowTabOrder() {
    QFETCH(bool, timesLocked);
    QFETCH(QStringList, order);
    Rig rig(timesLocked ? QByteArray() : settingsBytes({"13=0"}));
    QCOMPARE(rig.get<QLineEdit>("txtStartTime")->isReadOnly(), timesLocked);
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    QCOMPARE(tabThrough(rig.get("txtUsername"), int(order.size()) - 1), order);
    // Back again with Shift+Tab.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdSettings"));
}

void tst_Accessibility::settingsWindowTabOrderIsVisual() {
    Rig rig;
    QTest::mouseClick(rig.get("cmdSettings"), Qt::LeftButton);
    frmSettings* settings = rig.window->settingsWindow();
    QVERIFY(QTest::qWaitForWindowActive(settings));
    // The eye reads the window from the top down, one control a row.
    QList<QWidget*> controls;
    for (QWidget* w : settings->findChildren<QWidget*>())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(settings) && w->isEnabled() &&
            !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            controls.append(w);
    // Row by row, and left to right within a row (Check Setup, then Done).
    std::sort(controls.begin(), controls.end(), [&](QWidget* a, QWidget* b) {
        const QPoint pa = a->mapTo(settings, QPoint()), pb = b->mapTo(settings, QPoint());
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    QStringList visual;
    for (QWidget* w : controls)
        visual << w->objectName();
    // The keyring's box is left out where no keyring answers, as Tab leaves it out.
    QVERIFY2(visual.size() >= 15, qPrintable(visual.join(u' ')));
    QCOMPARE(tabThrough(controls.first(), int(visual.size()) - 1), visual);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
