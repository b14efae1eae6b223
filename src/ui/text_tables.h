// The texts that need no window, in both languages: the messages and the texts that handlers
// pick at the moment they show them. The command line uses them as the window does.
#pragma once

#include <string>
#include <vector>

#include "ui/language.h"
#include "ui/messages.h"

namespace hw {

enum class Language { English, German };

struct Bilingual {
    const char* en;
    const char* de;
    const char* in(Language language) const { return language == Language::English ? en : de; }
};

struct MessageText {
    std::string Messages::*variable;
    Bilingual text;
};

const std::vector<MessageText>& MessageTexts();

const Bilingual& MomentText(TextId id);

}  // namespace hw
