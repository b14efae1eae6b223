// Qt's own texts (the buttons and labels of its file and folder choosers, its context menus) in
// the program's language, from the translations Qt ships (Debian: qt6-translations-l10n).
#pragma once

#include <QTranslator>
#include <string>

namespace hw {

class QtTranslations {
  public:
    QtTranslations() = default;
    ~QtTranslations();
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    // "DE" installs Qt's German texts; any other code takes them away again (Qt's own texts are
    // English). False when they could not be found.
    bool Apply(const std::string& code);

  private:
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace hw
