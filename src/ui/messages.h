// The messages that runs and handlers show, in the language shown: the window's, and the command
// line's, which has no window. Filled from the language tables (FillMessages).
#pragma once

#include <string>

namespace hw {

struct Messages {
    std::string msg_error_caption;
    std::string msg_no_partmets;
    std::string msg_backup_ok;
    std::string msg_info_caption;
    std::string msg_backup_failed;
    std::string msg_restore_failed;
    std::string msg_extra_backup_errors;
    std::string msg_extra_restore_errors;
    std::string msg_restore_ok;
    std::string msg_nothing_to_restore;
    std::string msg_confirm_close;
    std::string msg_confirm_restore;
    std::string msg_no_client_exe;
    std::string msg_app_not_started;
    std::string msg_interval_range;
    std::string msg_backup_in_temp;
    std::string msg_files_above_clientdir;
    std::string msg_files_already_listed;
    // Refusals that keep the client's own files and the restored files safe.
    std::string msg_backupdir_not_absolute;
    std::string msg_backupdir_overlaps;
    std::string msg_backupdir_foreign;      // followed by the folder
    std::string msg_backupdir_mount_point;  // followed by the folder
    std::string msg_names_too_long;         // followed by the part files, one a line
    // Damaged part files and backup copies, which are never copied over a good file.
    std::string msg_damaged_kept;      // followed by the part files, one a line
    std::string msg_damaged_lost;      // followed by the part files, one a line
    std::string msg_file_not_written;  // followed by the backup file
    std::string msg_restore_damaged;   // followed by the backup copies, one a line
    std::string msg_restore_client_running;
    std::string msg_tempdir_not_absolute;
    std::string msg_tempdir_missing;  // followed by the temp folder
    // A file whose name the settings file's list of additional files cannot hold.
    std::string msg_files_unstorable;
    // Why a backup or restore could not be made, by name.
    std::string msg_names_unstorable;       // followed by the part files, one a line
    std::string msg_folder_gone;            // followed by the folder
    std::string msg_temp_gone;              // followed by the temp folder
    std::string msg_generations_unchanged;  // after msg_temp_gone's folder
    std::string msg_spare_only;             // followed by the part files, one a line
    std::string msg_not_changed;            // followed by the path, a blank line and the cause
    // Why a restore failed: each followed by the path, a blank line and the cause, but the
    // folder gone by the temp folder alone.
    std::string msg_restore_not_changed;
    std::string msg_restore_not_read;
    std::string msg_restore_folder_gone;
    // Chosen part files that the backup no longer held, before their list.
    std::string msg_restore_not_in_backup;
    std::string msg_cause_read_only;
    std::string msg_cause_full;
    std::string msg_cause_no_inodes;  // ENOSPC on a disk without a free inode
    std::string msg_cause_other_disk;
    std::string msg_backupdir_missing;     // followed by the folder
    std::string msg_backupdir_not_folder;  // followed by the file
    std::string msg_folder_other_owner;    // followed by the owner, the path and msg_run_as_owner
    std::string msg_settings_other_owner;  // the same for the settings file
    std::string msg_run_as_owner;          // followed by a command line as the owner
};

// "EN" gives English, anything else German.
void FillMessages(Messages& messages, const std::string& languageCode);

}  // namespace hw
