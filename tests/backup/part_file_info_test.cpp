#include "backup/part_file_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "backup/part_file_check.h"
#include "support/fake_services.h"
#include "support/odd_files.h"
#include "support/part_file_bytes.h"

namespace hw::test {
namespace {

TEST(PartFileInfo, ReadsTheNameTheSizeAndWhatIsDone) {
    struct Case {
        const char* what;
        std::vector<Tags> tags;
        std::string name;
        std::uint64_t size, done;
    };
    const std::string latin1 = "K\xf6ln \xfc\xdf";
    // clang-format off
    const std::vector<Case> cases = {
        {"UTF-8 name, 32-bit size", {NameTag("Grüße.mkv"), SizeTag(1000)}, "Grüße.mkv", 1000, 1000},
        {"Latin-1 name", {NameTag(latin1)}, "Köln üß", 0, 0},
        {"byte-order mark dropped", {NameTag("\xEF\xBB\xBF" "Köln")}, "Köln", 0, 0},
        {"the UTF-8 one of two", {NameTag(latin1), NameTag("\xEF\xBB\xBF" "Köln üß")}, "Köln üß", 0, 0},
        {"the first of two UTF-8", {NameTag("a.iso"), NameTag("b.iso")}, "a.iso", 0, 0},
        {"the first of two others", {NameTag("a\xe9"), NameTag("b\xe9")}, "aé", 0, 0},
        {"overlong UTF-8 is Latin-1", {NameTag("\xc0\xaf")}, "À¯", 0, 0},
        {"fixed-length name", {IdTag(0x15, 0x01, "abcde")}, "abcde", 0, 0},
        {"ids as one-byte names", {NamedTag(0x02, "\x01", Le(3, 2) + "abc"), NamedTag(0x03, "\x02", Le(77, 4))}, "abc", 77, 77},
        {"name id on a number", {IdTag(0x03, 0x01, Le(7, 4)), SizeTag(5)}, "", 5, 5},
        {"64-bit size", {SizeTag(5000000000ULL, 8), Gap(0, 0, 4000000000ULL, 8)}, "", 5000000000ULL, 1000000000ULL},
        {"16-bit and 8-bit sizes", {SizeTag(300, 2), SizeTag(7, 1)}, "", 300, 300},
        {"gaps paired by number", {SizeTag(1000), GapTag(false, "1", 600), GapTag(true, "0", 100), GapTag(true, "1", 500), GapTag(false, "0", 200)}, "", 1000, 800},
        {"numbers 1 and 10 apart", {SizeTag(1000), Gap(1, 0, 10), Gap(10, 500, 600)}, "", 1000, 890},
        {"unpaired ones ignored", {SizeTag(1000), GapTag(true, "3", 0), GapTag(false, "4", 1000)}, "", 1000, 1000},
        {"overlaps counted once", {SizeTag(1000), Gap(0, 100, 300), Gap(1, 200, 400), Gap(2, 100, 300), Gap(3, 250, 260)}, "", 1000, 700},
        {"clipped to the size", {SizeTag(1000), Gap(0, 900, 2000), Gap(1, 1500, 2000)}, "", 1000, 900},
        {"gaps before the size tag", {Gap(0, 0, 1000), SizeTag(1000)}, "", 1000, 0},
        {"empty or reversed gap", {SizeTag(1000), Gap(0, 300, 300), Gap(1, 400, 200)}, "", 1000, 1000},
        {"no gap number", {SizeTag(1000), GapTag(true, "", 0), GapTag(false, "", 1000)}, "", 1000, 1000},
        {"a newer tag ends the facts", {SizeTag(1000), NamedTag(0x0C, "x", "?"), Gap(0, 0, 1000)}, "", 1000, 1000},
    };
    // clang-format on
    const std::string hash = "\x01\x23\x45\x67\x89\xab\xcd\xef\xfe\xdc\xba\x98\x76\x54\x32\x10";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = PartFile(hash, c.tags);
        const std::optional<PartFileInfo> info = ReadPartFileInfo(bytes);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->name, c.name);
        EXPECT_EQ(info->size, c.size);
        EXPECT_EQ(info->done, c.done);
        EXPECT_EQ(info->HashText(), "0123456789ABCDEFFEDCBA9876543210");
        // Cut short, it has facts only where it is still a whole part file.
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            const std::string cut = bytes.substr(0, size);
            ASSERT_EQ(ReadPartFileInfo(cut).has_value(), IsWellFormedPartFile(cut)) << size;
        }
    }
    // Tens of thousands of gaps, every other byte of the file.
    std::vector<Tags> tags{SizeTag(100000)};
    for (int k = 0; k < 50000; ++k) tags.push_back(Gap(k, 2 * k, 2 * k + 1));
    EXPECT_EQ(ReadPartFileInfo(PartFile(hash, tags))->done, 50000u);
}

TEST(PartFileInfo, AtAPathReadsOnlyARegularFileAndNeverBlocks) {
    TempDir dir;
    const std::string good = PartFile(std::string(16, '\x01'), {NameTag("a"), SizeTag(9)});
    WriteFile(dir / "file", good);
    std::filesystem::create_directory(dir / "folder");
    WriteFile(dir / "huge", good);
    ::truncate((dir / "huge").c_str(), static_cast<off_t>(kLargestPartFile) + 1);
    ASSERT_TRUE(MakeSpecial("pipe", dir / "pipe"));
    MakeSpecial("device", dir / "device");  // where none can be made, it reads as gone
    EXPECT_EQ(ReadPartFileInfoAt(dir / "file")->name, "a");
    for (const char* name : {"folder", "huge", "pipe", "device", "gone"}) {
        EXPECT_FALSE(ReadPartFileInfoAt(dir / name)) << name;
    }
}

}  // namespace
}  // namespace hw::test
