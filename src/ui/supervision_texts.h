// The words for what the supervision finds, in a language by its code ("EN", "DE"): for the
// window and for the command line.
#pragma once

#include <string>

#include "supervision/client_recognition.h"
#include "supervision/observer.h"
#include "ui/messages.h"

namespace hw {

// The aMule process that keeps a restore off the client's files: "amuled (process 4711, user
// anna)". Empty when the run found none.
std::string ClientBlockerText(const std::string& code, const ClientRun& run);

// Why a restore may not run while the client runs, with the aMule process that keeps it off
// named, so that the user can tell which program to close, or whose it is.
std::string ClientRunningRefusal(const Messages& m, const std::string& code, const ClientRun& run);

// The notice of a program held back after quick ends, its lines joined by `separator`.
std::string RestartsHeldText(const std::string& code, const HeldBack& held,
                             const std::string& separator);

}  // namespace hw
