#include "testing/Groups.h"

#include "core/model/DomainName.h"
#include "core/model/HandleError.h"
#include "core/run/ListText.h"

#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

// The jobs and groups the slots walk: positions are what the error dialog and the
// request builder rely on.
class TestDomainModel : public QObject {
    Q_OBJECT
private slots:
    // What may stand on a line of the list: both faces refuse or ask about the rest.
    void domainNames_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("problem"); // a part of the reason; empty for a name
        QTest::newRow("plain") << "example.com"
                               << "";
        QTest::newRow("second level, digits, hyphen") << "my-shop2.co.uk"
                                                      << "";
        QTest::newRow("capitals") << "EXAMPLE.ORG"
                                  << "";
        QTest::newRow("ASCII form of an IDN") << "xn--bcher-kva.com"
                                              << "";
        QTest::newRow("blank inside") << "bad name.com"
                                      << "a blank";
        QTest::newRow("trailing blank") << "a.com "
                                        << "a blank";
        QTest::newRow("address") << "https://foo.com/"
                                 << "\":\"";
        QTest::newRow("no dot") << "nodot"
                                << "no dot";
        QTest::newRow("with a date") << "foo.com,2026-12-09"
                                     << "\",\"";
        QTest::newRow("trailing dot") << "foo.com."
                                      << "empty label";
        QTest::newRow("two dots") << "foo..com"
                                  << "empty label";
        QTest::newRow("hyphen at a label's end") << "foo-.com"
                                                 << "hyphen";
        QTest::newRow("an address") << "192.168.1.1"
                                    << "number";
        QTest::newRow("unicode") << QStringLiteral(u"b\u00fccher.com") << "xn--";
        QTest::newRow("NUL") << u"a"_s + QChar(0) + u"b.com"_s << "control";
        QTest::newRow("label of 64") << QString(64, u'a') + u".com"_s << "63";
        QTest::newRow("254 in all")
            << QString(250, u'a').replace(60, 1, u"."_s) + u".com"_s << "253";
    }
    void domainNames() {
        QFETCH(QString, line);
        QFETCH(QString, problem);
        const auto found = domainNameProblem(line);
        QVERIFY2(problem.isEmpty() != found.has_value(), qPrintable(found.value_or(u"none"_s)));
        if (found)
            QVERIFY2(found->contains(problem), qPrintable(*found));
    }

    void badListLinesCountsAndNamesTheFirst() {
        const BadLines bad = badListLines(u"a.com\r\nbad one\r\nb.net\r\nx\r\ny\r\nz"_s, 2);
        QCOMPARE(bad.count, 4);
        QCOMPARE(bad.first.size(), 2);
        QCOMPARE(bad.first[0].describe(), u"line 2, \"bad one\": it holds a blank"_s);
        QCOMPARE(bad.first[1].line, 4);
        QCOMPARE(badListLines(u"a.com\r\nb.net"_s, 5).count, 0);
    }

    void freshGroupIsEmpty() {
        const DomainGroup g;
        QCOMPARE(g.size(), 0);
        QCOMPARE(g.cursor, 0);
    }

    void removeKeepsTheCursor() {
        DomainGroup g = groupOf({u"A"_s, u"B"_s, u"C"_s});
        QCOMPARE(namesOf(g), QStringList({u"A"_s, u"B"_s, u"C"_s}));
        g.cursor = 3;
        g.remove(2);
        QCOMPARE(namesOf(g), QStringList({u"A"_s, u"C"_s}));
        QCOMPARE(g.cursor, 3);
    }

    void outsideThePositionsNothingHappens_data() {
        QTest::addColumn<int>("position");
        QTest::newRow("0") << 0;
        QTest::newRow("Count + 1") << 4;
        QTest::newRow("negative") << -1;
    }
    void outsideThePositionsNothingHappens() {
        QFETCH(int, position);
        DomainGroup g = groupOf({u"A"_s, u"B"_s, u"C"_s});
        g.cursor = 2;
        const int errors = handledErrorCount();
        QVERIFY(!g.at(position));
        g.remove(position);
        QCOMPARE(namesOf(g), QStringList({u"A"_s, u"B"_s, u"C"_s}));
        QCOMPARE(g.cursor, 2);
        QCOMPARE(handledErrorCount(), errors + 2);
    }

    // Names dealt into a group are packed; a job exists while someone holds it. What a
    // holder changes must outlive the holder, and identity must hold while it is held.
    void packedJobsKeepWhatTheirHoldersDid() {
        auto g = std::make_shared<DomainGroup>();
        for (const char* name : {"a.com", "b.com", "c.com"})
            g->addName(QString::fromLatin1(name));
        g->addName(QStringLiteral("\u0434\u043e\u043c\u0435\u043d.\u0440\u0444"));
        QCOMPARE(namesOf(*g),
                 (QStringList{u"a.com"_s, u"b.com"_s, u"c.com"_s,
                              QStringLiteral("\u0434\u043e\u043c\u0435\u043d.\u0440\u0444")}));
        {
            const DomainJobPtr b = g->at(2);
            QVERIFY(g->at(2) == b); // the same object while held
            b->countTry();
            b->buyNext = true;
            QCOMPARE(g->indexOf(b), 2);
        }
        g->at(3)->tries = 7; // a handle let go at once
        g->at(4)->domain = QStringLiteral("renamed.com");
        const DomainGroup copy = *g; // shares the jobs, as a copy of a list of them did
        QCOMPARE(copy.at(2)->tries, qint16(1));
        QVERIFY(copy.at(2)->buyNext);
        QCOMPARE(copy.at(3)->tries, qint16(7));
        QCOMPARE(copy.domainAt(4), QStringLiteral("renamed.com"));
        QCOMPARE(copy.at(1)->tries, qint16(0));

        // A job held across its removal: still usable, no longer found, the rest move up.
        const DomainJobPtr a = g->at(1);
        g->remove(1);
        QCOMPARE(g->indexOf(a), 0);
        QCOMPARE(g->at(1)->domain, QStringLiteral("b.com"));
        a->countTry();
        // ... and across the end of its group.
        const DomainJobPtr c = g->at(2);
        g.reset();
        c->countTry();
        QCOMPARE(c->tries, qint16(8));
    }

    void triesStopAt32767() {
        DomainJob j;
        j.tries = 32766;
        j.countTry();
        j.countTry();
        QCOMPARE(j.tries, qint16(32767));
    }

    void dealing_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("checkMethod");
        QTest::addColumn<QStringList>("slot1");
        QTest::addColumn<QStringList>("slot2");
        const QString five = QStringLiteral("1.com\r\n2.com\r\n3.com\r\n4.com\r\n5.com");
        const QStringList odd = {u"1.com"_s, u"3.com"_s, u"5.com"_s};
        const QStringList even = {u"2.com"_s, u"4.com"_s};
        QTest::newRow("five, check") << five << true << odd << even;
        QTest::newRow("five, PURCHASE") << five << false << odd << even;
        QTest::newRow("one, check")
            << u"1.com"_s << true << QStringList{u"1.com"_s} << QStringList{};
        // Every CR is dropped from a line; an empty line is a job as well.
        QTest::newRow("CR inside a line, empty line")
            << u"a\r.com\r\n\r\nc.com"_s << true << QStringList{u"a.com"_s, u"c.com"_s}
            << QStringList{u""_s};
    }
    void dealing() {
        QFETCH(QString, list);
        QFETCH(bool, checkMethod);
        QFETCH(QStringList, slot1);
        QFETCH(QStringList, slot2);
        const DealtGroups g = dealDomains(list, checkMethod);
        QCOMPARE(namesOf(*g.slot1), slot1);
        QCOMPARE(namesOf(*g.slot2), slot2);
        // A check run starts at the first name; a PURCHASE run before it.
        QCOMPARE(g.slot1->cursor, checkMethod ? 1 : 0);
        QCOMPARE(g.slot2->cursor, checkMethod && !slot2.isEmpty() ? 1 : 0);
        for (const auto& group : {g.slot1, g.slot2})
            for (int k = 1; k <= group->size(); ++k) {
                QCOMPARE(group->at(k)->tries, qint16(0));
                QVERIFY(!group->at(k)->buyNext);
            }
    }
};

QTEST_GUILESS_MAIN(TestDomainModel)
#include "tst_domainmodel.moc"
