#include "update/core/transfer.h"

#include "platform/core/gbk.h"
#include "update/core/partfile.h"

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

FetchResult TransferClient::transfer(const QUrl& url, const Sink& sink)
{
    FetchResult result;
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
            result.received += count;
            if (maximumSize_ > 0 && result.received > maximumSize_) {
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
            onProgress(result.received, reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
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

    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    result.declaredLength = length.isValid() ? length.toLongLong() : -1;
    if (tooLarge)
        result.error = QStringLiteral("the response is longer than %1 bytes").arg(maximumSize_);
    else if (sinkFailed)
        result.error = QStringLiteral("the received data could not be stored");
    else if (reply->error() != QNetworkReply::NoError)
        result.error = reply->errorString();
    else if (result.status < 200 || result.status > 299)
        result.error = QStringLiteral("HTTP status %1").arg(result.status);
    else if (result.declaredLength >= 0 && result.received != result.declaredLength)
        result.error =
            QStringLiteral("%1 of %2 bytes arrived").arg(result.received).arg(result.declaredLength);
    else if (result.declaredLength < 0 && result.received == 0)
        // Qt reports a chunked answer cut before its first chunk as a success;
        // with neither a length nor any data there is nothing to trust.
        result.error = QStringLiteral("the connection ended without data");
    else
        result.complete = true;
    reply->deleteLater();
    return result;
}

FetchResult TransferClient::fetch(const QUrl& url)
{
    QByteArray body;
    FetchResult result = transfer(url, [&body](const char* data, qint64 size) {
        body.append(data, size);
        return true;
    });
    result.body = std::move(body);
    return result;
}

QString TransferClient::fetchText(const QUrl& url)
{
    const FetchResult result = fetch(url);
    return result.complete ? gbk::decode(result.body) : QString();
}

FetchResult TransferClient::fetchToFile(const QUrl& url, const QString& path)
{
    PartFile file(path);
    if (!file.open()) {
        FetchResult failed;
        failed.error = file.errorString();
        return failed;
    }
    FetchResult result =
        transfer(url, [&file](const char* data, qint64 size) { return file.write(data, size); });
    const bool keepExisting = result.complete && result.received == 0 && QFile::exists(path);
    if (!result.complete || keepExisting)
        return result;  // the part file is discarded
    if (!file.commit()) {
        result.complete = false;
        result.error = file.errorString();
    }
    return result;
}

}  // namespace update
