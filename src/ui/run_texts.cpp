#include "ui/run_texts.h"

#include <cerrno>
#include <cstring>

#include "backup/run_history.h"
#include "ui/text_tables.h"

namespace hw {

namespace {

std::string Lines(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += name + "\n";
    return text;
}

std::string RefusalText(const Messages& m, const RunRefusal& r, const std::string& command) {
    switch (r.kind) {
        case RefusalKind::None:
            break;
        case RefusalKind::BackupNotAbsolute:
            return m.msg_backupdir_not_absolute;
        case RefusalKind::BackupOverlaps:
            return m.msg_backupdir_overlaps;
        case RefusalKind::NotAFolder:
            return m.msg_backupdir_not_folder + r.path;
        case RefusalKind::OtherOwner:
            return OwnerRefusalText(m, r, command);
        case RefusalKind::MountPoint:
            return m.msg_backupdir_mount_point + r.path;
        case RefusalKind::Foreign:
            return m.msg_backupdir_foreign + r.path;
        case RefusalKind::TempNotAbsolute:
            return m.msg_tempdir_not_absolute;
        case RefusalKind::TempMissing:
            return m.msg_tempdir_missing + r.path;
        case RefusalKind::NothingToRestore:
            if (r.path.empty()) return m.msg_nothing_to_restore;
            return m.msg_nothing_to_restore + "\n\n" + m.msg_backupdir_missing + r.path;
    }
    return {};
}

std::string BackupFailureText(const Messages& m, const RunFailure& f) {
    const std::string& text = m.msg_backup_failed;
    switch (f.kind) {
        case FailureKind::TempGone:
            return text + "\n\n" + m.msg_temp_gone + f.path + "\n\n" + m.msg_generations_unchanged;
        case FailureKind::FolderGone:
            return text + "\n\n" + m.msg_folder_gone + f.path;
        case FailureKind::FileNotWritten:
            // Not the question whether the disk is full: it may be mostly free.
            if (f.noInodes) {
                return text + "\n\n" + m.msg_not_changed + f.path + "\n\n" +
                       FailureCause(m, ENOSPC, true);
            }
            return text + "\n\n" + m.msg_file_not_written + f.path;
        case FailureKind::NotChanged:
        case FailureKind::NotRead:
            return text + "\n\n" + m.msg_not_changed + f.path + "\n\n" +
                   FailureCause(m, f.error, f.noInodes);
        case FailureKind::None:
        case FailureKind::Unexplained:
            break;
    }
    return text;
}

std::string RestoreFailureText(const Messages& m, const RunFailure& f) {
    const std::string& text = m.msg_restore_failed;
    switch (f.kind) {
        case FailureKind::FolderGone:
            return text + "\n\n" + m.msg_restore_folder_gone + f.path;
        case FailureKind::NotRead:
        case FailureKind::NotChanged: {
            const std::string& what =
                f.kind == FailureKind::NotRead ? m.msg_restore_not_read : m.msg_restore_not_changed;
            return text + "\n\n" + what + f.path + "\n\n" + FailureCause(m, f.error, f.noInodes);
        }
        case FailureKind::None:
        case FailureKind::Unexplained:
        case FailureKind::TempGone:
        case FailureKind::FileNotWritten:
            break;
    }
    return text;
}

}  // namespace

std::string FailureCause(const Messages& m, int error, bool noInodes) {
    if (noInodes && error == ENOSPC) return m.msg_cause_no_inodes;
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return m.msg_cause_read_only;
        case ENOSPC:
        case EDQUOT:
            return m.msg_cause_full;
        case EXDEV:
            return m.msg_cause_other_disk;
        default:
            return std::strerror(error);
    }
}

std::string OwnerRefusalText(const Messages& m, const RunRefusal& r, const std::string& command) {
    const std::string& heading =
        r.settingsFile ? m.msg_settings_other_owner : m.msg_folder_other_owner;
    return heading + r.user + ":\n\n" + r.path + "\n\n" + m.msg_run_as_owner + "sudo -u " + r.user +
           " hoardwise-cli " + command;
}

RunTexts BackupTexts(const Messages& m, const BackupReport& r) {
    RunTexts texts;
    auto fail = [&](const std::string& text, bool alwaysShown = false) {
        texts.messages.push_back({text, m.msg_error_caption, true, alwaysShown});
        texts.history = text;
    };
    auto tell = [&](const std::string& text, const std::string& caption) {
        texts.messages.push_back({text, caption, false, false});
    };
    switch (r.outcome) {
        case RunResult::NothingToDo:
            tell(m.msg_no_partmets, m.msg_error_caption);
            return texts;
        case RunResult::Refused:
            // Without a backup folder that can be used, no backup is ever made: an automatic run
            // shows that too, or it would go unseen.
            fail(RefusalText(m, r.refusal, "backup"),
                 r.refusal.kind == RefusalKind::BackupNotAbsolute ||
                     r.refusal.kind == RefusalKind::BackupOverlaps);
            return texts;
        case RunResult::Succeeded:
        case RunResult::Failed:
            break;
    }
    if (r.failure.kind != FailureKind::None) {
        fail(BackupFailureText(m, r.failure));
        return texts;
    }
    // Names the backup's disk would not take, else files lost, else success.
    if (!r.tooLong.empty() || !r.badName.empty()) {
        std::string text;
        if (!r.tooLong.empty()) text += m.msg_names_too_long + Lines(r.tooLong);
        if (!r.tooLong.empty() && !r.badName.empty()) text += "\n";
        if (!r.badName.empty()) text += m.msg_names_unstorable + Lines(r.badName);
        fail(text);
    } else if (!r.lost.empty()) {
        fail(m.msg_backup_failed);
    } else {
        tell(m.msg_backup_ok, m.msg_info_caption);
    }
    // Damaged part files, kept from the older copy or lost. Only a file that is in no generation
    // at all makes the run a failure.
    std::string damaged;
    const std::pair<const std::string*, const std::vector<std::string>*> groups[] = {
        {&m.msg_damaged_kept, &r.kept},
        {&m.msg_spare_only, &r.spareOnly},
        {&m.msg_damaged_lost, &r.lost},
    };
    for (const auto& [heading, files] : groups) {
        if (files->empty()) continue;
        if (!damaged.empty()) damaged += "\n";
        damaged += *heading + Lines(*files);
    }
    if (!r.lost.empty()) {
        fail(damaged);
    } else if (!damaged.empty()) {
        tell(damaged, m.msg_error_caption);
    }
    const std::string extras = BackupExtrasText(m, {r.extrasFailed, r.extrasFolderGone});
    if (!extras.empty()) fail(extras);
    if (r.outcome == RunResult::Succeeded) texts.history = m.msg_backup_ok;
    return texts;
}

RunTexts RestoreTexts(const Messages& m, const RestoreReport& r) {
    RunTexts texts;
    if (r.outcome == RunResult::Refused) {
        texts.history = RefusalText(m, r.refusal, "restore --yes");
        texts.messages.push_back({texts.history, m.msg_error_caption, true, true});
        return texts;
    }
    const bool failed = r.outcome != RunResult::Succeeded;
    const std::string outcome = !failed ? m.msg_restore_ok
                                : r.failure.kind != FailureKind::None
                                    ? RestoreFailureText(m, r.failure)
                                    : m.msg_restore_failed;
    texts.messages.push_back(
        {outcome, failed ? m.msg_error_caption : m.msg_info_caption, failed, true});
    texts.history = outcome;
    if (!r.damagedCopies.empty()) {
        const std::string damaged = m.msg_restore_damaged + Lines(r.damagedCopies);
        texts.messages.push_back({damaged, m.msg_error_caption, true, true});
        texts.history += "\n" + damaged;
    }
    // Chosen a moment ago and gone since (the backup changed meanwhile): named, as not restored.
    if (!r.notInBackup.empty()) {
        const std::string gone = m.msg_restore_not_in_backup + Lines(r.notInBackup);
        texts.messages.push_back({gone, m.msg_error_caption, true, true});
        texts.history += "\n" + gone;
    }
    if (!r.extrasFailed.empty()) {
        texts.messages.push_back(
            {RestoreExtrasText(m, r.extrasFailed), m.msg_error_caption, true, true});
    }
    return texts;
}

std::string BackupExtrasText(const Messages& m, const ExtrasReport& extras) {
    if (!extras.folderGone.empty()) return m.msg_folder_gone + extras.folderGone;
    if (!extras.failed.empty()) return m.msg_extra_backup_errors + Lines(extras.failed);
    return {};
}

std::string RestoreExtrasText(const Messages& m, const std::vector<std::string>& failed) {
    return failed.empty() ? std::string() : m.msg_extra_restore_errors + Lines(failed);
}

std::string SetBackText(const std::string& code, std::size_t count, bool older) {
    // clang-format off
    static const Bilingual kOne[] = {
        {"1 part file in the temp folder is further along than in the newest backup and would be "
         "set back to its progress.",
         "1 Part-Datei im Temp-Ordner ist weiter als in der neuesten Sicherung und würde auf deren "
         "Stand zurückgesetzt."},
        {"1 part file in the temp folder is further along than in the older backup and would be "
         "set back to its progress.",
         "1 Part-Datei im Temp-Ordner ist weiter als in der älteren Sicherung und würde auf deren "
         "Stand zurückgesetzt."}};
    static const Bilingual kMore[] = {
        {" part files in the temp folder are further along than in the newest backup and would "
         "be set back to its progress.",
         " Part-Dateien im Temp-Ordner sind weiter als in der neuesten Sicherung und würden auf "
         "deren Stand zurückgesetzt."},
        {" part files in the temp folder are further along than in the older backup and would be "
         "set back to its progress.",
         " Part-Dateien im Temp-Ordner sind weiter als in der älteren Sicherung und würden auf "
         "deren Stand zurückgesetzt."}};
    // clang-format on
    const Language language = code == "EN" ? Language::English : Language::German;
    if (count == 0) return {};
    if (count == 1) return kOne[older].in(language);
    return std::to_string(count) + kMore[older].in(language);
}

RunEnd BackupEnd(const BackupReport& r) {
    switch (r.outcome) {
        case RunResult::NothingToDo:
            return RunEnd::None;
        case RunResult::Succeeded:
            // A run succeeds with damaged part files only where each kept its older copy.
            return r.damaged > 0 ? RunEnd::Damaged : RunEnd::Succeeded;
        case RunResult::Refused:
            return RunEnd::Refused;
        case RunResult::Failed:
            break;
    }
    return RunEnd::Failed;
}

RunEnd RestoreEnd(const RestoreReport& r) {
    if (r.outcome == RunResult::Refused) {
        return r.refusal.kind == RefusalKind::NothingToRestore ? RunEnd::Failed : RunEnd::Refused;
    }
    if (!r.extrasFailed.empty() || !r.notInBackup.empty() || r.failure.kind != FailureKind::None) {
        return RunEnd::Failed;
    }
    return r.outcome == RunResult::Succeeded ? RunEnd::Succeeded : RunEnd::Damaged;
}

std::string DescribeGeneration(const std::string& languageCode, TextId prefix,
                               const GenerationSummary& g) {
    return LanguageText(languageCode, prefix) + LocalTime(g.when, "%Y-%m-%d %H:%M") + ", " +
           std::to_string(g.files) + LanguageText(languageCode, TextId::PartFilesSuffix);
}

}  // namespace hw
