// Every text of the window in both languages, in the order in which an apply assigns them.
#pragma once

#include <string>
#include <vector>

#include "ui/language.h"
#include "ui/main_form.h"
#include "ui/text_tables.h"

namespace hw {

struct DialogText {
    OpenDialog MainForm::*dialog;
    Bilingual filter;
    Bilingual title;
};

struct PathEditText {
    Edit MainForm::*edit;
    RememberedPathText MainForm::*remembered;
};

// A caption; for a link label also its fixed link target, assigned right after the caption.
struct CaptionText {
    Captioned& (*control)(MainForm&);
    Bilingual text;
    const char* linkTarget = nullptr;
};

const std::vector<DialogText>& DialogTexts();
const std::vector<PathEditText>& PathEditTexts();
// Window caption, pages, Directories page, then the labels and boxes before the selector.
const std::vector<CaptionText>& CaptionsBeforeSelector();
// The selector's items in each language: its own name first.
const Bilingual& SelectorOwnName();
const Bilingual& SelectorOtherName();
// From Label9 to pop_restore.
const std::vector<CaptionText>& CaptionsAfterSelector();
// After the auto-backup menu item: pop_exit and the list buttons.
const std::vector<CaptionText>& CaptionsLast();

}  // namespace hw
