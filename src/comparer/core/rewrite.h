#pragma once
// The thesaurus rewrite: every entry of every thesaurus line, in file order,
// replaces its occurrences in the paper by a randomly drawn entry of its line.
// Entries work one after another on the text the earlier ones left, so the
// fast path must give exactly what applying them in turn gives.

#include "platform/core/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace comparer {

// A number in [0, 1), fresh at each call.
using RandomSource = std::function<double()>;

// Seeded from the clock again before every draw, as the window does.
RandomSource clockRandom();
// A repeatable sequence, for tests and the command line.
RandomSource seededRandom(quint64 seed);

// The replacement position among 1..lastIndex for one draw (lastIndex >= 1).
int drawReplacement(double r, int lastIndex);

// Cuts decoded thesaurus text into lines: CR LF and a lone CR end a line, a
// lone LF is an ordinary character; a last line without a line end counts.
QStringList thesaurusLines(QStringView text);

// What reading ciku.txt found: its lines, no file (also when the path is
// not an ordinary file), or a file that is not GBK text.
struct Thesaurus {
    enum class State { Read, Missing, Damaged };
    State state = State::Missing;
    QStringList lines;
};
// Reads ciku.txt (GBK); fails with the system's reason when the file is there
// but cannot be read. `beforeEachLine` runs once per line (the window lets
// events through there).
Result<Thesaurus> readThesaurus(const QString& path, const std::function<void()>& beforeEachLine = {});

struct RewriteResult {
    QString text;
    qint64 found = 0;  // entries that occurred in the text when their turn came
};

RewriteResult rewriteText(const QString& text, const QStringList& lines, const RandomSource& random);
// Entry after entry over the whole text; the yardstick for tests and benchmarks.
RewriteResult rewriteTextNaive(const QString& text, const QStringList& lines, const RandomSource& random);

}  // namespace comparer
