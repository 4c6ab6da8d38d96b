#include "matching/runs.h"

#include "matching/fold.h"

#include <algorithm>

namespace matching {

std::vector<ContentRun> sharedContentRuns(std::u32string_view a, std::u32string_view b, int minRun)
{
    const qsizetype need = std::max(minRun, 1);
    std::vector<ContentRun> runs;
    const qsizetype na = qsizetype(a.size());
    const qsizetype nb = qsizetype(b.size());
    if (na < need || nb < need)
        return runs;
    // row[j]: how many characters ending at a[i] and b[j] agree; a run is
    // taken where its diagonal stops agreeing.
    std::vector<qsizetype> row(size_t(nb) + 1, 0);
    for (qsizetype i = 0; i < na; ++i) {
        for (qsizetype j = nb; j >= 1; --j) {
            row[size_t(j)] = a[size_t(i)] == b[size_t(j - 1)] ? row[size_t(j - 1)] + 1 : 0;
            const qsizetype len = row[size_t(j)];
            if (len < need)
                continue;
            const bool ends = i + 1 == na || j == nb || a[size_t(i + 1)] != b[size_t(j)];
            if (ends)
                runs.push_back({i + 1 - len, j - len, len});
        }
        row[0] = 0;
    }
    std::sort(runs.begin(), runs.end(),
              [](const ContentRun& x, const ContentRun& y) { return x.a != y.a ? x.a < y.a : x.b < y.b; });
    return runs;
}

std::vector<SharedRun> sharedRuns(QStringView a, QStringView b, int minRun)
{
    const FoldedText fa = foldText(a);
    const FoldedText fb = foldText(b);
    std::vector<SharedRun> out;
    for (const ContentRun& r : sharedContentRuns(fa.content, fb.content, minRun)) {
        const size_t lastA = size_t(r.a + r.length - 1);
        const size_t lastB = size_t(r.b + r.length - 1);
        out.push_back({{fa.starts[size_t(r.a)], fa.ends[lastA] - fa.starts[size_t(r.a)]},
                       {fb.starts[size_t(r.b)], fb.ends[lastB] - fb.starts[size_t(r.b)]},
                       r.length});
    }
    return out;
}

std::vector<Span> joined(std::vector<Span> spans)
{
    std::erase_if(spans, [](const Span& s) { return s.length <= 0; });
    std::sort(spans.begin(), spans.end(), [](const Span& x, const Span& y) {
        return x.start != y.start ? x.start < y.start : x.length < y.length;
    });
    std::vector<Span> out;
    for (const Span& s : spans) {
        if (!out.empty() && s.start <= out.back().end())
            out.back().length = std::max(out.back().end(), s.end()) - out.back().start;
        else
            out.push_back(s);
    }
    return out;
}

qsizetype covered(const std::vector<Span>& joinedSpans)
{
    qsizetype total = 0;
    for (const Span& s : joinedSpans)
        total += s.length;
    return total;
}

}  // namespace matching
