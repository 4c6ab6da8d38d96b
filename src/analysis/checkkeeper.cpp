#include "analysis/checkkeeper.h"

CheckKeeper::CheckKeeper(QObject* parent) : QObject(parent), worker_([this] { run(); }) { }

CheckKeeper::~CheckKeeper()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void CheckKeeper::keep(SavedCheck check, const QString& folder)
{
    {
        std::lock_guard lock(mutex_);
        waiting_ = Job{std::move(check), folder};
    }
    wake_.notify_all();
}

void CheckKeeper::waitUntilWritten()
{
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] { return !waiting_ && !writing_; });
}

void CheckKeeper::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return waiting_ || stopping_; });
        // Stopping still writes the check handed over last.
        if (!waiting_)
            return;
        Job job = std::move(*waiting_);
        waiting_.reset();
        writing_ = true;
        lock.unlock();
        const Result<void> written =
            savedcheck::write(job.check, savedcheck::pathFor(job.folder, job.check.analysedText));
        if (written)
            savedcheck::prune(job.folder);
        else
            emit failed(written.error());
        // The job's lists are released here, off the lock, before the next.
        job = {};
        lock.lock();
        writing_ = false;
        written_.notify_all();
    }
}
