#pragma once
// The processes of one job: the child that leads the job's process group and
// everything it started. A program ends only these, never another program's
// process that happens to run the same encoder.
#include <optional>
#include <string>
#include <vector>

namespace orm::platform {

// Ends (SIGKILL) the process group led by `leader`, the leader itself and
// every descendant of the leader that has left the group. The calling process
// is never signalled. True when any process was signalled.
bool killJobProcesses(int leader);

// The processes whose chain of parents leads to `ancestor`, ascending.
std::vector<int> descendantsOf(int ancestor);
// The processes of a process group, ascending.
std::vector<int> processGroupMembers(int group);

// When a process started, in clock ticks since the system started: together
// with the id it names one process for good. Nothing once it is gone.
std::optional<unsigned long long> processStartTime(int pid);
// The program file a process runs; nothing when it is gone or not ours to see.
std::optional<std::string> processProgramFile(int pid);
// A process that has ended but was not yet waited for.
bool isZombie(int pid);

} // namespace orm::platform
