#include "update/core/downloadrun.h"

#include "update/core/handover.h"
#include "update/core/ziparchive.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QUrl>

#include <utility>

namespace update {

DownloadRun::DownloadRun(const DownloadSettings& settings, QObject* parent)
    : QObject(parent), pump([] { QCoreApplication::processEvents(); }), settings_(settings)
{
    transfer_.onProgress = [this](qint64 received, qint64 total) { emit fileProgress(received, total); };
}

DownloadRun::~DownloadRun() = default;

QString DownloadRun::programFile(const QString& name) const
{
    return joinPath(settings_.programFolder, name);
}

QUrl DownloadRun::sourceOf(const QString& name) const
{
    return QUrl(settings_.updateBase + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(name)));
}

void DownloadRun::cancel()
{
    cancelled_ = true;
    transfer_.abort();
}

Result<void> DownloadRun::run()
{
    if (running_)
        return failure(QStringLiteral("已有一次下载正在进行。"));
    running_ = true;
    cancelled_ = false;
    const UpdateTable table = getUpdateInfor(settings_.programFolder, pump);
    transfer_.setRequestTimeout(settings_.timeoutSeconds);
    transfer_.setDeadline(0);
    const int count = fileCount(table);
    emit tableRead(table, count);

    // A key that does not read fails every file: nothing unsigned gets through.
    const Result<PublicKey> key = readPublicKey(settings_.publicKey.toLatin1());
    QStringList failed;
    QList<bool> replaced(kTableSlots, false);
    for (int slot = kFirstFileSlot; slot <= count + 1; ++slot) {
        emit fileStarted(slot, count);
        if (slot < kTableSlots) {  // slots past 20 name no file
            const QString name = table[slot];
            Result<bool> file = !key    ? Result<bool>(failure(key.error()))
                : !isSafeFileName(name) ? Result<bool>(failure(QStringLiteral("文件名不安全：") + name))
                                        : downloadFile(name, *key);
            if (file)
                replaced[slot] = *file;
            else
                failed << name;
        }
        if (cancelled_)
            break;
        emit fileFinished(slot, count);
    }
    emit downloadsFinished();
    if (!cancelled_)
        unpackArchives(table, count, replaced);
    running_ = false;
    if (cancelled_)
        return failure(QStringLiteral("下载已取消。"));
    // Never hand over an incomplete download: the old program stays as it is.
    if (!failed.isEmpty())
        return failure(QStringLiteral("未能下载或校验：%1").arg(failed.join(QStringLiteral("、"))));
    return writeHandOverFile(settings_.programFolder, settings_.mainExecutable);
}

Result<QByteArray> fetchSignature(TransferClient& transfer, const QUrl& file)
{
    QUrl signature = file;
    signature.setPath(file.path(QUrl::FullyEncoded) + kSignatureSuffix, QUrl::StrictMode);
    const qint64 maximumSize = transfer.maximumSize();
    transfer.setMaximumSize(kMaxSignatureFileSize);
    const auto onProgress = std::exchange(transfer.onProgress, nullptr);  // the bars show the file only
    Result<QByteArray> answer = transfer.fetch(signature);
    transfer.onProgress = onProgress;
    transfer.setMaximumSize(maximumSize);
    return answer;
}

Result<void> checkSigned(TransferClient& transfer, const QUrl& file, const QByteArray& content,
                         const QString& publicKey)
{
    const Result<PublicKey> key = readPublicKey(publicKey.toLatin1());
    if (!key)
        return failure(key.error());
    const Result<QByteArray> signatureText = fetchSignature(transfer, file);
    if (!signatureText)
        return failure(QStringLiteral("没有签名：") + signatureText.error());
    const Result<Signature> signature = readSignature(*signatureText);
    if (!signature)
        return failure(signature.error());
    if (const Result<void> named = checkSignedName(*signature, file.fileName()); !named)
        return named;
    SignatureCheck check(*signature, *key);
    check.add(content);
    return check.finish();
}

Result<bool> DownloadRun::downloadFile(const QString& name, const PublicKey& key)
{
    // The signature comes first: without one the file is not even fetched.
    const Result<QByteArray> signatureText = fetchSignature(transfer_, sourceOf(name));
    if (!signatureText)
        return failure(QStringLiteral("没有 %1 的签名：%2").arg(name, signatureText.error()));
    const Result<Signature> signature = readSignature(*signatureText);
    if (!signature)
        return failure(signature.error());
    if (const Result<void> named = checkSignedName(*signature, name); !named)
        return failure(named.error());
    SignatureCheck check(*signature, key);
    const Result<StoredFile> stored = transfer_.fetchToFile(sourceOf(name), programFile(name), &check);
    if (!stored)
        return failure(stored.error());
    return stored->replaced;
}

void DownloadRun::unpackArchives(const UpdateTable& table, int count, const QList<bool>& replaced)
{
    for (int slot = kFirstFileSlot; slot <= count + 1 && slot < kTableSlots && !cancelled_; ++slot) {
        const QString name = table[slot];
        // Only an archive whose bytes have just passed the signature check is
        // unpacked; one kept from before (an empty answer) is left alone.
        if (!replaced[slot] || !isArchiveName(name))
            continue;
        // The walk's report is dropped on purpose: as the client always has,
        // it unpacks without a word and goes on, entries written before an
        // early end staying. The archive is the vendor's own signed one, so a
        // refused entry or a failed walk is nothing the user could mend from
        // the update window; a damaged archive is deleted all the same.
        extractZip(settings_.programFolder, programFile(name), pump);
        QFile::remove(programFile(name));
    }
}

}  // namespace update
