#include <gtest/gtest.h>

#include "supervision/program_starter_linux.h"
#include "support/fake_services.h"

namespace hw {
namespace {

using test::Shown;

void SetEnglishTexts(MainForm& form) {
    form.msg_app_not_started = "Application could not be started ! \nCouldn't find the executable.";
    form.msg_error_caption = "Error ...";
}

TEST(LaunchProgram, AFailedStartIsReportedOnlyWhenAsked) {
    for (bool report : {true, false}) {
        test::FakeDesktop desk;
        SetEnglishTexts(desk.f());
        desk.starter.succeed = false;
        desk.f().LaunchProgram("/opt/e mule/emule.exe", report);
        EXPECT_EQ(desk.starter.started, std::vector<std::string>{"/opt/e mule/emule.exe"});
        if (report) {
            ASSERT_EQ(desk.dialogs.shown.size(), 1u);
            EXPECT_EQ(desk.dialogs.shown[0].kind, Shown::Kind::Message);
            EXPECT_EQ(desk.dialogs.shown[0].text, desk.f().msg_app_not_started);
            EXPECT_EQ(desk.dialogs.shown[0].caption, "Error ...");
        } else {
            EXPECT_TRUE(desk.dialogs.shown.empty());
        }
    }
    test::FakeDesktop started;
    SetEnglishTexts(started.f());
    started.f().LaunchProgram("/opt/emule.exe", true);
    EXPECT_TRUE(started.dialogs.shown.empty());
}

TEST(LaunchProgram, AMissingProgramOnTheRealStarterShowsTheMessageOnlyWithTheFlag) {
    for (bool report : {true, false}) {
        test::FakeDesktop desk;
        LinuxProgramStarter starter;
        Services services = desk.services();
        services.starter = &starter;
        services.executablePath = desk.home / "hoardwise";
        MainForm form(services);
        SetEnglishTexts(form);
        form.LaunchProgram(desk.home / "eMule/emule.exe", report);
        EXPECT_EQ(starter.lastStart().outcome, StartResult::Outcome::NotStarted);
        EXPECT_EQ(desk.dialogs.messageTexts(),
                  report ? std::vector<std::string>{form.msg_app_not_started}
                         : std::vector<std::string>{});
        EXPECT_EQ(desk.dialogs.messageCaptions(),
                  report ? std::vector<std::string>{"Error ..."} : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace hw
