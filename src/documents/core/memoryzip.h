#pragma once
// Access to a zip archive held in memory (the packages word processors
// write), with a bound on how much one entry may unpack to, so that a small
// archive cannot make us inflate gigabytes; and a copy of it with some
// entries changed.

#include "platform/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <QHash>
#include <QList>

#include <functional>
#include <memory>
#include <utility>

namespace documents {

class MemoryZip {
public:
    // Fails when the bytes are no zip archive (or its directory is damaged).
    static Result<MemoryZip> open(QByteArray bytes);

    MemoryZip(MemoryZip&&) noexcept;
    MemoryZip& operator=(MemoryZip&&) noexcept;
    ~MemoryZip();

    // Entry names compare without regard to case, as the package format wants.
    bool contains(const QString& name) const;

    // Hands the entry's unpacked bytes to `sink` piece by piece; `sink`
    // returns false to stop early (a failure it reports itself). More than
    // `maxSize` unpacked bytes, a damaged entry or a wrong checksum fail.
    Result<void> read(const QString& name, qint64 maxSize,
                      const std::function<bool(QByteArrayView)>& sink) const;
    Result<QByteArray> readAll(const QString& name, qint64 maxSize) const;

    // A new archive: every entry in its order, those named in `replaced`
    // (names in lower case) with the new bytes, the others copied as they
    // are stored, not unpacked; then `added` at the end.
    Result<QByteArray> rewritten(const QHash<QString, QByteArray>& replaced,
                                 const QList<std::pair<QString, QByteArray>>& added) const;

private:
    struct State;
    explicit MemoryZip(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// A new archive of `entries`, in their order.
Result<QByteArray> zipOf(const QList<std::pair<QString, QByteArray>>& entries);

}  // namespace documents
