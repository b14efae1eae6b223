#include "backup/generation_summary.h"

#include <sys/stat.h>

#include <vector>

#include "backup/part_file_check.h"
#include "backup/run_history.h"
#include "backup/run_support.h"
#include "settings/atomic_file.h"
#include "shell/find_files.h"

namespace hw {

GenerationSummary SummarizeGeneration(const std::string& folder, bool subfolders,
                                      bool countDamaged) {
    // Counted without a path per file where the copies are not read: a generation may hold
    // tens of thousands.
    std::vector<std::string> found;
    std::size_t count = 0;
    if (countDamaged) {
        subfolders ? FindFilesInSubfolders(folder, kBackupFileMask, found)
                   : FindFiles(folder, kBackupFileMask, found);
        count = found.size();
    } else if (subfolders) {
        for (const std::string& subfolder : Subfolders(folder)) {
            count += CountFiles(subfolder, kBackupFileMask);
        }
    } else {
        count = CountFiles(folder, kBackupFileMask);
    }
    struct stat info {};
    if (count == 0 || ::stat(folder.c_str(), &info) != 0) return {};
    GenerationSummary summary{true, info.st_mtim.tv_sec, count, 0};
    for (const std::string& copy : found) {
        std::string bytes;
        if (!ReadWholeFile(copy, bytes) || !IsWellFormedPartFile(bytes)) ++summary.damaged;
    }
    return summary;
}

std::string DescribeGeneration(const MainForm& f, TextId prefix, const GenerationSummary& g) {
    return LanguageText(f, prefix) + LocalTime(g.when, "%Y-%m-%d %H:%M") + ", " +
           std::to_string(g.files) + LanguageText(f, TextId::PartFilesSuffix);
}

}  // namespace hw
