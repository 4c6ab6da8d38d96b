#pragma once
// Natural Chinese prose for the benchmarks: the running text of Debian's
// Chinese manual pages (manpages-zh), each line once. Beyond the 1.2 million
// characters they hold, the text goes on in copies whose Chinese characters
// are shifted to others, so that it still does not repeat itself.

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

#include <zlib.h>

#include <algorithm>

inline const QString kManualPages = QStringLiteral("/usr/share/man/zh_CN");

inline QByteArray gunzip(const QString& path)
{
    QByteArray out;
    gzFile file = gzopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        return out;
    char buffer[65536];
    for (int n; (n = gzread(file, buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    gzclose(file);
    return out;
}

inline bool hasChinese(const QString& line)
{
    return std::any_of(line.begin(), line.end(),
                       [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

// The running text of the manual pages: no requests, no font changes, each line once.
inline QString manualPageProse()
{
    QStringList files;
    for (QDirIterator it(kManualPages, {QStringLiteral("*.gz")}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next();
    files.sort();
    static const QRegularExpression escapes(QStringLiteral(R"(\\f[BIRP]|\\\(..|\\[-e&])"));
    QSet<QString> seen;
    QStringList lines;
    for (const QString& path : files) {
        const QString page = QString::fromUtf8(gunzip(path));
        for (QString line : page.split(u'\n')) {
            if (line.startsWith(u'.') || line.startsWith(u'\''))
                continue;
            line = line.remove(escapes).trimmed();
            if (hasChinese(line) && !seen.contains(line)) {
                seen.insert(line);
                lines << line;
            }
        }
    }
    return lines.join(u'\n');
}

// The prose, then copies with every Chinese character moved to another.
inline QString proseOfLength(const QString& prose, qsizetype length)
{
    QString text = prose;
    for (int copy = 1; text.size() < length; ++copy) {
        QString shifted = prose;
        for (QChar& c : shifted) {
            if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5)
                c = QChar(0x4E00 + (c.unicode() - 0x4E00 + copy * 7919) % 20902);
        }
        text += u'\n' + shifted;
    }
    return text.left(length);
}
