// The desktop services of the program on Qt: message boxes, file dialogs and the main window.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "base/services.h"

namespace hw {

class MainWindow;

// "desc|pattern|desc|pattern" into Qt's "desc (pattern);;desc (pattern)". Patterns separated by
// ";" become a space-separated list, and "*.*" means every file, as it does on the desktop the
// filters were written for.
QString QtFileFilter(const std::string& filter);

class QtDialogs : public Dialogs {
  public:
    // The boxes and dialogs belong to this window once it exists.
    void setParentWindow(QWidget* parent) { parent_ = parent; }
    // Once the window has closed, a run that was under way ends without boxes (its result is in
    // the history, and a box would hold up the end of the session); questions answer No.
    void windowClosed() { closed_ = true; }

    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ShowErrorReport(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& question) override;
    Choice AskYesNoOr(const std::string& question, const std::string& extra) override;
    std::vector<std::string> OpenFiles(const OpenDialog& dialog,
                                       const std::string& initialFolder) override;
    std::string BrowseFolder(const FolderBrowse& dialog) override;

  private:
    QPointer<QWidget> parent_;
    bool closed_ = false;
};

// Qt ends a desktop session with a quit of its own once the session manager has said its last
// word, after its session-saving state has gone again; that quit, seen on its way to the
// windows, is what tells the session's end.
class SessionEndWatch : public QObject {
  public:
    bool ending() const { return ending_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool ending_ = false;
};

class QtWindowService : public WindowService {
  public:
    // Also starts watching for the end of the session.
    void attach(MainWindow* window);

    void BringMainWindowToFront() override;
    bool NotificationAreaAvailable() override;
    void HideApplication() override;
    void MinimizeApplication() override;
    void RestoreApplication() override;
    void Quit() override;
    bool SessionEnding() override;
    void OpenUrl(const std::string& address) override;
    // Qt draws on a screen (not offscreen) and the session names an X or Wayland display.
    bool HasDisplay() override;

  private:
    QPointer<MainWindow> window_;
    SessionEndWatch sessionEnd_;
};

}  // namespace hw
