#include "gui/qt_translations_qt.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace hw {

QtTranslations::~QtTranslations() {
    if (installed_) QCoreApplication::removeTranslator(&translator_);
}

bool QtTranslations::Apply(const std::string& code) {
    if (installed_) QCoreApplication::removeTranslator(&translator_);
    installed_ = false;
    if (code != "DE") return true;
    // "qt_de" bundles qtbase with Qt's other modules' texts.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator_.load(QStringLiteral("qtbase_de"), folder) &&
        !translator_.load(QStringLiteral("qt_de"), folder)) {
        return false;
    }
    installed_ = QCoreApplication::installTranslator(&translator_);
    return installed_;
}

}  // namespace hw
