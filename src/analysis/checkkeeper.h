#pragma once
// Keeps the check on disk without holding up the window: the last saves of a
// thesis of 1,000 pieces carry 10 MB and take 120 to 240 ms each
// (bench_savedcheck), once a second. The window hands over a copy of the
// check (its lists are shared, not copied) and a worker thread writes it.
// Saves that come faster than they are written are folded into the latest.

#include "analysis/savedcheck.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class CheckKeeper : public QObject {
    Q_OBJECT
public:
    explicit CheckKeeper(QObject* parent = nullptr);
    // Writes what is still waiting, so that a check handed over is on disk.
    ~CheckKeeper() override;

    // Writes `check` into `folder` (under savedcheck::pathFor), then keeps the
    // 50 most recent checks there.
    void keep(SavedCheck check, const QString& folder);
    // Returns once everything handed over has been written (or has failed).
    void waitUntilWritten();

signals:
    // A write failed; delivered in the thread the keeper lives in.
    void failed(const QString& reason);

private:
    struct Job {
        SavedCheck check;
        QString folder;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::optional<Job> waiting_;
    bool writing_ = false;
    bool stopping_ = false;
    std::thread worker_;
};
