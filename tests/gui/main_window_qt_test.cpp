#include "gui/main_window_qt.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include "base/errors.h"
#include "gui/command_button_qt.h"
#include "gui/page_control_qt.h"
#include "support/fake_services.h"

namespace hw {
namespace {

using test::Shown;

struct WindowUnderTest {
    test::FakeDesktop desk;
    MainWindow window{desk.f()};
    MainForm& form = desk.f();

    template <class W>
    W* find(const char* name) {
        W* widget = window.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};

void Key(QWidget* widget, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &press);
}

void Type(QWidget* widget, const QString& text) {
    for (const QChar ch : text) Key(widget, ch.toUpper().unicode(), QString(ch));
}

void Tick(QTimer* clock) {
    ASSERT_TRUE(QMetaObject::invokeMethod(clock, "timeout", Qt::DirectConnection));
}

TEST(MainWindowEdit, TypingReachesTheModelOncePerChangeAndModelTextsShowWithoutEcho) {
    WindowUnderTest w;
    int changes = 0;
    w.form.edit_tempdir.onChange = [&] { ++changes; };
    auto* field = w.find<QLineEdit>("edit_tempdir");
    EXPECT_EQ(field->text(), "edit_tempdir");

    field->setCursorPosition(0);
    Type(field, "/x");
    EXPECT_EQ(w.form.edit_tempdir.text(), "/xedit_tempdir");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(field->cursorPosition(), 2);  // the model's echo did not move the cursor

    w.form.edit_tempdir.setText("/home/me/temp");
    EXPECT_EQ(field->text(), "/home/me/temp");
    EXPECT_EQ(changes, 3);

    {  // a handler that corrects the text the user typed shows its correction
        w.form.edit_tempdir.onChange = [&] {
            ++changes;
            const std::string& text = w.form.edit_tempdir.text();
            if (text.size() > 1 && text.back() == '/') {
                w.form.edit_tempdir.setText(text.substr(0, text.size() - 1));
            }
        };
        field->end(false);
        Type(field, "/");
        EXPECT_EQ(w.form.edit_tempdir.text(), "/home/me/temp");
        EXPECT_EQ(field->text(), "/home/me/temp");
        EXPECT_EQ(changes, 5);  // the typed text and the correction
    }

    w.form.edit_tempdir.setEnabled(false);
    EXPECT_FALSE(field->isEnabled());
}

TEST(MainWindowEdit, LeavingTheFieldRaisesItsExitHandlerButABoxOpeningOverItDoesNot) {
    WindowUnderTest w;
    int exits = 0;
    w.form.edit_autobackup.onExit = [&] { ++exits; };
    auto* field = w.find<QLineEdit>("edit_autobackup");
    QFocusEvent tabbedAway(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(field, &tabbedAway);
    EXPECT_EQ(exits, 1);
    QFocusEvent boxOpened(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(field, &boxOpened);
    QFocusEvent menuOpened(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(field, &menuOpened);
    EXPECT_EQ(exits, 1);
}

// A path typed into the client folder field stays as typed: no box at a keystroke, and a box or
// menu taking the focus for a while leaves the cursor where the typing goes on.
TEST(MainWindowEdit, APathTypedIntoTheClientFolderFieldStaysAsTyped) {
    WindowUnderTest w;
    test::TempDir empty;
    auto* field = w.find<QLineEdit>("edit_clientdir");
    field->selectAll();
    Type(field, "/srv/amule");
    EXPECT_EQ(field->text(), "/srv/amule");
    EXPECT_EQ(field->cursorPosition(), 10);
    QFocusEvent boxOpened(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(field, &boxOpened);
    EXPECT_EQ(field->cursorPosition(), 10);
    EXPECT_TRUE(w.desk.dialogs.shown.empty());

    field->selectAll();
    Type(field, QString::fromStdString(empty.path()));
    EXPECT_TRUE(w.desk.dialogs.shown.empty());
    Key(field, Qt::Key_Return);  // no client there: now it asks
    EXPECT_EQ(w.desk.dialogs.count(Shown::Kind::Message), 1);
    EXPECT_EQ(w.form.edit_clientdir.text(), empty.path());
}

// Qt's own dialogs follow the program's language: their buttons come from Qt's translations.
TEST(MainWindowLanguage, QtsOwnTextsFollowTheProgramsLanguage) {
    WindowUnderTest w;
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    w.form.ApplyLanguage("DE");
    EXPECT_EQ(cancel(), "Abbrechen");
    w.form.ApplyLanguage("EN");
    EXPECT_EQ(cancel(), "Cancel");
}

// Tab goes through each page in reading order, then on to the command buttons; the arrow keys
// go from tab to tab; Enter presses a focused button.
TEST(MainWindowKeyboard, TabFollowsTheReadingOrderOfEachPage) {
    WindowUnderTest w;
    w.window.show();
    auto* pages = w.window.findChild<PageControl*>();
    const std::vector<std::vector<std::string>> chains = {
        {"edit_tempdir", "btn_browsetemp", "edit_backupdir", "btn_browsebackup", "edit_clientdir",
         "btn_browseclientdir"},
        {"radio_storing_simple", "radio_storing_subfolder", "btn_contents", "cb_autobackup",
         "edit_autobackup", "listbox_files", "btn_lb_add", "btn_lb_remove"},
        {"cb_startminimized", "cb_boot", "cb_startclient", "cb_watchclient", "combo_language"},
        {"edit_launchpad_path", "btn_browselaunchpad", "cb_lauchpad_startup", "cb_lauchpad_watch"},
        {"JDUrlLabel1", "JDUrlLabel2", "JDUrlLabel3"},
    };
    for (int page = 0; page < 5; ++page) {
        SCOPED_TRACE(page);
        pages->setCurrentIndex(page);
        w.form.cb_lauchpad_startup.setChecked(true);  // enables the watch box
        QWidget* widget = w.find<QWidget>(chains[page][0].c_str());
        std::vector<std::string> chain;
        for (int step = 0; step < 40 && chain.size() < chains[page].size(); ++step) {
            if (widget->isVisible() && widget->isEnabled() &&
                (widget->focusPolicy() & Qt::TabFocus) &&
                pages->widget(page)->isAncestorOf(widget)) {
                chain.push_back(widget->objectName().toStdString());
            }
            widget = widget->nextInFocusChain();
        }
        EXPECT_EQ(chain, chains[page]);
    }
    int saved = 0;
    w.form.btn_savesettings.onClick = [&] { ++saved; };
    Key(w.find<QToolButton>("btn_savesettings"), Qt::Key_Return);
    EXPECT_EQ(saved, 1);
    pages->setCurrentIndex(0);
    Key(pages->tabButton(0), Qt::Key_Right);
    EXPECT_EQ(pages->currentIndex(), 1);
}

// The program fills the pages behind the first one after the window has painted: the window
// then reads, and is gone through by Tab, as one built whole.
TEST(MainWindowKeyboard, PagesFilledAfterTheFirstPaintMatchAWindowBuiltWhole) {
    auto describe = [](MainWindow& window) {
        std::vector<std::string> seen;
        QWidget* widget = &window;
        do {
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            if (widget->focusPolicy() & Qt::TabFocus) {
                seen.push_back(
                    (widget->objectName() + (button ? "=" + button->text() : "")).toStdString());
            }
            widget = widget->nextInFocusChain();
        } while (widget != &window && seen.size() < 500);
        return seen;
    };
    test::FakeDesktop whole, later;
    MainWindow built(whole.f());
    MainWindow filled(later.f(), nullptr, MainWindow::Pages::FirstOnly);
    auto* pages = filled.findChild<PageControl*>();
    EXPECT_TRUE(pages->widget(1)->findChildren<QWidget*>().isEmpty());
    later.f().ApplyLanguage("DE");  // a switch before the fill reaches the later pages too
    later.f().ApplyLanguage("EN");
    filled.buildRemainingPages();
    filled.buildRemainingPages();  // the second call finds nothing left to do
    whole.f().ApplyLanguage("EN");
    EXPECT_EQ(describe(filled), describe(built));
}

// Every button and check box has a letter of its own on its page (the command buttons count on
// every page), in both languages.
TEST(MainWindowKeyboard, EveryButtonAndBoxHasALetterOfItsOwnOnItsPage) {
    WindowUnderTest w;
    auto* pages = w.window.findChild<PageControl*>();
    for (const char* code : {"EN", "DE"}) {
        w.form.ApplyLanguage(code);
        for (int page = 0; page < pages->count(); ++page) {
            QList<QAbstractButton*> buttons = pages->widget(page)->findChildren<QAbstractButton*>();
            for (QAbstractButton* command : w.window.findChildren<CommandButton*>()) {
                buttons << command;
            }
            QString letters;
            QStringList unmarked;  // where the text allows no letter of its own
            for (const QAbstractButton* button : buttons) {
                const QString text = button->text();
                if (text.isEmpty()) continue;  // the arrows of the minutes field
                const int mark = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
                if (mark < 0) {
                    unmarked << text.toLower();
                } else {
                    letters += text[mark + 1].toLower();
                }
            }
            for (const QChar letter : letters) {
                EXPECT_EQ(letters.count(letter), 1) << code << " page " << page;
            }
            for (const QString& text : unmarked) {
                for (const QChar letter : text) {
                    EXPECT_TRUE(!letter.isLetter() || letters.contains(letter))
                        << code << " " << text.toStdString();
                }
            }
        }
    }
}

// A screen reader names every field after its label, in the language shown.
TEST(MainWindowAccessibility, FieldsAreNamedAfterTheirLabelsInBothLanguages) {
    WindowUnderTest w;
    w.form.ApplyLanguage("EN");
    const auto name = [&](const char* widget) {
        return QAccessible::queryAccessibleInterface(w.find<QWidget>(widget))
            ->text(QAccessible::Name)
            .toStdString();
    };
    const std::vector<std::tuple<const char*, std::string, std::string>> rows = {
        {"edit_tempdir", "TEMP-Directory:", "TEMP-Ordner:"},
        {"edit_clientdir", "eDonkey-Client Directory:", "Esel-Client Ordner:"},
        {"listbox_files", "Additional files to backup:", "Zusätzlich zu sichernde Dateien:"},
        {"edit_autobackup", "auto-backup files every ... minutes",
         "sichere Dateien alle ... Minuten"},
        {"UpDown1Up", "+1: auto-backup files every ... minutes",
         "+1: sichere Dateien alle ... Minuten"},
        {"btn_browsetemp", "Browse for the TEMP-Directory", "TEMP-Ordner suchen"},
        {"btn_browselaunchpad", "Browse for the executable to launch",
         "Zu startende Anwendung suchen"},
        {"group_storing", "*.PART.MET storing:", "*.PART.MET Speicherung:"},
    };
    for (const auto& [widget, english, german] : rows) EXPECT_EQ(name(widget), english);
    w.form.ApplyLanguage("DE");
    for (const auto& [widget, english, german] : rows) EXPECT_EQ(name(widget), german);
    // Each control is announced as what it is.
    const auto role = [&](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->role();
    };
    auto* pages = w.window.findChild<PageControl*>();
    EXPECT_EQ(role(pages->tabButton(0)), QAccessible::PageTab);
    EXPECT_EQ(role(w.find<QWidget>("radio_storing_simple")), QAccessible::RadioButton);
    EXPECT_EQ(role(w.find<QWidget>("JDUrlLabel1")), QAccessible::Link);
    EXPECT_EQ(role(&w.window), QAccessible::Window);  // so that its title is read
    EXPECT_EQ(role(w.find<QWidget>("group_storing")), QAccessible::Grouping);
    // The line of the last backup is read in full, though it shows only what fits.
    w.form.label_lastbackup.setCaption(std::string(120, 'x'));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.find<QLabel>("label_lastbackup"))
                  ->text(QAccessible::Name),
              QString(120, 'x'));
    // The language box is labelled by its label (on Linux its name is what it shows).
    const auto labels = QAccessible::queryAccessibleInterface(w.find<QWidget>("combo_language"))
                            ->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->text(QAccessible::Name).toStdString(), "Sprache:");
}

// Ctrl+Tab takes the focus to the new page's tab, visibly, where a screen reader finds the page
// shown as the selected tab.
TEST(MainWindowAccessibility, CtrlTabFocusesTheNewTabVisibly) {
    WindowUnderTest w;
    w.window.show();
    w.window.activateWindow();
    QApplication::processEvents();
    auto* pages = w.window.findChild<PageControl*>();
    w.find<QWidget>("edit_tempdir")->setFocus();
    for (QShortcut* shortcut : pages->findChildren<QShortcut*>()) {
        if (shortcut->key() == QKeySequence(Qt::CTRL | Qt::Key_Tab)) emit shortcut->activated();
    }
    const auto state = [&](int tab) {
        return QAccessible::queryAccessibleInterface(pages->tabButton(tab))->state();
    };
    EXPECT_TRUE(state(1).focused && state(1).selected && !state(1).checked);
    EXPECT_FALSE(state(0).selected);
    const QImage focused = pages->tabButton(1)->grab().toImage();
    pages->tabButton(1)->clearFocus();
    EXPECT_NE(focused, pages->tabButton(1)->grab().toImage());
}

TEST(MainWindowMinutesField, HoldsAnyThreeCharactersAndStepsWithArrowsAndKeys) {
    WindowUnderTest w;
    int changing = 0;
    w.form.UpDown1.onChanging = [&](bool&, int) { ++changing; };
    auto* field = w.find<QLineEdit>("edit_autobackup");
    EXPECT_EQ(field->text(), "30");

    w.find<QToolButton>("UpDown1Up")->click();
    EXPECT_EQ(w.form.UpDown1.position(), 31);
    EXPECT_EQ(field->text(), "31");
    Key(field, Qt::Key_Up);
    EXPECT_EQ(w.form.UpDown1.position(), 32);
    Key(field, Qt::Key_Down);
    Key(field, Qt::Key_Down);
    w.find<QToolButton>("UpDown1Down")->click();
    EXPECT_EQ(w.form.UpDown1.position(), 29);
    EXPECT_EQ(field->text(), "29");
    EXPECT_EQ(w.form.edit_autobackup.text(), "29");
    EXPECT_EQ(changing, 5);

    field->selectAll();
    Type(field, "abcd");
    EXPECT_EQ(field->text(), "abc");
    EXPECT_EQ(w.form.edit_autobackup.text(), "abc");

    w.form.UpDown1.setEnabled(false);
    EXPECT_FALSE(w.find<QToolButton>("UpDown1Up")->isEnabled());
    EXPECT_FALSE(w.find<QToolButton>("UpDown1Down")->isEnabled());
}

TEST(MainWindowSchedule, ArrowsFocusAndTrayMenuReachTheScheduleAndItsQtTimer) {
    WindowUnderTest w;
    w.form.ApplyLanguage("EN");
    auto* clock = w.find<QTimer>("timer_autobackup");
    w.find<QToolButton>("UpDown1Up")->click();
    EXPECT_EQ(clock->interval(), 31 * 60000);

    auto* field = w.find<QLineEdit>("edit_autobackup");
    field->selectAll();
    Type(field, "500");
    QFocusEvent tabbedAway(QEvent::FocusOut, Qt::TabFocusReason);  // leaving checks the range
    QCoreApplication::sendEvent(field, &tabbedAway);
    EXPECT_EQ(field->text(), "30");
    EXPECT_EQ(w.desk.dialogs.count(Shown::Kind::Message), 1);
    EXPECT_EQ(clock->interval(), 30 * 60000);

    w.form.abfTrayIcon1.setVisible(true);
    QAction* item = w.find<QSystemTrayIcon>("abfTrayIcon1")->contextMenu()->actions()[1];
    EXPECT_EQ(item->text(), "Enable Autobackup");
    item->trigger();
    EXPECT_EQ(item->text(), "Disable Autobackup");
    EXPECT_TRUE(w.find<QCheckBox>("cb_autobackup")->isChecked());
    EXPECT_TRUE(clock->isActive());
}

TEST(MainWindowComboBox, PickRaisesChangeOnceTypingPerChangeAndRefillsNothing) {
    WindowUnderTest w;
    std::vector<std::string> seen;
    w.form.combo_language.onChange = [&] { seen.push_back(w.form.combo_language.text()); };
    auto* combo = w.find<QComboBox>("combo_language");
    EXPECT_TRUE(combo->isEditable());

    w.form.combo_language.addItem("English");
    w.form.combo_language.addItem("German");
    w.form.combo_language.setItemIndex(0);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), "English");
    EXPECT_TRUE(seen.empty());

    Key(combo, Qt::Key_Down);  // the user picks the next item
    EXPECT_EQ(seen, std::vector<std::string>({"German"}));
    EXPECT_EQ(w.form.combo_language.itemIndex(), 1);

    QLineEdit* field = combo->lineEdit();
    Key(field, Qt::Key_Backspace);
    Type(field, "x");
    EXPECT_EQ(seen, std::vector<std::string>({"German", "Germa", "Germax"}));
    EXPECT_EQ(w.form.combo_language.itemIndex(), -1);
    EXPECT_EQ(combo->count(), 2);  // typing never adds an item

    w.form.combo_language.clearItems();
    w.form.combo_language.addItem("Englisch");
    w.form.combo_language.addItem("Deutsch");
    w.form.combo_language.setItemIndex(1);
    EXPECT_EQ(seen.size(), 3u);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "Englisch");
    EXPECT_EQ(combo->currentText(), "Deutsch");
}

TEST(MainWindowChoices, CheckBoxRadioAndListFollowTheUserAndTheModel) {
    WindowUnderTest w;
    int clicks = 0;
    w.form.cb_autobackup.onClick = [&] { ++clicks; };
    auto* box = w.find<QCheckBox>("cb_autobackup");
    box->click();
    EXPECT_TRUE(w.form.cb_autobackup.checked());
    EXPECT_EQ(clicks, 1);
    w.form.cb_autobackup.setChecked(false);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(clicks, 2);

    auto* simple = w.find<QRadioButton>("radio_storing_simple");
    auto* subfolder = w.find<QRadioButton>("radio_storing_subfolder");
    EXPECT_TRUE(simple->isChecked());
    subfolder->click();
    EXPECT_TRUE(w.form.radio_storing_subfolder.checked());
    EXPECT_FALSE(simple->isChecked());
    subfolder->click();  // clicking the checked one keeps it checked
    EXPECT_TRUE(subfolder->isChecked());
    EXPECT_TRUE(w.form.radio_storing_subfolder.checked());

    auto* list = w.find<QListWidget>("listbox_files");
    w.form.listbox_files.add("known.met");
    w.form.listbox_files.add("Clients.dat");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Clients.dat");
    list->item(1)->setSelected(true);
    EXPECT_TRUE(w.form.listbox_files.selected(1));
    EXPECT_FALSE(w.form.listbox_files.selected(0));
    w.form.listbox_files.setSelected(0, true);
    EXPECT_TRUE(list->item(0)->isSelected());
    w.form.listbox_files.remove(0);
    ASSERT_EQ(list->count(), 1);
    EXPECT_TRUE(list->item(0)->isSelected());
    w.form.listbox_files.clear();
    EXPECT_EQ(list->count(), 0);
}

TEST(MainWindowTimers, ModelTimersRunAsQtTimersAndTheirTicksReachTheModel) {
    WindowUnderTest w;
    auto* autobackup = w.find<QTimer>("timer_autobackup");
    EXPECT_TRUE(autobackup->isActive());
    EXPECT_EQ(autobackup->interval(), 60000);
    EXPECT_EQ(w.find<QTimer>("timer_observer")->interval(), 10000);

    w.form.timer_autobackup.setInterval(5 * 60000);
    EXPECT_EQ(autobackup->interval(), 5 * 60000);
    EXPECT_TRUE(autobackup->isActive());
    w.form.timer_autobackup.setRunning(false);
    EXPECT_FALSE(autobackup->isActive());
    w.form.timer_autobackup.setRunning(true);
    EXPECT_TRUE(autobackup->isActive());
    w.form.timer_autobackup.setInterval(0);  // a zero period stops rather than spins
    EXPECT_FALSE(autobackup->isActive());

    int ticks = 0;
    w.form.timer_mini_on_start.onTimer = [&] {
        ++ticks;
        w.form.timer_mini_on_start.destroy();
    };
    auto* startup = w.find<QTimer>("timer_mini_on_start");
    EXPECT_TRUE(startup->isActive());
    Tick(startup);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(startup->isActive());
    w.form.timer_mini_on_start.setRunning(true);  // destroyed for good
    EXPECT_FALSE(startup->isActive());

    w.form.timer_observer.onTimer = [] { throw HandlerError("observer failed"); };
    Tick(w.find<QTimer>("timer_observer"));
    ASSERT_EQ(w.desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(w.desk.dialogs.shown[0].kind, Shown::Kind::ErrorReport);
    EXPECT_EQ(w.desk.dialogs.shown[0].text, "observer failed.");
}

TEST(MainWindowErrors, AnErrorFromAClickIsReportedAndTheWindowStays) {
    WindowUnderTest w;
    w.window.show();
    bool after = false;
    w.form.btn_backup.onClick = [&] {
        throw HandlerError("disk full");
        after = true;
    };
    w.find<QToolButton>("btn_backup")->click();
    ASSERT_EQ(w.desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(w.desk.dialogs.shown[0].kind, Shown::Kind::ErrorReport);
    EXPECT_EQ(w.desk.dialogs.shown[0].text, "disk full.");
    EXPECT_EQ(w.desk.dialogs.shown[0].caption, "Hoardwise 2.11");
    EXPECT_FALSE(after);
    EXPECT_TRUE(w.window.isVisible());
}

TEST(MainWindowTray, IconMadeWhenFirstShownItsMenuAndClickMapTheModel) {
    WindowUnderTest w;
    w.form.abfTrayIcon1.setHint("Autobackup disabled");
    EXPECT_EQ(w.window.findChild<QSystemTrayIcon*>("abfTrayIcon1"), nullptr);
    w.form.abfTrayIcon1.setVisible(true);
    auto* tray = w.find<QSystemTrayIcon>("abfTrayIcon1");
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(tray->icon().isNull());
    EXPECT_EQ(tray->toolTip(), "Autobackup disabled");
    w.form.abfTrayIcon1.setDetail("Last backup: 14:21, 8 part files, successful");
    EXPECT_EQ(tray->toolTip(), "Autobackup disabled\nLast backup: 14:21, 8 part files, successful");
    EXPECT_TRUE(tray->isVisible());
    w.form.abfTrayIcon1.setVisible(false);
    EXPECT_FALSE(tray->isVisible());

    ASSERT_NE(tray->contextMenu(), nullptr);
    const QList<QAction*> actions = tray->contextMenu()->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->objectName(), "pop_restore");
    EXPECT_TRUE(actions[3]->isSeparator());
    // "Backup files" does what the button does: here it finds no part file and says so.
    w.form.ApplyLanguage("EN");
    EXPECT_EQ(actions[2]->text(), "Backup files");
    actions[2]->trigger();
    EXPECT_EQ(w.desk.dialogs.messageTexts().back(), w.form.msg_no_partmets);
    w.form.pop_exit.setCaption("Exit");
    EXPECT_EQ(actions[4]->text(), "Exit");
    actions[4]->trigger();  // the exit command asks; no answer scripted means No
    EXPECT_EQ(w.desk.dialogs.count(Shown::Kind::Question), 1);
    EXPECT_EQ(w.desk.window.quitRequests, 0);

    int restores = 0;
    w.form.abfTrayIcon1.onClick = [&] { ++restores; };
    emit tray->activated(QSystemTrayIcon::Trigger);
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    emit tray->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(restores, 2);
}

TEST(MainWindowLinks, TheDesktopsLinkColourUnderlinedOnHoverAndAClickOpensTheAddress) {
    WindowUnderTest w;
    auto* link = w.find<QLabel>("JDUrlLabel3");
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->foregroundRole(), QPalette::Link);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(link, &enter);
    EXPECT_TRUE(link->font().underline());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(link, &leave);
    EXPECT_FALSE(link->font().underline());
    {  // a dark palette brings its own link colour
        const QPalette before = QApplication::palette();
        QPalette dark = before;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::Link, QColor(120, 170, 255));
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();
        EXPECT_EQ(link->palette().color(link->foregroundRole()), QColor(120, 170, 255));
        QApplication::setPalette(before);
    }
    {  // the page shown stands out among the tabs
        w.window.show();
        auto* shown = w.find<QWidget>("tab1");
        auto* other = w.find<QWidget>("tab2");
        const QImage a = shown->grab().toImage();
        const QImage b = other->grab().toImage();
        EXPECT_NE(a.pixel(a.width() / 2, 1), b.pixel(b.width() / 2, 1));
        w.window.hide();
    }

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(link, &release);
    EXPECT_EQ(w.desk.window.openedUrls, std::vector<std::string>({w.form.JDUrlLabel3.address()}));
}

TEST(MainWindowLayout, FixedClientAreaCaptionsFromTheModelAndCommandButtonRow) {
    WindowUnderTest w;
    EXPECT_EQ(w.window.size(), QSize(371, 307));
    EXPECT_EQ(w.window.minimumSize(), QSize(371, 307));
    EXPECT_EQ(w.window.maximumSize(), QSize(371, 307));
    EXPECT_FALSE(w.window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.window.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(w.window.windowIcon().isNull());

    w.form.Caption.setCaption("Hoardwise 2.11");
    EXPECT_EQ(w.window.windowTitle(), "Hoardwise 2.11");
    auto* pages = w.find<PageControl>("PageControl1");
    EXPECT_EQ(pages->geometry(), QRect(8, 8, 353, 225));
    ASSERT_EQ(pages->count(), 5);
    EXPECT_EQ(pages->currentIndex(), 0);
    w.form.TabSheet5.setCaption("Über ...");
    EXPECT_EQ(pages->tabText(4), "Über ...");

    const char* commands[] = {"btn_backup", "btn_restore", "btn_savesettings", "btn_minimize",
                              "btn_exit"};
    for (int i = 0; i < 5; ++i) {
        auto* button = w.find<QToolButton>(commands[i]);
        EXPECT_EQ(button->geometry(), QRect(8 + 72 * i, 240, 64, 60)) << commands[i];
        EXPECT_EQ(button->focusPolicy(), Qt::StrongFocus);  // the keyboard reaches it
        EXPECT_FALSE(button->icon().isNull()) << commands[i];
    }
    w.form.btn_backup.setCaption("Backup\nfiles");
    EXPECT_EQ(w.find<QToolButton>("btn_backup")->text(), "&Backup\nfiles");  // Alt+B

    EXPECT_FALSE(w.find<QLineEdit>("edit_launchpad_path")->isEnabled());
    EXPECT_FALSE(w.find<QLabel>("Label11")->isEnabled());
    EXPECT_TRUE(w.find<QLabel>("Label9")->font().underline());
    EXPECT_EQ(w.find<QListWidget>("listbox_files")->size(), QSize(257, 41));
    EXPECT_EQ(w.find<QComboBox>("combo_language")->width(), 145);
}

TEST(MainWindowClose, CloseRunsTheCloseHandlerAndEndsOnlyWhenAllowed) {
    WindowUnderTest w;
    int closed = 0;
    QObject::connect(&w.window, &MainWindow::closed, [&] { ++closed; });
    w.window.show();
    w.desk.dialogs.answers = {false};
    EXPECT_FALSE(w.window.close());
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_EQ(closed, 0);

    w.desk.dialogs.answers = {true};
    EXPECT_TRUE(w.window.close());
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(w.desk.dialogs.count(Shown::Kind::Question), 2);
}

TEST(MainWindowLifetime, TheModelOutlivesItsWindowSafely) {
    test::FakeDesktop desk;
    { MainWindow window(desk.f()); }
    desk.f().edit_tempdir.setText("/after/the/window");
    desk.f().timer_autobackup.setInterval(1000);
    EXPECT_EQ(desk.f().edit_tempdir.text(), "/after/the/window");
}

}  // namespace
}  // namespace hw
