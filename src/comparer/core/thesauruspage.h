#pragma once
// The vendor's thesaurus page and the file ciku.txt made from it.

#include "platform/core/result.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace comparer {

// The markup with the padding removed and ASCII + - * / = made full-width.
QString cleanThesaurusMarkup(QString markup);

// The records of a page ("##"-separated, the first one holding the status mark
// "1"); fails when the page does not begin with the status mark.
Result<QStringList> thesaurusRecords(const QString& markup);

// ciku.txt's bytes: each record in GBK followed by CR LF.
QByteArray thesaurusFileBytes(const QStringList& records);

// Writes ciku.txt through a temporary file renamed into place, so a failure
// leaves the previous thesaurus as it was. `beforeEachRecord` runs once per
// record.
Result<void> writeThesaurusFile(const QString& path, const QStringList& records,
                                const std::function<void()>& beforeEachRecord = {});

}  // namespace comparer
