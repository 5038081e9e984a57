#include "core/platform/OwnedFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace drovane;

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
        const QString path = dir.filePath("enomlog.txt");
        const QString target = dir.filePath("target");
        const QByteArray native = QFile::encodeName(path);
        auto write = [](const QString& p, const QByteArray& bytes) {
            QFile f(p);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        if (kind == "file" || kind == "foreign")
            QVERIFY(write(path, "old\n"));
        if (kind == "foreign" && ::chown(native.constData(), 65534, 65534) != 0)
            QSKIP("only root can give a file away");
        if (kind == "link")
            QVERIFY(write(target, "old\n"));
        if (kind == "link" || kind == "dangling")
            QVERIFY(QFile::link(target, path));
        if (kind == "fifo")
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        if (kind == "folder")
            QVERIFY(QDir().mkdir(path));

        QFile file;
        QString why;
        const bool opened = openOwnedForAppend(file, path, &why);
        QCOMPARE(opened, reason.isEmpty());
        if (!opened) {
            QVERIFY2(why.contains(reason), qPrintable(why));
            QCOMPARE(QFile::exists(target), kind == "link"); // nothing made at a link's end
            if (kind == "link") {
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
        QCOMPARE(back.readAll(), kind == "file" ? QByteArray("old\nnew\n") : QByteArray("new\n"));
        struct stat st {};
        QCOMPARE(::stat(native.constData(), &st), 0);
        if (kind == "none")
            QCOMPARE(int(st.st_mode & 0777), 0600);
    }
};

QTEST_GUILESS_MAIN(TestOwnedFiles)
#include "tst_ownedfiles.moc"
