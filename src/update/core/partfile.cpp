#include "update/core/partfile.h"

#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace update {

PartFile::PartFile(const QString& path) : path_(path), part_(path + QStringLiteral(".part~")) { }

PartFile::~PartFile() { discard(); }

Result<void> PartFile::open()
{
    if (!part_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failure(part_.errorString());
    return {};
}

bool PartFile::write(const char* data, qint64 size)
{
    if (part_.write(data, size) == size)
        return true;
    error_ = part_.errorString();
    return false;
}

Result<void> PartFile::commit()
{
    if (!part_.isOpen())
        return failure(QStringLiteral("%1 is not open").arg(part_.fileName()));
    if (!part_.flush())
        return failure(part_.errorString());
    part_.close();
    if (QFileInfo::exists(path_))
        part_.setPermissions(QFile::permissions(path_));
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(part_.fileName()).toStdString(),
                            QFile::encodeName(path_).toStdString(), error);
    if (error) {
        part_.remove();
        return failure(QString::fromStdString(error.message()));
    }
    return {};
}

void PartFile::discard()
{
    if (part_.isOpen())
        part_.close();
    if (part_.exists())
        part_.remove();
}

}  // namespace update
