#include "core/run/ListLines.h"
#include "core/run/ListText.h"

#include <QTest>

using namespace drovane;
using namespace Qt::StringLiterals;

// The list text between the box and the dealing: a stray line end must neither
// lose a name nor make an empty one.
class TestListText : public QObject {
    Q_OBJECT
private slots:
    void lineEnds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("lone LF") << u"a\nb\n"_s << u"a\r\nb\r\n"_s;
        QTest::newRow("lone CR") << u"a\rb"_s << u"a\r\nb"_s;
        QTest::newRow("LF CR is two") << u"a\n\rb"_s << u"a\r\n\r\nb"_s;
        QTest::newRow("CR CR LF is two") << u"a\r\r\nb"_s << u"a\r\n\r\nb"_s;
        // Shift+Enter in a text box puts in a line separator.
        QTest::newRow("separators")
            << QString::fromUtf16(u"a\u2028b\u2029c\u0085d") << u"a\r\nb\r\nc\r\nd"_s;
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
            << "a.com\nb.com" << QStringList{u"5,5,x"_s, u"6,6,\r\n"_s, u"6,7,"_s, u"0,0,\n\n"_s};
        QTest::newRow("across lines")
            << "a\nbb\nccc\nd" << QStringList{u"1,8,"_s, u"0,2,p\u2028q\rr"_s, u"3,3,\u0085"_s};
        QTest::newRow("everything") << "a\nb\n"
                                    << QStringList{u"0,4,"_s, u"0,0,x\ny"_s, u"3,3,\n"_s};
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
            << u"\r\n\r\na.com\r\nb.com\r\n\r\n"_s << u"a.com\r\nb.com"_s;
        QTest::newRow("runs of blank lines")
            << u"a\r\n\r\nb\r\n\r\n\r\nc\r\n\r\n\r\n\r\nd"_s << u"a\r\nb\r\nc\r\nd"_s;
        QTest::newRow("a line of blanks stays") << u"a\r\n \r\nb"_s << u"a\r\n \r\nb"_s;
        QTest::newRow("only line ends") << u"\r\n\r\n\r\n"_s << QString();
        QTest::newRow("CR and LF apart are no pair") << u"a\r\rb\n\nc"_s << u"a\r\rb\n\nc"_s;
    }
    void cleanUp() {
        QFETCH(QString, text);
        QFETCH(QString, cleaned);
        QCOMPARE(cleanList(text), cleaned);
    }
};

QTEST_GUILESS_MAIN(TestListText)
#include "tst_listtext.moc"
