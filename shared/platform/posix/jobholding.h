#pragma once
// How a job's child is set up and held. Shared by ChildProcess (the plain
// child and the forked holder) and the holder program ormolux-jobholder: only
// system calls that are safe in the child of a threaded process, and nothing
// of the C++ library, so that the holder program needs only the C library.
#include <sys/types.h>

namespace orm::platform::holding {

// What the child needs, made before vfork so that the child only reads it.
struct ChildSetup {
    const char *program;
    char *const *argv;
    const char *currentDirectory; // null: the parent's
    bool setNice;
    int nice;
    int stdinFd, stdoutFd, stderrFd;
    int failureFd;    // gets errno when the child cannot exec
    bool underHolder; // the command runs below a holder that leads the group
};

// Our handlers must never run in a child: every caught signal goes back to
// its default action (an ignored one stays ignored, except SIGPIPE).
void dropSignalHandlers();

// Runs in the vfork child (or the holder's child): only plain system calls up
// to exec, nothing the parent owns is changed.
[[noreturn]] void execChild(const ChildSetup &setup);

// Leads the job's process group, runs the command as its child, passes on
// how the command ended, and kills the whole group when the program
// `program` that started it goes (or the holder is told to end by SIGTERM,
// SIGHUP, SIGINT or SIGQUIT).
[[noreturn]] void holdJob(const ChildSetup &setup, pid_t program);

} // namespace orm::platform::holding
