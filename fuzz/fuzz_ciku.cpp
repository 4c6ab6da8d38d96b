// ciku.txt as read from disk and the rewrite it drives. Input: thesaurus bytes,
// "\n--\n", paper text (UTF-8). The fast rewrite must give exactly what the
// entry-by-entry yardstick gives with the same random draws.
#include "comparer/core/rewrite.h"
#include "fuzzsupport.h"

#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const auto [thesaurus, paper] = fuzz::splitInTwo(fuzz::bytes(data, size));
    const QString path = dir.filePath(QStringLiteral("ciku.txt"));
    if (!fuzz::writeFile(path, thesaurus))
        return 0;
    const Result<comparer::Thesaurus> read = comparer::readThesaurus(path);
    if (!read) {
        fuzz::check(!read.error().isEmpty(), "a refused thesaurus explains itself");
        return 0;
    }
    if (read->state != comparer::Thesaurus::State::Read)
        return 0;
    const QStringList& lines = read->lines;
    const QString text = QString::fromUtf8(paper);
    const auto fast = comparer::rewriteText(text, lines, comparer::seededRandom(size));
    const auto plain = comparer::rewriteTextNaive(text, lines, comparer::seededRandom(size));
    fuzz::check(fast.text == plain.text, "fast rewrite equals the entry-by-entry one");
    fuzz::check(fast.found == plain.found, "fast rewrite counts the same entries");
    return 0;
}
