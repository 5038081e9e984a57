#include "desktop/ListBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTest>

using namespace drovane;

namespace {
// "text:abc" types, "Key" presses, "+Key" with Shift, "^Key" with Ctrl, "^+Key" with both.
void play(ListBox& box, const QStringList& script) {
    static const QHash<QString, Qt::Key> keys{{"Left", Qt::Key_Left},
                                              {"Right", Qt::Key_Right},
                                              {"Up", Qt::Key_Up},
                                              {"Down", Qt::Key_Down},
                                              {"Home", Qt::Key_Home},
                                              {"End", Qt::Key_End},
                                              {"Backspace", Qt::Key_Backspace},
                                              {"Delete", Qt::Key_Delete},
                                              {"Return", Qt::Key_Return},
                                              {"Enter", Qt::Key_Enter},
                                              {"PageUp", Qt::Key_PageUp},
                                              {"PageDown", Qt::Key_PageDown},
                                              {"Insert", Qt::Key_Insert},
                                              {"C", Qt::Key_C},
                                              {"Q", Qt::Key_Q},
                                              {"A", Qt::Key_A},
                                              {"Z", Qt::Key_Z},
                                              {"Y", Qt::Key_Y},
                                              {"X", Qt::Key_X},
                                              {"V", Qt::Key_V}};
    for (const QString& step : script) {
        if (step.startsWith("text:")) {
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
            << "a\r\nb" << QStringList{"^End", "text:c"} << "a\nbc" << 4;
        QTest::newRow("Backspace at a line start joins")
            << "a\nb" << QStringList{"Down", "Home", "Backspace"} << "ab" << 1;
        QTest::newRow("Delete at a line end joins")
            << "ab\ncd" << QStringList{"End", "Delete"} << "abcd" << 2;
        QTest::newRow("selection replaced by typing")
            << "one\ntwo" << QStringList{"Right", "+Down", "text:X"} << "oXwo" << 2;
        QTest::newRow("Up and Down keep the column")
            << "abcd\nx\nabcd" << QStringList{"End", "Down", "Down", "text:!"} << "abcd\nx\nabcd!"
            << 12;
        QTest::newRow("select all, cut, paste back")
            << "a\nb" << QStringList{"^A", "^X", "text:z", "^V"} << "za\nb" << 4;
        QTest::newRow("undo a line break and a deletion")
            << "ab" << QStringList{"Right", "Return", "Delete", "^Z", "^Z"} << "ab" << 1;
        QTest::newRow("Ctrl+Backspace takes the word")
            << "x a.com" << QStringList{"End", "^Backspace"} << "x " << 2;
        QTest::newRow("redo with Ctrl+Shift+Z and Ctrl+Y")
            << "" << QStringList{"text:ab", "Return", "^Z", "^Z", "^+Z", "^Y"} << "ab\n"
            << 3;
        QTest::newRow("a new edit drops what could be redone")
            << "" << QStringList{"text:a", "^Z", "text:b", "^Y"} << "b" << 1;
        QTest::newRow("redo a paste of lines")
            << "one\ntwo" << QStringList{"^A", "^X", "text:z", "^V", "^Z", "^+Z"} << "zone\ntwo"
            << 8;
        // Every key the box acts on, with the modifiers that change what it does.
        QTest::newRow("Left and Right end a selection at its ends")
            << "abcd"
            << QStringList{"Right", "+Right", "Left", "text:X", "+Left", "Right", "text:Y"}
            << "aXYbcd" << 3;
        QTest::newRow("Ctrl+Right and Ctrl+Left go by words")
            << "ab cd ef" << QStringList{"^Right", "text:X", "^End", "^Left", "text:Y"}
            << "ab Xcd Yef" << 8;
        QTest::newRow("Shift+Home, Ctrl+Home and Shift+End select")
            << "ab\ncd" << QStringList{"Down", "End", "+Home", "text:X", "^Home", "+End", "Delete"}
            << "\nX" << 0;
        QTest::newRow("PageDown and PageUp keep the column")
            << QStringList(40, "abc").join('\n')
            << QStringList{"Right", "PageDown", "PageUp", "text:X"}
            << "aXbc\n" + QStringList(39, "abc").join('\n') << 2;
        QTest::newRow("Ctrl+Delete takes the word, Shift+Return and Enter break")
            << "ab cd" << QStringList{"^Delete", "Right", "+Return", "Enter"} << "c\n\nd" << 3;
        QTest::newRow("copy and paste by Ctrl+C and Ctrl+V; Ctrl+Q types nothing")
            << "ab" << QStringList{"+End", "^C", "End", "^V", "^Q"} << "abab" << 4;
        QTest::newRow("Shift+Delete cuts, Shift+Insert pastes")
            << "ab" << QStringList{"+Right", "+Delete", "End", "+Insert"} << "ba" << 2;
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
        box.setPlainText(QString(200, u'w') + "\nb.com");
        box.show();
        QTest::keyClick(&box, Qt::Key_End);
        QVERIFY(box.horizontalScrollBar()->isVisible());
        QVERIFY(box.horizontalScrollBar()->value() > 0);
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.cursorPosition(), 206);
        QTest::keyClick(&box, Qt::Key_Home);
        QCOMPARE(box.horizontalScrollBar()->value(), 0);
        box.setReadOnly(true);
        QTest::keyClicks(&box, "x");
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
