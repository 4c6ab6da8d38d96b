#include "comparer/ui/librarywindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidgetItem* cell(const QString& text, qint32 source)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setData(Qt::UserRole, source);
    return item;
}

}  // namespace

LibraryWindow::LibraryWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral(u"文献库对比"));
    status = new QLabel(this);
    status->setWordWrap(true);
    progress = new QProgressBar(this);
    cancel = new QPushButton(QStringLiteral(u"取消"), this);
    sources = new QTableWidget(0, 3, this);
    sources->setHorizontalHeaderLabels(
        {QStringLiteral(u"文献"), QStringLiteral(u"重复字数"), QStringLiteral(u"占你的文章")});
    sources->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    sources->setSelectionBehavior(QAbstractItemView::SelectRows);
    sources->setSelectionMode(QAbstractItemView::SingleSelection);
    sources->verticalHeader()->hide();
    skipped = new QListWidget(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status);
    auto* bar = new QHBoxLayout;
    bar->addWidget(progress, 1);
    bar->addWidget(cancel);
    layout->addLayout(bar);
    layout->addWidget(sources, 3);
    layout->addWidget(new QLabel(QStringLiteral(u"未能读取的文献："), this));
    layout->addWidget(skipped, 1);
    resize(560, 480);

    connect(cancel, &QPushButton::clicked, this, &LibraryWindow::cancelClicked);
    connect(sources, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (const QTableWidgetItem* item = sources->item(row, 0))
            emit sourceClicked(item->data(Qt::UserRole).toInt());
    });
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
    }
    skipped->clear();
    for (const comparer::library::SourceFile& file : library.files) {
        if (!file.skipped.isEmpty())
            skipped->addItem(file.path + QStringLiteral(u"：") + file.skipped);
    }
}
