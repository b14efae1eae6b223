#include "ui/main_form.h"

#include "ui/path_placeholders.h"

namespace hw {

namespace {

const char* const kUpdateCheckUrl =
    "https://hoardwise.example.org/fileinfo/index.php?file=hws&version=2.11";

}  // namespace

MainForm::MainForm(Services services_) : services(std::move(services_)) {
    // Until the first language apply every caption is the control's own name.
    for (Captioned* c : std::initializer_list<Captioned*>{&Caption,
                                                          &TabSheet1,
                                                          &TabSheet2,
                                                          &TabSheet3,
                                                          &TabSheet4,
                                                          &TabSheet5,
                                                          &Label1,
                                                          &btn_browsetemp,
                                                          &Label2,
                                                          &btn_browsebackup,
                                                          &Label3,
                                                          &btn_browseclientdir,
                                                          &Label12,
                                                          &Label9,
                                                          &radio_storing_simple,
                                                          &radio_storing_subfolder,
                                                          &Label6,
                                                          &cb_autobackup,
                                                          &Label4,
                                                          &Label5,
                                                          &btn_lb_add,
                                                          &btn_lb_remove,
                                                          &cb_startminimized,
                                                          &cb_boot,
                                                          &cb_startclient,
                                                          &cb_watchclient,
                                                          &Label8,
                                                          &Label11,
                                                          &btn_browselaunchpad,
                                                          &cb_lauchpad_startup,
                                                          &cb_lauchpad_watch,
                                                          &Label7,
                                                          &JDUrlLabel1,
                                                          &Label10,
                                                          &JDUrlLabel2,
                                                          &JDUrlLabel3,
                                                          &btn_backup,
                                                          &btn_restore,
                                                          &btn_savesettings,
                                                          &btn_minimize,
                                                          &btn_exit,
                                                          &pop_restore,
                                                          &pop_enabledisable,
                                                          &pop_backup,
                                                          &pop_exit,
                                                          &btn_history}) {
        c->setCaption(c->name());
    }
    N1.setCaption("-");
    edit_tempdir.setText(edit_tempdir.name());
    edit_backupdir.setText(edit_backupdir.name());
    edit_clientdir.setText(edit_clientdir.name());
    edit_launchpad_path.setText(edit_launchpad_path.name());
    edit_autobackup.setText("30");
    edit_autobackup.setMaxLength(3);

    RadioButton::MakeGroup({&radio_storing_simple, &radio_storing_subfolder});
    radio_storing_simple.setChecked(true);

    Label11.setEnabled(false);
    edit_launchpad_path.setEnabled(false);
    btn_browselaunchpad.setEnabled(false);
    cb_lauchpad_watch.setEnabled(false);

    JDUrlLabel1.kind = LinkLabel::Kind::Mail;
    JDUrlLabel3.setUrl(kUpdateCheckUrl);

    for (const auto& [remembered, placeholder] :
         {std::pair{&tempdir_text, kTempFolderPlaceholder},
          std::pair{&backupdir_text, kBackupFolderPlaceholder},
          std::pair{&clientdir_text, kClientFolderPlaceholder},
          std::pair{&launchpad_path_text, kLaunchpadPlaceholder}}) {
        *remembered = {placeholder.en, placeholder.de};
    }

    // Handlers are connected only after the created state is in place, so building the
    // window raises nothing.
    btn_exit.onClick = [this] { btn_exitClick(); };
    pop_exit.onClick = [this] { btn_exitClick(); };
    pop_backup.onClick = [this] { pop_backupClick(); };
    btn_history.onClick = [this] { btn_historyClick(); };
    btn_contents.onClick = [this] { btn_contentsClick(); };
    combo_language.onChange = [this] { combo_languageChange(); };
    btn_savesettings.onClick = [this] { btn_savesettingsClick(); };
    btn_backup.onClick = [this] { btn_backupClick(); };
    btn_restore.onClick = [this] { btn_restoreClick(); };
    btn_minimize.onClick = [this] { btn_minimizeClick(); };
    abfTrayIcon1.onClick = [this] { abfTrayIcon1Click(); };
    pop_restore.onClick = [this] { abfTrayIcon1Click(); };
    timer_mini_on_start.onTimer = [this] { timer_mini_on_startTimer(); };
    timer_observer.onTimer = [this] { timer_observerTimer(); };
    timer_autobackup.onTimer = [this] { timer_autobackupTimer(); };
    cb_autobackup.onClick = [this] { cb_autobackupClick(); };
    pop_enabledisable.onClick = [this] { pop_enabledisableClick(); };
    edit_autobackup.onExit = [this] { edit_autobackupExit(); };
    UpDown1.onChanging = [this](bool& allowChange, int newPosition) {
        UpDown1Changing(allowChange, newPosition);
    };
    cb_lauchpad_startup.onClick = [this] { cb_lauchpad_startupClick(); };
    cb_lauchpad_watch.onClick = [this] { cb_lauchpad_watchClick(); };
    cb_watchclient.onClick = [this] { cb_watchclientClick(); };
    cb_startclient.onClick = [this] { cb_startclientClick(); };
    btn_browselaunchpad.onClick = [this] { btn_browselaunchpadClick(); };
    edit_launchpad_path.onChange = [this] { edit_launchpad_pathChange(); };
    JDUrlLabel1.onClick = [this] { services.window->OpenUrl(JDUrlLabel1.address()); };
    JDUrlLabel2.onClick = [this] { services.window->OpenUrl(JDUrlLabel2.address()); };
    JDUrlLabel3.onClick = [this] { services.window->OpenUrl(JDUrlLabel3.address()); };

    // Directory fields, additional files, client recognition.
    btn_browsetemp.onClick = [this] { btn_browsetempClick(); };
    btn_browsebackup.onClick = [this] { btn_browsebackupClick(); };
    btn_browseclientdir.onClick = [this] { btn_browseclientdirClick(); };
    edit_tempdir.onChange = [this] { edit_tempdirChange(); };
    edit_backupdir.onChange = [this] { edit_backupdirChange(); };
    edit_clientdir.onChange = [this] { edit_clientdirChange(); };
    edit_clientdir.onExit = [this] { edit_clientdirExit(); };
    btn_lb_add.onClick = [this] { btn_lb_addClick(); };
    btn_lb_remove.onClick = [this] { btn_lb_removeClick(); };
}

void MainForm::ShowMessage(const std::string& text, const std::string& caption) {
    if (heldMessages_ != nullptr) {
        heldMessages_->emplace_back(text, caption);
        return;
    }
    services.dialogs->ShowMessage(text, caption);
}

}  // namespace hw
