#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "gui/qt_services_qt.h"
#include "support/fake_services.h"

namespace hw {
namespace {

// Acts on the modal box or dialog as soon as its own loop runs; whatever the check does, the
// box is closed afterwards so a failing test never hangs.
void WhenModalOpens(std::function<void(QWidget*)> act, int triesLeft = 50) {
    QTimer::singleShot(0, [act, triesLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (triesLeft > 0) {
                WhenModalOpens(act, triesLeft - 1);
            } else {
                ADD_FAILURE() << "no modal box appeared";
            }
            return;
        }
        act(modal);
        if (modal->isVisible()) modal->close();
    });
}

// Waits for a modal dialog of one kind, so that several boxes in a row can each be scripted.
template <class Dialog>
void WhenDialogOpens(std::function<void(Dialog*)> act, int triesLeft = 500) {
    QTimer::singleShot(0, [act, triesLeft] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (triesLeft > 0) {
                WhenDialogOpens(act, triesLeft - 1);
            } else {
                ADD_FAILURE() << "no such dialog appeared";
            }
            return;
        }
        act(dialog);
        if (dialog->isVisible()) dialog->close();
    });
}

QStringList ButtonTexts(QMessageBox* box) {
    QStringList texts;
    for (QAbstractButton* button : box->buttons()) texts << button->text();
    texts.sort();
    return texts;
}

TEST(QtConfirmationBox, GermanTitleAndButtonsYesDefaultAndOnlyYesAnswersYes) {
    QtDialogs dialogs;
    WhenModalOpens([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Bestätigung");
        EXPECT_EQ(box->text(), "Close Hoardwise ?");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(ButtonTexts(box), QStringList({"&Ja", "&Nein"}));
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->defaultButton()->text(), "&Ja");
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(box, &escape);
    });
    EXPECT_FALSE(dialogs.AskYesNo("Close Hoardwise ?"));

    WhenModalOpens([](QWidget* modal) {
        for (QAbstractButton* button : static_cast<QMessageBox*>(modal)->buttons()) {
            if (button->text() == "&Ja") button->click();
        }
    });
    EXPECT_TRUE(dialogs.AskYesNo("Close Hoardwise ?"));

    WhenModalOpens([](QWidget* modal) {
        for (QAbstractButton* button : static_cast<QMessageBox*>(modal)->buttons()) {
            if (button->text() == "&Nein") button->click();
        }
    });
    EXPECT_FALSE(dialogs.AskYesNo("Close Hoardwise ?"));

    WhenModalOpens([](QWidget* modal) { modal->close(); });  // the box's own close button
    EXPECT_FALSE(dialogs.AskYesNo("Hoardwise schließen ?"));

    // A button of its own besides them is never the default nor Escape's: only a click on it.
    const QString older = "Ältere Sicherung wiederherstellen";
    for (const auto& [key, answer] : {std::pair{Qt::Key_Return, Choice::Yes},
                                      {Qt::Key_Escape, Choice::No},
                                      {Qt::Key_unknown, Choice::Extra}}) {
        WhenModalOpens([key = key, &older](QWidget* modal) {
            auto* box = static_cast<QMessageBox*>(modal);
            EXPECT_EQ(ButtonTexts(box), QStringList({"&Ja", "&Nein", older}));
            for (QAbstractButton* button : box->buttons()) {
                if (key == Qt::Key_unknown && button->text() == older) button->click();
            }
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(box->focusWidget() ? box->focusWidget() : box, &press);
        });
        EXPECT_EQ(dialogs.AskYesNoOr("Wiederherstellen ?", older.toStdString()), answer);
    }
}

TEST(QtMessageBoxes, MessageHasNoIconAndOneOkButtonErrorReportHasTheErrorIcon) {
    QtDialogs dialogs;
    WhenModalOpens([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Info ...");
        EXPECT_EQ(box->text(), "Backup of <3> files\nfinished");
        EXPECT_EQ(box->textFormat(), Qt::PlainText);  // a file name is never read as markup
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        ASSERT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButton(box->buttons()[0]), QMessageBox::Ok);
        box->buttons()[0]->click();
    });
    dialogs.ShowMessage("Backup of <3> files\nfinished", "Info ...");

    WhenModalOpens([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Hoardwise 2.11");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->buttons().size(), 1);
    });
    dialogs.ShowErrorReport("disk full.", "Hoardwise 2.11");
}

TEST(QtMessageBoxes, TimersKeepTickingWhileABoxIsOpen) {
    QtDialogs dialogs;
    int ticks = 0;
    QTimer clock;
    clock.setInterval(0);
    QObject::connect(&clock, &QTimer::timeout, [&] {
        if (++ticks < 3) return;
        clock.stop();
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    clock.start();  // no loop runs before the box's own
    dialogs.ShowMessage("waiting", "Info ...");
    EXPECT_EQ(ticks, 3);
}

TEST(QtFileFilter, BarSeparatedPairsBecomeQtFilters) {
    EXPECT_EQ(QtFileFilter("MET-files|*.met|DAT-files|*.dat|All files|*.*"),
              "MET-files (*.met);;DAT-files (*.dat);;All files (*)");
    EXPECT_EQ(QtFileFilter("ed2k-client executable|*.exe"), "ed2k-client executable (*.exe)");
    EXPECT_EQ(QtFileFilter("Ausführbare Dateien|*.*"), "Ausführbare Dateien (*)");
    EXPECT_EQ(QtFileFilter("Lists|*.met;*.dat"), "Lists (*.met *.dat)");
    EXPECT_EQ(QtFileFilter("Only a description"), "Only a description (*)");
    EXPECT_EQ(QtFileFilter(""), "");
}

TEST(QtFileDialogs, OpenFilesUsesTitleFolderFilterAndSelectionMode) {
    test::TempDir folder;
    test::WriteFile(folder / "known.met", "k");
    QtDialogs dialogs;
    OpenDialog settings{"OpenDialog2", "Search additional files to backup",
                        "MET-files|*.met|All files|*.*", true};
    WhenModalOpens([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->windowTitle(), "Search additional files to backup");
        EXPECT_EQ(chooser->directory().absolutePath(), QString::fromStdString(folder.path()));
        EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFiles);
        EXPECT_EQ(chooser->nameFilters(), QStringList({"MET-files (*.met)", "All files (*)"}));
        EXPECT_TRUE(chooser->isSizeGripEnabled());
        chooser->selectFile(QString::fromStdString(folder / "known.met"));
        static_cast<QDialog*>(chooser)->accept();
    });
    EXPECT_EQ(dialogs.OpenFiles(settings, folder.path()),
              std::vector<std::string>({folder / "known.met"}));

    settings.multiSelect = false;
    WhenModalOpens([](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);
        chooser->reject();
    });
    EXPECT_TRUE(dialogs.OpenFiles(settings, folder.path()).empty());
}

TEST(QtFileDialogs, BrowseFolderStartsAtAnExistingSelectionOnly) {
    test::TempDir folder;
    QtDialogs dialogs;
    WhenModalOpens([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->windowTitle(), "Search TEMP-Folder");
        EXPECT_EQ(chooser->directory().absolutePath(), QString::fromStdString(folder.path()));
        EXPECT_TRUE(chooser->filter() & QDir::Hidden);  // ~/.aMule can be chosen
        static_cast<QDialog*>(chooser)->accept();
    });
    EXPECT_EQ(dialogs.BrowseFolder({"Search TEMP-Folder", folder.path()}), folder.path());

    WhenModalOpens([](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->directory().absolutePath(), QDir::homePath());
        chooser->reject();
    });
    EXPECT_EQ(dialogs.BrowseFolder({"Search TEMP-Folder", "Click Browse to select TEMP-Folder"}),
              "");
}

TEST(QtFileDialogs, BrowseFolderOpensOnASelectionWithTrailingSlashAndGivesTheRootAsSlash) {
    test::TempDir folder;
    QtDialogs dialogs;
    WhenDialogOpens<QFileDialog>([&](QFileDialog* chooser) {
        EXPECT_EQ(chooser->directory().absolutePath(), QString::fromStdString(folder.path()));
        chooser->setDirectory(QStringLiteral("/"));
        static_cast<QDialog*>(chooser)->accept();
    });
    EXPECT_EQ(dialogs.BrowseFolder({"Search TEMP-Folder", folder.path() + "/"}), "/");
}

// The window's handlers on the real dialogs: the German captions, the folders the dialogs open
// on and their selection modes.
TEST(QtFileDialogs, HandlersOpenTheirDialogsWithCaptionFolderAndOptions) {
    test::FakeDesktop desk;
    QtDialogs dialogs;
    Services services = desk.services();
    services.dialogs = &dialogs;
    services.executablePath = desk.home / "hoardwise";
    MainForm f(services);
    f.ApplyLanguage("EN");
    f.combo_language.userPicked(1);
    test::TempDir client;
    test::WriteFile(client / "emule.exe", "client");
    test::WriteFile(client / "server.met", "servers");
    test::TempDir empty;

    f.edit_backupdir.setText(client.path());
    WhenDialogOpens<QFileDialog>([&](QFileDialog* chooser) {
        EXPECT_EQ(chooser->windowTitle(), "BACKUP-Ordner suchen");
        EXPECT_EQ(chooser->directory().absolutePath(), QString::fromStdString(client.path()));
        EXPECT_EQ(chooser->fileMode(), QFileDialog::Directory);
        chooser->setDirectory(QString::fromStdString(empty.path()));
        static_cast<QDialog*>(chooser)->accept();
    });
    f.btn_browsebackup.userClick();
    EXPECT_EQ(f.edit_backupdir.text(), empty.path());
    EXPECT_EQ(f.backupdir_text.de, empty.path());

    f.edit_clientdir.setText(client.path() + "/");
    WhenDialogOpens<QFileDialog>([&](QFileDialog* chooser) {
        EXPECT_EQ(chooser->windowTitle(), "Suche zusätzlich zu sichernde Dateien");
        EXPECT_EQ(chooser->directory().absolutePath(), QString::fromStdString(client.path()));
        EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFiles);
        EXPECT_EQ(chooser->nameFilters(),
                  QStringList({"MET-Dateien (*.met)", "DAT-Dateien (*.dat)", "Alle Dateien (*)"}));
        chooser->selectFile(QString::fromStdString(client / "server.met"));
        static_cast<QDialog*>(chooser)->accept();
    });
    f.btn_lb_add.userClick();
    EXPECT_EQ(f.listbox_files.items(), std::vector<std::string>{"server.met"});

    // A folder without a client: the message first, then the executable's dialog.
    WhenDialogOpens<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Fehler ...");
        EXPECT_TRUE(box->text().startsWith("Kein aMule-/eDonkey-/eMule-/Overnet-Programm"));
    });
    WhenDialogOpens<QFileDialog>([&](QFileDialog* chooser) {
        EXPECT_EQ(chooser->windowTitle(), "ed2k-client EXE bestimmen");
        EXPECT_EQ(chooser->directory().absolutePath(), QString::fromStdString(empty.path()));
        EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(chooser->nameFilters(),
                  QStringList({"ed2k-Client-Programm (amule amuled *.exe)", "Alle Dateien (*)"}));
        EXPECT_TRUE(chooser->filter() & QDir::Hidden);  // aMule keeps its files hidden
        chooser->reject();
    });
    f.clientExe = "old.exe";
    f.edit_clientdir.setText(empty.path() + "/");
    EXPECT_EQ(f.clientExe, "old.exe");
}

}  // namespace
}  // namespace hw
