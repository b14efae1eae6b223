// The main window: a thin Qt view over MainForm. It builds one widget per model control in the
// layout of the window and binds them; all rules live in the model.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "gui/control_bindings_qt.h"
#include "gui/qt_translations_qt.h"
#include "ui/language.h"
#include "ui/main_form.h"

class QSocketNotifier;
class QStyle;
class QSystemTrayIcon;

namespace hw {

class PageControl;

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 371;
    static constexpr int kClientHeight = 307;

    // Which pages the constructor fills: all, or only the first one, which the window shows at
    // start; buildRemainingPages() then fills the others.
    enum class Pages { All, FirstOnly };
    // Builds and binds every control (see Pages); the model's timers start counting here.
    explicit MainWindow(MainForm& form, QWidget* parent = nullptr, Pages pages = Pages::All);
    ~MainWindow() override;

    // Fills the pages the constructor left empty, as if it had filled them: the program calls it
    // once the window has painted, so that the window shows sooner. Does nothing the second time.
    void buildRemainingPages();

    void showCentered();
    // A later copy asked this one to come forward.
    void bringToFront();
    void restoreWindow();

  signals:
    // The window agreed to close: the program ends.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QWidget* addPage(TabSheet& sheet);
    void buildDirectoriesPage(QWidget* page);
    void buildBackupPage(QWidget* page);
    void buildGeneralPage(QWidget* page);
    void buildAppRunnerPage(QWidget* page);
    void buildAboutPage(QWidget* page);
    void buildCommandButtons();
    void buildTimersAndTray();
    void browseRow(QWidget* page, int y, Label& label, Edit& edit, Button& browse,
                   TextId browseName);
    // The widget's accessible name is the label's caption, in the language shown.
    void nameAfter(QWidget* widget, const Label& label);
    void assignMnemonics();
    // One notifier per end watch of the programs the model started, made anew at every change.
    void watchStartedPrograms();
    void awaitReap();

    MainForm& form_;
    ControlBinder binder_;
    QtTranslations translations_;
    // Accessible names made of several texts, set again after a language switch.
    std::vector<std::function<void()>> accessibleNames_;
    PageControl* pages_ = nullptr;
    // The pages not filled yet, each with its builder, in page order.
    std::vector<std::pair<QWidget*, void (MainWindow::*)(QWidget*)>> unbuiltPages_;
    // Gives the window's check boxes and radio buttons marks of the scaled size.
    void scaleMarks();
    QStyle* marks_ = nullptr;
    std::vector<QSocketNotifier*> endWatches_;
    bool closing_ = false;
    bool shownOnce_ = false;
};

}  // namespace hw
