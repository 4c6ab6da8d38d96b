#include "comparer/core/thesauruspage.h"

#include "platform/core/gbk.h"

#include <QSaveFile>

namespace comparer {

QString cleanThesaurusMarkup(QString markup)
{
    markup.remove(u'\t');
    markup.remove(u' ');
    markup.remove(QChar(0x3000));
    markup.remove(QStringLiteral("\r\n"));
    markup.replace(u'+', QChar(0xFF0B));  // ＋
    markup.replace(u'-', QChar(0xFF0D));  // －
    markup.replace(u'*', QChar(0x00D7));  // ×
    markup.replace(u'/', QChar(0x00F7));  // ÷
    markup.replace(u'=', QChar(0xFF1D));  // ＝
    return markup;
}

Result<QStringList> thesaurusRecords(const QString& markup)
{
    if (!markup.startsWith(u'1'))
        return failure(QStringLiteral("does not begin with the status mark 1"));
    return cleanThesaurusMarkup(markup).split(QStringLiteral("##"));
}

QByteArray thesaurusFileBytes(const QStringList& records)
{
    QByteArray bytes;
    for (const QString& record : records)
        bytes += gbk::encode(record) + "\r\n";
    return bytes;
}

Result<void> writeThesaurusFile(const QString& path, const QStringList& records,
                                const std::function<void()>& beforeEachRecord)
{
    QByteArray bytes;
    for (const QString& record : records) {
        if (beforeEachRecord)
            beforeEachRecord();
        bytes += gbk::encode(record) + "\r\n";
    }
    QSaveFile file(path);
    // Unbuffered: with a buffer, a small file whose only write fails at commit
    // (a full disk) is put in place empty and the commit reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        return failure(file.errorString());
    return {};
}

}  // namespace comparer
