#include "gui/qt_services_qt.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QUrl>

#include "gui/control_bindings_qt.h"
#include "gui/main_window_qt.h"

namespace hw {

namespace {

QString QtPatterns(const QString& patterns) {
    QStringList list;
    for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (trimmed.isEmpty()) continue;
        list << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return list.isEmpty() ? QStringLiteral("*") : list.join(QLatin1Char(' '));
}

// A box placed over a window that is not shown (not yet, or hidden behind the tray icon), or
// over none, would open at the screen's corner: it opens in the middle of the screen instead.
class PlacedBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // the box takes its size here
        const QWidget* over = parentWidget();
        if (over != nullptr && over->isVisible()) return;
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) return;
        QRect placed(QPoint(), frameGeometry().size());
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
};

// Plain text: a path or a file name is never read as markup.
void ShowBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
             const std::string& caption) {
    PlacedBox box(icon, ToQt(caption), ToQt(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

QString QtFileFilter(const std::string& filter) {
    const QStringList parts = ToQt(filter).split(QLatin1Char('|'));
    if (filter.empty()) return QString();
    QStringList entries;
    for (int i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = QtPatterns(i + 1 < parts.size() ? parts[i + 1] : QString());
        entries << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return entries.join(QStringLiteral(";;"));
}

void QtDialogs::ShowMessage(const std::string& text, const std::string& caption) {
    if (closed_) return;
    ShowBox(parent_, QMessageBox::NoIcon, text, caption);
}

void QtDialogs::ShowErrorReport(const std::string& text, const std::string& caption) {
    ShowBox(parent_, QMessageBox::Critical, text, caption);
}

bool QtDialogs::AskYesNo(const std::string& question) {
    return AskYesNoOr(question, {}) == Choice::Yes;
}

Choice QtDialogs::AskYesNoOr(const std::string& question, const std::string& extra) {
    if (closed_) return Choice::No;
    // The confirmation box's own texts are German whatever the program's language.
    PlacedBox box(QMessageBox::Question, QStringLiteral("Bestätigung"), ToQt(question),
                  QMessageBox::NoButton, parent_);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    QPushButton* other =
        extra.empty() ? nullptr : box.addButton(ToQt(extra), QMessageBox::ActionRole);
    // Enter answers Yes even where the extra button has the focus: only a click chooses it.
    if (other != nullptr) other->setAutoDefault(false);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() == yes) return Choice::Yes;
    return other != nullptr && box.clickedButton() == other ? Choice::Extra : Choice::No;
}

std::vector<std::string> QtDialogs::OpenFiles(const OpenDialog& dialog,
                                              const std::string& initialFolder) {
    QFileDialog chooser(parent_, ToQt(dialog.title), ToQt(initialFolder),
                        QtFileFilter(dialog.filter));
    chooser.setObjectName(ToQt(dialog.name));
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(dialog.multiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
    chooser.setSizeGripEnabled(true);
    // aMule keeps its files in a hidden folder.
    chooser.setFilter(chooser.filter() | QDir::Hidden);
    std::vector<std::string> chosen;
    if (chooser.exec() != QDialog::Accepted) return chosen;
    for (const QString& file : chooser.selectedFiles()) chosen.push_back(FromQt(file));
    return chosen;
}

std::string QtDialogs::BrowseFolder(const FolderBrowse& dialog) {
    const QString selection = ToQt(dialog.selection);
    const bool existing = !selection.isEmpty() && QFileInfo(selection).isDir();
    QFileDialog chooser(parent_, ToQt(dialog.caption), existing ? selection : QDir::homePath());
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly, true);
    chooser.setFilter(chooser.filter() | QDir::Hidden);
    if (chooser.exec() != QDialog::Accepted) return {};
    const QStringList chosen = chooser.selectedFiles();
    if (chosen.isEmpty()) return {};
    const QFileInfo folder(chosen.first());
    if (!folder.isDir()) return {};
    return FromQt(QDir::cleanPath(folder.absoluteFilePath()));
}

bool SessionEndWatch::eventFilter(QObject* watched, QEvent* event) {
    // The program itself never asks for a quit (it exits); a spontaneous one is the desktop's.
    if (watched == qApp && event->type() == QEvent::Quit && event->spontaneous()) ending_ = true;
    return false;
}

void QtWindowService::attach(MainWindow* window) {
    window_ = window;
    if (qApp != nullptr) qApp->installEventFilter(&sessionEnd_);
}

void QtWindowService::BringMainWindowToFront() {
    if (!window_ || !window_->isVisible()) return;
    window_->raise();
    window_->activateWindow();
}

bool QtWindowService::NotificationAreaAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtWindowService::HideApplication() {
    if (window_) window_->hide();
}

void QtWindowService::MinimizeApplication() {
    if (window_) window_->showMinimized();
}

void QtWindowService::RestoreApplication() {
    if (window_) window_->restoreWindow();
}

void QtWindowService::Quit() {
    // quit() would first close every window, which asks the close question a second time.
    QCoreApplication::exit(0);
}

bool QtWindowService::SessionEnding() {
    // While the session manager saves the session, and from the quit that ends it: a save
    // request that does not end the session leaves nothing behind.
    return qApp->isSavingSession() || sessionEnd_.ending();
}

void QtWindowService::OpenUrl(const std::string& address) {
    QDesktopServices::openUrl(QUrl(ToQt(address)));
}

bool QtWindowService::HasDisplay() {
    const QString platform = QGuiApplication::platformName();
    const bool screen = !platform.isEmpty() && platform != QLatin1String("offscreen") &&
                        platform != QLatin1String("minimal");
    return screen && (!qEnvironmentVariableIsEmpty("DISPLAY") ||
                      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
}

}  // namespace hw
