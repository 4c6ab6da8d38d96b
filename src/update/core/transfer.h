#pragma once
// The update client's transfers over HTTP. A fetch runs synchronously (a
// local event loop, so window events keep running) and succeeds only when the
// response was complete: no network error, a 2xx status, and exactly as many
// bytes as a Content-Length header promised. Only complete successes are ever
// written over a file.

#include "platform/core/result.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include <functional>

namespace update {

class SignatureCheck;

// What fetchToFile left on disk.
struct StoredFile {
    qint64 received = 0;    // body bytes received
    bool replaced = false;  // the file now holds them (false: an empty answer kept the file there)
};

class TransferClient {
public:
    TransferClient();
    ~TransferClient();

    // Seconds without any data before a request is given up; 0 waits forever.
    void setRequestTimeout(int seconds) { timeoutSeconds_ = seconds; }
    int requestTimeout() const { return timeoutSeconds_; }

    // Gives a request up after this many seconds in all, data or not (0: no limit).
    void setDeadline(int seconds) { deadlineSeconds_ = seconds; }
    // Gives a response up once it grows beyond this many bytes (0: no limit).
    void setMaximumSize(qint64 bytes) { maximumSize_ = bytes; }
    qint64 maximumSize() const { return maximumSize_; }

    // Called as bytes arrive: bytes so far, and the Content-Length or -1.
    std::function<void(qint64 received, qint64 total)> onProgress;

    // The whole response in memory.
    Result<QByteArray> fetch(const QUrl& url);
    // The whole response as text in the narrow code page; empty unless complete.
    QString fetchText(const QUrl& url);
    // Streams the response into `path` through a temporary file in the same
    // folder, renamed over `path` only on complete success. A complete but
    // empty response leaves an existing file as it is and creates a missing one.
    // With a `check`, the bytes must also pass it before they replace anything.
    Result<StoredFile> fetchToFile(const QUrl& url, const QString& path, SignatureCheck* check = nullptr);

    // Gives up the transfer that is running now (it then reports failure).
    void abort();

private:
    using Sink = std::function<bool(const char* data, qint64 size)>;
    // The number of body bytes received.
    Result<qint64> transfer(const QUrl& url, const Sink& sink);

    QNetworkAccessManager manager_;
    QNetworkReply* running_ = nullptr;
    int timeoutSeconds_ = 15;
    qint64 maximumSize_ = 0;
    int deadlineSeconds_ = 0;
};

}  // namespace update
