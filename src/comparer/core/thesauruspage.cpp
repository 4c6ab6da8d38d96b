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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    for (const QString& record : records) {
        if (beforeEachRecord)
            beforeEachRecord();
        file.write(gbk::encode(record) + "\r\n");
    }
    if (!file.commit())  // also reports a failed write above
        return failure(file.errorString());
    return {};
}

}  // namespace comparer
