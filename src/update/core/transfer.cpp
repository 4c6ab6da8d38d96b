#include "update/core/transfer.h"

#include "platform/core/gbk.h"
#include "update/core/partfile.h"
#include "update/core/signature.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace update {

TransferClient::TransferClient() = default;

TransferClient::~TransferClient() { abort(); }

void TransferClient::abort()
{
    if (running_)
        running_->abort();
}

Result<qint64> TransferClient::transfer(const QUrl& url, const Sink& sink)
{
    qint64 received = 0;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (timeoutSeconds_ > 0)
        request.setTransferTimeout(timeoutSeconds_ * 1000);

    QNetworkReply* reply = manager_.get(request);
    running_ = reply;
    bool sinkFailed = false;
    bool tooLarge = false;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    auto take = [&] {
        if (!reply->isOpen() || sinkFailed || tooLarge)
            return;
        qint64 count = 0;
        while ((count = reply->read(buffer.data(), buffer.size())) > 0) {
            received += count;
            if (maximumSize_ > 0 && received > maximumSize_) {
                tooLarge = true;
                reply->abort();
                return;
            }
            if (!sink(buffer.constData(), count)) {
                sinkFailed = true;
                reply->abort();
                return;
            }
        }
        if (onProgress)
            onProgress(received, reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    };
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    if (deadlineSeconds_ > 0)
        deadline.start(deadlineSeconds_ * 1000);
    if (!reply->isFinished())
        loop.exec();
    take();
    running_ = nullptr;

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 declaredLength = length.isValid() ? length.toLongLong() : -1;
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    reply->deleteLater();
    if (tooLarge)
        return failure(QStringLiteral("the response is longer than %1 bytes").arg(maximumSize_));
    if (sinkFailed)
        return failure(QStringLiteral("the received data could not be stored"));
    if (error != QNetworkReply::NoError)
        return failure(errorText);
    if (status < 200 || status > 299)
        return failure(QStringLiteral("HTTP status %1").arg(status));
    if (declaredLength >= 0 && received != declaredLength)
        return failure(QStringLiteral("%1 of %2 bytes arrived").arg(received).arg(declaredLength));
    if (declaredLength < 0 && received == 0) {
        // Qt reports a chunked answer cut before its first chunk as a success;
        // with neither a length nor any data there is nothing to trust.
        return failure(QStringLiteral("the connection ended without data"));
    }
    return received;
}

Result<QByteArray> TransferClient::fetch(const QUrl& url)
{
    QByteArray body;
    const Result<qint64> received = transfer(url, [&body](const char* data, qint64 size) {
        body.append(data, size);
        return true;
    });
    if (!received)
        return failure(received.error());
    return body;
}

QString TransferClient::fetchText(const QUrl& url)
{
    const Result<QByteArray> body = fetch(url);
    return body ? gbk::decode(*body) : QString();
}

Result<StoredFile> TransferClient::fetchToFile(const QUrl& url, const QString& path, SignatureCheck* check)
{
    PartFile file(path);
    if (const Result<void> opened = file.open(); !opened)
        return failure(opened.error());
    const Result<qint64> received = transfer(url, [&](const char* data, qint64 size) {
        if (check)
            check->add(data, size);
        return file.write(data, size);
    });
    if (!received)
        return failure(received.error());  // the part file is discarded
    if (check) {
        const Result<void> vouched = check->finish();
        if (!vouched)
            return failure(vouched.error());
    }
    if (*received == 0 && QFile::exists(path))
        return StoredFile{0, false};
    if (const Result<void> committed = file.commit(); !committed)
        return failure(committed.error());
    return StoredFile{*received, true};
}

}  // namespace update
