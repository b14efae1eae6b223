#include "gui/contents_window_qt.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_map>

#include "gui/control_bindings_qt.h"
#include "ui/main_form.h"

namespace hw {

ContentsTableModel::ContentsTableModel(ContentsView& view, QObject* parent)
    : QAbstractTableModel(parent), view_(view) {}

int ContentsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : view_.rowCount();
}

int ContentsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ContentsView::kColumns;
}

QVariant ContentsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= view_.rowCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return ToQt(view_.Cell(index.row(), index.column()));
        case Qt::TextAlignmentRole:
            return ContentsView::IsNumeric(index.column())
                       ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::ToolTipRole:
            if (index.column() == ContentsView::kName) {
                // The part file's place and the download's hash tell two of one name apart.
                const DownloadRow& row = view_.row(index.row());
                return ToQt(row.name.empty() ? row.place
                                             : row.name + "\n" + row.place +
                                                   (row.hash.empty() ? "" : "\n" + row.hash));
            }
            return {};
        default:
            return {};
    }
}

QVariant ContentsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ContentsView::kColumns) {
        return {};
    }
    if (role == Qt::DisplayRole) return ToQt(view_.Heading(section));
    if (role == Qt::TextAlignmentRole) {
        return ContentsView::IsNumeric(section) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

void ContentsTableModel::sort(int column, Qt::SortOrder order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::string> places;
    places.reserve(before.size());
    for (const QModelIndex& index : before) places.push_back(view_.row(index.row()).place);
    view_.Sort(column, order == Qt::AscendingOrder);
    std::unordered_map<std::string, int> rowOf;
    for (int row = 0; row < view_.rowCount(); ++row) rowOf.emplace(view_.row(row).place, row);
    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i) {
        after << index(rowOf.at(places[static_cast<std::size_t>(i)]), before[i].column());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

ContentsWindow::ContentsWindow(MainForm& form, ContentsView& view, QWidget* parent)
    : QDialog(parent), form_(form), view_(view) {
    setObjectName(QStringLiteral("frm_contents"));
    setWindowTitle(ToQt(view_.TextOf(ContentsView::Text::Title)));
    setSizeGripEnabled(true);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("label_contents_summary"));
    summary_->setWordWrap(true);
    summary_->setTextFormat(Qt::PlainText);

    model_ = new ContentsTableModel(view_, this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("table_contents"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setTabKeyNavigation(false);  // Tab leaves the table for the buttons
    table_->setWordWrap(false);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    // Rows of one height need no measuring of each row: a thousand show at once.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* headings = table_->horizontalHeader();
    headings->setSectionsClickable(true);
    headings->setHighlightSections(false);
    headings->setResizeContentsPrecision(200);
    headings->setSortIndicator(view_.sortColumn(),
                               view_.ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    table_->setSortingEnabled(true);
    table_->resizeColumnsToContents();
    // A long name is cut rather than pushing the state out of sight; its tooltip holds it whole.
    const int widestName = fontMetrics().averageCharWidth() * 40;
    if (table_->columnWidth(ContentsView::kName) > widestName) {
        table_->setColumnWidth(ContentsView::kName, widestName);
    }
    headings->setSectionResizeMode(ContentsView::kName, QHeaderView::Stretch);
    summary_->setBuddy(table_);

    auto* newest = new QPushButton(this);
    newest->setObjectName(QStringLiteral("btn_contents_newest"));
    auto* older = new QPushButton(this);
    older->setObjectName(QStringLiteral("btn_contents_older"));
    auto* lost = new QPushButton(this);
    lost->setObjectName(QStringLiteral("btn_contents_lost"));
    auto* close = new QPushButton(this);
    close->setObjectName(QStringLiteral("btn_contents_close"));
    restores_ = {newest, older, lost};
    const std::pair<QPushButton*, std::pair<ContentsView::Text, ContentsView::Text>> texts[] = {
        {newest, {ContentsView::Text::RestoreNewest, ContentsView::Text::RestoreNewestHelp}},
        {older, {ContentsView::Text::RestoreOlder, ContentsView::Text::RestoreOlderHelp}},
        {lost, {ContentsView::Text::RestoreLost, ContentsView::Text::RestoreLostHelp}},
        {close, {ContentsView::Text::Close, ContentsView::Text::Close}},
    };
    for (const auto& [button, text] : texts) {
        const QString caption = ToQt(view_.TextOf(text.first));
        button->setText(QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
        button->setAccessibleName(caption);
        if (button != close) button->setAccessibleDescription(ToQt(view_.TextOf(text.second)));
        // Enter presses only the focused button: none stands for the table.
        button->setAutoDefault(true);
        button->setDefault(false);
    }
    table_->setAccessibleName(ToQt(view_.TextOf(ContentsView::Text::TableName)));
    table_->setAccessibleDescription(ToQt(view_.TextOf(ContentsView::Text::TableHelp)));

    connect(newest, &QPushButton::clicked, this, [this] { restore(false); });
    connect(older, &QPushButton::clicked, this, [this] { restore(true); });
    connect(lost, &QPushButton::clicked, this,
            [this] { form_.Dispatch([this] { view_.RestoreLost(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    // The restore of what is lost beside the count of it; the restores of the selection below
    // the table. Two rows, so that the German captions fit a small screen.
    auto* top = new QHBoxLayout;
    top->addWidget(summary_, 1);
    top->addWidget(lost);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newest);
    buttons->addWidget(older);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    setTabOrder(lost, table_);
    setTabOrder(table_, newest);
    setTabOrder(newest, older);
    setTabOrder(older, close);

    // Wide enough for the columns at the desktop's font, never larger than the screen.
    int columns = 0;
    for (int c = 0; c < ContentsView::kColumns; ++c) columns += table_->columnWidth(c);
    const QFontMetrics metrics = fontMetrics();
    QSize size(std::max(columns + metrics.averageCharWidth() * 6, layout->sizeHint().width()),
               metrics.lineSpacing() * 28);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    resize(size);

    view_.beforeRowsChange = [this] {
        selectedPlaces_.clear();
        for (const int row : selectedRows()) selectedPlaces_.push_back(view_.row(row).place);
        const QModelIndex current = table_->currentIndex();
        currentPlace_ = current.isValid() ? view_.row(current.row()).place : std::string();
        model_->beginReset();
    };
    view_.onChanged = [this](bool rowsChanged) { changed(rowsChanged); };
    changed(false);
    table_->setFocus();
    if (view_.rowCount() > 0) {
        table_->selectionModel()->setCurrentIndex(model_->index(0, 0),
                                                  QItemSelectionModel::NoUpdate);
    }
}

ContentsWindow::~ContentsWindow() {
    view_.beforeRowsChange = nullptr;
    view_.onChanged = nullptr;
}

void ContentsWindow::changed(bool rowsChanged) {
    if (rowsChanged) {
        model_->endReset();
        // The rows chosen before stay chosen where they are still shown.
        std::unordered_map<std::string, int> rowOf;
        for (int row = 0; row < view_.rowCount(); ++row) rowOf.emplace(view_.row(row).place, row);
        QItemSelection selection;
        for (const std::string& place : selectedPlaces_) {
            const auto found = rowOf.find(place);
            if (found == rowOf.end()) continue;
            selection.select(model_->index(found->second, 0),
                             model_->index(found->second, ContentsView::kColumns - 1));
        }
        table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        const auto current = rowOf.find(currentPlace_);
        if (current != rowOf.end()) {
            table_->selectionModel()->setCurrentIndex(model_->index(current->second, 0),
                                                      QItemSelectionModel::NoUpdate);
        }
    }
    summary_->setText(ToQt(view_.Summary()));
    const bool busy = view_.Busy();
    for (QPushButton* button : restores_) button->setEnabled(!busy);
    busy ? setCursor(Qt::BusyCursor) : unsetCursor();
}

std::vector<int> ContentsWindow::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ContentsWindow::restore(bool older) {
    const std::vector<int> rows = selectedRows();
    form_.Dispatch([this, &rows, older] { view_.RestoreSelected(rows, older); });
}

}  // namespace hw
