// A run's report in the words the user reads: the messages a backup or restore shows, in their
// order, and what its history line keeps. For the window and the command line alike.
#pragma once

#include <string>
#include <vector>

#include "backup/backup_run.h"
#include "backup/generation_summary.h"
#include "backup/restore_run.h"
#include "ui/language.h"
#include "ui/messages.h"

namespace hw {

struct RunMessage {
    std::string text;
    std::string caption;
    // A failure fails the run; an automatic run shows it only where `alwaysShown`, and a
    // notice not at all.
    bool failure = false;
    bool alwaysShown = false;
};

struct RunTexts {
    std::vector<RunMessage> messages;
    // What the history keeps of the run: for a failed backup its last failure (which the tray
    // announces, too).
    std::string history;
};

// Why a file step failed, in words, from its errno; `noInodes`: ENOSPC came from a disk
// without a free inode (RunFailure::noInodes).
std::string FailureCause(const Messages& m, int error, bool noInodes = false);

// An OtherOwner refusal, with the command line that the owner would run (`command`: "backup",
// "restore --yes").
std::string OwnerRefusalText(const Messages& m, const RunRefusal& refusal,
                             const std::string& command);

RunTexts BackupTexts(const Messages& m, const BackupReport& report);
// The failure of the additional files alone: empty where all were copied.
std::string BackupExtrasText(const Messages& m, const ExtrasReport& extras);
std::string RestoreExtrasText(const Messages& m, const std::vector<std::string>& failed);
RunTexts RestoreTexts(const Messages& m, const RestoreReport& report);

// How a run ended, for a front end that has no boxes to show (Damaged: done, but damaged part
// files were kept from an older copy or, in a restore, damaged copies left out). None: nothing
// ran, as for a backup that found nothing to do.
enum class RunEnd { None, Succeeded, Failed, Refused, Damaged };
RunEnd BackupEnd(const BackupReport& report);
// A restore that found nothing to restore ran: Failed, not Refused.
RunEnd RestoreEnd(const RestoreReport& report);

// What a full restore would cost: the sentence about the part files of the temp folder that are
// further along than in the generation it restores (B, or B_old for `older`); empty for none.
std::string SetBackText(const std::string& code, std::size_t count, bool older);

// "Newest backup: 2026-12-07 14:21, 8 part files", after the given prefix.
std::string DescribeGeneration(const std::string& languageCode, TextId prefix,
                               const GenerationSummary& g);

}  // namespace hw
