// A result page from the search service, as the browser hands it over: scoring,
// title extraction, the site statistics and the sanitised table built from the
// stored blocks. The pasted table must never carry active content.
#include "fuzzsupport.h"
#include "blocksanitizer.h"
#include "scoring.h"
#include "segmentation.h"
#include "sitestats.h"

#include <QRegularExpression>

namespace {

ComparisonSession sessionWithSentences()
{
    ComparisonSession session;
    segmentation::resetSession(session, segmentation::analyse(
        QStringLiteral("这是第一句话，用来检验得分的计算是否可靠。第二句话也在这里，内容完全不同。")));
    session.nextIndex = 1;
    return session;
}

void checkInert(const QString& html)
{
    static const QRegularExpression active(
        QStringLiteral("<\\s*(script|iframe|object|embed|style|frame)\\b|\\son[a-z]+\\s*=|javascript:"),
        QRegularExpression::CaseInsensitiveOption);
    fuzz::check(!active.match(html).hasMatch(), "sanitised markup is inert");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString html = QString::fromUtf8(fuzz::bytes(data, size));
    ComparisonSession session = sessionWithSentences();
    const auto labels = scoring::pageArrived(session, html, html + QStringLiteral("."));
    fuzz::check(labels.has_value(), "a new page is scored");
    fuzz::check(labels->storedResults <= scoring::kResultsPerPage, "at most ten results kept");
    const double overall = scoring::overallSimilarity(session);
    fuzz::check(overall >= 0, "similarity is not negative");

    const int titled = sitestats::rebuild(session);
    fuzz::check(titled <= labels->storedResults, "statistics count only stored titles");
    for (const sitestats::Row& row : sitestats::shownRows(session, 1000))
        checkInert(sitestats::tableRow(row));
    checkInert(sanitizeBlock(html));
    return 0;
}
