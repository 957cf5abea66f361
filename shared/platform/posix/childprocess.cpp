#include "../childprocess.h"

#include "../platform.h"
#include "../processes.h"
#include "jobholding.h"

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
#include <mutex>

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
    char quote = 0;
    const std::size_t size = commandLine.size();
    for (std::size_t i = 0; i < size; ++i) {
        const char c = commandLine[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                word += c;
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else if (c == '\\' && i + 1 < size &&
                     std::strchr("$`\"\\", commandLine[i + 1]) != nullptr)
                word += commandLine[++i];
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < size) {
            word += commandLine[++i];
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
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

using holding::ChildSetup;

// What the child of a job with a holder program does: it becomes the job's
// group leader with the command's priority, folder and streams, and execs the
// holder, which runs the command. An error before the holder runs is sent as
// the negative error number when the holder itself could not be run.
struct HolderSetup {
    const char *holder; // null: no holder program
    char *const *argv;  // the holder's: program pid, failure fd, command, its argv
    const ChildSetup &job;
};

[[noreturn]] void execHolder(const HolderSetup &setup)
{
    const ChildSetup &job = setup.job;
    ::setpgid(0, 0);
    if (job.setNice)
        ::setpriority(PRIO_PROCESS, 0, job.nice); // refused: the inherited level stays
    // Signals stay blocked through exec: the holder takes them with sigwaitinfo.
    holding::dropSignalHandlers();
    ::dup2(job.stdinFd, 0);
    ::dup2(job.stdoutFd, 1);
    ::dup2(job.stderrFd, 2);
    int childError = 0;
    if (job.currentDirectory && ::chdir(job.currentDirectory) != 0) {
        childError = errno;
    } else {
        ::fcntl(job.failureFd, F_SETFD, 0); // the holder reports through it
        ::execve(setup.holder, setup.argv, environ);
        childError = -errno;
    }
    [[maybe_unused]] auto n = ::write(job.failureFd, &childError, sizeof childError);
    ::_exit(127);
}

// Starts the child that runs `setup`; the child never returns.
pid_t startChild(const HolderSetup &setup, pid_t self)
{
    if (setup.job.underHolder && !setup.holder) {
        const pid_t pid = ::fork();
        if (pid == 0)
            holding::holdJob(setup.job, self);
        return pid;
    }
    const pid_t pid = ::vfork();
    if (pid == 0) {
        if (setup.holder)
            execHolder(setup);
        holding::execChild(setup.job);
    }
    return pid;
}

constexpr const char *kJobHolderName = "ormolux-jobholder";

struct HolderChoice {
    std::mutex mutex;
    bool resolved = false;
    std::string path;
};

HolderChoice &holderChoice()
{
    static HolderChoice choice;
    return choice;
}

// The holder beside the program file; for a program run from the build tree
// (tests, benchmarks) the build tree's.
std::string findJobHolder()
{
    const std::string beside = programFolder() + "/" + kJobHolderName;
    if (isExecutableFile(beside))
        return beside;
#if defined(ORM_BUILD_TREE) && defined(ORM_JOBHOLDER_BUILD_PATH)
    const std::string tree = std::string(ORM_BUILD_TREE) + "/";
    if (programPath().starts_with(tree) && isExecutableFile(ORM_JOBHOLDER_BUILD_PATH))
        return ORM_JOBHOLDER_BUILD_PATH;
#endif
    return {};
}

} // namespace

std::string jobHolderPath()
{
    HolderChoice &choice = holderChoice();
    const std::lock_guard lock(choice.mutex);
    if (!choice.resolved) {
        choice.path = findJobHolder();
        choice.resolved = true;
    }
    return choice.path;
}

void setJobHolderPath(const std::string &path)
{
    HolderChoice &choice = holderChoice();
    const std::lock_guard lock(choice.mutex);
    choice.resolved = !path.empty();
    choice.path = isExecutableFile(path) ? path : std::string();
}

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

    const pid_t self = ::getpid();
    std::string holder = request.endWithParent ? jobHolderPath() : std::string();
    for (;;) {
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
        const std::string selfText = std::to_string(self);
        const std::string failureText = std::to_string(failure->writeEnd.get());
        std::vector<char *> holderArgv;
        if (!holder.empty()) {
            holderArgv = {holder.data(), const_cast<char *>(selfText.c_str()),
                          const_cast<char *>(failureText.c_str()), program.data()};
            holderArgv.insert(holderArgv.end(), argv.begin(), argv.end()); // with its null
        }
        const HolderSetup holderSetup{holder.empty() ? nullptr : holder.c_str(), holderArgv.data(),
                                      setup};

        // vfork: the child borrows this process's memory until it execs, so a
        // start costs no copy of a large window process's page tables. Signals
        // stay blocked meanwhile, and the child drops every handler of ours
        // before it unblocks them, so none of them can run on borrowed memory.
        // A job that ends with the program runs under the holder program,
        // started the same way. Without one, the holder is a fork of this
        // program: it lives on beside the program, so it cannot borrow its
        // memory, and the copy of the page tables is paid once per job.
        sigset_t all, saved;
        sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &saved);
        const pid_t pid = startChild(holderSetup, self);
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
            if (childError < 0) {
                holder.clear(); // the holder program could not run: the job runs under a fork
                continue;
            }
            error = childError;
            return {};
        }
        child.m_pidfd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
        return child;
    }
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
