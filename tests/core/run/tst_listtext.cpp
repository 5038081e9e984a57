#include "core/run/ListLines.h"
#include "core/run/ListText.h"

#include <QTest>

using namespace drovane;

// The list text between the box and the dealing: a stray line end must neither
// lose a name nor make an empty one.
class TestListText : public QObject {
    Q_OBJECT
private slots:
    void lineEnds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("lone LF") << QString("a\nb\n") << QString("a\r\nb\r\n");
        QTest::newRow("lone CR") << QString("a\rb") << QString("a\r\nb");
        QTest::newRow("LF CR is two") << QString("a\n\rb") << QString("a\r\n\r\nb");
        QTest::newRow("CR CR LF is two") << QString("a\r\r\nb") << QString("a\r\n\r\nb");
        // Shift+Enter in a text box puts in a line separator.
        QTest::newRow("separators")
            << QString::fromUtf16(u"a\u2028b\u2029c\u0085d") << QString("a\r\nb\r\nc\r\nd");
    }
    void lineEnds() {
        QFETCH(QString, text);
        QFETCH(QString, normalized);
        QCOMPARE(normalizeLineEnds(text), normalized);
    }

    // Edits keep the line starts right: each step is checked against the same text
    // indexed afresh. Step: "from,to,text" on the text left by the previous step.
    void editedLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("type, break, join")
            << "a.com\nb.com" << QStringList{"5,5,x", "6,6,\r\n", "6,7,", "0,0,\n\n"};
        QTest::newRow("across lines")
            << "a\nbb\nccc\nd" << QStringList{"1,8,", "0,2,p\u2028q\rr", "3,3,\u0085"};
        QTest::newRow("everything") << "a\nb\n" << QStringList{"0,4,", "0,0,x\ny", "3,3,\n"};
    }
    void editedLines() {
        QFETCH(QString, text);
        QFETCH(QStringList, steps);
        ListLines lines;
        lines.setText(text);
        for (const QString& step : steps) {
            const QStringList parts = step.split(u',');
            lines.replace(parts[0].toInt(), parts[1].toInt(), parts[2]);
            ListLines fresh;
            fresh.setText(lines.text());
            QCOMPARE(lines.lineCount(), fresh.lineCount());
            for (int k = 0; k < fresh.lineCount(); ++k) {
                QCOMPARE(lines.line(k), fresh.line(k));
                QCOMPARE(lines.lineOf(fresh.lineEnd(k)), k);
            }
        }
        QVERIFY(!lines.text().contains(u'\r') && !lines.text().contains(QChar::LineSeparator));
        QCOMPARE(lines.crlfText(),
                 QString(lines.text()).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
    }

    void cleanUp_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("CR LF at both ends")
            << QString("\r\n\r\na.com\r\nb.com\r\n\r\n") << QString("a.com\r\nb.com");
        QTest::newRow("runs of blank lines")
            << QString("a\r\n\r\nb\r\n\r\n\r\nc\r\n\r\n\r\n\r\nd") << QString("a\r\nb\r\nc\r\nd");
        QTest::newRow("a line of blanks stays") << QString("a\r\n \r\nb") << QString("a\r\n \r\nb");
        QTest::newRow("only line ends") << QString("\r\n\r\n\r\n") << QString();
        QTest::newRow("CR and LF apart are no pair")
            << QString("a\r\rb\n\nc") << QString("a\r\rb\n\nc");
    }
    void cleanUp() {
        QFETCH(QString, text);
        QFETCH(QString, cleaned);
        QCOMPARE(cleanList(text), cleaned);
    }
};

QTEST_GUILESS_MAIN(TestListText)
#include "tst_listtext.moc"
