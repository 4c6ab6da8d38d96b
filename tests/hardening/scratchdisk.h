#pragma once
// A tiny file system of our own for fault tests: a 64 KiB tmpfs, optionally
// made read-only after it has been filled. Mounting needs root; without it the
// calling test is skipped with a message.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class ScratchDisk {
public:
    enum class Kind { Full, ReadOnly };

    // Mounts the disk and runs `fill` on its path while it is still writable.
    // Returns an empty text on success, else why the disk is not there.
    QString mount(Kind kind, const std::function<void(const QString& path)>& fill = {});
    ~ScratchDisk();

    QString path() const { return mountPoint_.path(); }
    QString file(const QString& name) const { return mountPoint_.filePath(name); }
    // Every name in the disk's top folder, hidden ones included: a left-over
    // temporary file shows up here.
    QStringList entries() const;

private:
    QTemporaryDir mountPoint_;
    bool mounted_ = false;
};

// Skips the calling test unless `disk` could be mounted as `kind`.
#define MOUNT_OR_SKIP(disk, kind, fill)                                                                      \
    do {                                                                                                     \
        const QString why = (disk).mount((kind), (fill));                                                    \
        if (!why.isEmpty())                                                                                  \
            QSKIP(qPrintable(why));                                                                          \
    } while (false)
