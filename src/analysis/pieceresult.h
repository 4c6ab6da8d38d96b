#pragma once
// What one checked piece of the paper came to: kept per piece for the list's
// colours, the saved check and the report.

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// A stretch of a text: its first character and its length.
struct TextStretch {
    qsizetype start = 0;
    qsizetype length = 0;

    bool operator==(const TextStretch&) const = default;
};

struct ResultLink {
    ResultLink() = default;
    // Callers that know no summary give the title and address alone.
    ResultLink(QString title, QString url, QString summary = {}, QList<TextStretch> highlighted = {})
        : title(std::move(title)), url(std::move(url)), summary(std::move(summary)),
          highlighted(std::move(highlighted))
    { }

    QString title;    // the heading's link text, as the page shows it
    QString url;      // the link's address, as the page gives it (the window makes it absolute)
    QString summary;  // the text below the heading, tags dropped, at most 300 characters
    QList<TextStretch> highlighted;  // the page's <em> stretches in `summary`, in order

    bool operator==(const ResultLink&) const = default;
};

struct PieceResult {
    bool checked = false;  // a result page was scored for this piece
    double figure = 0;     // 100 * S of the scoring, uncapped
    QList<ResultLink> results;

    bool operator==(const PieceResult&) const = default;
};

// How much of a piece was found, in the two bands the list and the report colour.
namespace similarityband {
constexpr double kHigh = 50;                 // red from here
constexpr double kMedium = 20;               // orange from here
constexpr quint32 kHighColour = 0xFF0000;    // RGB 255, 0, 0
constexpr quint32 kMediumColour = 0xE67800;  // RGB 230, 120, 0

// The colour (0xRRGGBB) for a checked piece's figure; none below the medium band.
inline std::optional<quint32> colourFor(double figure)
{
    if (figure >= kHigh)
        return kHighColour;
    if (figure >= kMedium)
        return kMediumColour;
    return std::nullopt;
}
}  // namespace similarityband
