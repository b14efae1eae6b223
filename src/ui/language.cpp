#include "ui/language.h"

#include "ui/language_tables.h"
#include "ui/main_form.h"

namespace hw {

namespace {

void SetCaptions(MainForm& form, const std::vector<CaptionText>& texts, Language language) {
    for (const CaptionText& entry : texts) {
        Captioned& control = entry.control(form);
        control.setCaption(entry.text.in(language));
        if (entry.linkTarget) dynamic_cast<LinkLabel&>(control).setUrl(entry.linkTarget);
    }
}

// Both languages run the same steps in the same order. The path edits come before the selector
// is refilled, so their change handlers still see the language shown before this apply.
void ApplyTexts(MainForm& form, Language language) {
    FillMessages(form, language == Language::English ? "EN" : "DE");

    for (const DialogText& entry : DialogTexts()) {
        OpenDialog& dialog = form.*entry.dialog;
        dialog.filter = entry.filter.in(language);
        dialog.title = entry.title.in(language);
    }

    for (const PathEditText& entry : PathEditTexts()) {
        // Copied first: a change handler raised by the assignment may rewrite the remembered text.
        const RememberedPathText remembered = form.*entry.remembered;
        (form.*entry.edit).setText(language == Language::English ? remembered.en : remembered.de);
    }

    SetCaptions(form, CaptionsBeforeSelector(), language);

    form.combo_language.clearItems();
    form.combo_language.addItem(SelectorOwnName().in(language));
    form.combo_language.addItem(SelectorOtherName().in(language));
    form.combo_language.setItemIndex(0);

    SetCaptions(form, CaptionsAfterSelector(), language);

    form.pop_enabledisable.setCaption(MomentText(form.cb_autobackup.checked()
                                                     ? TextId::MenuDisableAutobackup
                                                     : TextId::MenuEnableAutobackup)
                                          .in(language));

    SetCaptions(form, CaptionsLast(), language);

    // The executable's name is written again, in the new language, when it is next chosen.
    form.Label12.setCaption("");
}

}  // namespace

std::string LanguageText(const MainForm& form, TextId id) {
    return LanguageText(form.CurrentLanguageCode(), id);
}

std::string MainForm::CurrentLanguageCode() const {
    const std::string& shown = combo_language.text();
    if (shown == "German" || shown == "Deutsch") return "DE";
    return "EN";
}

void MainForm::ApplyLanguage(const std::string& code) {
    if (code == "EN") {
        ApplyEnglishTexts();
    } else {
        ApplyGermanTexts();
    }
    // The status line and the tray's texts are made of several texts: made again at once.
    RefreshStatusText();
    if (onLanguageApplied) onLanguageApplied(code == "EN" ? "EN" : "DE");
}

void MainForm::ApplyEnglishTexts() {
    ApplyTexts(*this, Language::English);
}

void MainForm::ApplyGermanTexts() {
    ApplyTexts(*this, Language::German);
}

void MainForm::combo_languageChange() {
    ApplyLanguage(CurrentLanguageCode());
}

}  // namespace hw
