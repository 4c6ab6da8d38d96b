#pragma once
// Small helpers shared by the fuzz targets.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A property every input must keep; a failure is a finding like a crash.
inline void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

// Splits the input at the first "\n--\n": two independent parts from one input.
inline std::pair<QByteArray, QByteArray> splitInTwo(const QByteArray& input)
{
    static const QByteArray cut("\n--\n");
    const qsizetype at = input.indexOf(cut);
    if (at < 0)
        return {input, QByteArray()};
    return {input.left(at), input.mid(at + cut.size())};
}

// Writes `content` to `path` in one go (the readers under test take paths).
inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

}  // namespace fuzz
