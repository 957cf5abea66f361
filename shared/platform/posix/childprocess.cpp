#include "../childprocess.h"

#include "../processes.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace orm::platform {

Fd &Fd::operator=(Fd &&other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

void Fd::reset(int fd) noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

std::optional<Pipe> Pipe::create(int &error)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = errno;
        return std::nullopt;
    }
    return Pipe{Fd(fds[0]), Fd(fds[1])};
}

std::vector<std::string> SplitCommandLine(const std::string &commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

namespace {

int niceOf(ProcessPriority p)
{
    switch (p) {
    case ProcessPriority::Idle: return 19;
    case ProcessPriority::Normal: return 0;
    case ProcessPriority::High: return -10;
    case ProcessPriority::RealTime: return -20;
    case ProcessPriority::Inherit: break;
    }
    return 0;
}

bool isExecutableFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool isFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The program the system looks up for a bare name, as the shell would.
std::string findInPath(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (isExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

// What to run for a request: a script file runs with the shell, like the
// command interpreter runs a batch file named as the command line.
std::vector<std::string> argumentsOf(const StartRequest &request, std::string &program)
{
    std::vector<std::string> argv;
    std::string whole = request.commandLine;
    while (!whole.empty() && (whole.back() == ' ' || whole.back() == '\t'))
        whole.pop_back();
    if (!request.applicationName.empty()) {
        program = request.applicationName;
        argv = SplitCommandLine(request.commandLine);
        if (argv.empty())
            argv.push_back(program);
        return argv;
    }
    if (isFile(whole) && !isExecutableFile(whole)) {
        program = "/bin/sh";
        return {"sh", whole};
    }
    if (isExecutableFile(whole)) {
        program = whole;
        return {whole};
    }
    argv = SplitCommandLine(request.commandLine);
    program = argv.empty() ? std::string() : findInPath(argv.front());
    return argv;
}

} // namespace

ChildProcess::ChildProcess(ChildProcess &&other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_pidfd(std::move(other.m_pidfd)),
      m_status(std::exchange(other.m_status, std::nullopt))
{
}

ChildProcess &ChildProcess::operator=(ChildProcess &&other) noexcept
{
    if (this != &other) {
        if (running()) {
            killGroup();
            wait();
        }
        m_pid = std::exchange(other.m_pid, -1);
        m_pidfd = std::move(other.m_pidfd);
        m_status = std::exchange(other.m_status, std::nullopt);
    }
    return *this;
}

ChildProcess::~ChildProcess()
{
    if (running()) {
        killGroup();
        wait();
    }
}

namespace {

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

// Runs in the vfork child (or the holder's child): only plain system calls up
// to exec, nothing the parent owns is changed.
[[noreturn]] void execChild(const ChildSetup &setup)
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

// Ends the holder's whole group, the holder with it.
[[noreturn]] void endGroup()
{
    ::kill(0, SIGKILL);
    ::_exit(128 + SIGKILL);
}

// Runs in the forked holder, a copy of this program that only makes system
// calls (it is a child of a threaded process): it leads the job's process
// group, runs the command as its child, passes on how the command ended, and
// kills the whole group when the program that started it goes. A shell that
// waits for a foreground command would defer a trap until the command ends, so
// the holder, not the script, is the one that gets the parent-death signal.
[[noreturn]] void holdJob(const ChildSetup &setup, pid_t program)
{
    ::setpgid(0, 0);
    dropSignalHandlers(); // every signal stays blocked: they are taken by sigwaitinfo
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
    for (const int sig : {SIGCHLD, SIGTERM, SIGHUP, SIGINT, SIGQUIT})
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
        struct sigaction byDefault = {};
        byDefault.sa_handler = SIG_DFL;
        ::sigaction(by, &byDefault, nullptr);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, by);
        ::sigprocmask(SIG_UNBLOCK, &one, nullptr);
        ::kill(::getpid(), by);
        ::_exit(128 + by);
    }
}

} // namespace

ChildProcess ChildProcess::start(const StartRequest &request, int stdinFd, int stdoutFd,
                                 int stderrFd, int &error)
{
    std::string program;
    const std::vector<std::string> arguments = argumentsOf(request, program);
    if (program.empty() || !isExecutableFile(program)) {
        error = ENOENT;
        return {};
    }
    std::vector<char *> argv;
    for (const std::string &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    int pipeError = 0;
    auto failure = Pipe::create(pipeError);
    if (!failure) {
        error = pipeError;
        return {};
    }
    const ChildSetup setup{program.c_str(),
                           argv.data(),
                           request.currentDirectory.empty() ? nullptr
                                                            : request.currentDirectory.c_str(),
                           request.priority != ProcessPriority::Inherit,
                           niceOf(request.priority),
                           stdinFd,
                           stdoutFd,
                           stderrFd,
                           failure->writeEnd.get(),
                           request.endWithParent};

    // vfork: the child borrows this process's memory until it execs, so a
    // start costs no copy of a large window process's page tables. Signals
    // stay blocked meanwhile, and the child drops every handler of ours
    // before it unblocks them, so none of them can run on borrowed memory.
    //
    // A holder lives on beside the program, so it needs a fork of its own;
    // its cost (copying the page tables) is paid once per job.
    const pid_t self = ::getpid();
    sigset_t all, saved;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &saved);
    const pid_t pid = request.endWithParent ? ::fork() : ::vfork();
    if (pid == 0) {
        if (request.endWithParent)
            holdJob(setup, self);
        execChild(setup);
    }
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    if (pid < 0) {
        error = forkError;
        return {};
    }
    ::setpgid(pid, pid); // also from here, so the group exists before we could signal it
    failure->writeEnd.reset();

    ChildProcess child;
    child.m_pid = pid;
    int childError = 0;
    ssize_t n;
    do {
        n = ::read(failure->readEnd.get(), &childError, sizeof childError);
    } while (n < 0 && errno == EINTR);
    if (n == sizeof childError) {
        child.wait();
        error = childError;
        return {};
    }
    child.m_pidfd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
    return child;
}

bool killProcessGroup(int pid)
{
    return killJobProcesses(pid);
}

bool ChildProcess::killGroup()
{
    return running() && killProcessGroup(m_pid);
}

void ChildProcess::reap(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        m_status = WEXITSTATUS(waitStatus);
    else if (WIFSIGNALED(waitStatus))
        m_status = 128 + WTERMSIG(waitStatus);
    else
        m_status = 255;
    m_pidfd.reset();
}

std::optional<int> ChildProcess::poll()
{
    if (m_pid <= 0 || m_status)
        return m_status;
    int status = 0;
    const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid)
        reap(status);
    else if (r < 0 && errno == ECHILD)
        m_status = 255; // reaped elsewhere: its status is lost
    return m_status;
}

int ChildProcess::wait()
{
    if (m_pid <= 0)
        return -1;
    while (!m_status) {
        int status = 0;
        const pid_t r = ::waitpid(m_pid, &status, 0);
        if (r == m_pid)
            reap(status);
        else if (r < 0 && errno != EINTR)
            m_status = 255;
    }
    return *m_status;
}

} // namespace orm::platform
