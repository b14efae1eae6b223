// The records of a generation's part-file copies (see files::CopyRecord), kept in the generation
// folder itself so that they travel with it through every rename. A record that is missing, cut
// short or unreadable only makes the next run read the files again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/file_copy.h"

namespace hw {

// By the copy's path below the generation folder ("001.part.met.HWS", "Temp1/003.part.met.HWS").
// A run holds one record for each of tens of thousands of part files, twice: the names share one
// text, and a lookup makes none.
class CopyRecords {
  public:
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear();
    // For `count` more records with names of about `nameBytes` in all.
    void reserve(std::size_t count, std::size_t nameBytes = 0);

    // Appends a record; a name given twice is kept twice (see Index).
    void Add(std::string_view place, const files::CopyRecord& record);
    // The record at `index` in the order added; stays where it is until the next Add.
    files::CopyRecord& At(std::size_t index) { return entries_[index].record; }
    std::string_view PlaceAt(std::size_t index) const;
    const files::CopyRecord& RecordAt(std::size_t index) const { return entries_[index].record; }

    // Makes the records found by Find, until the next Add; false when a name occurs twice.
    bool Index();
    // The record of `place`, or none (also where Index has not been called).
    const files::CopyRecord* Find(std::string_view place) const;

  private:
    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
        files::CopyRecord record;
    };
    std::string_view NameOf(const Entry& entry) const {
        return std::string_view(names_).substr(entry.offset, entry.length);
    }
    std::string names_;
    std::vector<Entry> entries_;
    // Open addressing by the names' hash: an entry's position + 1, 0 for a free slot.
    std::vector<std::uint32_t> slots_;
};

CopyRecords LoadCopyRecords(const std::string& folder);
// True when `records` hold exactly the trusted records of `saved` (as LoadCopyRecords gave them),
// under the same places in any order: saving them would write the file again unchanged.
bool SameTrustedRecords(const CopyRecords& records, const CopyRecords& saved);
// Writes the trusted records into the folder, replacing any there. False when it could not;
// a partial file is then never taken for a record.
bool SaveCopyRecords(const std::string& folder, const CopyRecords& records);

}  // namespace hw
