#include "update/core/manifest.h"

#include "platform/core/endpoints.h"
#include "platform/core/gbk.h"
#include "platform/core/numberformat.h"
#include "update/core/numberprefix.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>

namespace update {

QStringList readTextLines(const QByteArray& bytes, int maxLines)
{
    // GBK trail bytes never take the values of CR or LF, so decoding first is safe.
    const QString text = gbk::decode(bytes);
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size() && lines.size() < maxLines) {
        qsizetype cr = text.indexOf(u'\r', start);
        if (cr < 0) {
            lines << text.mid(start);
            break;
        }
        lines << text.mid(start, cr - start);
        start = cr + 1;
        if (start < text.size() && text.at(start) == u'\n')
            ++start;
    }
    return lines;
}

UpdateTable readManifestFile(const QString& path, const EventPump& pump)
{
    UpdateTable table;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return table;
    const QStringList lines = readTextLines(file.readAll(), kTableSlots);
    for (int slot = 0; slot < lines.size(); ++slot) {
        if (pump)
            pump();
        table[slot] = lines.at(slot);
    }
    return table;
}

UpdateTable getUpdateInfor(const QString& programFolder, const EventPump& pump)
{
    return readManifestFile(QDir(programFolder).filePath(kManifestFile), pump);
}

bool acceptableAnswer(const QString& text) { return !text.isEmpty() && text.size() < kMaxAnswerLength; }

bool isNewerVersion(const QString& serverVersionText)
{
    return readNumberPrefix(serverVersionText) > double(version::kBuildNumber);
}

int fileCount(const UpdateTable& table)
{
    const double n = readNumberPrefix(table[1]);
    // The slot index is a 16-bit number: N + 1 must stay within it.
    return int(std::clamp(std::nearbyint(n), 0.0, 32766.0));
}

bool isArchiveName(const QString& name)
{
    const qsizetype dot = name.indexOf(u'.');
    const QString tail = dot < 0 ? name : name.mid(dot + 1);
    return tail == QLatin1String("xls");
}

bool isSafeFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.size() >= 2 && name.at(1) == u':' && name.at(0).isLetter())
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](QChar c) { return c == u'/' || c == u'\\' || c.unicode() < 0x20; });
}

QString fileProgressText(int number, int count)
{
    return QStringLiteral("文件更新(%1/%2)").arg(number).arg(count);
}

QString filesDoneText(int done, int count)
{
    return numfmt::format(numfmt::roundHalfEven(double(done) / count, 2) * 100) + u'%';
}

QString ticksText(int ticks, int total)
{
    return numfmt::format(numfmt::roundHalfEven(double(ticks) / total * 100, 2)) + u'%';
}

}  // namespace update
