// The records of a generation's part-file copies (see files::CopyRecord), kept in the generation
// folder itself so that they travel with it through every rename. A record that is missing, cut
// short or unreadable only makes the next run read the files again.
#pragma once

#include <string>
#include <unordered_map>

#include "shell/file_copy.h"

namespace hw {

// By the copy's path below the generation folder ("001.part.met.HWS", "Temp1/003.part.met.HWS").
using CopyRecords = std::unordered_map<std::string, files::CopyRecord>;

CopyRecords LoadCopyRecords(const std::string& folder);
// Writes the trusted records into the folder, replacing any there. False when it could not;
// a partial file is then never taken for a record.
bool SaveCopyRecords(const std::string& folder, const CopyRecords& records);

}  // namespace hw
