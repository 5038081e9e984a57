#include "desktop/ListRowLayout.h"

#include <QFontDatabase>
#include <QTest>

using namespace drovane;

// Where the domain list's characters lie. A slip here puts the caret or a click beside
// the character meant, splits a character outside the ASCII range, or leaves the list
// scrolling sideways over a width no line has any more.
class tst_ListRowLayout : public QObject {
    Q_OBJECT
private slots:
    void positionsAndPlacesAgree_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("a name") << QStringLiteral("name000001.com");
        QTest::newRow("accents, a tab and a pair of surrogates")
            << QStringLiteral("b\u00fccher\tx\U0001F600y.de");
    }
    void positionsAndPlacesAgree() {
        QFETCH(QString, line);
        ListLines lines;
        lines.setText(QStringLiteral("before\n") + line + QStringLiteral("\nafter"));
        ListRowLayout layout(lines);
        layout.setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
        const qsizetype start = lines.lineStart(1);
        QCOMPARE(layout.lineWidth(1), layout.widthOf(line));
        for (qsizetype at = start, length = 1; at <= lines.lineEnd(1); at += length) {
            // A click a little right of a character's left edge lands before it.
            QCOMPARE(layout.positionAtX(1, layout.xOf(1, at) + 0.25), at);
            if (at < lines.lineEnd(1))
                layout.advance(at, &length);
        }
        QCOMPARE(layout.positionAtX(1, 1e9), lines.lineEnd(1));
    }

    void widestLineFollowsEditsAboveIt() {
        // Lines put in above the widest line move it down; narrowing it there then
        // takes its width away from the sideways range.
        ListLines lines;
        lines.setText(QStringLiteral("a\nb\nwwwwwwwwww"));
        ListRowLayout layout(lines);
        layout.setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
        layout.measure(2);
        const qreal wide = layout.widest();
        QVERIFY(wide > layout.lineWidth(0));
        lines.replace(1, 1, QStringLiteral("\nc"));
        layout.edited(1, QString(), 2, 0, 0, 1);
        QCOMPARE(layout.widest(), wide);
        const qsizetype last = lines.lineStart(3);
        lines.replace(last, last + 9, QString());
        layout.edited(last, QStringLiteral("wwwwwwwww"), 0, 3, 3, 3);
        QCOMPARE(layout.widest(), 0.0);
    }
};

QTEST_MAIN(tst_ListRowLayout)
#include "tst_listrowlayout.moc"
