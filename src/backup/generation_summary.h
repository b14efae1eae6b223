// What one generation of the backup holds, as the restore question and the status report tell
// it.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "ui/language.h"

namespace hw {

class MainForm;

struct GenerationSummary {
    bool present = false;  // holds at least one part-file copy
    // The folder's time: the last name put in or taken out of it was the mark that a backup
    // removes once the generation is in place.
    std::time_t when = 0;
    std::size_t files = 0;
    std::size_t damaged = 0;  // counted only on request
};

// `countDamaged` reads every copy and counts those that are no whole part file.
GenerationSummary SummarizeGeneration(const std::string& folder, bool subfolders,
                                      bool countDamaged = false);

// "Newest backup: 2026-12-07 14:21, 8 part files", after the given prefix.
std::string DescribeGeneration(const MainForm& f, TextId prefix, const GenerationSummary& g);

}  // namespace hw
