#pragma once
// Read-only access to a zip archive held in memory (the packages word
// processors write), with a bound on how much one entry may unpack to, so
// that a small archive cannot make us inflate gigabytes.

#include "platform/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

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

private:
    struct State;
    explicit MemoryZip(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace documents
