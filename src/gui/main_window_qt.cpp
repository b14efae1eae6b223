#include "gui/main_window_qt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "gui/pictures_qt.h"
#include "gui/url_label_qt.h"

namespace hw {

namespace {

constexpr int kEditWidth = 257;
constexpr int kEditHeight = 21;
constexpr int kCheckBoxWidth = 329;
constexpr int kRowHeight = 17;

template <class W>
W* Place(QWidget* parent, const std::string& name, int x, int y, int width, int height) {
    auto* widget = new W(parent);
    widget->setObjectName(ToQt(name));
    widget->setGeometry(x, y, width, height);
    return widget;
}

// Buttons that take no keyboard focus. Picture buttons are drawn flat; text buttons keep a frame,
// or a flat one would read as a label.
QToolButton* FlatButton(QWidget* parent, const std::string& name, int x, int y, int width,
                        int height, bool withPicture = false) {
    auto* button = Place<QToolButton>(parent, name, x, y, width, height);
    button->setAutoRaise(withPicture);
    button->setFocusPolicy(Qt::NoFocus);
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

MainWindow::MainWindow(MainForm& form, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      form_(form),
      binder_(form) {
    setObjectName(QStringLiteral("frm_main"));
    setFixedSize(kClientWidth, kClientHeight);
    setWindowIcon(Picture(QStringLiteral("hoardwise"), {16, 22, 32, 48}));
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    binder_.windowCaption(form_.Caption, this);

    pages_ = Place<QTabWidget>(this, "PageControl1", 8, 8, 353, 225);
    // All five tabs stay in view: a narrow font first, then shortened texts, never scrolling.
    QFont tabFont = font();
    tabFont.setPixelSize(10);
    pages_->tabBar()->setFont(tabFont);
    pages_->setUsesScrollButtons(false);
    pages_->setElideMode(Qt::ElideRight);
    pages_->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 2px 2px; border: 1px solid palette(mid);"
        " border-bottom: none; border-top-left-radius: 2px; border-top-right-radius: 2px;"
        " background: palette(button); }"
        "QTabBar::tab:selected { background: palette(window); }"
        "QTabBar::tab:!selected { margin-top: 2px; }"));

    buildDirectoriesPage(addPage(form_.TabSheet1));
    buildBackupPage(addPage(form_.TabSheet2));
    buildGeneralPage(addPage(form_.TabSheet3));
    buildAppRunnerPage(addPage(form_.TabSheet4));
    buildAboutPage(addPage(form_.TabSheet5));
    pages_->setCurrentIndex(0);

    buildCommandButtons();
    buildTimersAndTray();

    // At log-out or shut-down the window closes without asking and saves nothing.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { form_.SessionEnding(); });
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::addPage(TabSheet& sheet) {
    auto* page = new QWidget;
    page->setObjectName(ToQt(sheet.name()));
    const int index = pages_->addTab(page, QString());
    binder_.tabSheet(sheet, pages_, index);
    return page;
}

void MainWindow::browseRow(QWidget* page, int y, Label& label, Edit& edit, Button& browse) {
    binder_.label(label, Place<QLabel>(page, label.name(), 8, y, kEditWidth, kRowHeight - 2));
    binder_.edit(edit, Place<QLineEdit>(page, edit.name(), 8, y + 16, kEditWidth, kEditHeight));
    binder_.button(browse, FlatButton(page, browse.name(), 272, y + 15, 65, 22));
}

void MainWindow::buildDirectoriesPage(QWidget* page) {
    browseRow(page, 8, form_.Label1, form_.edit_tempdir, form_.btn_browsetemp);
    browseRow(page, 56, form_.Label2, form_.edit_backupdir, form_.btn_browsebackup);
    browseRow(page, 104, form_.Label3, form_.edit_clientdir, form_.btn_browseclientdir);
    binder_.label(form_.Label12,
                  Place<QLabel>(page, form_.Label12.name(), 8, 144, kCheckBoxWidth, kRowHeight));
}

void MainWindow::buildBackupPage(QWidget* page) {
    auto* storing = Place<QLabel>(page, form_.Label9.name(), 8, 10, 130, kRowHeight);
    Underline(storing);
    binder_.label(form_.Label9, storing);
    binder_.radioButton(
        form_.radio_storing_simple,
        Place<QRadioButton>(page, form_.radio_storing_simple.name(), 140, 8, 200, kRowHeight + 2));
    binder_.radioButton(form_.radio_storing_subfolder,
                        Place<QRadioButton>(page, form_.radio_storing_subfolder.name(), 140, 28,
                                            200, kRowHeight + 2));

    auto* autoBackup = Place<QLabel>(page, form_.Label6.name(), 8, 56, 200, kRowHeight);
    Underline(autoBackup);
    binder_.label(form_.Label6, autoBackup);
    binder_.checkBox(form_.cb_autobackup, Place<QCheckBox>(page, form_.cb_autobackup.name(), 8, 76,
                                                           168, kRowHeight + 2));
    auto* minutes = Place<QLineEdit>(page, form_.edit_autobackup.name(), 178, 75, 33, kEditHeight);
    binder_.edit(form_.edit_autobackup, minutes);
    auto* up = Place<QToolButton>(page, "UpDown1Up", 211, 75, 15, 11);
    auto* down = Place<QToolButton>(page, "UpDown1Down", 211, 86, 15, 10);
    for (QToolButton* arrow : {up, down}) {
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
    }
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    binder_.upDown(form_.UpDown1, minutes, up, down);
    binder_.label(form_.Label4, Place<QLabel>(page, form_.Label4.name(), 232, 78, 110, kRowHeight));

    auto* extra = Place<QLabel>(page, form_.Label5.name(), 8, 106, 257, kRowHeight);
    Underline(extra);
    binder_.label(form_.Label5, extra);
    binder_.listBox(form_.listbox_files,
                    Place<QListWidget>(page, form_.listbox_files.name(), 8, 124, kEditWidth, 56));
    binder_.button(form_.btn_lb_add, FlatButton(page, form_.btn_lb_add.name(), 272, 124, 71, 22));
    binder_.button(form_.btn_lb_remove,
                   FlatButton(page, form_.btn_lb_remove.name(), 272, 150, 71, 22));
    TabOrder(page, {&form_.cb_autobackup, &form_.edit_autobackup, &form_.radio_storing_simple,
                    &form_.radio_storing_subfolder, &form_.listbox_files});
}

void MainWindow::buildGeneralPage(QWidget* page) {
    int y = 8;
    for (CheckBox* box :
         {&form_.cb_startminimized, &form_.cb_boot, &form_.cb_startclient, &form_.cb_watchclient}) {
        binder_.checkBox(*box,
                         Place<QCheckBox>(page, box->name(), 8, y, kCheckBoxWidth, kRowHeight + 2));
        y += 24;
    }
    binder_.label(form_.Label8,
                  Place<QLabel>(page, form_.Label8.name(), 8, y + 14, 80, kRowHeight));
    binder_.comboBox(form_.combo_language,
                     Place<QComboBox>(page, form_.combo_language.name(), 90, y + 10, 145, 22));
    TabOrder(page, {&form_.cb_boot, &form_.cb_startminimized, &form_.combo_language,
                    &form_.cb_startclient, &form_.cb_watchclient});
}

void MainWindow::buildAppRunnerPage(QWidget* page) {
    browseRow(page, 8, form_.Label11, form_.edit_launchpad_path, form_.btn_browselaunchpad);
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
    // Two short lines under the picture in a 64 pixel wide button.
    QFont captionFont = font();
    captionFont.setPixelSize(10);
    int x = 8;
    for (const auto& [button, picture] : commands) {
        QToolButton* widget = FlatButton(this, button->name(), x, 240, 64, 60, true);
        widget->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        widget->setFont(captionFont);
        widget->setIcon(Picture(QString::fromLatin1(picture), {29}));
        widget->setIconSize(QSize(29, 28));
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
    for (MenuItem* item :
         {&form_.pop_restore, &form_.pop_enabledisable, &form_.N1, &form_.pop_exit}) {
        if (item == &form_.N1) {
            menu->addSeparator()->setObjectName(ToQt(item->name()));
            continue;
        }
        QAction* action = menu->addAction(QString());
        action->setObjectName(ToQt(item->name()));
        binder_.menuItem(*item, action);
    }
    tray_ = new QSystemTrayIcon(Picture(QStringLiteral("tray"), {16, 22, 24, 32, 48}), this);
    tray_->setObjectName(ToQt(form_.abfTrayIcon1.name()));
    tray_->setContextMenu(menu);
    binder_.trayIcon(form_.abfTrayIcon1, tray_);
}

void MainWindow::showCentered() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed(QPoint(), frameGeometry().size());
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
    show();
}

void MainWindow::bringToFront() {
    if (isHidden() || isMinimized()) {
        restoreFromTray();
        return;
    }
    raise();
    activateWindow();
}

void MainWindow::minimizeToTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();  // without a notification area the taskbar keeps a way back
        return;
    }
    hide();
    form_.abfTrayIcon1.setVisible(true);
}

void MainWindow::restoreFromTray() {
    showNormal();
    raise();
    activateWindow();
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
