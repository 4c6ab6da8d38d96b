// Replays the kept fuzz findings (fuzz/regressions/<target>/) and the seeds of
// one fuzz target through that target's own checks, built with the normal
// compiler: a fault once found stays found if it comes back.
#include "support/testdata.h"

#include <QDir>
#include <QTest>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

class FuzzReplay : public QObject {
    Q_OBJECT
private slots:
    void replay_data()
    {
        QTest::addColumn<QString>("path");
        const QString fuzzDir = testdata::sourceDir() + QStringLiteral("/fuzz/");
        int files = 0;
        for (const char* kind : {"regressions/", "seeds/"}) {
            const QDir dir(fuzzDir + QLatin1String(kind) + QStringLiteral(FUZZ_TARGET));
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
                QTest::newRow(qPrintable(QLatin1String(kind) + name)) << dir.filePath(name);
                ++files;
            }
        }
        if (files == 0)
            QTest::newRow("empty input") << QString();
    }

    void replay()
    {
        QFETCH(QString, path);
        const QByteArray bytes = path.isEmpty() ? QByteArray() : testdata::readFile(path);
        // The target aborts with a message when one of its properties fails.
        QCOMPARE(
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())),
            0);
    }
};

QTEST_GUILESS_MAIN(FuzzReplay)
#include "fuzzreplay.moc"
