#pragma once
// One download run of the update client: reads the local copy of the
// manifest, downloads every file it names with its signature, keeps only what
// the vendor's key signed, unpacks the archives among them and leaves the
// hand-over file "up.inf" for the updater. The update window starts it and
// shows its signals; the run itself needs no widget.

#include "platform/core/result.h"
#include "update/core/manifest.h"
#include "update/core/signature.h"
#include "update/core/transfer.h"

#include <QList>
#include <QObject>

namespace update {

struct DownloadSettings {
    QString programFolder;     // holds the main executable and every update file
    QString mainExecutable;    // full path of the running main executable, line 3 of "up.inf"
    QString updateBase;        // ".../trvs"
    int timeoutSeconds = 120;  // seconds without data before a transfer is given up
    QString publicKey;         // the vendor's key, minisign's public-key form
};

// Fetches the signature that lies beside `file` on the server (its URL +
// ".minisig"), without showing it as progress.
Result<QByteArray> fetchSignature(TransferClient& transfer, const QUrl& file);
// Whether `content`, as fetched from `file`, is what `publicKey` signed.
Result<void> checkSigned(TransferClient& transfer, const QUrl& file, const QByteArray& content,
                         const QString& publicKey);

class DownloadRun : public QObject {
    Q_OBJECT
public:
    explicit DownloadRun(const DownloadSettings& settings, QObject* parent = nullptr);
    ~DownloadRun() override;

    // The whole run. It returns when it is over; window events run only inside
    // the transfers, at each manifest line and at each archive entry. Succeeds
    // when every file arrived whole and signed and "up.inf" is written.
    Result<void> run();
    // Stops a run from inside one of its event-pump points (the window closes).
    void cancel();
    bool isRunning() const { return running_; }
    bool wasCancelled() const { return cancelled_; }

    // Lets pending window events run; tests may count the calls.
    EventPump pump;

signals:
    // The manifest table is read: its file count sizes the progress displays.
    void tableRead(const update::UpdateTable& table, int fileCount);
    // Slot `slot` (2 to N + 1) is about to be fetched; also for slots past 20, which name no file.
    void fileStarted(int slot, int fileCount);
    // Bytes of the current file so far, and its Content-Length (or -1).
    void fileProgress(qint64 received, qint64 total);
    // Slot `slot` is done, whatever came of it.
    void fileFinished(int slot, int fileCount);
    // Every file was tried; unpacking follows.
    void downloadsFinished();

private:
    // Downloads one named file; Ok(true) when new bytes replaced the target.
    Result<bool> downloadFile(const QString& name, const PublicKey& key);
    void unpackArchives(const UpdateTable& table, int count, const QList<bool>& replaced);
    QString programFile(const QString& name) const;
    QUrl sourceOf(const QString& name) const;

    DownloadSettings settings_;
    TransferClient transfer_;
    bool running_ = false;
    bool cancelled_ = false;
};

}  // namespace update
