// The list of additional files: adding from the file dialog, removing, and a whole cycle of
// browse, add, back up and restore driven through the window's handlers only.
#include <gtest/gtest.h>

#include "backup/backup_fixture.h"
#include "support/fake_services.h"

namespace hw::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kAbove =
    "Following files were not added because they are lieing above the client-directory: \n\n";
const std::string kListed = "Following files are already in the list: \n\n";
const std::string kUnstorable =
    "Following files were not added because their names contain \";\" or a line break, which "
    "the list of additional files cannot store: \n\n";

// An English window whose client folder field shows the text; the question that a folder
// without a client raises is not part of these tests.
struct ListDesk {
    FakeDesktop desk;
    explicit ListDesk(const std::string& clientDir) {
        f().ApplyLanguage("EN");
        f().edit_clientdir.setText(clientDir);
        desk.dialogs.shown.clear();
    }
    MainForm& f() { return desk.f(); }
    Strings entries() { return f().listbox_files.items(); }
};

TEST(AddAdditionalFiles, EntriesAreThePathsBelowTheClientFolderByWholeElements) {
    struct Case {
        const char* name;
        std::string clientDir;
        Strings listed;  // before the add
        Strings chosen;
        Strings entries;      // after the add
        std::string message;  // "" for none
        std::string startFolder;
    };
    const std::string C = "/home/u/emule";
    const Case cases[] = {
        {"directly below", C, {}, {C + "/server.met"}, {"server.met"}, "", C},
        {"trailing separator", C + "/", {}, {C + "/server.met"}, {"server.met"}, "", C},
        {"nested", C, {}, {C + "/config/x.dat"}, {"config/x.dat"}, "", C},
        {"root as client folder", "/", {}, {"/x.met"}, {"x.met"}, "", "/"},
        {"outside", C, {}, {"/srv/other/x.met"}, {}, kAbove + "/srv/other/x.met\n", C},
        {"above", C, {}, {"/home/u/x.met"}, {}, kAbove + "/home/u/x.met\n", C},
        {"name only begins like the folder",
         C,
         {},
         {"/home/u/emule2/x.met"},
         {},
         kAbove + "/home/u/emule2/x.met\n",
         C},
        {"folder text inside another path",
         C,
         {},
         {"/srv/home/u/emule/x.met"},
         {},
         kAbove + "/srv/home/u/emule/x.met\n",
         C},
        {"duplicate",
         C,
         {"server.met"},
         {C + "/server.met"},
         {"server.met"},
         kListed + C + "/server.met\n",
         C},
        {"same file twice in one choice",
         C,
         {},
         {C + "/a.met", C + "/a.met"},
         {"a.met"},
         kListed + C + "/a.met\n",
         C},
        {"letter case makes another entry",
         C,
         {"Server.met"},
         {C + "/server.met"},
         {"Server.met", "server.met"},
         "",
         C},
        {"duplicate and outside: only the duplicates are reported",
         C,
         {"server.met"},
         {"/srv/x.met", C + "/server.met", C + "/new.met"},
         {"new.met", "server.met"},
         kListed + C + "/server.met\n",
         C},
        {"several outside in the dialog's order",
         C,
         {},
         {"/b.met", "/a.met"},
         {},
         kAbove + "/b.met\n/a.met\n",
         C},
        {"sorted without regard to case",
         C,
         {},
         {C + "/Zeta.dat", C + "/alpha.met", C + "/beta.met"},
         {"alpha.met", "beta.met", "Zeta.dat"},
         "",
         C},
        {"names the settings file cannot hold",
         C,
         {},
         {C + "/a;b.met", C + "/line\nbreak.met", C + "/cr\r.met", C + "/ok.met"},
         {"ok.met"},
         kUnstorable + C + "/a;b.met\n" + C + "/line\nbreak.met\n" + C + "/cr\r.met\n",
         C},
        {"outside reported before unstorable names",
         C,
         {},
         {C + "/a;b.met", "/x.met"},
         {},
         kAbove + "/x.met\n",
         C},
        {"placeholder as client folder",
         "Click Browse to select eDonkey-Client Folder",
         {},
         {C + "/server.met"},
         {},
         kAbove + C + "/server.met\n",
         "Click Browse to select eDonkey-Client Folder"},
        {"empty client folder", "", {}, {"/server.met"}, {}, kAbove + "/server.met\n", ""},
        {"cancelled", C, {"server.met"}, {}, {"server.met"}, "", C},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListDesk d(c.clientDir);
        for (const std::string& entry : c.listed) d.f().listbox_files.add(entry);
        if (!c.chosen.empty()) d.desk.dialogs.fileAnswers = {c.chosen};
        d.f().btn_lb_add.userClick();

        ASSERT_GE(d.desk.dialogs.shown.size(), 1u);
        const Shown& dialog = d.desk.dialogs.shown[0];
        EXPECT_EQ(dialog.kind, Shown::Kind::OpenFiles);
        EXPECT_EQ(dialog.text, "Search additional files to backup");
        EXPECT_EQ(dialog.caption, c.startFolder);
        EXPECT_EQ(d.entries(), c.entries);
        if (c.message.empty()) {
            EXPECT_EQ(d.desk.dialogs.shown.size(), 1u);
        } else {
            EXPECT_EQ(d.desk.dialogs.messageTexts(), Strings{c.message});
            EXPECT_EQ(d.desk.dialogs.messageCaptions(), Strings{"Error ..."});
        }
    }
}

TEST(AddAdditionalFiles, DialogAndRefusalsSpeakTheSelectedLanguage) {
    ListDesk d("/home/u/emule");
    d.f().combo_language.userPicked(1);
    EXPECT_EQ(d.f().OpenDialog2.filter, "MET-Dateien|*.met|DAT-Dateien|*.dat|Alle Dateien|*.*");
    EXPECT_TRUE(d.f().OpenDialog2.multiSelect);
    d.desk.dialogs.fileAnswers = {{"/home/u/emule/a;b.met"}};
    d.f().btn_lb_add.userClick();
    EXPECT_EQ(d.desk.dialogs.shown[0].text, "Suche zusätzlich zu sichernde Dateien");
    EXPECT_EQ(d.desk.dialogs.messageTexts(),
              Strings{"Folgende Dateien wurden nicht hinzugefügt, da ihre Namen \";\" oder einen "
                      "Zeilenumbruch enthalten; solche Namen kann die Liste zusätzlicher Dateien "
                      "nicht speichern: \n\n/home/u/emule/a;b.met\n"});
    EXPECT_EQ(d.desk.dialogs.messageCaptions(), Strings{"Fehler ..."});
}

TEST(AddAdditionalFiles, EntriesFollowTheClientFolderWhenItChangesLater) {
    ListDesk d("/home/u/emule");
    d.desk.dialogs.fileAnswers = {{"/home/u/emule/server.met"}};
    d.f().btn_lb_add.userClick();
    EXPECT_EQ(d.f().RelativeToClientDir("/home/u/emule/config/x.dat"), "config/x.dat");
    EXPECT_EQ(d.f().RelativeToClientDir("/home/u/emule2/x.dat"), "INVALID_DIR");
    EXPECT_EQ(d.f().RelativeToClientDir("/home/u/emule"), "INVALID_DIR");
    d.f().edit_clientdir.setText("/mnt/emule");
    EXPECT_EQ(d.entries(), Strings{"server.met"});
    EXPECT_EQ(d.f().JoinFileList(), "server.met");
}

TEST(RemoveAdditionalFiles, EverySelectedEntryLeavesAndNoFileIsTouched) {
    TempDir client;
    for (const char* name : {"a.met", "b.met", "c.dat", "d.dat"}) WriteFile(client / name, name);
    ListDesk d(client.path());
    d.desk.dialogs.fileAnswers = {
        {client / "a.met", client / "b.met", client / "c.dat", client / "d.dat"}};
    d.f().btn_lb_add.userClick();
    ASSERT_EQ(d.entries(), (Strings{"a.met", "b.met", "c.dat", "d.dat"}));
    for (int i : {0, 2, 3}) d.f().listbox_files.setSelected(i, true);
    const std::size_t shown = d.desk.dialogs.shown.size();
    d.f().btn_lb_remove.userClick();
    EXPECT_EQ(d.entries(), Strings{"b.met"});
    EXPECT_EQ(d.desk.dialogs.shown.size(), shown);
    for (const char* name : {"a.met", "b.met", "c.dat", "d.dat"}) {
        EXPECT_EQ(ReadFile(client / name), name);
    }
    d.f().btn_lb_remove.userClick();  // nothing selected
    EXPECT_EQ(d.entries(), Strings{"b.met"});
}

TEST(AdditionalFilesCycle, BrowseAddBackUpDamageAndRestoreThroughTheWindowsHandlers) {
    for (bool subfolders : {false, true}) {
        SCOPED_TRACE(subfolders);
        FakeDesktop desk;
        TempDir root;
        const std::string C = root / "client";
        const std::string T = C + "/temp";
        const std::string partFolder = subfolders ? T + "/Download1" : T;
        const std::string part1 = PartMet(std::string("hash\xff\x00\xfe", 7));
        const std::string part2 = PartMet(std::string(70000, '\x5a'));
        const std::string servers("\x0e\x01servers\x00", 11);
        WriteFile(partFolder + "/001.part.met", part1);
        WriteFile(partFolder + "/002.part.met", part2);
        WriteFile(C + "/server.met", servers);
        WriteFile(C + "/config/preferences.dat", "prefs");
        WriteFile(C + "/emule.exe", "client program");

        LoadFrom(desk, "");
        MainForm& f = desk.f();
        if (subfolders) f.radio_storing_subfolder.userClick();
        desk.dialogs.folderAnswers = {T, root / "backup", C};
        f.btn_browsetemp.userClick();
        f.btn_browsebackup.userClick();
        f.btn_browseclientdir.userClick();
        EXPECT_EQ(f.clientExe, "emule.exe");
        desk.dialogs.fileAnswers = {{C + "/server.met", C + "/config/preferences.dat"}};
        f.btn_lb_add.userClick();
        EXPECT_EQ(f.listbox_files.items(), (Strings{"config/preferences.dat", "server.met"}));
        f.btn_backup.userClick();

        WriteFile(partFolder + "/001.part.met", "damaged");
        WriteFile(partFolder + "/002.part.met", "");
        WriteFile(C + "/server.met", "lost");
        WriteFile(C + "/config/preferences.dat", "");
        desk.dialogs.answers = {true};
        f.btn_restore.userClick();

        EXPECT_EQ(ReadFile(partFolder + "/001.part.met"), part1);
        EXPECT_EQ(ReadFile(partFolder + "/002.part.met"), part2);
        EXPECT_EQ(ReadFile(C + "/server.met"), servers);
        EXPECT_EQ(ReadFile(C + "/config/preferences.dat"), "prefs");
        EXPECT_EQ(desk.dialogs.messageTexts(), (Strings{"Backing up *.PART.METs successful !",
                                                        "Restoring *.PART.METs successful !"}));
    }
}

}  // namespace
}  // namespace hw::test
