#include "platform/core/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace qttranslations {

QStringList installChinese(const QStringList& catalogues, const QString& folder)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    // The browser's own language (navigator.language, its own pages) comes
    // from Chromium's flags, read when the first page is made: the locale
    // alone would give it "zh" without the country.
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--lang="))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --lang=zh-CN").trimmed());
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    QStringList installed;
    for (const QString& catalogue : catalogues) {
        auto* translator = new QTranslator(QCoreApplication::instance());  // lives as long as the program
        if (translator->load(catalogue + QStringLiteral("_zh_CN"), from)
            && QCoreApplication::installTranslator(translator))
            installed << catalogue;
        else
            delete translator;
    }
    return installed;
}

}  // namespace qttranslations
