#include "platform/core/endpoints.h"

#include "endpoints_config.h"

static_assert(TROVALIS_VERSION_MAJOR == version::kMajor && TROVALIS_VERSION_MINOR == version::kMinor
                  && TROVALIS_VERSION_PATCH == version::kRevision,
              "project version and program version disagree");

Endpoints Endpoints::builtIn()
{
    return Endpoints{QStringLiteral(TROVALIS_BAIDU_BASE), QStringLiteral(TROVALIS_WENKU_BASE),
                     QStringLiteral(TROVALIS_ZHIWANG_BASE), QStringLiteral(TROVALIS_VENDOR_WEB_BASE),
                     QStringLiteral(TROVALIS_VENDOR_UPDATE_BASE)};
}

QString Endpoints::startupRequestUrl() const
{
    return vendorWebBase + QStringLiteral("/trvs/trvs.asp?id=") + QString::number(version::kBuildNumber);
}

QString Endpoints::exitPageUrl() const
{
    return vendorWebBase + QStringLiteral("/ziyuan/post/2014/04/04/11.aspx");
}

QString Endpoints::statisticsPageUrl() const { return vendorWebBase + QStringLiteral("/trvs/tj.asp"); }

QString Endpoints::thesaurusPageUrl() const { return vendorWebBase + QStringLiteral("/trvs/ck.asp"); }

QString version::caption()
{
    return QStringLiteral("Trovalis V%1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision);
}
