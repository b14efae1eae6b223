// Scaffold: replaced by the settings file reader, writer, loader and saver.
#include "ui/main_form.h"

namespace hw {

std::string MainForm::SettingsFilePath() const {
    return {};
}
std::string MainForm::ReadSetting(const std::string&, const std::string&) const {
    return "NULL";
}
void MainForm::WriteSetting(const std::string&, const std::string&, const std::string&) {}
void MainForm::LoadSettings() {
    ApplyLanguage("EN");
}
void MainForm::SaveSettings() {}
void MainForm::btn_savesettingsClick() {
    SaveSettings();
}
std::string MainForm::JoinFileList() const {
    return {};
}
std::vector<std::string> MainForm::SplitFileList(const std::string&) {
    return {};
}
bool MainForm::SetAutostart(bool on) {
    return services.autostart->SetAutostart(on);
}

}  // namespace hw
