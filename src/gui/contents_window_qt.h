// The Contents window: a thin Qt view over ContentsView (ui/contents_view.h). A table of the
// downloads, sortable by its headings, and the buttons that restore the chosen ones.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <string>
#include <vector>

#include "ui/contents_view.h"

class QLabel;
class QPushButton;
class QTableView;

namespace hw {

class MainForm;

// The view's cells as they are asked for: nothing is copied, so that a thousand rows open at once.
class ContentsTableModel : public QAbstractTableModel {
  public:
    explicit ContentsTableModel(ContentsView& view, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The view sorts; the selection follows its rows.
    void sort(int column, Qt::SortOrder order) override;
    // Around a new reading of the view.
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }

  private:
    ContentsView& view_;
};

class ContentsWindow : public QDialog {
    Q_OBJECT
  public:
    ContentsWindow(MainForm& form, ContentsView& view, QWidget* parent = nullptr);
    ~ContentsWindow() override;

  private:
    void changed(bool rowsChanged);
    // The places of the selected rows and of the current one, kept across a new reading.
    std::vector<std::string> selectedPlaces_;
    std::string currentPlace_;
    std::vector<int> selectedRows() const;
    void restore(bool older);

    MainForm& form_;
    ContentsView& view_;
    ContentsTableModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* summary_ = nullptr;
    std::vector<QPushButton*> restores_;
};

}  // namespace hw
