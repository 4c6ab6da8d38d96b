#pragma once
// Writes a file under a temporary name beside it and renames it into place
// only when every byte is written, so a failed write never replaces or
// half-writes the named file. Unlike QSaveFile it does not force the data to
// disk for every file: unpacking thousands of entries stays as fast as the
// usual tools, and the rename still keeps every file whole or untouched.

#include "platform/core/result.h"

#include <QFile>
#include <QString>

namespace update {

class PartFile {
public:
    explicit PartFile(const QString& path);
    ~PartFile();  // discards an uncommitted part
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    Result<void> open();
    // A plain bool, as it runs for every few kilobytes; errorString() says why it failed.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Renames the part over the target; the target keeps its permissions when it existed.
    Result<void> commit();
    void discard();
    QString errorString() const { return error_; }

private:
    QString path_;
    QFile part_;
    QString error_;
};

}  // namespace update
