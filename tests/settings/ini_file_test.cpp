#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace hw {
namespace {

TEST(IniRead, NamesIgnoreCaseAndValuesAreTrimmedAndUnquoted) {
    const std::string text =
        "[Directories]\n"
        "TempDir =  /tmp/edonkey  \n"
        "quoted=\"/a b/\"\n"
        "single=' x '\n"
        "mixed=\"abc'\n"
        "lone=\"\n"
        "inner=a\"b\"\n"
        "equals=a=b=c\n"
        "empty=\n"
        "nullword=NULL\n";
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "TEMPDIR"), "/tmp/edonkey");
    EXPECT_EQ(IniFindValue(text, "directories", "tempdir"), "/tmp/edonkey");
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "QUOTED"), "/a b/");
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "SINGLE"), " x ");
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "MIXED"), "\"abc'");
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "LONE"), "\"");
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "INNER"), "a\"b\"");
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "EQUALS"), "a=b=c");
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "EMPTY"), "");
    EXPECT_EQ(IniFindValue(text, "DIRECTORIES", "NULLWORD"), "NULL");
}

TEST(IniRead, MissingSectionOrKeyAndKeysOutsideTheirSectionAreNotFound) {
    const std::string text =
        "ORPHAN=1\n"
        "; TEMPDIR=commented\n"
        "[A]\n"
        "KEY=a\n"
        "[B]\n"
        "OTHER=b\n"
        "[A]\n"
        "KEY=second\n"
        "LATE=x\n";
    EXPECT_EQ(IniFindValue(text, "A", "KEY"), "a");  // the first section of a name counts
    EXPECT_FALSE(IniFindValue(text, "A", "LATE"));
    EXPECT_FALSE(IniFindValue(text, "B", "KEY"));
    EXPECT_FALSE(IniFindValue(text, "C", "KEY"));
    EXPECT_FALSE(IniFindValue(text, "A", "ORPHAN"));
    EXPECT_FALSE(IniFindValue(text, "A", "TEMPDIR"));
    EXPECT_FALSE(IniFindValue("", "A", "KEY"));
}

TEST(IniRead, CrlfFilesByteOrderMarkAndLongValuesReadWhole) {
    const std::string crlf = "[AUTOBACKUP]\r\nENABLED=TRUE\r\nINTERVAL=45\r\n";
    EXPECT_EQ(IniFindValue(crlf, "AUTOBACKUP", "ENABLED"), "TRUE");
    EXPECT_EQ(IniFindValue(crlf, "AUTOBACKUP", "INTERVAL"), "45");

    EXPECT_EQ(IniFindValue("\xEF\xBB\xBF[S]\nK=v", "S", "K"), "v");

    const std::string longValue(100000, 'x');
    EXPECT_EQ(IniFindValue("[S]\nK=" + longValue + "\n", "S", "K"), longValue);
}

TEST(IniWrite, UpdatesInPlaceAppendsKeysAndSectionsAndKeepsEverythingElse) {
    EXPECT_EQ(IniSetValue("", "S", "K", "v"), "[S]\nK=v\n");

    const std::string text =
        "; written by hand\n"
        "[DIRECTORIES]\n"
        "tempdir = old\n"
        "MINE=keep me\n"
        "\n"
        "[UNKNOWN]\n"
        "X=1\n";
    EXPECT_EQ(IniSetValue(text, "DIRECTORIES", "TEMPDIR", "/new"),
              "; written by hand\n[DIRECTORIES]\nTEMPDIR=/new\nMINE=keep me\n\n"
              "[UNKNOWN]\nX=1\n");
    EXPECT_EQ(IniSetValue(text, "directories", "BACKUPDIR", "/b"),
              "; written by hand\n[DIRECTORIES]\ntempdir = old\nMINE=keep me\nBACKUPDIR=/b\n\n"
              "[UNKNOWN]\nX=1\n");
    EXPECT_EQ(IniSetValue(text, "LAUNCHPAD", "PATH", "/p"), text + "\n[LAUNCHPAD]\nPATH=/p\n");
    EXPECT_EQ(IniSetValue("[S]", "S", "K", ""), "[S]\nK=\n");  // no final line break
}

TEST(IniWrite, CrlfBecomesLfAndLineBreaksInValuesCannotAddLines) {
    EXPECT_EQ(IniSetValue("[S]\r\nA=1\r\nB=2\r\n", "S", "A", "3"), "[S]\nA=3\nB=2\n");

    const std::string written = IniSetValue("", "S", "LBSTRING", "a\nTEMPDIR=/evil\r\nb");
    EXPECT_EQ(written, "[S]\nLBSTRING=a TEMPDIR=/evil  b\n");
    EXPECT_FALSE(IniFindValue(written, "S", "TEMPDIR"));

    EXPECT_EQ(IniSetValue("\xEF\xBB\xBF[S]\nK=1\n", "S", "K", "2"), "\xEF\xBB\xBF[S]\nK=2\n");
}

TEST(IniFile, EachCallOpensTheFileAndMissingOrUnreadableFilesReadAsNull) {
    test::TempDir dir;
    const std::string path = dir / "hoardwise.INI";
    EXPECT_EQ(IniReadString(path, "S", "K"), "NULL");

    ASSERT_TRUE(IniWriteString(path, "S", "K", "1"));
    EXPECT_EQ(IniReadString(path, "S", "K"), "1");
    test::WriteFile(path, "[S]\nK=changed outside\n");  // nothing is cached
    EXPECT_EQ(IniReadString(path, "S", "K"), "changed outside");
    ASSERT_TRUE(IniWriteString(path, "S", "L", "2"));
    EXPECT_EQ(test::ReadFile(path), "[S]\nK=changed outside\nL=2\n");

    EXPECT_EQ(IniReadString(dir.path(), "S", "K"), "NULL");  // a folder is no file
    EXPECT_FALSE(IniWriteString(dir.path(), "S", "K", "1"));
    EXPECT_TRUE(test::FolderExists(dir.path()));

    test::WriteFile(dir / "plain", "x");
    EXPECT_FALSE(IniWriteString(dir / "plain/hoardwise.INI", "S", "K", "1"));
}

// UTF-16 bytes with their byte-order mark.
std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(IniFile, FilesInOtherCharacterSetsReadAsUtf8) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string value;
    };
    const std::string placeholder = "Klicke Suchen, um den TEMP-Ordner zu w\xC3\xA4hlen";
    const std::u16string text16 = u"[S]\r\nK=w\u00e4hlen \U0001F600\r\n";
    const std::string value16 = "w\xC3\xA4hlen \xF0\x9F\x98\x80";
    const std::u16string lone = u"[S]\nK=a" + std::u16string(1, char16_t{0xDC00}) + u"b\n";
    const Case cases[] = {
        {"UTF-8 as it is", "[S]\nK=" + placeholder + "\n", placeholder},
        {"UTF-8 after its mark", "\xEF\xBB\xBF[S]\nK=" + placeholder, placeholder},
        {"Windows-1252 placeholder", "[S]\r\nK=Klicke Suchen, um den TEMP-Ordner zu w\xE4hlen\r\n",
         placeholder},
        {"Windows-1252 euro sign", "[S]\nK=5 \x80\n", "5 \xE2\x82\xAC"},
        {"Windows-1252 quotes and unassigned bytes", "[S]\nK=\x84\x93\x81\x9D\n",
         "\xE2\x80\x9E\xE2\x80\x9C\xC2\x81\xC2\x9D"},
        {"overlong UTF-8 is Windows-1252", "[S]\nK=\xC0\xAF\n", "\xC3\x80\xC2\xAF"},
        {"UTF-8 mark before Windows-1252", "\xEF\xBB\xBF[S]\nK=\xFC\n", "\xC3\xBC"},
        {"UTF-16LE", Utf16(text16, false), value16},
        {"UTF-16BE", Utf16(text16, true), value16},
        {"UTF-16LE with an odd last byte", Utf16(text16, false) + "A", value16},
        {"UTF-16 with a lone surrogate", Utf16(lone, true),
         "a\xEF\xBF\xBD"
         "b"},
    };
    test::TempDir dir;
    const std::string path = dir / "hoardwise.INI";
    for (const Case& c : cases) {
        test::WriteFile(path, c.bytes);
        EXPECT_EQ(IniReadString(path, "s", "k"), c.value) << c.what;
    }
}

TEST(IniFile, WritingOneKeyStoresTheWholeFileAsUtf8AndKeepsEveryOtherLine) {
    test::TempDir dir;
    const std::string path = dir / "hoardwise.INI";
    test::WriteFile(path, "; f\xFCr \x80\r\n[S]\r\nA=\xC4\r\nK=old\r\n[T]\r\nB=\x9C\r\n");
    ASSERT_TRUE(IniWriteString(path, "S", "K", "n\xC3\xA9u"));
    EXPECT_EQ(test::ReadFile(path),
              "; f\xC3\xBCr \xE2\x82\xAC\n[S]\nA=\xC3\x84\nK=n\xC3\xA9u\n[T]\nB=\xC5\x93\n");

    test::WriteFile(path, Utf16(u"[S]\r\nA=\u00c4\r\n", false));
    ASSERT_TRUE(IniWriteString(path, "S", "K", "x"));
    EXPECT_EQ(test::ReadFile(path), "[S]\nA=\xC3\x84\nK=x\n");
}

}  // namespace
}  // namespace hw
