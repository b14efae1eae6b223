#include "gui/history_window_qt.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/control_bindings_qt.h"

namespace hw {

namespace {

// Sorts by a key of its own: the time column in the order the runs were recorded, the counts
// as numbers.
class KeyedItem : public QTableWidgetItem {
  public:
    KeyedItem(const QString& text, qint64 key) : QTableWidgetItem(text), key_(key) {}
    bool operator<(const QTableWidgetItem& other) const override {
        const auto* keyed = dynamic_cast<const KeyedItem*>(&other);
        return keyed ? key_ < keyed->key_ : QTableWidgetItem::operator<(other);
    }

  private:
    qint64 key_;
};

}  // namespace

HistoryWindow::HistoryWindow(const HistoryView& view, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_history"));
    setWindowTitle(ToQt(view.title));
    // The main window draws a smaller font for its fixed layout; this window follows the
    // desktop's.
    setFont(QApplication::font());
    auto* layout = new QVBoxLayout(this);

    auto* empty = new QLabel(ToQt(view.emptyText), this);
    empty->setObjectName(QStringLiteral("label_history_empty"));
    empty->setVisible(view.rows.empty());
    layout->addWidget(empty);

    const int columns = static_cast<int>(HistoryColumn::Count);
    table_ = new QTableWidget(static_cast<int>(view.rows.size()), columns, this);
    table_->setObjectName(QStringLiteral("table_history"));
    table_->setAccessibleName(ToQt(view.listName));
    QStringList headings;
    for (const std::string& heading : view.headings) headings << ToQt(heading);
    table_->setHorizontalHeaderLabels(headings);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTabKeyNavigation(false);  // Tab leaves the list for the message and the file
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    const int rows = static_cast<int>(view.rows.size());
    for (int i = 0; i < rows; ++i) {
        const HistoryRow& row = view.rows[static_cast<std::size_t>(i)];
        auto set = [&](HistoryColumn column, QTableWidgetItem* item) {
            table_->setItem(i, static_cast<int>(column), item);
        };
        set(HistoryColumn::Time, new KeyedItem(ToQt(row.time), rows - i));
        set(HistoryColumn::Kind, new QTableWidgetItem(ToQt(row.kind)));
        set(HistoryColumn::Mode, new QTableWidgetItem(ToQt(row.mode)));
        for (const auto& [column, count] : {std::pair{HistoryColumn::Files, row.files},
                                            std::pair{HistoryColumn::Damaged, row.damaged}}) {
            auto* item = new KeyedItem(QString::number(count), static_cast<qint64>(count));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            set(column, item);
        }
        set(HistoryColumn::Result, new QTableWidgetItem(ToQt(row.result)));
        // A long message shows in full as the item's tooltip and below the list.
        auto* message = new QTableWidgetItem(ToQt(row.message));
        message->setToolTip(ToQt(row.message));
        set(HistoryColumn::Message, message);
    }
    table_->resizeColumnsToContents();
    QHeaderView* header = table_->horizontalHeader();
    header->setStretchLastSection(true);
    header->setSortIndicatorShown(true);
    table_->setSortingEnabled(true);
    table_->sortByColumn(static_cast<int>(HistoryColumn::Time), Qt::DescendingOrder);
    layout->addWidget(table_, 1);

    details_ = new QPlainTextEdit(this);
    details_->setObjectName(QStringLiteral("text_history_details"));
    details_->setAccessibleName(ToQt(view.detailsName));
    details_->setReadOnly(true);
    details_->setTabChangesFocus(true);
    details_->setMaximumHeight(details_->fontMetrics().lineSpacing() * 5);
    layout->addWidget(details_);

    auto* fileRow = new QHBoxLayout;
    auto* fileLabel = new QLabel(ToQt(view.fileLabel), this);
    auto* file = new QLineEdit(ToQt(view.path), this);
    file->setObjectName(QStringLiteral("edit_history_file"));
    file->setReadOnly(true);  // to read and copy; the window hands it to no other program
    file->setCursorPosition(0);
    fileLabel->setBuddy(file);
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(file, 1);
    layout->addLayout(fileRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(table_, &QTableWidget::currentCellChanged, this, [this] { showDetails(); });
    if (rows > 0) table_->setCurrentCell(0, 0);
    table_->setFocus();
    const QFontMetrics metrics(font());
    resize(metrics.averageCharWidth() * 110, metrics.lineSpacing() * 28);
}

void HistoryWindow::showDetails() {
    const int row = table_->currentRow();
    const QTableWidgetItem* message =
        row < 0 ? nullptr : table_->item(row, static_cast<int>(HistoryColumn::Message));
    // The history keeps a message on one line, its line breaks as " | ".
    details_->setPlainText(
        message ? message->text().replace(QStringLiteral(" | "), QStringLiteral("\n")) : QString());
}

}  // namespace hw
