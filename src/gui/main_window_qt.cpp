#include "gui/main_window_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProxyStyle>
#include <QRadioButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <cmath>

#include "gui/accessibility_qt.h"
#include "gui/command_button_qt.h"
#include "gui/contents_window_qt.h"
#include "gui/history_window_qt.h"
#include "gui/page_control_qt.h"
#include "gui/pictures_qt.h"
#include "gui/url_label_qt.h"
#include "ui/language.h"

namespace hw {

namespace {

constexpr int kEditWidth = 257;
constexpr int kEditHeight = 21;
constexpr int kCheckBoxWidth = 329;
constexpr int kRowHeight = 17;

// The window is laid out for the default desktop font (about 12 pixels high); a larger one
// makes the window and everything in it grow with it, so that nothing is cut.
double& Scale() {
    static double scale = 1.0;
    return scale;
}

double ScaleForDesktopFont() {
    const int pixels = QFontInfo(QApplication::font()).pixelSize();
    return std::max(1.0, pixels / 12.0);
}

int S(int pixels) {
    return qRound(pixels * Scale());
}

// Font sizes round down, so that a text never outgrows the room it had at the default font.
int FontPixels(int pixels) {
    return static_cast<int>(pixels * Scale());
}

// Some styles (the GTK theme's among them) draw the mark of a check box or radio button at a
// fixed pixel size, however large the font: it grows with the window here.
class ScaledMarks : public QProxyStyle {
  public:
    // Over a copy of the application's own style, which the proxy may own.
    explicit ScaledMarks(double scale)
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), scale_(scale) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int pixels = QProxyStyle::pixelMetric(metric, option, widget);
        switch (metric) {
            case PM_IndicatorWidth:
            case PM_IndicatorHeight:
            case PM_ExclusiveIndicatorWidth:
            case PM_ExclusiveIndicatorHeight:
                return qRound(pixels * scale_);
            default:
                return pixels;
        }
    }

  private:
    double scale_;
};

template <class W>
W* Place(QWidget* parent, const std::string& name, int x, int y, int width, int height) {
    auto* widget = new W(parent);
    widget->setObjectName(ToQt(name));
    widget->setGeometry(S(x), S(y), S(width), S(height));
    return widget;
}

// Buttons that take no keyboard focus. Picture buttons are drawn flat; text buttons keep a frame,
// or a flat one would read as a label.
// Enter presses a focused button, as Space does.
void PressOnEnter(QAbstractButton* button) {
    new EventHook(button, [button](QEvent* event) {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        button->click();
        return true;
    });
}

QToolButton* FlatButton(QWidget* parent, const std::string& name, int x, int y, int width,
                        int height, bool withPicture = false) {
    auto* button = Place<QToolButton>(parent, name, x, y, width, height);
    button->setAutoRaise(withPicture);
    button->setFocusPolicy(Qt::StrongFocus);
    PressOnEnter(button);
    if (!withPicture) {
        // A framed 71 pixel button still holds "Hinzufügen" in full.
        QFont small = button->font();
        small.setPixelSize(FontPixels(10));
        button->setFont(small);
    }
    return button;
}

void Underline(QLabel* label) {
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
}

// The keyboard order of a page's controls.
void TabOrder(QWidget* page, std::initializer_list<const Control*> controls) {
    QWidget* previous = nullptr;
    for (const Control* control : controls) {
        QWidget* widget = page->findChild<QWidget*>(ToQt(control->name()));
        if (previous && widget) QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

}  // namespace

MainWindow::MainWindow(MainForm& form, QWidget* parent, Pages pages)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      form_(form),
      binder_(form) {
    setObjectName(QStringLiteral("frm_main"));
    InstallAccessibleRoles();
    Scale() = ScaleForDesktopFont();
    // A window laid out to the pixel has nothing to show at any other size: no maximise.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    setFixedSize(S(kClientWidth), S(kClientHeight));
    setWindowIcon(Picture(QStringLiteral("hoardwise"), {16, 22, 32, 48}));
    QFont small = font();
    small.setPixelSize(FontPixels(11));
    setFont(small);
    binder_.windowCaption(form_.Caption, this);
    translations_.Apply(form_.CurrentLanguageCode());
    // While a run is under way the window stays usable, and says so with its cursor.
    form_.onRunStateChanged = [this] {
        form_.RunUnderWay() ? setCursor(Qt::BusyCursor) : unsetCursor();
    };
    form_.onLanguageApplied = [this](const std::string& code) {
        translations_.Apply(code);
        for (const auto& name : accessibleNames_) name();
        assignMnemonics();
    };

    pages_ = Place<PageControl>(this, "PageControl1", 8, 8, 353, 225);
    pages_->setScale(Scale());

    // Every tab is there from the start; a page's controls may come later.
    const std::pair<TabSheet*, void (MainWindow::*)(QWidget*)> sheets[] = {
        {&form_.TabSheet1, &MainWindow::buildDirectoriesPage},
        {&form_.TabSheet2, &MainWindow::buildBackupPage},
        {&form_.TabSheet3, &MainWindow::buildGeneralPage},
        {&form_.TabSheet4, &MainWindow::buildAppRunnerPage},
        {&form_.TabSheet5, &MainWindow::buildAboutPage}};
    for (const auto& [sheet, build] : sheets) unbuiltPages_.emplace_back(addPage(*sheet), build);
    pages_->setCurrentIndex(0);
    const std::size_t now = pages == Pages::All ? unbuiltPages_.size() : 1;
    for (std::size_t k = 0; k < now; ++k) (this->*unbuiltPages_[k].second)(unbuiltPages_[k].first);
    unbuiltPages_.erase(unbuiltPages_.begin(), unbuiltPages_.begin() + now);

    buildCommandButtons();
    buildTimersAndTray();
    assignMnemonics();
    scaleMarks();
    form_.onEndWatchesChanged = [this] { watchStartedPrograms(); };
    watchStartedPrograms();
    form_.showContents = [this](ContentsView& view) {
        ContentsWindow contents(form_, view, this);
        contents.exec();
    };
    form_.showHistory = [this](HistoryView& view) {
        HistoryWindow history(view, this);
        history.exec();
    };
}

void MainWindow::buildRemainingPages() {
    if (unbuiltPages_.empty()) return;
    // A widget made later joins the window's Tab chain at its end, after the command buttons:
    // each page's controls are put back behind the previous page's, as when built in order.
    // Qt leaves widgets that take no focus where they are.
    auto focusable = [](const QWidget* widget) { return widget->focusPolicy() != Qt::NoFocus; };
    auto built = [this](const QWidget* widget) {
        for (int i = 0; i < pages_->count(); ++i) {
            QWidget* page = pages_->widget(i);
            const bool waiting =
                std::any_of(unbuiltPages_.begin(), unbuiltPages_.end(),
                            [page](const auto& unbuilt) { return unbuilt.first == page; });
            if (!waiting && page->isAncestorOf(widget)) return true;
        }
        return false;
    };
    QWidget* previous = pages_->tabButton(pages_->count() - 1);
    for (QWidget* widget = nextInFocusChain(); widget != this;
         widget = widget->nextInFocusChain()) {
        if (focusable(widget) && built(widget)) previous = widget;
    }
    for (const auto& [page, build] : unbuiltPages_) {
        (this->*build)(page);
        std::vector<QWidget*> chain;
        for (QWidget* widget = nextInFocusChain(); widget != this;
             widget = widget->nextInFocusChain()) {
            if (page->isAncestorOf(widget) && focusable(widget)) chain.push_back(widget);
        }
        for (QWidget* widget : chain) {
            QWidget::setTabOrder(previous, widget);
            previous = widget;
        }
    }
    unbuiltPages_.clear();
    assignMnemonics();
    scaleMarks();
}

void MainWindow::scaleMarks() {
    if (Scale() <= 1.0) return;
    if (marks_ == nullptr) {
        marks_ = new ScaledMarks(Scale());
        marks_->setParent(this);
    }
    for (QCheckBox* box : findChildren<QCheckBox*>()) box->setStyle(marks_);
    for (QRadioButton* radio : findChildren<QRadioButton*>()) radio->setStyle(marks_);
}

MainWindow::~MainWindow() {
    form_.onLanguageApplied = nullptr;
    form_.onEndWatchesChanged = nullptr;
    form_.onRunStateChanged = nullptr;
    form_.showHistory = nullptr;
    form_.showContents = nullptr;
}

void MainWindow::awaitReap() {
    // The restart of an ended program waits until the system has reaped it.
    if (!form_.ReapPending()) return;
    QTimer::singleShot(200, this, [this] {
        form_.Dispatch([this] { form_.StartedProgramEnded(); });
        awaitReap();
    });
}

void MainWindow::watchStartedPrograms() {
    // The old notifiers go first: a new watch may have the number of a closed one. Each goes
    // later, since this may run inside its own signal.
    for (QSocketNotifier* notifier : endWatches_) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    endWatches_.clear();
    for (const int watch : form_.EndWatchDescriptors()) {
        auto* notifier = new QSocketNotifier(watch, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
            // The end stays readable: the model lets go of the watch, and the notifier with it.
            notifier->setEnabled(false);
            form_.Dispatch([this] { form_.StartedProgramEnded(); });
            watchStartedPrograms();
            awaitReap();
        });
        endWatches_.push_back(notifier);
    }
}

QWidget* MainWindow::addPage(TabSheet& sheet) {
    auto* page = new QWidget;
    page->setObjectName(ToQt(sheet.name()));
    const int index = pages_->addTab(page, QString());
    binder_.tabSheet(sheet, pages_, index);
    return page;
}

void MainWindow::browseRow(QWidget* page, int y, Label& label, Edit& edit, Button& browse,
                           TextId browseName) {
    auto* caption = Place<QLabel>(page, label.name(), 8, y, kEditWidth, kRowHeight - 2);
    binder_.label(label, caption);
    auto* field = Place<QLineEdit>(page, edit.name(), 8, y + 16, kEditWidth, kEditHeight);
    binder_.edit(edit, field);
    // A screen reader names the field after its label, in the language shown.
    caption->setBuddy(field);
    auto* button = FlatButton(page, browse.name(), 272, y + 15, 65, 22);
    binder_.button(browse, button);
    // Every row's button reads "Browse": a screen reader says which folder it is for.
    auto name = [this, button, browseName] {
        button->setAccessibleName(ToQt(LanguageText(form_, browseName)));
    };
    name();
    accessibleNames_.push_back(name);
}

// Alt and a letter press each button and check box: the command buttons' letters first, as they
// are shown with every page, then those of each page in reading order, each letter used once.
void MainWindow::assignMnemonics() {
    auto inReadingOrder = [](QList<QAbstractButton*> buttons) {
        std::stable_sort(buttons.begin(), buttons.end(), [](QWidget* a, QWidget* b) {
            const QPoint p = a->mapTo(a->window(), QPoint());
            const QPoint q = b->mapTo(b->window(), QPoint());
            return p.y() != q.y() ? p.y() < q.y() : p.x() < q.x();
        });
        return buttons;
    };
    auto assign = [](const QList<QAbstractButton*>& buttons, QString& used) {
        for (QAbstractButton* button : buttons) {
            const QString caption = WithoutMnemonic(button->text());
            int at = -1;
            for (int i = 0; i < caption.size() && at < 0; ++i) {
                if (caption[i].isLetter() && !used.contains(caption[i].toLower())) at = i;
            }
            if (at >= 0) used += caption[at].toLower();
            button->setProperty(kMnemonicProperty, at);
            button->setText(WithMnemonic(caption, button));
        }
    };
    QList<QAbstractButton*> commands;
    for (QAbstractButton* button : findChildren<CommandButton*>()) commands << button;
    QString shared;
    assign(inReadingOrder(commands), shared);
    for (int i = 0; i < pages_->count(); ++i) {
        QString used = shared;
        QList<QAbstractButton*> buttons;
        for (QAbstractButton* button : pages_->widget(i)->findChildren<QAbstractButton*>()) {
            if (!button->text().isEmpty()) buttons << button;
        }
        assign(inReadingOrder(buttons), used);
    }
}

void MainWindow::nameAfter(QWidget* widget, const Label& label) {
    auto name = [widget, &label] { widget->setAccessibleName(ToQt(label.caption())); };
    name();
    accessibleNames_.push_back(name);
}

void MainWindow::buildDirectoriesPage(QWidget* page) {
    browseRow(page, 8, form_.Label1, form_.edit_tempdir, form_.btn_browsetemp,
              TextId::BrowseTempName);
    browseRow(page, 56, form_.Label2, form_.edit_backupdir, form_.btn_browsebackup,
              TextId::BrowseBackupName);
    browseRow(page, 104, form_.Label3, form_.edit_clientdir, form_.btn_browseclientdir,
              TextId::BrowseClientName);
    binder_.label(form_.Label12,
                  Place<QLabel>(page, form_.Label12.name(), 8, 144, kCheckBoxWidth, kRowHeight));
}

void MainWindow::buildBackupPage(QWidget* page) {
    // The German heading breaks into two lines beside the two radio buttons.
    auto* storing = Place<QLabel>(page, form_.Label9.name(), 8, 9, 136, 2 * kRowHeight);
    storing->setWordWrap(true);
    storing->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Underline(storing);
    binder_.label(form_.Label9, storing);
    // The radio buttons are read as one group, named by the heading beside them.
    auto* choices = Place<ControlGroup>(page, "group_storing", 148, 8, 199, 42);
    nameAfter(choices, form_.Label9);
    binder_.radioButton(
        form_.radio_storing_simple,
        Place<QRadioButton>(choices, form_.radio_storing_simple.name(), 0, 0, 120, kRowHeight + 2));
    // What the backup holds, download by download, beside the short first choice.
    binder_.button(form_.btn_contents, FlatButton(page, form_.btn_contents.name(), 272, 6, 71, 21));
    binder_.radioButton(form_.radio_storing_subfolder,
                        Place<QRadioButton>(choices, form_.radio_storing_subfolder.name(), 0, 20,
                                            199, kRowHeight + 2));

    auto* autoBackup = Place<QLabel>(page, form_.Label6.name(), 8, 54, 84, kRowHeight);
    Underline(autoBackup);
    binder_.label(form_.Label6, autoBackup);
    binder_.checkBox(form_.cb_autobackup, Place<QCheckBox>(page, form_.cb_autobackup.name(), 8, 73,
                                                           168, kRowHeight + 2));
    auto* minutes = Place<QLineEdit>(page, form_.edit_autobackup.name(), 178, 72, 33, kEditHeight);
    binder_.edit(form_.edit_autobackup, minutes);
    auto* up = Place<QToolButton>(page, "UpDown1Up", 211, 72, 15, 11);
    auto* down = Place<QToolButton>(page, "UpDown1Down", 211, 83, 15, 10);
    for (QToolButton* arrow : {up, down}) {
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
    }
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    binder_.upDown(form_.UpDown1, minutes, up, down);
    binder_.label(form_.Label4, Place<QLabel>(page, form_.Label4.name(), 232, 75, 110, kRowHeight));
    // Under the schedule, two lines the width of the page: the last successful backup, a
    // failure since, and the next automatic one.
    binder_.statusLabel(form_.label_lastbackup, Place<QLabel>(page, form_.label_lastbackup.name(),
                                                              8, 95, 335, 2 * kRowHeight - 4));

    auto* extra = Place<QLabel>(page, form_.Label5.name(), 8, 127, 257, kRowHeight);
    Underline(extra);
    binder_.label(form_.Label5, extra);
    auto* list = Place<QListWidget>(page, form_.listbox_files.name(), 8, 145, kEditWidth, 41);
    binder_.listBox(form_.listbox_files, list);
    nameAfter(list, form_.Label5);
    binder_.button(form_.btn_lb_add, FlatButton(page, form_.btn_lb_add.name(), 272, 145, 71, 20));
    binder_.button(form_.btn_lb_remove,
                   FlatButton(page, form_.btn_lb_remove.name(), 272, 166, 71, 20));
    // The history of all runs in the free space beside the list's heading.
    binder_.button(form_.btn_history, FlatButton(page, form_.btn_history.name(), 272, 125, 71, 19));
    // The minutes field is read with the words around it; its arrows with it.
    auto nameMinutes = [this, minutes, up, down] {
        const QString every =
            ToQt(form_.cb_autobackup.caption() + " ... " + form_.Label4.caption());
        minutes->setAccessibleName(every);
        up->setAccessibleName(QStringLiteral("+1: ") + every);
        down->setAccessibleName(QStringLiteral("-1: ") + every);
    };
    nameMinutes();
    accessibleNames_.push_back(nameMinutes);
    TabOrder(page,
             {&form_.radio_storing_simple, &form_.radio_storing_subfolder, &form_.btn_contents,
              &form_.label_lastbackup, &form_.cb_autobackup, &form_.edit_autobackup,
              &form_.listbox_files, &form_.btn_lb_add, &form_.btn_lb_remove, &form_.btn_history});
}

void MainWindow::buildGeneralPage(QWidget* page) {
    int y = 8;
    for (CheckBox* box :
         {&form_.cb_startminimized, &form_.cb_boot, &form_.cb_startclient, &form_.cb_watchclient}) {
        binder_.checkBox(*box,
                         Place<QCheckBox>(page, box->name(), 8, y, kCheckBoxWidth, kRowHeight + 2));
        y += 24;
    }
    auto* language = Place<QLabel>(page, form_.Label8.name(), 8, y + 14, 80, kRowHeight);
    binder_.label(form_.Label8, language);
    auto* combo = Place<QComboBox>(page, form_.combo_language.name(), 90, y + 10, 145, 22);
    binder_.comboBox(form_.combo_language, combo);
    // On Linux a combo box is named by what it shows; its label is told by the relation.
    language->setBuddy(combo);
    // Reading order: a keyboard user meets the boxes as they stand.
    TabOrder(page, {&form_.cb_startminimized, &form_.cb_boot, &form_.cb_startclient,
                    &form_.cb_watchclient, &form_.combo_language});
}

void MainWindow::buildAppRunnerPage(QWidget* page) {
    browseRow(page, 8, form_.Label11, form_.edit_launchpad_path, form_.btn_browselaunchpad,
              TextId::BrowseLaunchpadName);
    binder_.checkBox(form_.cb_lauchpad_startup,
                     Place<QCheckBox>(page, form_.cb_lauchpad_startup.name(), 8, 60, kCheckBoxWidth,
                                      kRowHeight + 2));
    binder_.checkBox(form_.cb_lauchpad_watch,
                     Place<QCheckBox>(page, form_.cb_lauchpad_watch.name(), 8, 84, kCheckBoxWidth,
                                      kRowHeight + 2));
}

void MainWindow::buildAboutPage(QWidget* page) {
    binder_.label(form_.Label7, Place<QLabel>(page, form_.Label7.name(), 8, 16, 70, kRowHeight));
    binder_.linkLabel(form_.JDUrlLabel1,
                      Place<UrlLabel>(page, form_.JDUrlLabel1.name(), 80, 16, 257, kRowHeight));
    binder_.label(form_.Label10, Place<QLabel>(page, form_.Label10.name(), 8, 40, 70, kRowHeight));
    binder_.linkLabel(form_.JDUrlLabel2,
                      Place<UrlLabel>(page, form_.JDUrlLabel2.name(), 80, 40, 257, kRowHeight));
    binder_.linkLabel(form_.JDUrlLabel3,
                      Place<UrlLabel>(page, form_.JDUrlLabel3.name(), 8, 72, 329, kRowHeight));
}

void MainWindow::buildCommandButtons() {
    const std::pair<Button*, const char*> commands[] = {{&form_.btn_backup, "backup"},
                                                        {&form_.btn_restore, "restore"},
                                                        {&form_.btn_savesettings, "savesettings"},
                                                        {&form_.btn_minimize, "minimize"},
                                                        {&form_.btn_exit, "exit"}};
    // Two short lines under the picture in a 64 pixel wide button: the longest German word
    // ("Einstellungen") needs the letters set a little closer.
    QFont captionFont = font();
    captionFont.setPixelSize(FontPixels(10));
    captionFont.setLetterSpacing(QFont::PercentageSpacing, 92);
    int x = 8;
    for (const auto& [button, picture] : commands) {
        auto* widget = Place<CommandButton>(this, button->name(), x, 240, 64, 60);
        widget->setAutoRaise(true);
        widget->setFocusPolicy(Qt::StrongFocus);
        PressOnEnter(widget);
        widget->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        widget->setFont(captionFont);
        widget->setIcon(Picture(QString::fromLatin1(picture), {S(29)}));
        widget->setIconSize(QSize(S(29), S(28)));
        binder_.button(*button, widget);
        x += 72;
    }
}

void MainWindow::buildTimersAndTray() {
    for (Timer* timer :
         {&form_.timer_autobackup, &form_.timer_observer, &form_.timer_mini_on_start}) {
        auto* clock = new QTimer(this);
        clock->setObjectName(ToQt(timer->name()));
        binder_.timer(*timer, clock);
    }

    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    for (MenuItem* item : {&form_.pop_restore, &form_.pop_enabledisable, &form_.pop_backup,
                           &form_.N1, &form_.pop_exit}) {
        if (item == &form_.N1) {
            menu->addSeparator()->setObjectName(ToQt(item->name()));
            continue;
        }
        QAction* action = menu->addAction(QString());
        action->setObjectName(ToQt(item->name()));
        binder_.menuItem(*item, action);
    }
    binder_.trayIcon(form_.abfTrayIcon1, [this, menu] {
        auto* icon =
            new QSystemTrayIcon(Picture(QStringLiteral("tray"), {16, 22, 24, 32, 48}), this);
        icon->setObjectName(ToQt(form_.abfTrayIcon1.name()));
        icon->setContextMenu(menu);
        return icon;
    });
}

void MainWindow::showCentered() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed(QPoint(), frameGeometry().size());
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
    show();
    shownOnce_ = true;
}

void MainWindow::bringToFront() {
    // While the settings still load, the window must not appear half filled: only a box that
    // the loading opened comes forward.
    if (!shownOnce_) {
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->raise();
            box->activateWindow();
        }
        return;
    }
    if (isHidden() || isMinimized()) {
        restoreWindow();
        return;
    }
    raise();
    activateWindow();
}

void MainWindow::restoreWindow() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (!isMinimized() || (change->oldState() & Qt::WindowMinimized)) return;
    // A minimise from the window manager (its own button, a shortcut) takes the path of the
    // window's minimise button. Queued: hiding a window inside its state change confuses some
    // window managers.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && isMinimized()) form_.Dispatch([this] { form_.btn_minimizeClick(); });
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A second request while the close question is open is answered by that question.
    if (closing_) {
        event->ignore();
        return;
    }
    closing_ = true;
    bool allowClose = false;
    form_.Dispatch([this, &allowClose] { form_.FormClose(allowClose); });
    closing_ = false;
    if (!allowClose) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

}  // namespace hw
