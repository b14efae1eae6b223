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
    std::vector<std::string> found;
    subfolders ? FindFilesInSubfolders(folder, kBackupFileMask, found)
               : FindFiles(folder, kBackupFileMask, found);
    struct stat info {};
    if (found.empty() || ::stat(folder.c_str(), &info) != 0) return {};
    GenerationSummary summary{true, info.st_mtim.tv_sec, found.size(), 0};
    if (!countDamaged) return summary;
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
