// Scaffold: replaced by the full language tables.
#include "ui/main_form.h"

namespace hw {

std::string MainForm::CurrentLanguageCode() const {
    return "EN";
}
void MainForm::ApplyLanguage(const std::string&) {}
void MainForm::ApplyEnglishTexts() {}
void MainForm::ApplyGermanTexts() {}
void MainForm::combo_languageChange() {}

}  // namespace hw
