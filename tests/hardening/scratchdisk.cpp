#include "hardening/scratchdisk.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

QString ScratchDisk::mount(Kind kind, const std::function<void(const QString&)>& fill)
{
    if (geteuid() != 0)
        return QStringLiteral(
            "mounting a small tmpfs needs root; run as root to test a full or read-only disk");
    const QByteArray where = QFile::encodeName(path());
    if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k,mode=0755") != 0)
        return QStringLiteral("cannot mount a tmpfs here: ") + QString::fromLocal8Bit(std::strerror(errno));
    mounted_ = true;
    if (fill)
        fill(path());
    if (kind == Kind::ReadOnly
        && ::mount(nullptr, where.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        return QStringLiteral("cannot make the tmpfs read-only: ")
            + QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

ScratchDisk::~ScratchDisk()
{
    if (mounted_)
        ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
}

QStringList ScratchDisk::entries() const
{
    return QDir(path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}
