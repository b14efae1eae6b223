// What a command of the command line did, as one JSON object for --json: the command, its
// outcome and exit code, the counts and the part files named, the messages as shown, and the
// generations it looked at. Its keys stay as they are: scripts read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hw {

// A small writer of JSON: values are appended in order, strings escaped, and bytes that are no
// UTF-8 (a file name may hold any) replaced by U+FFFD, so that the output is always UTF-8.
class JsonWriter {
  public:
    void Key(const std::string& key);
    void String(const std::string& value);
    void Number(long long value);
    void Unsigned(std::uint64_t value);
    void Bool(bool value);
    void Null();
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    void Strings(const std::vector<std::string>& values);
    const std::string& text() const { return text_; }

  private:
    void BeforeValue();
    void Quoted(const std::string& value);
    std::string text_;
    // A value or key was written at this depth already: a comma goes before the next.
    std::vector<bool> filled_;
    bool afterKey_ = false;
};

// "2026-12-07T14:21:05+01:00": the local time with its offset.
std::string IsoTime(std::time_t when);

struct ReportedGeneration {
    std::string name;  // "newest", "older"
    std::string folder;
    bool present = false;
    std::time_t when = 0;
    std::size_t files = 0;
    std::optional<std::size_t> damaged;
};

struct CliReport {
    std::string command;
    int exitCode = 0;
    // Restore without --yes: only a look.
    bool look = false;
    std::optional<std::size_t> files;
    std::optional<std::size_t> damaged;
    std::vector<std::string> kept;
    std::vector<std::string> spareOnly;
    std::vector<std::string> lost;
    std::vector<std::string> refused;  // left out: name too long or not allowed
    std::vector<std::string> extrasFailed;
    std::vector<std::string> damagedCopies;  // a restore's
    std::vector<ReportedGeneration> generations;
    // The status's facts, by key, in order; empty elsewhere.
    std::vector<std::pair<std::string, std::string>> facts;
    std::optional<bool> settingsSaved;
    std::optional<bool> clientRunning;
    std::optional<bool> autobackup;
    std::optional<int> intervalMinutes;
    // A look at a full restore: the part files of the temp folder it would set back.
    std::optional<std::size_t> aheadOfBackup;
    // A restore of chosen or lost downloads: their places.
    std::optional<std::vector<std::string>> places;
    // list: the downloads, a JSON array written in place of the object; none where refused.
    std::string listing;
};

// The outcome as a word: "done", "failed", "refused", "damaged", "nothing_to_back_up", and
// "look" for a restore without --yes.
std::string OutcomeWord(const CliReport& report);

// The object, on one line. `messages`: what the command told, as shown. For list the array of
// the downloads instead (nothing where it was refused).
std::string ReportJson(const CliReport& report, const std::vector<std::string>& messages);

}  // namespace hw
