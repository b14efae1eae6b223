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

}  // namespace
}  // namespace hw
