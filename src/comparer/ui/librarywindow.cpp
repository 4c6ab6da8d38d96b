#include "comparer/ui/librarywindow.h"

#include "platform/core/markcolours.h"
#include "platform/widgets/sidebysideview.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

using comparer::library::Level;

namespace {

QTableWidgetItem* cell(const QString& text, qint32 source)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setData(Qt::UserRole, source);
    return item;
}

// The first characters of a find, on one line.
QString opening(QStringView paper, const comparer::library::Stretch& stretch)
{
    constexpr qsizetype kShown = 24;
    QString text = paper.mid(stretch.start, std::min(stretch.length, kShown)).toString();
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
    return stretch.length > kShown ? text + QStringLiteral(u"…") : text;
}

}  // namespace

QString levelName(Level level)
{
    switch (level) {
    case Level::Sentence:
        return QStringLiteral(u"整句相同");
    case Level::Literal:
        return QStringLiteral(u"连续相同");
    case Level::Reworded:
        break;
    }
    return QStringLiteral(u"疑似改写");
}

QColor levelColour(Level level)
{
    switch (level) {
    case Level::Sentence:
        return QColor(QRgb(markcolour::kSentence));
    case Level::Literal:
        return QColor(QRgb(markcolour::kLiteral));
    case Level::Reworded:
        break;
    }
    return QColor(QRgb(markcolour::kReworded));
}

LibraryWindow::LibraryWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral(u"文献库对比"));
    status = new QLabel(this);
    status->setWordWrap(true);
    progress = new QProgressBar(this);
    cancel = new QPushButton(QStringLiteral(u"取消"), this);
    runLength = new QSpinBox(this);
    runLength->setRange(matching::kMinRun, matching::kMaxRun);
    runLength->setValue(matching::kDefaultRun);
    runLength->setSuffix(QStringLiteral(u" 字"));
    runLength->setKeyboardTracking(false);  // typing "20" is one choice, not "2" first
    sources = new QTableWidget(0, 5, this);
    sources->setHorizontalHeaderLabels({QStringLiteral(u"文献"), QStringLiteral(u"重复字数"),
                                        QStringLiteral(u"占你的文章"), QStringLiteral(u"连续相同"),
                                        QStringLiteral(u"疑似改写")});
    sources->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    sources->setSelectionBehavior(QAbstractItemView::SelectRows);
    sources->setSelectionMode(QAbstractItemView::SingleSelection);
    sources->verticalHeader()->hide();
    passages = new QListWidget(this);
    sideBySide = new SideBySideView(this);
    skipped = new QListWidget(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status);
    auto* bar = new QHBoxLayout;
    bar->addWidget(progress, 1);
    bar->addWidget(cancel);
    layout->addLayout(bar);
    auto* runs = new QHBoxLayout;
    runs->addWidget(new QLabel(QStringLiteral(u"连续相同的字数达到"), this));
    runs->addWidget(runLength);
    runs->addWidget(new QLabel(QStringLiteral(u"即算重复"), this));
    runs->addStretch(1);
    layout->addLayout(runs);
    auto* finds = new QSplitter(Qt::Horizontal, this);
    finds->addWidget(passages);
    finds->addWidget(sideBySide);
    finds->setStretchFactor(1, 3);
    auto* parts = new QSplitter(Qt::Vertical, this);
    parts->addWidget(sources);
    parts->addWidget(finds);
    auto* skippedPart = new QWidget(parts);
    auto* skippedLayout = new QVBoxLayout(skippedPart);
    skippedLayout->setContentsMargins(0, 0, 0, 0);
    skippedLayout->addWidget(new QLabel(QStringLiteral(u"未能读取的文献："), skippedPart));
    skippedLayout->addWidget(skipped);
    parts->addWidget(skippedPart);
    parts->setStretchFactor(0, 2);
    parts->setStretchFactor(1, 3);
    parts->setStretchFactor(2, 1);
    layout->addWidget(parts, 1);
    resize(900, 720);

    connect(cancel, &QPushButton::clicked, this, &LibraryWindow::cancelClicked);
    connect(sources, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (const QTableWidgetItem* item = sources->item(row, 0))
            emit sourceClicked(item->data(Qt::UserRole).toInt());
    });
    connect(passages, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit passageClicked(passages->row(item)); });
    // The buttons walk the finds: the list follows.
    connect(sideBySide, &SideBySideView::placeShown, this, [this](int index) {
        const QSignalBlocker quiet(passages);
        passages->setCurrentRow(index);
    });
    connect(runLength, &QSpinBox::valueChanged, this, &LibraryWindow::runLengthChanged);
}

void LibraryWindow::setBusy(bool busy)
{
    progress->setVisible(busy);
    cancel->setVisible(busy);
    cancel->setEnabled(busy);
}

void LibraryWindow::showReading(const QString& folder)
{
    sources->setRowCount(0);
    passages->clear();
    sideBySide->clear();
    skipped->clear();
    status->setText(QStringLiteral(u"正在读取文献库：") + folder);
    progress->setRange(0, 0);  // busy until the folder is listed
    setBusy(true);
}

void LibraryWindow::showProgress(int done, int total)
{
    if (total <= 0)
        return;
    progress->setRange(0, total);
    progress->setValue(done);
}

void LibraryWindow::showStatus(const QString& text)
{
    status->setText(text);
    setBusy(false);
}

void LibraryWindow::showResult(const std::vector<comparer::library::SourceRow>& rows,
                               const comparer::library::Library& library)
{
    sources->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < sources->rowCount(); ++i) {
        const comparer::library::SourceRow& row = rows[static_cast<size_t>(i)];
        sources->setItem(i, 0, cell(row.path, row.source));
        sources->setItem(i, 1, cell(QString::number(row.chars), row.source));
        sources->setItem(i, 2, cell(QString::number(row.share) + QStringLiteral(" %"), row.source));
        sources->setItem(i, 3, cell(QString::number(row.literalChars), row.source));
        sources->setItem(i, 4, cell(QString::number(row.rewordedChars), row.source));
    }
    passages->clear();
    sideBySide->clear();
    skipped->clear();
    for (const comparer::library::SourceFile& file : library.files) {
        if (!file.skipped.isEmpty())
            skipped->addItem(file.path + QStringLiteral(u"：") + file.skipped);
    }
}

void LibraryWindow::showPassages(const std::vector<comparer::library::Passage>& list, QStringView paper)
{
    passages->clear();
    sideBySide->clear();
    for (const comparer::library::Passage& passage : list) {
        auto* item = new QListWidgetItem(QStringLiteral(u"%1　第 %2 字起 %3 字：%4")
                                             .arg(levelName(passage.level))
                                             .arg(passage.paper.start + 1)
                                             .arg(passage.paper.length)
                                             .arg(opening(paper, passage.paper)),
                                         passages);
        item->setForeground(levelColour(passage.level));
    }
}

void LibraryWindow::setRunLength(int value)
{
    const QSignalBlocker quiet(runLength);
    runLength->setValue(value);
}
