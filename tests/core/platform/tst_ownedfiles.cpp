#include "core/platform/OwnedFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace drovane;
using namespace Qt::StringLiterals;

// The log and the orders record are appended to through this open: it must never write
// through a link, block on a FIFO, or add lines to another user's file.
class TestOwnedFiles : public QObject {
    Q_OBJECT
private slots:
    void appendOnlyToOwnRegularFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // empty: the line is appended
        QTest::newRow("new file") << "none"
                                  << "";
        QTest::newRow("own file") << "file"
                                  << "";
        QTest::newRow("link to a file") << "link"
                                        << "symbolic link";
        QTest::newRow("dangling link") << "dangling"
                                       << "symbolic link";
        QTest::newRow("FIFO") << "fifo"
                              << "not a regular file";
        QTest::newRow("folder") << "folder"
                                << "not a regular file";
        QTest::newRow("another user's file") << "foreign"
                                             << "another user";
    }
    void appendOnlyToOwnRegularFile() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"enomlog.txt"_s);
        const QString target = dir.filePath(u"target"_s);
        const QByteArray native = QFile::encodeName(path);
        auto write = [](const QString& p, const QByteArray& bytes) {
            QFile f(p);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        if (kind == u"file"_s || kind == u"foreign"_s)
            QVERIFY(write(path, "old\n"));
        if (kind == u"foreign"_s && ::chown(native.constData(), 65534, 65534) != 0)
            QSKIP("only root can give a file away");
        if (kind == u"link"_s)
            QVERIFY(write(target, "old\n"));
        if (kind == u"link"_s || kind == u"dangling"_s)
            QVERIFY(QFile::link(target, path));
        if (kind == u"fifo"_s)
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        if (kind == u"folder"_s)
            QVERIFY(QDir().mkdir(path));

        QFile file;
        QString why;
        const bool opened = openOwnedForAppend(file, path, &why);
        QCOMPARE(opened, reason.isEmpty());
        if (!opened) {
            QVERIFY2(why.contains(reason), qPrintable(why));
            QCOMPARE(QFile::exists(target), kind == u"link"_s); // nothing made at a link's end
            if (kind == u"link"_s) {
                QFile t(target);
                QVERIFY(t.open(QIODevice::ReadOnly));
                QCOMPARE(t.readAll(), QByteArray("old\n"));
            }
            return;
        }
        QVERIFY(file.write("new\n") == 4 && file.flush());
        file.close();
        QFile back(path);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(),
                 kind == u"file"_s ? QByteArray("old\nnew\n") : QByteArray("new\n"));
        struct stat st {};
        QCOMPARE(::stat(native.constData(), &st), 0);
        if (kind == u"none"_s)
            QCOMPARE(int(st.st_mode & 0777), 0600);
    }
};

QTEST_GUILESS_MAIN(TestOwnedFiles)
#include "tst_ownedfiles.moc"
