#include "ui/text_tables.h"

namespace hw {

const std::vector<MessageText>& MessageTexts() {
    static const std::vector<MessageText> texts = {
        {&Messages::msg_error_caption, {"Error ...", "Fehler ..."}},
        {&Messages::msg_no_partmets,
         {"No PART.METs found to back up !", "Keine PART.METs zum Sichern gefunden !"}},
        {&Messages::msg_backup_ok,
         {"Backing up *.PART.METs successful !", "Sicherung der *.PART.METs erfolgreich !"}},
        {&Messages::msg_info_caption, {"Info ...", "Info ..."}},
        {&Messages::msg_backup_failed,
         {"Backing up *.PART.METs failed !", "Sicherung der *.PART.METs fehlgeschlagen !"}},
        {&Messages::msg_restore_failed,
         {"Restoring *.PART.METs failed !", "Wiederherstellung der *.PART.METs fehlgeschlagen !"}},
        {&Messages::msg_extra_backup_errors,
         {"Error while backing up following additional files: \n\n",
          "Fehler beim Sichern folgender zusätzlicher Dateien: \n\n"}},
        {&Messages::msg_extra_restore_errors,
         {"Error while restoring up following additional files: \n\n",
          "Fehler beim Wiederherstellen folgender zusätzlicher Dateien: \n\n"}},
        {&Messages::msg_restore_ok,
         {"Restoring *.PART.METs successful !", "Wiederherstellung der *.PART.METs erfolgreich !"}},
        {&Messages::msg_nothing_to_restore,
         {"Nothing found to restore !", "Keine Dateien zum Wiederherstellen gefunden !"}},
        {&Messages::msg_confirm_close, {"Close Hoardwise ?", "Hoardwise schließen ?"}},
        {&Messages::msg_confirm_restore,
         {"Do you want to restore the backed-up files ?", "Gesicherte Dateien wiederherstellen ?"}},
        {&Messages::msg_no_client_exe,
         {"Couldn't find an aMule-/eDonkey-/eMule-/Overnet-Executable (or aMule's configuration "
          "folder) in the client-directory. \n"
          "Backing up files is only safe, when HWS can observe this file!\n ",
          "Kein aMule-/eDonkey-/eMule-/Overnet-Programm (und keinen Konfigurationsordner von "
          "aMule) im Client-Verzeichnis gefunden. \n"
          "Das Sichern von Dateien ist nur sicher, wenn HWS dieses Programm überwachen kann!"}},
        {&Messages::msg_app_not_started,
         {"Application could not be started ! \nCouldn't find the executable.",
          "Anwendung konnte nicht gestartet werden ! \nDatei nicht gefunden."}},
        {&Messages::msg_interval_range,
         {"Values allowed only from 1-120 minutes !",
          "Nur Werte im Intervall von 1 - 120 Minuten erlaubt !"}},
        {&Messages::msg_backup_in_temp,
         {"The Backup-Directory must not be a subfolder of the Temp-Directory!",
          "Der Backup-Ordner darf kein Unterordner des Temp-Ordners sein!"}},
        {&Messages::msg_files_above_clientdir,
         {"Following files were not added because they are lieing above the client-directory: "
          "\n\n",
          "Folgende Dateien wurde nicht hinzugefügt, da sie oberhalb des Client-Verzeichnisses "
          "liegen: \n\n"}},
        {&Messages::msg_files_already_listed,
         {"Following files are already in the list: \n\n",
          "Folgende Dateien stehen bereits in der Liste: \n\n"}},
        {&Messages::msg_backupdir_not_absolute,
         {"The Backup-Directory must be a full folder path beginning with \"/\" ! Nothing was "
          "backed up.",
          "Der Backup-Ordner muss ein vollständiger Pfad sein, der mit \"/\" beginnt ! Es wurde "
          "nichts gesichert."}},
        {&Messages::msg_backupdir_overlaps,
         {"The Backup-Directory must be a folder of its own: neither it nor its older generation "
          "(its name with \"_old\") may be the Temp- or Client-Directory or lie above them ! "
          "Nothing was backed up.",
          "Der Backup-Ordner muss ein eigener Ordner sein: weder er noch seine ältere Generation "
          "(sein Name mit \"_old\") darf der Temp- oder Client-Ordner sein oder über ihnen liegen "
          "! Es wurde nichts gesichert."}},
        {&Messages::msg_backupdir_foreign,
         {"The following folder holds files or folders that Hoardwise did not make. Every backup "
          "replaces the Backup-Directory and its older generation (its name with \"_old\") as a "
          "whole, so please choose an empty folder of its own ! Nothing was changed.\n\n",
          "Der folgende Ordner enthält Dateien oder Ordner, die nicht von Hoardwise stammen. Jede "
          "Sicherung ersetzt den Backup-Ordner und seine ältere Generation (sein Name mit "
          "\"_old\") als Ganzes, bitte einen leeren, eigenen Ordner wählen ! Es wurde nichts "
          "verändert.\n\n"}},
        {&Messages::msg_backupdir_mount_point,
         {"The following folder is the top folder of a disk (a mount point) and cannot be replaced "
          "by a new backup. Please choose a folder on that disk as Backup-Directory, for example a "
          "new folder in it ! Nothing was backed up.\n\n",
          "Der folgende Ordner ist der oberste Ordner eines Datenträgers (ein Einhängepunkt) und "
          "kann nicht durch eine neue Sicherung ersetzt werden. Bitte einen Ordner auf diesem "
          "Datenträger als Backup-Ordner wählen, zum Beispiel einen neuen Ordner darin ! Es wurde "
          "nichts gesichert.\n\n"}},
        {&Messages::msg_names_too_long,
         {"The following part files were not backed up: with the ending \".HWS\" their names are "
          "too long for the disk of the Backup-Directory. The other part files were backed "
          "up.\n\n",
          "Folgende Part-Dateien wurden nicht gesichert: Mit der Endung \".HWS\" sind ihre Namen "
          "zu lang für den Datenträger des Backup-Ordners. Die übrigen Part-Dateien wurden "
          "gesichert.\n\n"}},
        {&Messages::msg_damaged_kept,
         {"The following part files are damaged or could not be read, so they were not backed "
          "up. Their last good backup copies were kept in the new backup.\n\n",
          "Folgende Part-Dateien sind beschädigt oder nicht lesbar und wurden deshalb nicht "
          "gesichert. Ihre letzten intakten Sicherungskopien wurden in die neue Sicherung "
          "übernommen.\n\n"}},
        {&Messages::msg_damaged_lost,
         {"The following part files are damaged or could not be read, so they were not backed "
          "up. There was no good backup copy of them to keep.\n\n",
          "Folgende Part-Dateien sind beschädigt oder nicht lesbar und wurden deshalb nicht "
          "gesichert. Es gab keine intakte Sicherungskopie von ihnen, die behalten werden "
          "konnte.\n\n"}},
        {&Messages::msg_file_not_written,
         {"The following backup file could not be written (is the disk full?). Both backup "
          "generations were left as they were.\n\n",
          "Folgende Sicherungsdatei konnte nicht geschrieben werden (ist der Datenträger voll?). "
          "Beide Sicherungsgenerationen blieben unverändert.\n\n"}},
        {&Messages::msg_restore_damaged,
         {"The following backup copies are damaged and were not restored. The client's files "
          "were left as they were.\n\n",
          "Folgende Sicherungskopien sind beschädigt und wurden nicht wiederhergestellt. Die "
          "Dateien des Clients blieben unverändert.\n\n"}},
        {&Messages::msg_restore_client_running,
         {"Please close the eDonkey-Client first: it overwrites restored files while it runs. "
          "Nothing was restored.\nIf \"restart eDonkey-Client when it is halted\" is switched "
          "on, Hoardwise starts the client again: switch it off first.",
          "Bitte zuerst den eDonkey-Client beenden: Er überschreibt wiederhergestellte Dateien, "
          "solange er läuft. Es wurde nichts wiederhergestellt.\nIst \"eDonkey-Client nach "
          "Absturz, etc. neu starten\" eingeschaltet, startet Hoardwise den Client wieder: bitte "
          "zuerst ausschalten."}},
        {&Messages::msg_tempdir_not_absolute,
         {"The Temp-Directory must be a full folder path beginning with \"/\" ! Nothing was "
          "restored.",
          "Der Temp-Ordner muss ein vollständiger Pfad sein, der mit \"/\" beginnt ! Es wurde "
          "nichts wiederhergestellt."}},
        {&Messages::msg_files_unstorable,
         {"Following files were not added because their names contain \";\" or a line break, "
          "which the list of additional files cannot store: \n\n",
          "Folgende Dateien wurden nicht hinzugefügt, da ihre Namen \";\" oder einen "
          "Zeilenumbruch enthalten; solche Namen kann die Liste zusätzlicher Dateien nicht "
          "speichern: \n\n"}},
        {&Messages::msg_names_unstorable,
         {"The following part files were not backed up: the disk of the Backup-Directory cannot "
          "store their names (it refuses characters such as \":\" or a line break, or bytes that "
          "are no UTF-8). The other part files were backed up.\n\n",
          "Folgende Part-Dateien wurden nicht gesichert: Der Datenträger des Backup-Ordners kann "
          "ihre Namen nicht speichern (er lehnt Zeichen wie \":\" oder einen Zeilenumbruch ab "
          "oder Bytes, die kein UTF-8 sind). Die übrigen Part-Dateien wurden gesichert.\n\n"}},
        {&Messages::msg_backupdir_not_folder,
         {"The following is no folder, so no backup can be kept at the Backup-Directory ! "
          "Nothing was backed up.\n\n",
          "Folgendes ist kein Ordner, daher kann im Backup-Ordner keine Sicherung abgelegt "
          "werden ! Es wurde nichts gesichert.\n\n"}},
        {&Messages::msg_folder_other_owner,
         {"The following folder of the backup belongs to the user ",
          "Der folgende Ordner der Sicherung gehört dem Benutzer "}},
        {&Messages::msg_settings_other_owner,
         {"Hoardwise runs as root on the settings file of the user ",
          "Hoardwise läuft als root mit der Einstellungsdatei des Benutzers "}},
        {&Messages::msg_run_as_owner,
         {"Nothing was changed: files written by another user would make every later run of "
          "that user fail. Run Hoardwise as that user instead, for example:\n\n",
          "Es wurde nichts verändert: Dateien eines anderen Benutzers würden jeden späteren Lauf "
          "dieses Benutzers scheitern lassen. Hoardwise stattdessen als dieser Benutzer "
          "ausführen, zum Beispiel:\n\n"}},
        {&Messages::msg_temp_gone,
         {"The Temp-Directory disappeared during the backup (was its disk removed, or the folder "
          "moved?), so its part files could not all be read:\n\n",
          "Der Temp-Ordner ist während der Sicherung verschwunden (wurde sein Datenträger "
          "entfernt oder der Ordner verschoben?), daher konnten nicht alle Part-Dateien gelesen "
          "werden:\n\n"}},
        {&Messages::msg_generations_unchanged,
         {"Nothing was replaced: the backups are as they were.",
          "Es wurde nichts ersetzt: Die Sicherungen sind unverändert."}},
        {&Messages::msg_spare_only,
         {"The following part files are missing; only the client's spare copy of each (the same "
          "name ending in \".backup\" or \".bak\") is left, and the client does not load a "
          "download from it. Their newest good copy was kept in the new backup. To get such a "
          "download back, close the client and restore the backup, or rename the spare to the "
          "part file's name.\n\n",
          "Folgende Part-Dateien fehlen; von jeder ist nur die Ersatzkopie des Clients übrig "
          "(derselbe Name mit \".backup\" oder \".bak\" am Ende), und aus ihr lädt der Client "
          "keinen Download. Ihre neueste intakte Kopie wurde in die neue Sicherung übernommen. "
          "Um einen solchen Download zurückzuholen, den Client schließen und die Sicherung "
          "wiederherstellen oder die Ersatzkopie in den Namen der Part-Datei umbenennen.\n\n"}},
        {&Messages::msg_folder_gone,
         {"The following folder disappeared during the backup (was its disk removed?). Nothing "
          "was written in its place, and the backup is not complete.\n\n",
          "Der folgende Ordner ist während der Sicherung verschwunden (wurde sein Datenträger "
          "entfernt?). An seiner Stelle wurde nichts geschrieben, die Sicherung ist nicht "
          "vollständig.\n\n"}},
        {&Messages::msg_not_changed,
         {"The backup could not change the following file or folder:\n\n",
          "Die Sicherung konnte folgende Datei oder folgenden Ordner nicht ändern:\n\n"}},
        {&Messages::msg_cause_read_only,
         {"It is read-only, or you may not change it.",
          "Sie oder er ist schreibgeschützt, oder Sie dürfen sie oder ihn nicht ändern."}},
        {&Messages::msg_cause_full,
         {"The disk is full or has no room left for new files (inodes).",
          "Der Datenträger ist voll oder hat keinen Platz mehr für neue Dateien (Inodes)."}},
        {&Messages::msg_cause_other_disk,
         {"It holds another disk or a bind mount, which the backup leaves alone.",
          "Darin ist ein anderer Datenträger oder ein Bind-Mount eingehängt; die Sicherung "
          "lässt ihn unberührt."}},
        {&Messages::msg_backupdir_missing,
         {"The following Backup-Directory does not exist or is empty (is its disk not "
          "mounted?). Nothing was restored.\n\n",
          "Der folgende Backup-Ordner existiert nicht oder ist leer (ist sein Datenträger nicht "
          "eingehängt?). Es wurde nichts wiederhergestellt.\n\n"}},
        {&Messages::msg_tempdir_missing,
         {"The following Temp-Directory does not exist or is no folder (is its disk not "
          "mounted?). Nothing was restored.\n\n",
          "Der folgende Temp-Ordner existiert nicht oder ist kein Ordner (ist sein Datenträger "
          "nicht eingehängt?). Es wurde nichts wiederhergestellt.\n\n"}},
        {&Messages::msg_restore_not_changed,
         {"The restore could not change the following file or folder:\n\n",
          "Die Wiederherstellung konnte folgende Datei oder folgenden Ordner nicht ändern:\n\n"}},
        {&Messages::msg_restore_not_read,
         {"The restore could not read the following backup copy:\n\n",
          "Die Wiederherstellung konnte folgende Sicherungskopie nicht lesen:\n\n"}},
        {&Messages::msg_restore_folder_gone,
         {"The following folder disappeared during the restore (was its disk removed?). Nothing "
          "was written in its place, and the restore is not complete.\n\n",
          "Der folgende Ordner ist während der Wiederherstellung verschwunden (wurde sein "
          "Datenträger entfernt?). An seiner Stelle wurde nichts geschrieben, die "
          "Wiederherstellung ist nicht vollständig.\n\n"}},
        {&Messages::msg_restore_not_in_backup,
         {"The backup holds no copy of the following part files any more; they were not "
          "restored:\n\n",
          "Die Sicherung enthält keine Kopie der folgenden Part-Dateien mehr; sie wurden nicht "
          "wiederhergestellt:\n\n"}},
        {&Messages::msg_cause_no_inodes,
         {"The disk has room for its data, but no free inodes are left for new files.",
          "Der Datenträger hat Platz für Daten, aber keine freien Inodes mehr für neue "
          "Dateien."}},
    };
    return texts;
}

const Bilingual& MomentText(TextId id) {
    static const Bilingual texts[] = {
        {"Search TEMP-Folder", "TEMP-Ordner suchen"},
        {"Search BACKUP-Folder", "BACKUP-Ordner suchen"},
        {"Search eDonkey-Client Folder", "eDonkey-Client Ordner suchen"},
        {"Browse for the TEMP-Directory", "TEMP-Ordner suchen"},
        {"Browse for the BACKUP-Directory", "BACKUP-Ordner suchen"},
        {"Browse for the eDonkey-Client Directory", "Esel-Client Ordner suchen"},
        {"Browse for the executable to launch", "Zu startende Anwendung suchen"},
        {"Disable Autobackup", "Autobackup deaktivieren"},
        {"Enable Autobackup", "Autobackup aktivieren"},
        {"ed2k-client executable: ", "Ed2k-Client Dateiname: "},
        {"Settings saved. ", "Einstellungen gespeichert. "},
        {"Hoardwise [Autobackup every ", "Hoardwise [Autobackup alle "},
        {" ] minutes", " ] Minuten"},
        {"Autobackup disabled", "Autobackup deaktiviert"},
        {"The automatic backup failed:\n", "Die automatische Sicherung ist fehlgeschlagen:\n"},
        {"\nNo further notice until a backup succeeds.",
         "\nKein weiterer Hinweis, bis eine Sicherung gelingt."},
        {"Hoardwise [Autobackup waits for a client: set its folder]",
         "Hoardwise [Autobackup wartet auf einen Client-Ordner]"},
        {"Last backup: ", "Letzte Sicherung: "},
        {"Last backup: none yet", "Letzte Sicherung: noch keine"},
        {"Last: ", "Zuletzt: "},
        {" part files", " Part-Dateien"},
        {"successful", "erfolgreich"},
        {"failed: ", "fehlgeschlagen: "},
        {"Newest backup: ", "Neueste Sicherung: "},
        {"Older backup: ", "Ältere Sicherung: "},
        {"There is no newest backup: the backup folder is missing or empty.",
         "Es gibt keine neueste Sicherung: Der Backup-Ordner fehlt oder ist leer."},
        {"The newest backup holds fewer part files than the older one. Yes restores the newest "
         "backup, \"Restore older backup\" the older one, No nothing.",
         "Die neueste Sicherung enthält weniger Part-Dateien als die ältere. Ja stellt die "
         "neueste Sicherung wieder her, \"Ältere Sicherung wiederherstellen\" die ältere, Nein "
         "nichts."},
        {"Restore older backup", "Ältere Sicherung wiederherstellen"},
        {"Backup", "Sicherung"},
        {"Restore", "Wiederherstellung"},
        {" (automatic)", " (automatisch)"},
        {" damaged", " beschädigt"},
        {"Runs are not added to the history, since it is not a regular file: ",
         "Läufe werden nicht in den Verlauf eingetragen, da er keine gewöhnliche Datei ist: "},
        {"Hoardwise runs already: ", "Hoardwise läuft bereits: "},
        {"the window", "das Fenster"},
        {", process ", ", Prozess "},
        {"the temp folder is not set: edit the settings file or run the window once, or set it "
         "with hoardwise-cli config --temp-dir DIR",
         "der Temp-Ordner ist nicht gesetzt: Einstellungsdatei bearbeiten oder einmal das Fenster "
         "starten, oder ihn mit hoardwise-cli config --temp-dir ORDNER setzen"},
        {"the backup folder is not set: edit the settings file or run the window once, or set it "
         "with hoardwise-cli config --backup-dir DIR",
         "der Backup-Ordner ist nicht gesetzt: Einstellungsdatei bearbeiten oder einmal das "
         "Fenster starten, oder ihn mit hoardwise-cli config --backup-dir ORDNER setzen"},
        {"Nothing was restored. Add --yes to restore the newest backup, --yes --older for the "
         "older one.",
         "Nichts wurde wiederhergestellt. Mit --yes wird die neueste Sicherung wiederhergestellt, "
         "mit --yes --older die ältere."},
        {"This backup folder is not free for this run. Nothing was changed.\n\n",
         "Dieser Backup-Ordner ist für diesen Lauf nicht frei. Es wurde nichts verändert.\n\n"},
        {"Its lock file cannot be made: ", "Seine Sperrdatei kann nicht angelegt werden: "},
        {"Settings file: ", "Einstellungen: "},
        {" (not saved yet; hoardwise-cli config saves these values)",
         " (noch nicht gespeichert; hoardwise-cli config speichert diese Werte)"},
        {"the folder must be a full path beginning with \"/\": ",
         "der Ordner muss ein vollständiger Pfad sein, der mit \"/\" beginnt: "},
        {"Temp folder: ", "Temp-Ordner: "},
        {"Backup folder: ", "Backup-Ordner: "},
        {"Client folder: ", "Client-Ordner: "},
        {"Client: ", "Client: "},
        {"Autobackup: ", "Autobackup: "},
        {"not set", "nicht gesetzt"},
        {"none known", "keiner bekannt"},
        {", running", ", läuft"},
        {", not running", ", läuft nicht"},
        {"none", "keine"},
        {" damaged", " beschädigt"},
        {"every ", "alle "},
        {" minutes", " Minuten"},
        {"off", "aus"},
        {"started: ", "gestartet: "},
        {"could not start: ", "konnte nicht starten: "},
        {", process ", ", Prozess "},
        {", user ", ", Benutzer "},
        {"Not restarted for now, as it ended within 30 seconds of each of its last 3 starts: ",
         "Vorerst nicht neu gestartet, da es nach jedem seiner letzten 3 Starts binnen 30 "
         "Sekunden endete: "},
        {"Last exit code: ", "Letzter Exit-Code: "},
        {"Last ended by signal ", "Zuletzt beendet durch Signal "},
        {"The lock file ", "Die Sperrdatei "},
        {" names process ", " nennt den Prozess "},
        {", which runs and is not aMule.", ", der läuft und kein aMule ist."},
        {"aMule's log: ", "aMules Protokoll: "},
        {"Tried again in 1, 2, 5 and 10 minutes, then every 10 minutes, or at once when its box "
         "is ticked again.",
         "Neuer Versuch nach 1, 2, 5 und 10 Minuten, dann alle 10 Minuten, oder sofort, wenn sein "
         "Kästchen erneut angekreuzt wird."},
        {"running; autobackup: ", "läuft; Autobackup: "},
        {"ended by ", "beendet durch "},
        {"Backup under way: ", "Sicherung läuft: "},
        {"Restore under way: ", "Wiederherstellung läuft: "},
        {" of ", " von "},
    };
    static_assert(
        sizeof(texts) / sizeof(texts[0]) == static_cast<std::size_t>(TextId::ProgressOf) + 1,
        "one text for every TextId");
    return texts[static_cast<int>(id)];
}

std::string LanguageText(const std::string& code, TextId id) {
    return MomentText(id).in(code == "EN" ? Language::English : Language::German);
}

void FillMessages(Messages& messages, const std::string& languageCode) {
    const Language language = languageCode == "EN" ? Language::English : Language::German;
    for (const MessageText& entry : MessageTexts()) {
        messages.*entry.variable = entry.text.in(language);
    }
}

}  // namespace hw
