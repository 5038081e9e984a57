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
    }
    void lineEnds() {
        QFETCH(QString, text);
        QFETCH(QString, normalized);
        QCOMPARE(normalizeLineEnds(text), normalized);
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
