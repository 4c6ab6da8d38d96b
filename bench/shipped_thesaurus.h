#pragma once
// The thesaurus records of the vendor's page the project ships
// (server/trvs/ck.asp), as the download makes them from the page body.

#include "comparer/core/thesauruspage.h"

#include <QFile>
#include <QString>
#include <QStringList>

inline QStringList shippedThesaurusRecords()
{
    QFile file(QStringLiteral(TROVALIS_SERVER_DIR "/trvs/ck.asp"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    const QString page = QString::fromUtf8(file.readAll());
    const qsizetype body = page.indexOf(QStringLiteral("<body>")) + 6;
    const auto records =
        comparer::thesaurusRecords(page.mid(body, page.indexOf(QStringLiteral("</body>")) - body));
    if (!records)
        qFatal("%s carries no thesaurus", qPrintable(file.fileName()));
    return *records;
}
