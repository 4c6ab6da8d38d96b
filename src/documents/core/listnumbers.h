#pragma once
// List numbers and bullets of Word documents: the definitions read from the
// package (numbering and paragraph styles) and the counters that turn them
// into the label each numbered paragraph shows ("1.", "第一章", "（三）", "•").

#include <QHash>
#include <QSet>
#include <QString>

#include <array>
#include <optional>

namespace documents {

inline constexpr int kListLevels = 9;

struct ListLevel {
    int start = 1;
    QString format = QStringLiteral("decimal");  // the document's own name ("chineseCounting", ...)
    QString text;                                // "%1." with placeholders for the levels' numbers
    QString suffix;                              // "tab" (also when empty), "space" or "nothing"
    QString style;                               // the paragraph style tied to this level
    bool legal = false;  // every level's number in decimal digits ("1.1" under "第一章")
};

struct ListInstance {
    int abstractId = -1;
    std::array<std::optional<int>, kListLevels> startOverrides;
};

struct StyleNumbering {
    QString basedOn;
    int numId = -1;
    int level = -1;
};

struct ListDefinitions {
    QHash<int, std::array<ListLevel, kListLevels>> abstracts;
    QHash<int, ListInstance> instances;  // by numId, as paragraphs name them
    QHash<QString, StyleNumbering> styles;
    QString defaultStyle;
};

// One number in one of the document's formats; formats we do not know fall
// back to plain decimal digits, "none" gives nothing.
QString formatListNumber(int value, const QString& format);

// The look-alike from an ordinary font of a bullet drawn from a symbol font
// (Symbol, Wingdings); empty when we know none.
QString symbolLookAlike(QChar symbol);

class ListNumbers {
public:
    explicit ListNumbers(const ListDefinitions& definitions) : definitions_(definitions) { }

    // The label, its separator included, of the next paragraph with this
    // style and these direct properties (-1: not set on the paragraph).
    // Counting goes on across paragraphs, as in the word processor.
    QString label(const QString& style, int numId, int level);

private:
    struct Counters {
        std::array<int, kListLevels> value{};
        std::array<bool, kListLevels> used{};
    };
    void resolveFromStyle(const QString& style, int* numId, int* level) const;
    int startOf(const ListInstance& instance, int abstractId, int level) const;

    const ListDefinitions& definitions_;
    QHash<int, Counters> counters_;  // by abstract list: instances of one list count on together
    QSet<int> instancesSeen_;
};

}  // namespace documents
