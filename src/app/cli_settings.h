// The window's settings as the command line holds them: read from the file in one go, or preset
// as on the window's first start, each value as the window's control would show and save it.
#pragma once

#include <string>

#include "app/console_services.h"
#include "base/services.h"
#include "settings/settings.h"
#include "ui/messages.h"

namespace hw {

struct CliSettings {
    std::string path;
    bool saved = false;    // the file exists; otherwise the values are a first start's
    std::string language;  // "EN" or "DE"
    Messages messages;
    // Every value present, as the window would save it: an unset path as its placeholder, the
    // client program as the client folder field recognises it, the minutes in range.
    StoredSettings values;

    const std::string& temp() const { return *values.tempFolder; }
    const std::string& backup() const { return *values.backupFolder; }
    const std::string& client() const { return *values.clientFolder; }
    std::string clientExe() const { return values.clientExe.value_or(""); }
    int minutes() const;
    // The settings file, with a word where it is not saved yet.
    std::string FileLine() const;
};

// The values of `stored` (read from `path`) as the window loads them. Tells on stderr, as the
// window asks, where the client folder holds no client that can be recognised.
CliSettings LoadCliSettings(const std::string& path, const StoredSettings& stored,
                            ProcessTable& processes, Console& console);

// Sets the client folder as the window's field does: its client program recognised anew.
void SetClientFolder(CliSettings& settings, const std::string& folder, ProcessTable& processes,
                     Console& console);

}  // namespace hw
