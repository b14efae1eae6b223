// The history of runs in a window of its own: a sortable list of the past runs, the full message
// of the run chosen, and the history file's path to copy.
#pragma once

#include <QDialog>

#include "ui/history_view.h"

class QPlainTextEdit;
class QTableWidget;

namespace hw {

class HistoryWindow : public QDialog {
    Q_OBJECT
  public:
    explicit HistoryWindow(const HistoryView& view, QWidget* parent = nullptr);

  private:
    void showDetails();

    QTableWidget* table_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
};

}  // namespace hw
