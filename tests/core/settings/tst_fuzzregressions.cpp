#include "Properties.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>

namespace {

using Property = std::function<QString(QByteArrayView)>;

const QList<QPair<QString, Property>>& targets() {
    static const QList<QPair<QString, Property>> all = {
        {QStringLiteral("settings_dat"), drovane::fuzz::settingsDatProperties},
        {QStringLiteral("domains_dat"), drovane::fuzz::domainsDatProperties},
        {QStringLiteral("reply"), drovane::fuzz::replyProperties},
        {QStringLiteral("request"), drovane::fuzz::requestProperties},
    };
    return all;
}

// Inputs that once broke a property, and the inputs the targets start from.
const QStringList kInputFolders = {QStringLiteral(DROVANE_SOURCE_DIR "/tests/fuzz_regressions"),
                                   QStringLiteral(DROVANE_SOURCE_DIR "/fuzz/corpus")};

} // namespace

// Every kept fuzz input still holds every property of its target, in every test build
// (the sanitizer build included), without clang or libFuzzer.
class TestFuzzRegressions : public QObject {
    Q_OBJECT
private slots:
    void keptInputsHoldTheirProperties_data() {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("path");
        for (const QString& root : kInputFolders) {
            for (int t = 0; t < targets().size(); ++t) {
                const QDir folder(root + u'/' + targets()[t].first);
                const QStringList files = folder.entryList(QDir::Files);
                QVERIFY2(!files.isEmpty(),
                         qPrintable(folder.path() + QStringLiteral(" holds no input")));
                for (const QString& file : files)
                    QTest::addRow("%s/%s/%s", qPrintable(QFileInfo(root).fileName()),
                                  qPrintable(targets()[t].first), qPrintable(file))
                        << t << folder.filePath(file);
            }
        }
    }
    void keptInputsHoldTheirProperties() {
        QFETCH(int, target);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString failed = targets()[target].second(file.readAll());
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
