#include "update/core/partfile.h"

#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace update {

PartFile::PartFile(const QString& path) : path_(path), part_(path + QStringLiteral(".part~")) { }

PartFile::~PartFile() { discard(); }

bool PartFile::open()
{
    if (part_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    error_ = part_.errorString();
    return false;
}

bool PartFile::write(const char* data, qint64 size)
{
    if (part_.write(data, size) == size)
        return true;
    error_ = part_.errorString();
    return false;
}

bool PartFile::commit()
{
    if (!part_.isOpen())
        return false;
    if (!part_.flush()) {
        error_ = part_.errorString();
        return false;
    }
    part_.close();
    if (QFileInfo::exists(path_))
        part_.setPermissions(QFile::permissions(path_));
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(part_.fileName()).toStdString(),
                            QFile::encodeName(path_).toStdString(), error);
    if (error) {
        error_ = QString::fromStdString(error.message());
        part_.remove();
        return false;
    }
    return true;
}

void PartFile::discard()
{
    if (part_.isOpen())
        part_.close();
    if (part_.exists())
        part_.remove();
}

}  // namespace update
