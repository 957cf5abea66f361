#include "jobholding.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char **environ;

namespace orm::platform::holding {

void dropSignalHandlers()
{
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction current;
        if (sig == SIGKILL || sig == SIGSTOP || ::sigaction(sig, nullptr, &current) != 0)
            continue;
        const bool ignored = !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN;
        if (!ignored || sig == SIGPIPE) {
            struct sigaction byDefault = {};
            byDefault.sa_handler = SIG_DFL;
            ::sigaction(sig, &byDefault, nullptr);
        }
    }
}

void execChild(const ChildSetup &setup)
{
    if (setup.underHolder)
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // the holder only goes with the group
    else
        ::setpgid(0, 0);
    if (setup.setNice)
        ::setpriority(PRIO_PROCESS, 0, setup.nice); // refused: the inherited level stays
    dropSignalHandlers();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::dup2(setup.stdinFd, 0);
    ::dup2(setup.stdoutFd, 1);
    ::dup2(setup.stderrFd, 2);
    // The holder program got the failure pipe open across its own exec: the
    // command must not keep it, or the starter would wait for its end.
    ::fcntl(setup.failureFd, F_SETFD, FD_CLOEXEC);
    int childError = 0;
    if (setup.currentDirectory && ::chdir(setup.currentDirectory) != 0)
        childError = errno;
    if (!childError) {
        ::execve(setup.program, setup.argv, environ);
        childError = errno;
    }
    [[maybe_unused]] auto n = ::write(setup.failureFd, &childError, sizeof childError);
    ::_exit(127);
}

namespace {

// Ends the holder's whole group, the holder with it.
[[noreturn]] void endGroup()
{
    ::kill(0, SIGKILL);
    ::_exit(128 + SIGKILL);
}

} // namespace

// A shell that waits for a foreground command would defer a trap until the
// command ends, so the holder, not the script, is the one that gets the
// parent-death signal.
void holdJob(const ChildSetup &setup, pid_t program)
{
    ::setpgid(0, 0);
    // Every signal stays blocked: they are taken by sigwaitinfo. An ignored
    // SIGCHLD would leave the command's end unseen.
    sigset_t all;
    sigfillset(&all);
    ::sigprocmask(SIG_SETMASK, &all, nullptr);
    dropSignalHandlers();
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(SIGCHLD, &byDefault, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != program)
        endGroup(); // the program went before the signal was armed
    const pid_t command = ::fork();
    if (command == 0)
        execChild(setup);
    if (command < 0) {
        const int error = errno;
        [[maybe_unused]] auto n = ::write(setup.failureFd, &error, sizeof error);
        ::_exit(127);
    }
    // Hold nothing of the program's: its pipes must report their end when the
    // command's side closes, not when the holder goes.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd)
        ::dup2(null, fd);
    if (::syscall(SYS_close_range, 3U, ~0U, 0U) != 0) {
        for (int fd = 3; fd < 4096; ++fd)
            ::close(fd);
    }

    sigset_t watched;
    sigemptyset(&watched);
    const int taken[] = {SIGCHLD, SIGTERM, SIGHUP, SIGINT, SIGQUIT};
    for (const int sig : taken)
        sigaddset(&watched, sig);
    for (;;) {
        const int sig = ::sigwaitinfo(&watched, nullptr);
        if (sig < 0)
            continue;
        if (sig != SIGCHLD)
            endGroup(); // the program has gone, or the job is told to end
        int status = 0;
        if (::waitpid(command, &status, WNOHANG) != command)
            continue;
        if (WIFEXITED(status))
            ::_exit(WEXITSTATUS(status));
        // Ended by a signal: the holder ends by the same one, so the exit
        // status reads the same as the command's.
        const int by = WTERMSIG(status);
        ::sigaction(by, &byDefault, nullptr);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, by);
        ::sigprocmask(SIG_UNBLOCK, &one, nullptr);
        ::kill(::getpid(), by);
        ::_exit(128 + by);
    }
}

} // namespace orm::platform::holding
