#include "ui/controls.h"

#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace hw {
namespace {

TEST(EditRules, DifferentTextRaisesAtOnceEqualTextRaisesNothing) {
    Edit edit("e");
    std::vector<std::string> seen;
    edit.onChange = [&] { seen.push_back(edit.text()); };

    edit.setText("a");
    ASSERT_EQ(seen, (std::vector<std::string>{"a"}));  // raised before setText returned
    edit.setText("a");
    EXPECT_EQ(seen.size(), 1u);
    edit.userTyped("ab");
    EXPECT_EQ(seen.back(), "ab");
}

TEST(EditRules, HandlerAssigningItsOwnEditComesToRest) {
    Edit edit("e");
    int entered = 0;
    edit.onChange = [&] {
        ++entered;
        if (edit.text() == "placeholder EN") edit.setText("placeholder DE");
    };
    edit.setText("placeholder EN");
    EXPECT_EQ(edit.text(), "placeholder DE");
    EXPECT_EQ(entered, 2);  // the nested assignment ran the handler once more, then rest
}

TEST(CheckBoxRules, OnlyADifferentStateRaisesTheClickHandler) {
    CheckBox box("cb");
    int clicks = 0;
    box.onClick = [&] { ++clicks; };
    box.setChecked(false);
    EXPECT_EQ(clicks, 0);
    box.setChecked(true);
    EXPECT_EQ(clicks, 1);
    box.userClick();
    EXPECT_FALSE(box.checked());
    EXPECT_EQ(clicks, 2);
    box.setEnabled(false);
    box.userClick();  // a disabled box takes no click
    EXPECT_FALSE(box.checked());
}

TEST(RadioRules, ExactlyOneOfTheGroupIsChecked) {
    RadioButton simple("simple"), sub("sub");
    RadioButton::MakeGroup({&simple, &sub});
    simple.setChecked(true);
    sub.setChecked(true);
    EXPECT_FALSE(simple.checked());
    EXPECT_TRUE(sub.checked());
    sub.setChecked(false);
    EXPECT_TRUE(simple.checked());
    EXPECT_FALSE(sub.checked());
}

TEST(ListBoxRules, KeepsItemsSortedIgnoringCaseWithMultipleSelection) {
    ListBox list("lb");
    list.add("Zeta.dat");
    list.add("alpha.met");
    EXPECT_EQ(list.add("Beta"), 1);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"alpha.met", "Beta", "Zeta.dat"}));
    EXPECT_EQ(list.indexOf("beta"), -1);  // finding counts letter case
    EXPECT_EQ(list.indexOf("Beta"), 1);
    list.setSelected(0, true);
    list.setSelected(2, true);
    EXPECT_TRUE(list.selected(0));
    EXPECT_FALSE(list.selected(1));
    EXPECT_TRUE(list.selected(2));
    list.remove(1);
    EXPECT_EQ(list.count(), 2);
    list.clear();
    EXPECT_EQ(list.count(), 0);
}

TEST(ComboRules, ProgramRefillsRaiseNothingUserPickAndTypingRaise) {
    ComboBox combo("combo");
    std::vector<std::string> seen;
    combo.onChange = [&] { seen.push_back(combo.text()); };
    combo.clearItems();
    combo.addItem("English");
    combo.addItem("German");
    combo.setItemIndex(0);
    EXPECT_EQ(combo.text(), "English");
    EXPECT_TRUE(seen.empty());

    combo.userPicked(1);
    EXPECT_EQ(seen, (std::vector<std::string>{"German"}));  // text set first, raised once
    combo.userTyped("Germa");
    combo.userTyped("Germ");
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(combo.itemIndex(), -1);
}

TEST(UpDownRules, ChangingRaisedBeforeTheMoveAndPositionHeldToRange) {
    Edit minutes("minutes");
    minutes.setText("30");
    UpDown spin("spin", minutes, 1, 120, 30);
    std::vector<int> seenPositions;
    spin.onChanging = [&](bool&, int) { seenPositions.push_back(spin.position()); };

    spin.setPosition(45);
    EXPECT_EQ(seenPositions, (std::vector<int>{30}));  // still the old position
    EXPECT_EQ(spin.position(), 45);
    EXPECT_EQ(minutes.text(), "45");

    spin.setPosition(500);
    EXPECT_EQ(spin.position(), 120);
    spin.setPosition(120);
    EXPECT_EQ(seenPositions.size(), 2u);  // same position: nothing raised
    spin.userStep(+1);                    // no wrap at the top
    EXPECT_EQ(spin.position(), 120);
    spin.setPosition(-7);
    EXPECT_EQ(spin.position(), 1);
    EXPECT_EQ(minutes.text(), "1");

    minutes.setText("500");  // typed, position unchanged: setting it shows the position again
    spin.setPosition(1);
    EXPECT_EQ(minutes.text(), "1");
}

TEST(TimerRules, IntervalAndRunningChangesOnlyWhenDifferent) {
    Timer timer("t", 60000, true);
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    const unsigned start = timer.countdownGeneration();

    timer.setInterval(60000);
    EXPECT_EQ(timer.countdownGeneration(), start);
    timer.setInterval(1800000);
    EXPECT_EQ(timer.countdownGeneration(), start + 1);  // a new countdown
    timer.setRunning(true);
    EXPECT_EQ(timer.countdownGeneration(), start + 1);
    timer.setRunning(false);
    timer.tick();
    EXPECT_EQ(ticks, 0);
    timer.setRunning(true);
    EXPECT_EQ(timer.countdownGeneration(), start + 2);
    timer.tick();
    EXPECT_EQ(ticks, 1);
    for (int stopping : {0, -5}) {  // would fire without pause
        timer.setInterval(stopping);
        EXPECT_FALSE(timer.running());
        timer.tick();
        EXPECT_EQ(ticks, 1);
    }
    timer.setInterval(1000);
    EXPECT_TRUE(timer.running());
    timer.destroy();
    timer.setRunning(true);
    timer.tick();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer.running());
}

TEST(TrayIconRules, HintCutToSixtyThreeCharactersNotBytes) {
    TrayIcon icon("tray");
    icon.setHint(std::string(70, 'x'));
    EXPECT_EQ(icon.hint().size(), 63u);
    std::string umlauts;
    for (int i = 0; i < 70; ++i) umlauts += "ä";
    icon.setHint(umlauts);
    EXPECT_EQ(icon.hint().size(), 126u);  // 63 two-byte characters, none split
}

TEST(MainFormCreatedState, ControlsStartAsTheWindowIsBuilt) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    EXPECT_TRUE(f.radio_storing_simple.checked());
    EXPECT_FALSE(f.radio_storing_subfolder.checked());
    EXPECT_EQ(f.edit_autobackup.text(), "30");
    EXPECT_EQ(f.edit_autobackup.maxLength(), 3);
    EXPECT_EQ(f.UpDown1.position(), 30);
    EXPECT_EQ(f.UpDown1.min(), 1);
    EXPECT_EQ(f.UpDown1.max(), 120);
    EXPECT_EQ(f.timer_autobackup.interval(), 60000);
    EXPECT_EQ(f.timer_observer.interval(), 10000);
    EXPECT_EQ(f.timer_mini_on_start.interval(), 10);
    EXPECT_TRUE(f.timer_autobackup.running() && f.timer_observer.running() &&
                f.timer_mini_on_start.running());
    EXPECT_FALSE(f.cb_autobackup.checked() || f.cb_boot.checked() || f.cb_startclient.checked() ||
                 f.cb_watchclient.checked() || f.cb_startminimized.checked());
    EXPECT_TRUE(f.cb_lauchpad_startup.enabled());
    EXPECT_FALSE(f.edit_launchpad_path.enabled() || f.btn_browselaunchpad.enabled() ||
                 f.cb_lauchpad_watch.enabled() || f.Label11.enabled());
    EXPECT_TRUE(f.clientExe.empty());
    EXPECT_TRUE(f.msg_error_caption.empty());
    EXPECT_EQ(f.tempdir_text.en, "Click Browse to select TEMP-Folder");
    EXPECT_EQ(f.Label7.caption(), "Label7");
    EXPECT_EQ(f.listbox_files.count(), 0);
    EXPECT_TRUE(f.combo_language.items().empty());
    EXPECT_FALSE(f.abfTrayIcon1.visible());
}

}  // namespace
}  // namespace hw
