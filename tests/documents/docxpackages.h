#pragma once
// Word packages made in tests: real zips written by minizip's writer, as
// word processors make them, around XML given by the test.

#include "support/testdata.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <utility>

#include <zip.h>

namespace docxpackages {

using Entries = QList<std::pair<QString, QByteArray>>;

inline QByteArray package(const Entries& entries, int level = Z_DEFAULT_COMPRESSION)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("p.zip")));
    zipFile zip = zipOpen64(path.constData(), APPEND_STATUS_CREATE);
    for (const auto& [name, bytes] : entries) {
        zip_fileinfo info{};
        zipOpenNewFileInZip64(zip, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, level, 1);
        zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    return testdata::readFile(QFile::decodeName(path));
}

inline QByteArray wordXml(const char* root, const QString& content)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
               "<w:%1 xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
               "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">%2</w:%1>")
        .arg(QLatin1StringView(root), content)
        .toUtf8();
}

inline QByteArray body(const QString& content)
{
    return wordXml("document", QStringLiteral("<w:body>%1</w:body>").arg(content));
}

inline QByteArray relationships(const QStringList& kindsAndTargets)
{
    QString out = QStringLiteral(
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    for (qsizetype i = 0; i + 1 < kindsAndTargets.size(); i += 2)
        out += QStringLiteral(
                   "<Relationship Id=\"r%1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                   "relationships/%2\" Target=\"%3\"/>")
                   .arg(i)
                   .arg(kindsAndTargets[i], kindsAndTargets[i + 1]);
    return (out + QStringLiteral("</Relationships>")).toUtf8();
}

}  // namespace docxpackages
