#pragma once
// Ending processes by the name of their program file. The encoder that a batch
// script starts outlives the script's shell, so a stopped conversion ends it by name.
#include <string_view>

namespace orm::platform {

// True when `programText` names the program `name`: its file-name part (after
// the last separator) or, failing that, the whole text equals `name`, ignoring
// the case of ASCII letters. An empty name matches nothing.
bool programNameMatches(std::string_view programText, std::string_view name);

// Ends (SIGKILL) every process of the calling user, other than the calling
// process, whose program file is named `name`. The program file is the one the
// process runs; for a program started through a link or under another name,
// its first argument or command name also count. Processes are visited in
// ascending id order. The result is the success of the last termination
// attempted, false when no process matched.
bool killProcessesByName(std::string_view name);

} // namespace orm::platform
