// Prints what a re-check of an edited paper costs: the kept cut of a paper of
// 1,000,000 characters with 1 % changed and rewritten throughout, how many
// queries the re-check of a 1,050-piece thesis with five edits sends, how
// long an analysis takes to find the earlier check among the kept ones, and
// the pre-check of a thesis with 100 changed pieces against the summaries of
// the results of the pieces they replace.

#include "analysis/earlierversion.h"
#include "analysis/keptcut.h"
#include "analysis/precheck.h"
#include "analysis/segmentation.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRepeats = 5;

// Characters drawn over the CJK block, repeatable by seed.
QString prose(qsizetype count, quint32 seed)
{
    QRandomGenerator random(seed);
    QString s(count, Qt::Uninitialized);
    for (QChar& c : s)
        c = QChar(char16_t(0x4E00 + random.bounded(20000)));
    return s;
}

// `edits` edits spread evenly, each replacing, inserting or deleting `length`
// characters in turn.
QString edited(const QString& text, int edits, int length, quint32 seed)
{
    QString out;
    const qsizetype step = text.size() / edits;
    qsizetype from = 0;
    for (int e = 0; e < edits; ++e) {
        const qsizetype at = e * step + step / 2 + 17;  // inside a piece
        out += QStringView(text).sliced(from, at - from);
        const QString added = prose(length, seed + e);
        switch (e % 3) {
        case 0:  // reworded
            out += added;
            from = at + length;
            break;
        case 1:  // inserted
            out += added;
            from = at;
            break;
        default:  // deleted
            from = at + length;
        }
    }
    out += QStringView(text).sliced(from);
    return out;
}

// One character changed in every piece: nothing stands unchanged.
QString rewrittenThroughout(const QString& text)
{
    QString out = text;
    for (qsizetype i = 17; i < out.size(); i += segmentation::kPieceLength)
        out[i] = QChar(char16_t(out[i].unicode() ^ 1));
    return out;
}

double bestMs(const std::function<void()>& run)
{
    qint64 best = -1;
    for (int i = 0; i < kRepeats; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        const qint64 ns = t.nsecsElapsed();
        best = best < 0 ? ns : std::min(best, ns);
    }
    return best / 1e6;
}

void timeRecut(const char* what, const QStringList& earlier, const QString& text)
{
    keptcut::KeptCut cut;
    const double ms = bestMs([&] { cut = keptcut::recut(earlier, text); });
    std::printf("%-44s %8.1f ms  (%lld of %lld pieces kept)\n", what, ms, qlonglong(cut.keptCount()),
                qlonglong(cut.pieces.size()));
}

// A kept check of `text`, every piece checked, ten results a piece; with a
// summary length, each result's summary holds its piece amid other text.
SavedCheck checkedCheck(const QString& text, const QString& engine, int summaryLength = 0)
{
    SavedCheck c;
    c.analysedText = text;
    c.sentences = segmentation::cutIntoPieces(text);
    const qsizetype n = c.sentences.size();
    c.resultBlocks = QStringList(10 * n + 1);
    c.resultTitles = QStringList(10 * n + 1);
    for (qsizetype s = 0; s < n; ++s) {
        PieceResult piece{true, double(s % 97), {}};
        for (int k = 0; k < 10; ++k) {
            const QString title = prose(24, quint32(s * 10 + k));
            const QString url = QStringLiteral("http://www.baidu.com/link?url=") + QString(110, u'x');
            ResultLink link;
            link.title = title;
            link.url = url;
            if (summaryLength > 0) {
                const QString& own = c.sentences[s];
                const qsizetype around = std::max<qsizetype>(summaryLength - own.size(), 0);
                link.summary = prose(around / 2, quint32(s * 10 + k + 7)) + own
                    + prose(around - around / 2, quint32(s * 10 + k + 8));
            }
            piece.results.append(link);
            c.resultBlocks[10 * s + k] = QStringLiteral("<a data-click=\"{'F':'778317EA'}\" href=\"") + url
                + QStringLiteral("\">") + title + QStringLiteral("</a>") + QString(300, u' ');
            c.resultTitles[10 * s + k] = title;
        }
        c.pieces.append(piece);
    }
    c.nextIndex = int(n);
    c.lastIndex = int(n - 1);
    c.pageCount = int(n + 1);
    c.engine = engine;
    c.savedAt = QDateTime::currentDateTimeUtc();
    return c;
}

void thesisRecheck()
{
    const QString thesis = prose(1050 * 38, 3);
    const QString reworked = edited(thesis, 5, 12, 300);
    const keptcut::KeptCut cut = keptcut::recut(segmentation::cutIntoPieces(thesis), reworked);
    std::printf("thesis of 1,050 pieces, five edits: %lld queries (%lld pieces kept of %lld)\n",
                qlonglong(cut.pieces.size() - cut.keptCount()), qlonglong(cut.keptCount()),
                qlonglong(cut.pieces.size()));

    // The analysis looks for the earlier check among those kept: here ten
    // theses of that size, all checked, one of them the earlier version.
    QTemporaryDir folder;
    for (int i = 0; i < 10; ++i) {
        const QString text = i == 0 ? thesis : prose(1050 * 38, 100 + i);
        const SavedCheck check =
            checkedCheck(text, i % 2 ? QStringLiteral("wenku") : QStringLiteral("baidu"));
        if (!savedcheck::write(check, savedcheck::pathFor(folder.path(), text)))
            std::printf("cannot write the kept checks\n");
    }
    std::optional<EarlierVersion> found;
    const double ms =
        bestMs([&] { found = earlierversion::find(folder.path(), reworked, QStringLiteral("baidu")); });
    std::printf("finding it among 10 kept checks of such theses: %.0f ms (%s)\n", ms,
                found && found->check.analysedText == thesis ? "found" : "NOT FOUND");
}

// The pre-check of a 1,050-piece thesis with 100 edits, every result with
// a 300-character summary that holds its piece: each changed piece is
// compared with the summaries of the pieces it replaces.
void thesisPrecheck()
{
    const QString thesis = prose(1050 * 38, 3);
    const SavedCheck check = checkedCheck(thesis, QStringLiteral("baidu"), 300);
    const QString reworked = edited(thesis, 100, 12, 500);
    const keptcut::KeptCut cut = keptcut::recut(check.sentences, reworked);
    const auto replaced = precheck::replacedPieces(cut, check.sentences.size());
    qsizetype comparisons = 0;
    for (const auto& r : replaced)
        if (r)
            comparisons += 10 * (r->end - r->first);
    precheck::PreCheck found;
    const double ms = bestMs([&] { found = precheck::run(cut, check); });
    std::printf("pre-check of that thesis with 100 edits (%lld new pieces, %lld piece-summary pairs of 300 "
                "characters): %.1f ms, %lld still similar\n",
                qlonglong(cut.pieces.size() - cut.keptCount()), qlonglong(comparisons), ms,
                qlonglong(found.stillCount()));

    // A chapter of 50 pieces rewritten in one stretch: each of its new pieces
    // against the summaries of all 50 it replaces.
    QString chapter = thesis;
    for (qsizetype i = 500 * 38 + 17; i < 550 * 38; i += 19)
        chapter[i] = QChar(char16_t(chapter[i].unicode() ^ 1));
    const keptcut::KeptCut chapterCut = keptcut::recut(check.sentences, chapter);
    const double chapterMs = bestMs([&] { found = precheck::run(chapterCut, check); });
    std::printf("the same thesis with a chapter of 50 pieces rewritten (%lld new pieces, 25,000 pairs): "
                "%.1f ms, %lld still similar\n",
                qlonglong(chapterCut.pieces.size() - chapterCut.keptCount()), chapterMs,
                qlonglong(found.stillCount()));
}

}  // namespace

int main()
{
    const QString paper = prose(1000000, 1);
    const QStringList earlier = segmentation::cutIntoPieces(paper);
    std::printf("kept cut, best of %d:\n", kRepeats);
    // 1 %: 100 edits of 100 characters (reworded, inserted, deleted in turn).
    timeRecut("1,000,000 characters, 1 % changed", earlier, edited(paper, 100, 100, 7));
    timeRecut("1,000,000 characters, rewritten throughout", earlier, rewrittenThroughout(paper));
    timeRecut("1,000,000 characters, unchanged", earlier, paper);
    timeRecut("the analysis's own cut, for comparison", {}, paper);
    thesisRecheck();
    thesisPrecheck();
    return 0;
}
