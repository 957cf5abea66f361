#pragma once
// A console child process with its standard streams on pipes, leading a
// process group of its own so that everything it starts can be ended with it.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orm::platform {

// Owns one file descriptor; -1 is none.
class Fd {
public:
    explicit Fd(int fd = -1) noexcept : m_fd(fd) {}
    Fd(Fd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd &operator=(Fd &&other) noexcept;
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }

    int get() const noexcept { return m_fd; }
    bool valid() const noexcept { return m_fd >= 0; }
    void reset(int fd = -1) noexcept;
    int release() noexcept { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Both ends close on exec; the child gets its ends through dup2.
struct Pipe {
    Fd readEnd;
    Fd writeEnd;
    // The system's error number on failure.
    static std::optional<Pipe> create(int &error);
};

enum class ProcessPriority { Inherit, Idle, Normal, High, RealTime };

struct StartRequest {
    std::string applicationName;  // program to run; empty: taken from the command line
    std::string commandLine;      // a script's path runs with the shell
    std::string currentDirectory; // empty: this process's
    ProcessPriority priority = ProcessPriority::Inherit;
    // The child's processes end when this program ends, even by SIGKILL: the
    // child is then a small holder process of ours that leads the group, runs
    // the command as its own child, and kills the whole group once the thread
    // that started it has gone (a parent-death signal). Start such a child from
    // a thread that lives as long as the job (the main thread). The holder is
    // the program jobHolderPath() names, or a fork of this program when there
    // is none (which costs a large program more per start).
    bool endWithParent = false;
};

// The holder program of jobs that end with their program: ormolux-jobholder
// beside the running program file (both programs are built and installed
// beside it), else, for a program run from the build tree (tests,
// benchmarks), the build tree's. Empty when there is none. Found once.
std::string jobHolderPath();
// Names the holder program instead; a path that names no program file makes
// such jobs run under a fork of this program. Empty: found as above again.
void setJobHolderPath(const std::string &path);

// SIGKILL to a child's process group, to the child itself and to every
// descendant of the child that left the group.
bool killProcessGroup(int pid);

// The words of a command line as the shell reads a script's line: blanks
// separate words; single quotes group everything up to the next one; double
// quotes group too, and inside them a backslash escapes only $ ` " and \;
// outside quotes a backslash escapes any character. Used for the command
// lines of child processes and to read what a preset's command will run.
std::vector<std::string> SplitCommandLine(const std::string &commandLine);

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess &&other) noexcept;
    ChildProcess &operator=(ChildProcess &&other) noexcept;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    // A child still running when its owner goes is ended with its group.
    ~ChildProcess();

    // Starts the child with the given descriptors as its standard input,
    // output and error. On failure the result is not running and `error`
    // holds the system's error number (2 for a missing program).
    static ChildProcess start(const StartRequest &request, int stdinFd, int stdoutFd, int stderrFd,
                              int &error);

    bool running() const { return m_pid > 0 && !m_status; }
    int pid() const { return m_pid; }
    // Readable when the child has ended (-1 where the system has no pidfd).
    int exitNotifier() const { return m_pidfd.get(); }

    // SIGKILL to the whole group: the shell and the encoder it started.
    bool killGroup();
    // Lets a running child go on by itself: it is neither ended nor waited for.
    void abandon()
    {
        m_pid = -1;
        m_pidfd.reset();
    }
    // The exit status once the child has ended (128 + signal for a killed
    // one), without blocking.
    std::optional<int> poll();
    int wait();

private:
    void reap(int waitStatus);

    int m_pid = -1;
    Fd m_pidfd;
    std::optional<int> m_status;
};

} // namespace orm::platform
