// A disk that is full for some part files: a run that copies on one thread and one that copies on
// four name the same file, the first failing one in the order of the sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "backup/backup_fixture.h"
#include "base/paths.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"

namespace hw::test {
namespace {

constexpr int kFiles = 40;

std::string PartName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%03d.part.met", i);
    return name;
}

// Unique and of varied length; the name in it tells the seam which file is being written.
std::string Content(int i, const std::string& version) {
    return PartMet("<" + PartName(i) + "> " + version + std::string(100 + (i * 397) % 3000, 'x'));
}

// Writes fail with `error` for `first` and for every file that comes after it both in the listing
// and by name, so that `first` is the first failing one whether the sources keep the listing's
// order or are sorted. On several threads `first` fails only after another of them has, so that
// a run naming the failure it met first would name another file.
class FullDisk {
  public:
    FullDisk(const std::string& folder, const std::string& mask, int error = ENOSPC)
        : error_(error) {
        std::vector<std::string> listed;
        FindFiles(folder, mask, listed);
        for (std::string& path : listed) path = FileName(path);
        // Early in the listing and lowest by name: many files come after it in both orders.
        first_ = *std::min_element(listed.begin() + 5, listed.begin() + 15);
        const auto at = std::find(listed.begin(), listed.end(), first_);
        for (auto it = at; it != listed.end(); ++it) {
            if (*it >= first_) failing_.insert(it->substr(0, PartName(0).size()));
        }
        first_.resize(PartName(0).size());
    }

    const std::string& first() const { return first_; }
    bool Fails(const std::string& name) const { return failing_.count(name) != 0; }

    files::ByteWrite Seam(bool threaded) {
        return [this, threaded](int to, const char* data, std::size_t size) {
            const std::string bytes(data, std::min<std::size_t>(size, 64));
            const std::size_t open = bytes.find('<');
            const std::size_t close = bytes.find('>');
            const std::string name = open < close && close != std::string::npos
                                         ? bytes.substr(open + 1, close - open - 1)
                                         : "";
            if (failing_.count(name) == 0) return files::WriteAllBytes(to, data, size);
            std::unique_lock<std::mutex> lock(guard_);
            if (name != first_) {
                ++othersFailed_;
                failed_.notify_all();
            } else if (threaded && failing_.size() > 1) {
                // Bounded only so that a run that never writes another failing file cannot hang.
                failed_.wait_for(lock, std::chrono::seconds(20), [&] { return othersFailed_ > 0; });
            }
            errno = error_;
            return false;
        };
    }

  private:
    int error_;
    std::string first_;
    std::set<std::string> failing_;
    std::mutex guard_;
    std::condition_variable failed_;
    int othersFailed_ = 0;
};

TEST(ThreadedFaults, ARestoreOnOneThreadAndOnFourNamesTheSameFirstFailingFile) {
    BackupDesk d;
    for (int i = 0; i < kFiles; ++i) WriteFile(d.B + "/" + PartName(i) + ".HWS", Content(i, "b"));
    FullDisk disk(d.B, "*.part.met.HWS");
    for (unsigned threads : {1u, 4u}) {
        SCOPED_TRACE(threads);
        std::filesystem::remove_all(d.T);
        std::filesystem::create_directories(d.T);
        TabfFileOperation& op = d.f().abfFileOperation1;
        op.copyThreads = threads;
        op.byteWrite = disk.Seam(threads > 1);
        d.f().RestorePartFiles();
        EXPECT_EQ(d.messages().back(), d.f().msg_restore_failed + "\n\n" +
                                           d.f().msg_restore_not_changed + d.T + "/" +
                                           disk.first() + "\n\n" + d.f().msg_cause_full);
        for (int i = 0; i < kFiles; ++i) {  // the others are still restored
            EXPECT_EQ(ReadFile(d.T + "/" + PartName(i)) == Content(i, "b"),
                      !disk.Fails(PartName(i)))
                << PartName(i);
        }
    }
}

TEST(ThreadedFaults, ABackupOnOneThreadAndOnFourNamesTheSameFirstFailingFile) {
    BackupDesk d;
    for (int i = 0; i < kFiles; ++i) WriteFile(d.T + "/" + PartName(i), Content(i, "v1"));
    d.f().BackupPartFiles(false);
    for (int i = 0; i < kFiles; ++i) WriteFile(d.T + "/" + PartName(i), Content(i, "v2"));
    FullDisk disk(d.T, "*.part.met");
    for (unsigned threads : {1u, 4u}) {
        SCOPED_TRACE(threads);
        TabfFileOperation& op = d.f().abfFileOperation1;
        op.copyThreads = threads;
        op.byteWrite = disk.Seam(threads > 1);
        d.f().BackupPartFiles(false);
        d.f().FinishBackgroundWork();
        EXPECT_EQ(d.messages().back(), "Backing up *.PART.METs failed !\n\n" +
                                           d.f().msg_file_not_written + d.B + "/" + disk.first() +
                                           ".HWS");
        EXPECT_EQ(ReadFile(d.B + "/" + disk.first() + ".HWS"),
                  Content(std::stoi(disk.first()), "v1"));
    }
    {  // any other cause is told by the copy that failed, the first in the order of the sources
        FullDisk failing(d.T, "*.part.met", EIO);
        TabfFileOperation& op = d.f().abfFileOperation1;
        op.copyThreads = 4;
        op.byteWrite = failing.Seam(true);
        d.f().BackupPartFiles(false);
        op.byteWrite = nullptr;
        EXPECT_EQ(d.messages().back(), "Backing up *.PART.METs failed !\n\n" +
                                           d.f().msg_not_changed + d.root / ".backup.hws-staging/" +
                                           failing.first() + ".HWS\n\n" + std::strerror(EIO));
    }
}

}  // namespace
}  // namespace hw::test
