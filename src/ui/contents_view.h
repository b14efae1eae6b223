// The Contents window as a model: one row a download known in the temp folder, B or B_old (see
// backup/backup_contents.h), its cells in the current language, the sort, and the restores of
// chosen downloads. The front end draws it and forwards the user's choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "backup/backup_contents.h"

namespace hw {

class MainForm;

class ContentsView {
  public:
    enum Column { kName, kSize, kDoneTemp, kDoneNewest, kDoneOlder, kState };
    static constexpr int kColumns = 6;

    // The texts around the table, in the language the view was filled in (the first ids of the
    // view's table, in its order).
    enum class Text {
        Title,
        TableName,      // the table's accessible name
        TableHelp,      // its accessible description
        RestoreNewest,  // buttons
        RestoreOlder,
        RestoreLost,
        Close,
        RestoreNewestHelp,  // their accessible descriptions
        RestoreOlderHelp,
        RestoreLostHelp,
    };

    // Reads nothing yet: Refresh does.
    ContentsView(MainForm& form, ContentsRequest request);

    // Reads the temp folder and both generations again; the rows keep the sort chosen.
    void Refresh();
    // Shows `contents` in the form's current language.
    void Fill(BackupContents contents);
    const BackupContents& contents() const { return contents_; }

    int rowCount() const { return static_cast<int>(order_.size()); }
    // The download shown at `row` (in the order of the sort).
    const DownloadRow& row(int row) const;
    // The row that shows `place`; -1 when none does.
    int RowOf(const std::string& place) const;
    const std::string& Cell(int row, int column) const { return cells_[order_.at(row)][column]; }
    static bool IsNumeric(int column) { return column != kName && column != kState; }
    std::string Heading(int column) const;
    std::string TextOf(Text id) const;
    // How many downloads, how many of them lost, and a temp folder that is not there.
    std::string Summary() const;

    // Sizes and progress sort as numbers, states from lost to whole; equal keys by name.
    void Sort(int column, bool ascending);
    int sortColumn() const { return sortColumn_; }
    bool ascending() const { return ascending_; }

    // A run is under way: the restores wait (their buttons are disabled).
    bool Busy() const;
    // The rows' downloads from B, or B_old for `older`: those with a whole copy there.
    void RestoreSelected(const std::vector<int>& rows, bool older);
    // The downloads damaged or missing in the temp folder, from B (LostPlaces).
    void RestoreLost();
    // A run started or ended while the view is shown; after its end the folders are read again.
    void RunStateChanged();

    // Told before the rows are replaced, and after every change: `rowsChanged` where the rows
    // were replaced, else only Busy().
    std::function<void()> beforeRowsChange;
    std::function<void(bool rowsChanged)> onChanged;

  private:
    void Tell(const std::string& text);
    void RestoreAndRefresh(const std::vector<std::string>& places, bool older, std::size_t leftOut,
                           const std::vector<std::string>& fromOlder = {});

    MainForm& form_;
    ContentsRequest request_;
    std::string code_;
    BackupContents contents_;
    std::vector<std::vector<std::string>> cells_;  // by the index in contents_.rows
    std::vector<int> order_;                       // the rows' indices in the order shown
    int sortColumn_ = kName;
    bool ascending_ = true;
};

// The size in readable units: "812 B", "1.4 MB" ("1,4 MB" in German).
std::string ReadableSize(std::uint64_t bytes, const std::string& code);

// The question before a restore of `count` chosen downloads, and `fromOlder` more from the older
// backup; `leftOut` of the chosen have no whole copy in that generation.
std::string RestoreChosenQuestion(const std::string& code, std::size_t count, bool older,
                                  std::size_t leftOut, std::size_t fromOlder = 0);

}  // namespace hw
