// Update client speed against the usual tools on the same data, in one run:
//  - unpacking a 200 MB archive of many files: extractZip vs `unzip` (target: at most 1.2x its time)
//  - downloading 200 MB from a loopback server: TransferClient vs `curl` (target: at least 0.8x its throughput)
//  - the same download with its signature checked as it arrives, vs `curl` then `minisign -V`
//    (target: at least 0.8x their throughput)
// Data is generated in a temporary folder at run time and removed afterwards.

#include "support/fixtureserver.h"
#include "support/testdata.h"
#include "update/core/signature.h"
#include "update/core/transfer.h"
#include "update/core/ziparchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

constexpr int kFiles = 2000;
constexpr int kFileSize = 100 * 1024;  // 2000 x 100 KiB = 200 MiB
constexpr int kRounds = 3;

// Half random bytes, half text: an archive that compresses the way program files do.
QByteArray fileContent(int index)
{
    QByteArray bytes(kFileSize, Qt::Uninitialized);
    QRandomGenerator random(quint32(index + 1));
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), kFileSize / 8);
    const QByteArray line = "Trovalis update payload line " + QByteArray::number(index) + "\n";
    for (int at = kFileSize / 2; at < kFileSize; ++at)
        bytes[at] = line.at(at % line.size());
    return bytes;
}

bool run(const QString& program, const QStringList& args, const QString& folder = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, args);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

double bestSeconds(const std::function<bool()>& once, const std::function<void()>& reset)
{
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        reset();
        QElapsedTimer clock;
        clock.start();
        if (!once())
            return -1;
        best = std::min(best, clock.nsecsElapsed() / 1e9);
    }
    return best;
}

void report(const char* what, double ours, double theirs, const char* peer, bool timeRatio, double target)
{
    const double ratio =
        timeRatio ? ours / theirs : theirs / ours;  // both as "our time / their time" or throughput share
    std::printf("%-10s ours %.3f s, %s %.3f s, %s %.2f (target %s %.2f) %s\n", what, ours, peer, theirs,
                timeRatio ? "time ratio" : "throughput ratio", ratio, timeRatio ? "<=" : ">=", target,
                (timeRatio ? ratio <= target : ratio >= target) ? "MET" : "MISSED");
}

void benchExtraction(const QString& work)
{
    const QString source = work + "/payload";
    QDir().mkpath(source);
    for (int i = 0; i < kFiles; ++i) {
        const QString folder = source + QStringLiteral("/dir%1").arg(i / 100);
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/file%1.dat").arg(i));
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(fileContent(i));
    }
    const QString archive = work + "/payload.zip";
    if (!run("zip", {"-q", "-r", archive, "payload"}, work)) {
        std::printf("extract: zip is not available\n");
        return;
    }
    std::printf("archive: %d files, %.1f MB uncompressed, %.1f MB compressed\n", kFiles,
                double(kFiles) * kFileSize / 1e6, QFileInfo(archive).size() / 1e6);
    const QString outUnzip = work + "/out-unzip", outOurs = work + "/out-ours";
    const double theirs = bestSeconds(
        [&] {
            return run("unzip", {"-q", "-o", archive, "-d", outUnzip});
        },
        [&] { QDir(outUnzip).removeRecursively(); });
    const double ours = bestSeconds([&] { return update::extractZip(outOurs, archive).complete; },
                                    [&] { QDir(outOurs).removeRecursively(); });
    if (theirs < 0 || ours < 0) {
        std::printf("extract: a run failed\n");
        return;
    }
    report("extract", ours, theirs, "unzip", true, 1.2);
    QDir(source).removeRecursively();
    QDir(outUnzip).removeRecursively();
    QDir(outOurs).removeRecursively();
    QFile::remove(archive);
}

// The client hashes the file as it arrives and checks the signature at the end;
// the tools' way is to download, then read the file again to check it.
void benchSignedDownload(const QString& work, FixtureServer& server, const QString& url,
                         const QByteArray& body)
{
    const QString scripts = testdata::sourceDir() + "/scripts";
    const QString signed_ = work + "/Temp.png";
    testdata::writeFile(signed_, body);
    if (!run("minisign", {"-S", "-s", scripts + "/demo-update-key.DO-NOT-USE.key", "-m", signed_})) {
        std::printf("signed download: minisign is not available\n");
        return;
    }
    const QByteArray signatureText = testdata::readFile(signed_ + ".minisig");
    server.serve("/trvs/Temp.png.minisig", signatureText, "application/octet-stream");
    const QByteArray keyText = testdata::readFile(scripts + "/demo-update-key.DO-NOT-USE.pub");
    const update::PublicKey key = *update::readPublicKey(keyText);
    const update::Signature signature = *update::readSignature(signatureText);
    const QString curlFile = work + "/curl.bin", ourFile = work + "/ours.bin";
    const double theirs = bestSeconds(
        [&] {
            return run("curl", {"-s", "-f", "-o", curlFile, url})
                && run("minisign",
                       {"-V", "-q", "-p", scripts + "/demo-update-key.DO-NOT-USE.pub", "-m", curlFile, "-x",
                        signed_ + ".minisig"});
        },
        [&] { QFile::remove(curlFile); });
    update::TransferClient client;
    client.setRequestTimeout(60);
    const double ours = bestSeconds(
        [&] {
            update::SignatureCheck check(signature, key);
            return client.fetchToFile(QUrl(url), ourFile, &check).ok();
        },
        [&] { QFile::remove(ourFile); });
    if (theirs < 0 || ours < 0) {
        std::printf("signed download: a run failed\n");
        return;
    }
    std::printf("signed download: ours %.0f MB/s, curl + minisign -V %.0f MB/s\n", body.size() / 1e6 / ours,
                body.size() / 1e6 / theirs);
    report("signed", ours, theirs, "curl + minisign -V", false, 0.8);
    QFile::remove(curlFile);
    QFile::remove(ourFile);
    QFile::remove(signed_);
}

void benchDownload(const QString& work)
{
    FixtureServer server;
    QByteArray body;
    body.reserve(qsizetype(kFiles) * kFileSize);
    for (int i = 0; i < kFiles; ++i)
        body += fileContent(i);
    server.serve("/trvs/Temp.png", body, "application/octet-stream");
    const QString url = server.url("/trvs/Temp.png").toString();
    const QString curlFile = work + "/curl.bin", ourFile = work + "/ours.bin";
    const double theirs = bestSeconds(
        [&] {
            return run("curl", {"-s", "-f", "-o", curlFile, url});
        },
        [&] { QFile::remove(curlFile); });
    update::TransferClient client;
    client.setRequestTimeout(60);
    const double ours = bestSeconds([&] { return client.fetchToFile(QUrl(url), ourFile).ok(); },
                                    [&] { QFile::remove(ourFile); });
    if (theirs < 0 || ours < 0) {
        std::printf("download: a run failed\n");
        return;
    }
    std::printf("download: %.1f MB; ours %.0f MB/s, curl %.0f MB/s\n", body.size() / 1e6,
                body.size() / 1e6 / ours, body.size() / 1e6 / theirs);
    report("download", ours, theirs, "curl", false, 0.8);
    QFile::remove(curlFile);
    QFile::remove(ourFile);
    benchSignedDownload(work, server, url, body);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work(QDir::tempPath() + "/trovalis-bench-update-XXXXXX");
    if (!work.isValid())
        return 1;
    std::printf("best of %d rounds each\n", kRounds);
    benchExtraction(work.path());
    benchDownload(work.path());
    return 0;
}
