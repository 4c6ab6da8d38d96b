// Compare and mark on any paper and reference. Input: reference text,
// "\n--\n", paper text (UTF-8). The one-pass cut and search must give what
// the chain of replacements and repeated indexOf give, and the automaton the
// walk falls back on the same marks.
#include "comparer/core/localcompare.h"
#include "comparer/core/sentencematcher.h"
#include "fuzzsupport.h"

namespace {

QList<QPair<qsizetype, qsizetype>> marksOf(const comparer::CompareResult& result)
{
    QList<QPair<qsizetype, qsizetype>> marks;
    for (const comparer::SentenceMarks& sentence : result.sentences) {
        for (const qsizetype start : sentence.starts)
            marks.append({start, sentence.length});
    }
    return marks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto [referenceBytes, paperBytes] = fuzz::splitInTwo(fuzz::bytes(data, size));
    const QString reference = QString::fromUtf8(referenceBytes);
    const QString paper = QString::fromUtf8(paperBytes);
    fuzz::check(comparer::cutReferenceSentences(reference) == comparer::cutReferenceSentencesPlain(reference),
                "the one-pass cut equals the chain of replacements");
    const comparer::CompareResult fast = comparer::compareAndMark(paper, reference);
    const comparer::CompareResult plain = comparer::compareAndMarkNaive(paper, reference);
    fuzz::check(marksOf(fast) == marksOf(plain), "one pass marks what the plain search marks");
    fuzz::check(fast.run.chars == plain.run.chars && fast.run.sentences == plain.run.sentences
                    && fast.run.segments == plain.run.segments,
                "one pass counts what the plain search counts");

    const QStringList sentences = comparer::cutReferenceSentences(reference);
    std::vector<QStringView> views(sentences.begin(), sentences.end());
    const comparer::SentenceMatcher matcher(views);
    fuzz::check(matcher.occurrences(paper) == matcher.occurrencesByAutomaton(paper),
                "the walk and the automaton find the same occurrences");
    return 0;
}
