#pragma once
// Two texts side by side, read-only: the paper's passage on the left, the
// other text (a source, a search result's summary) on the right, each under a
// caption and with its marked spans drawn in their colour, underlined. Each
// pane scrolls to its first mark. Given several places (the stretches one
// source shares with the paper), previous and next buttons walk them.

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

struct SpanMark {
    qsizetype start = 0;  // in the pane's text, UTF-16 code units
    qsizetype length = 0;
    QColor colour;
};

struct SidePane {
    QString caption;
    // Line breaks may be CR LF, CR or LF; positions count them as they stand.
    QString text;
    std::vector<SpanMark> marks;  // any order; clamped to the text, empty ones ignored
};

class SideBySideView : public QWidget {
    Q_OBJECT
public:
    explicit SideBySideView(QWidget* parent = nullptr);

    // One place: the buttons are hidden.
    void showPanes(const SidePane& left, const SidePane& right);
    // `count` places, `place(i)` gives the i-th's panes when it is shown;
    // `current` is shown first. No places: both panes empty.
    using Place = std::pair<SidePane, SidePane>;
    void showPlaces(int count, std::function<Place(int)> place, int current = 0);
    void showPlace(int index);  // one of the places given; ignored out of range
    int currentPlace() const { return current_; }
    int placeCount() const { return count_; }
    void clear();

    enum class Side { Left, Right };
    // The colour of the mark over a position of that pane's text; invalid where
    // none is (what a user sees, for tests and the status bar alike).
    QColor markAt(Side side, qsizetype position) const;
    const QString& textOf(Side side) const { return shown_[side == Side::Left ? 0 : 1].text; }  // as given

    QLabel* leftCaption = nullptr;
    QLabel* rightCaption = nullptr;
    QPlainTextEdit* left = nullptr;
    QPlainTextEdit* right = nullptr;
    QPushButton* previous = nullptr;  // 上一处
    QPushButton* next = nullptr;      // 下一处
    QLabel* place = nullptr;          // 第 i 处，共 n 处

signals:
    void placeShown(int index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Shown {
        QString text;
        std::vector<int> documentPosition;  // per text position, and one past the end
    };
    void fill(Side side, const SidePane& pane);
    void updateButtons();
    void scrollToFirstMarks();

    Shown shown_[2];
    std::function<Place(int)> place_;
    int count_ = 0;
    int current_ = -1;
    bool scrollWhenShown_ = false;  // filled while hidden: scrolled again once laid out
};
