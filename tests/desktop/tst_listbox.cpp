#include "desktop/ListBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTest>

using namespace drovane;
using namespace Qt::StringLiterals;

namespace {
// "text:abc" types, "Key" presses, "+Key" with Shift, "^Key" with Ctrl, "^+Key" with both.
void play(ListBox& box, const QStringList& script) {
    static const QHash<QString, Qt::Key> keys{{u"Left"_s, Qt::Key_Left},
                                              {u"Right"_s, Qt::Key_Right},
                                              {u"Up"_s, Qt::Key_Up},
                                              {u"Down"_s, Qt::Key_Down},
                                              {u"Home"_s, Qt::Key_Home},
                                              {u"End"_s, Qt::Key_End},
                                              {u"Backspace"_s, Qt::Key_Backspace},
                                              {u"Delete"_s, Qt::Key_Delete},
                                              {u"Return"_s, Qt::Key_Return},
                                              {u"Enter"_s, Qt::Key_Enter},
                                              {u"PageUp"_s, Qt::Key_PageUp},
                                              {u"PageDown"_s, Qt::Key_PageDown},
                                              {u"Insert"_s, Qt::Key_Insert},
                                              {u"C"_s, Qt::Key_C},
                                              {u"Q"_s, Qt::Key_Q},
                                              {u"A"_s, Qt::Key_A},
                                              {u"Z"_s, Qt::Key_Z},
                                              {u"Y"_s, Qt::Key_Y},
                                              {u"X"_s, Qt::Key_X},
                                              {u"V"_s, Qt::Key_V}};
    for (const QString& step : script) {
        if (step.startsWith(u"text:"_s)) {
            QTest::keyClicks(&box, step.mid(5));
            continue;
        }
        Qt::KeyboardModifiers modifiers;
        QString key = step;
        if (key.startsWith(u'^'))
            modifiers |= Qt::ControlModifier, key.remove(0, 1);
        if (key.startsWith(u'+'))
            modifiers |= Qt::ShiftModifier, key.remove(0, 1);
        QVERIFY2(keys.contains(key), qPrintable(key));
        QTest::keyClick(&box, keys[key], modifiers);
    }
}
} // namespace

// The domain list box edits as a text box does; a slip in its line bookkeeping would
// lose or join names.
class tst_ListBox : public QObject {
    Q_OBJECT
private slots:
    void editing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("cursor");

        QTest::newRow("type at the end of the last line")
            << "a\r\nb" << QStringList{u"^End"_s, u"text:c"_s} << "a\nbc" << 4;
        QTest::newRow("Backspace at a line start joins")
            << "a\nb" << QStringList{u"Down"_s, u"Home"_s, u"Backspace"_s} << "ab" << 1;
        QTest::newRow("Delete at a line end joins")
            << "ab\ncd" << QStringList{u"End"_s, u"Delete"_s} << "abcd" << 2;
        QTest::newRow("selection replaced by typing")
            << "one\ntwo" << QStringList{u"Right"_s, u"+Down"_s, u"text:X"_s} << "oXwo" << 2;
        QTest::newRow("Up and Down keep the column")
            << "abcd\nx\nabcd" << QStringList{u"End"_s, u"Down"_s, u"Down"_s, u"text:!"_s}
            << "abcd\nx\nabcd!" << 12;
        QTest::newRow("select all, cut, paste back")
            << "a\nb" << QStringList{u"^A"_s, u"^X"_s, u"text:z"_s, u"^V"_s} << "za\nb" << 4;
        QTest::newRow("undo a line break and a deletion")
            << "ab" << QStringList{u"Right"_s, u"Return"_s, u"Delete"_s, u"^Z"_s, u"^Z"_s} << "ab"
            << 1;
        QTest::newRow("Ctrl+Backspace takes the word")
            << "x a.com" << QStringList{u"End"_s, u"^Backspace"_s} << "x " << 2;
        QTest::newRow("redo with Ctrl+Shift+Z and Ctrl+Y")
            << "" << QStringList{u"text:ab"_s, u"Return"_s, u"^Z"_s, u"^Z"_s, u"^+Z"_s, u"^Y"_s}
            << "ab\n"
            << 3;
        QTest::newRow("a new edit drops what could be redone")
            << "" << QStringList{u"text:a"_s, u"^Z"_s, u"text:b"_s, u"^Y"_s} << "b" << 1;
        QTest::newRow("redo a paste of lines")
            << "one\ntwo" << QStringList{u"^A"_s, u"^X"_s, u"text:z"_s, u"^V"_s, u"^Z"_s, u"^+Z"_s}
            << "zone\ntwo" << 8;
        // Every key the box acts on, with the modifiers that change what it does.
        QTest::newRow("Left and Right end a selection at its ends")
            << "abcd" << QStringList{u"Right"_s, u"+Right"_s, u"Left"_s,  u"text:X"_s,
                                     u"+Left"_s, u"Right"_s,  u"text:Y"_s}
            << "aXYbcd" << 3;
        QTest::newRow("Ctrl+Right and Ctrl+Left go by words")
            << "ab cd ef"
            << QStringList{u"^Right"_s, u"text:X"_s, u"^End"_s, u"^Left"_s, u"text:Y"_s}
            << "ab Xcd Yef" << 8;
        QTest::newRow("Shift+Home, Ctrl+Home and Shift+End select")
            << "ab\ncd" << QStringList{u"Down"_s,  u"End"_s,  u"+Home"_s, u"text:X"_s,
                                       u"^Home"_s, u"+End"_s, u"Delete"_s}
            << "\nX" << 0;
        QTest::newRow("PageDown and PageUp keep the column")
            << QStringList(40, u"abc"_s).join(u'\n')
            << QStringList{u"Right"_s, u"PageDown"_s, u"PageUp"_s, u"text:X"_s}
            << u"aXbc\n"_s + QStringList(39, u"abc"_s).join(u'\n') << 2;
        QTest::newRow("Ctrl+Delete takes the word, Shift+Return and Enter break")
            << "ab cd" << QStringList{u"^Delete"_s, u"Right"_s, u"+Return"_s, u"Enter"_s}
            << "c\n\nd" << 3;
        QTest::newRow("copy and paste by Ctrl+C and Ctrl+V; Ctrl+Q types nothing")
            << "ab" << QStringList{u"+End"_s, u"^C"_s, u"End"_s, u"^V"_s, u"^Q"_s} << "abab" << 4;
        QTest::newRow("Shift+Delete cuts, Shift+Insert pastes")
            << "ab" << QStringList{u"+Right"_s, u"+Delete"_s, u"End"_s, u"+Insert"_s} << "ba" << 2;
    }
    void editing() {
        QFETCH(QString, text);
        QFETCH(QStringList, script);
        QFETCH(QString, after);
        QFETCH(int, cursor);
        ListBox box;
        box.resize(150, 240);
        box.setPlainText(text);
        box.show();
        play(box, script);
        QCOMPARE(box.toPlainText(), after);
        QCOMPARE(box.cursorPosition(), cursor);
        QCOMPARE(box.lineCount(), after.count(u'\n') + 1);
    }

    void longNameStaysOnOneRowAndReadOnly() {
        // A name wider than the box stays one row: Down goes to the next name, and the
        // box scrolls sideways to the caret instead of wrapping.
        ListBox box;
        box.resize(60, 240);
        box.setPlainText(QString(200, u'w') + u"\nb.com"_s);
        box.show();
        QTest::keyClick(&box, Qt::Key_End);
        QVERIFY(box.horizontalScrollBar()->isVisible());
        QVERIFY(box.horizontalScrollBar()->value() > 0);
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.cursorPosition(), 206);
        QTest::keyClick(&box, Qt::Key_Home);
        QCOMPARE(box.horizontalScrollBar()->value(), 0);
        box.setReadOnly(true);
        QTest::keyClicks(&box, u"x"_s);
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box.toPlainText().size(), 206);
        // A click lands on the line under it.
        box.setReadOnly(false);
        QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(box.cursorPosition(), 0);
    }

    void sidewaysRangeFollowsTheWidestLine() {
        // Typing a name past the edge gives the box room to scroll; taking it back, or
        // undoing it, takes that room away again.
        ListBox box;
        box.resize(100, 120);
        box.setPlainText(QStringLiteral("a.com\nb.com"));
        box.show();
        QScrollBar* bar = box.horizontalScrollBar();
        QCOMPARE(bar->maximum(), 0);
        QTest::keyClick(&box, Qt::Key_End);
        QTest::keyClicks(&box, QString(40, u'w'));
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum()); // the caret stays in view
        QTest::keyClick(&box, Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(bar->maximum(), 0);
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(bar->maximum() > 0);
        box.setPlainText(QStringLiteral("c.com"));
        QCOMPARE(bar->maximum(), 0);
    }

    void verticalScrollBarFollowsTheCaret() {
        // 10,000 names show their length and where the view is.
        QStringList names;
        for (int i = 0; i < 10000; ++i)
            names << QStringLiteral("name%1.com").arg(i);
        ListBox box;
        box.resize(150, 240);
        box.setPlainText(names.join(u'\n'));
        box.show();
        QScrollBar* bar = box.verticalScrollBar();
        QVERIFY(bar->isVisible());
        const int rows = bar->pageStep();
        QVERIFY(rows > 5 && rows < 30);
        QCOMPARE(bar->maximum(), 10000 - rows);
        QCOMPARE(bar->value(), 0);
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(bar->value(), bar->maximum());
        // Dragging the bar shows other names; a click there lands on them.
        bar->setValue(5000);
        QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(box.lines().lineOf(box.cursorPosition()), 5000);
        QTest::keyClick(&box, Qt::Key_PageDown);
        QCOMPARE(box.lines().lineOf(box.cursorPosition()), 5000 + rows);
    }
};

QTEST_MAIN(tst_ListBox)
#include "tst_listbox.moc"
