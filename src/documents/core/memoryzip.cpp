#include "documents/core/memoryzip.h"

#include <unzip.h>
#include <zip.h>

#include <cstring>

namespace documents {

namespace {

// minizip reads through these callbacks; the "file" is the byte array.
struct Stream {
    QByteArray bytes;
    ZPOS64_T pos = 0;
};

voidpf ZCALLBACK openStream(voidpf opaque, const void*, int mode)
{
    if (mode & ZLIB_FILEFUNC_MODE_WRITE)
        return nullptr;
    auto* stream = static_cast<Stream*>(opaque);
    stream->pos = 0;
    return stream;
}

uLong ZCALLBACK readStream(voidpf, voidpf handle, void* buffer, uLong size)
{
    auto* stream = static_cast<Stream*>(handle);
    const auto total = ZPOS64_T(stream->bytes.size());
    const ZPOS64_T available = stream->pos < total ? total - stream->pos : 0;
    const uLong count = uLong(std::min<ZPOS64_T>(available, size));
    std::memcpy(buffer, stream->bytes.constData() + stream->pos, count);
    stream->pos += count;
    return count;
}

uLong ZCALLBACK writeStream(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellStream(voidpf, voidpf handle) { return static_cast<Stream*>(handle)->pos; }

long ZCALLBACK seekStream(voidpf, voidpf handle, ZPOS64_T offset, int origin)
{
    auto* stream = static_cast<Stream*>(handle);
    const auto total = ZPOS64_T(stream->bytes.size());
    ZPOS64_T base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = stream->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = total;
    else if (origin != ZLIB_FILEFUNC_SEEK_SET)
        return -1;
    if (offset > total || base > total - offset)
        return -1;
    stream->pos = base + offset;
    return 0;
}

// The archive being written grows as minizip writes; it seeks back to fill
// in each entry's sizes.
voidpf ZCALLBACK openGrowingStream(voidpf opaque, const void*, int)
{
    auto* stream = static_cast<Stream*>(opaque);
    stream->pos = 0;
    return stream;
}

uLong ZCALLBACK writeGrowingStream(voidpf, voidpf handle, const void* buffer, uLong size)
{
    auto* stream = static_cast<Stream*>(handle);
    const ZPOS64_T end = stream->pos + size;
    if (end > ZPOS64_T(stream->bytes.size()))
        stream->bytes.resize(qsizetype(end));
    std::memcpy(stream->bytes.data() + stream->pos, buffer, size);
    stream->pos = end;
    return size;
}

uLong ZCALLBACK readNothing(voidpf, voidpf, void*, uLong) { return 0; }

int ZCALLBACK closeStream(voidpf, voidpf) { return 0; }
int ZCALLBACK streamError(voidpf, voidpf) { return 0; }

constexpr int kAnyCase = 2;  // minizip's "not case sensitive"
constexpr quint64 kZip64From = 0xffffffffULL;
constexpr int kChunkSize = 64 * 1024;

}  // namespace

struct MemoryZip::State {
    Stream stream;
    zlib_filefunc64_def functions{};
    unzFile handle = nullptr;

    ~State()
    {
        if (handle)
            unzClose(handle);
    }
};

MemoryZip::MemoryZip(std::unique_ptr<State> state) : state_(std::move(state)) { }
MemoryZip::MemoryZip(MemoryZip&&) noexcept = default;
MemoryZip& MemoryZip::operator=(MemoryZip&&) noexcept = default;
MemoryZip::~MemoryZip() = default;

Result<MemoryZip> MemoryZip::open(QByteArray bytes)
{
    auto state = std::make_unique<State>();
    state->stream.bytes = std::move(bytes);
    state->functions = {openStream, readStream,  writeStream, tellStream,
                        seekStream, closeStream, streamError, &state->stream};
    state->handle = unzOpen2_64("memory", &state->functions);
    if (!state->handle)
        return failure(QStringLiteral("文件已损坏，不是有效的压缩包。"));
    return MemoryZip(std::move(state));
}

bool MemoryZip::contains(const QString& name) const
{
    return unzLocateFile(state_->handle, name.toUtf8().constData(), kAnyCase) == UNZ_OK;
}

Result<void> MemoryZip::read(const QString& name, qint64 maxSize,
                             const std::function<bool(QByteArrayView)>& sink) const
{
    unzFile zip = state_->handle;
    if (unzLocateFile(zip, name.toUtf8().constData(), kAnyCase) != UNZ_OK)
        return failure(QStringLiteral("压缩包中没有 %1。").arg(name));
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return failure(QStringLiteral("压缩包中的 %1 已损坏。").arg(name));
    const QString tooLarge =
        QStringLiteral("%1 解压后超过 %2 MB，不予读取。").arg(name).arg(maxSize / (1024 * 1024));
    // The declared size bounds what minizip hands out; checking it first
    // refuses a bomb before a single byte is inflated.
    if (info.uncompressed_size > quint64(maxSize))
        return failure(tooLarge);
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return failure(QStringLiteral("压缩包中的 %1 已损坏。").arg(name));
    QByteArray buffer(kChunkSize, Qt::Uninitialized);
    qint64 total = 0;
    Result<void> outcome;
    for (;;) {
        const int count = unzReadCurrentFile(zip, buffer.data(), kChunkSize);
        if (count < 0) {
            outcome = failure(QStringLiteral("压缩包中的 %1 已损坏。").arg(name));
            break;
        }
        if (count == 0)
            break;
        total += count;
        if (total > maxSize) {
            outcome = failure(tooLarge);
            break;
        }
        if (!sink(QByteArrayView(buffer.constData(), count)))
            break;
    }
    // A wrong checksum shows only here, once the entry was read to its end.
    if (unzCloseCurrentFile(zip) == UNZ_CRCERROR && outcome.ok())
        outcome = failure(QStringLiteral("压缩包中的 %1 已损坏（校验和不符）。").arg(name));
    return outcome;
}

Result<QByteArray> MemoryZip::readAll(const QString& name, qint64 maxSize) const
{
    QByteArray bytes;
    Result<void> read = this->read(name, maxSize, [&bytes](QByteArrayView chunk) {
        bytes.append(chunk);
        return true;
    });
    if (!read)
        return failure(read.error());
    return bytes;
}

namespace {

struct ZipWriter {
    Stream stream;
    zlib_filefunc64_def functions{};
    zipFile handle = nullptr;

    ZipWriter()
    {
        functions = {openGrowingStream, readNothing, writeGrowingStream, tellStream,
                     seekStream,        closeStream, streamError,        &stream};
        handle = zipOpen2_64("memory", APPEND_STATUS_CREATE, nullptr, &functions);
    }
    ~ZipWriter()
    {
        if (handle)
            zipClose(handle, nullptr);
    }

    // New entries carry the format's earliest date, as word processors write them.
    bool add(const QString& name, const QByteArray& bytes, uLong dosDate)
    {
        zip_fileinfo info{};
        info.tmz_date = {0, 0, 0, 1, 0, 1980};
        info.dosDate = dosDate;
        const bool large = quint64(bytes.size()) >= kZip64From;
        return zipOpenNewFileInZip64(handle, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0,
                                     nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, large ? 1 : 0)
            == ZIP_OK
            && zipWriteInFileInZip(handle, bytes.constData(), unsigned(bytes.size())) == ZIP_OK
            && zipCloseFileInZip(handle) == ZIP_OK;
    }

    // The entry under unzip's cursor, its compressed bytes as they are.
    bool copyRaw(unzFile from, const QByteArray& name, const unz_file_info64& entry)
    {
        int method = 0;
        int level = 0;
        if (unzOpenCurrentFile2(from, &method, &level, 1) != UNZ_OK)
            return false;
        zip_fileinfo info{};
        info.dosDate = entry.dosDate;
        info.internal_fa = entry.internal_fa;
        info.external_fa = entry.external_fa;
        // The name's "UTF-8" flag goes with it; an encrypted entry would lose its own.
        constexpr uLong kUtf8Name = 1 << 11;
        bool ok = (entry.flag & 1) == 0
            && zipOpenNewFileInZip4_64(handle, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                       method, level, 1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                       nullptr, 0, entry.version, entry.flag & kUtf8Name,
                                       entry.uncompressed_size >= kZip64From ? 1 : 0)
                == ZIP_OK;
        QByteArray buffer(kChunkSize, Qt::Uninitialized);
        while (ok) {
            const int count = unzReadCurrentFile(from, buffer.data(), kChunkSize);
            if (count <= 0) {
                ok = count == 0;
                break;
            }
            ok = zipWriteInFileInZip(handle, buffer.constData(), unsigned(count)) == ZIP_OK;
        }
        unzCloseCurrentFile(from);
        return zipCloseFileInZipRaw64(handle, entry.uncompressed_size, entry.crc) == ZIP_OK && ok;
    }

    Result<QByteArray> finish()
    {
        const int closed = zipClose(handle, nullptr);
        handle = nullptr;
        if (closed != ZIP_OK)
            return failure(QStringLiteral("无法生成压缩包。"));
        return stream.bytes;
    }
};

}  // namespace

Result<QByteArray> MemoryZip::rewritten(const QHash<QString, QByteArray>& replaced,
                                        const QList<std::pair<QString, QByteArray>>& added) const
{
    unzFile zip = state_->handle;
    ZipWriter writer;
    if (!writer.handle)
        return failure(QStringLiteral("无法生成压缩包。"));
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
        unz_file_info64 entry{};
        if (unzGetCurrentFileInfo64(zip, &entry, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return failure(QStringLiteral("压缩包的目录已损坏。"));
        QByteArray name(qsizetype(entry.size_filename), '\0');
        unzGetCurrentFileInfo64(zip, &entry, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0);
        const QString key = QString::fromUtf8(name).toLower();
        const auto replacement = replaced.constFind(key);
        const bool ok = replacement != replaced.constEnd()
            ? writer.add(QString::fromUtf8(name), *replacement, entry.dosDate)
            : writer.copyRaw(zip, name, entry);
        if (!ok)
            return failure(QStringLiteral("压缩包中的 %1 已损坏。").arg(QString::fromUtf8(name)));
    }
    for (const auto& [name, bytes] : added) {
        if (!writer.add(name, bytes, 0))
            return failure(QStringLiteral("无法生成压缩包。"));
    }
    return writer.finish();
}

Result<QByteArray> zipOf(const QList<std::pair<QString, QByteArray>>& entries)
{
    ZipWriter writer;
    for (const auto& [name, bytes] : entries) {
        if (!writer.handle || !writer.add(name, bytes, 0))
            return failure(QStringLiteral("无法生成压缩包。"));
    }
    return writer.finish();
}

}  // namespace documents
