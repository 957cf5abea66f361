#include "platform/childprocess.h"
#include "platform/platform.h"
#include "platform/processes.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

using namespace orm::platform;
namespace fs = std::filesystem;

namespace {

struct TempFolder {
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "orm-kill-XXXXXX").string();
        path = ::mkdtemp(pattern.data()) ? pattern : std::string();
        ::chmod(path.c_str(), 0755); // other users may run programs from it
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string file(const std::string &name) const { return path + "/" + name; }
    std::string copyOfSleep(const std::string &name) const
    {
        fs::copy_file("/bin/sleep", file(name));
        return file(name);
    }
    std::string linkToSleep(const std::string &name) const
    {
        fs::create_symlink("/bin/sleep", file(name));
        return file(name);
    }
    std::string path;
};

// A child of the test; one that is still running when the test ends is killed and reaped.
class Child {
public:
    static Child spawn(const std::string &program, const std::string &argv0,
                       std::vector<std::string> extraEnvironment = {})
    {
        std::vector<char *> argv{const_cast<char *>(argv0.c_str()), const_cast<char *>("30"),
                                 nullptr};
        for (char **e = environ; *e; ++e)
            extraEnvironment.emplace_back(*e);
        std::vector<char *> envp;
        for (std::string &e : extraEnvironment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        Child child;
        if (::posix_spawn(&child.m_pid, program.c_str(), nullptr, nullptr, argv.data(),
                          envp.data()) != 0)
            child.m_pid = -1;
        child.waitUntilStarted(argv0);
        return child;
    }

    Child(Child &&other) noexcept : m_pid(std::exchange(other.m_pid, -1)) {}
    Child(const Child &) = delete;
    ~Child()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    pid_t pid() const { return m_pid; }

    // The wait status once the child has ended, nothing when it is still running after `timeout`.
    std::optional<int> waitForEnd(std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return status;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    bool wasKilled()
    {
        const auto status = waitForEnd();
        return status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL;
    }

    bool isRunning()
    {
        int status = 0;
        return m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == 0;
    }

private:
    Child() = default;

    // posix_spawn returns while the new program is still being loaded, when
    // /proc shows no arguments yet and the old command name. A child that has
    // already ended is left for waitForEnd.
    void waitUntilStarted(const std::string &argv0) const
    {
        const std::string cmdline = "/proc/" + std::to_string(m_pid) + "/cmdline";
        for (int i = 0; i < 1000 && m_pid > 0; ++i) {
            std::string firstArgument;
            std::getline(std::ifstream(cmdline), firstArgument, '\0');
            siginfo_t ended{};
            const bool hasEnded = ::waitid(P_PID, static_cast<id_t>(m_pid), &ended,
                                           WEXITED | WNOHANG | WNOWAIT) == 0 &&
                                  ended.si_pid == m_pid;
            if (firstArgument == argv0 || hasEnded)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ADD_FAILURE() << "the child did not start " << argv0;
    }

    pid_t m_pid = -1;
};

// The processes of this user whose program file is `program`.
std::vector<int> processesRunning(const std::string &program)
{
    std::vector<int> found;
    for (const auto &entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const int pid = std::stoi(name);
        if (processProgramFile(pid) == program && !isZombie(pid))
            found.push_back(pid);
    }
    return found;
}

bool waitUntil(const std::function<bool()> &done)
{
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

// A job like a conversion's: a script whose encoder runs in the job's group,
// and a second one that has left the group (a new session).
struct JobScript {
    explicit JobScript(const TempFolder &dir)
        : encoder(dir.copyOfSleep("avcore.dll")), script(dir.file("job.sh"))
    {
        std::ofstream(script) << "\"" << encoder << "\" 300 &\nsetsid \"" << encoder
                              << "\" 301 &\nwait\n";
    }
    ChildProcess start(bool endWithParent) const
    {
        StartRequest request;
        request.commandLine = script;
        request.endWithParent = endWithParent;
        int error = 0;
        ChildProcess child = ChildProcess::start(request, 0, 1, 2, error);
        EXPECT_TRUE(child.running()) << error;
        return child;
    }
    std::string encoder, script;
};

// Which holder the jobs started meanwhile run under: a path that names no
// holder program makes them run under a fork of this program.
struct HolderScope {
    explicit HolderScope(const std::string &path) { setJobHolderPath(path); }
    ~HolderScope() { setJobHolderPath({}); }
    HolderScope(const HolderScope &) = delete;
    HolderScope &operator=(const HolderScope &) = delete;
};

// A job's ways of running: its group led by the command itself, by the holder
// program, or by a forked holder (no holder program there).
enum class Holding { None, Program, Fork };
constexpr Holding kHoldings[] = {Holding::None, Holding::Program, Holding::Fork};

std::string holderPathFor(Holding holding, const TempFolder &dir)
{
    return holding == Holding::Fork ? dir.file("no-such-holder") : std::string();
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[256];
    for (;;) {
        pollfd item{fd, POLLIN, 0};
        if (::poll(&item, 1, 20000) != 1) {
            ADD_FAILURE() << "no end of output while the command still runs";
            return text;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, size_t(n));
    }
}

} // namespace

// Stopping a job ends the job and only the job: its group, the encoder that
// left the group, never a process that merely runs the same program file.
TEST(JobProcesses, EndOnlyTheJobsOwnGroupAndDescendants)
{
    const TempFolder dir;
    const JobScript job(dir);
    Child neighbour = Child::spawn(job.encoder, job.encoder); // another program's encoder
    ASSERT_TRUE(neighbour.isRunning());

    for (const Holding holding : kHoldings) {
        SCOPED_TRACE(int(holding));
        const HolderScope holder(holderPathFor(holding, dir));
        ChildProcess child = job.start(holding != Holding::None);
        ASSERT_TRUE(waitUntil([&] { return processesRunning(job.encoder).size() == 3; }));
        const std::vector<int> inJob = descendantsOf(child.pid());
        EXPECT_GE(inJob.size(), 2u);
        EXPECT_FALSE(std::ranges::count(processGroupMembers(child.pid()), ::getpid()));

        EXPECT_TRUE(killJobProcesses(child.pid()));
        EXPECT_EQ(child.wait(), 128 + SIGKILL);
        EXPECT_TRUE(waitUntil([&] { return processesRunning(job.encoder).size() == 1; }));
        EXPECT_TRUE(neighbour.isRunning());
        EXPECT_EQ(processesRunning(job.encoder), std::vector<int>{neighbour.pid()});
    }
    EXPECT_FALSE(killJobProcesses(0));
}

// The holder program leads the job; without it (none found, or it cannot
// run) a fork of the program does. Either way the holder gives the command
// its folder and priority, holds none of its streams, passes the command's
// end on unchanged, and ends with its program.
TEST(JobProcesses, TheHolderKeepsTheExitStatusAndGoesWithItsProgram)
{
    const TempFolder dir;
    const std::string holderProgram = jobHolderPath();
    ASSERT_EQ(fs::path(holderProgram).filename(), "ormolux-jobholder")
        << "no holder program beside the build's programs";
    std::ofstream(dir.file("broken-holder")) << "not a program\n";
    ::chmod(dir.file("broken-holder").c_str(), 0755);
    std::ofstream(dir.file("wait.sh")) << "pwd -P\nnice\nexec >&-\nread line\nexit 7\n";
    const std::string encoder = dir.copyOfSleep("avcore.dll");
    std::ofstream(dir.file("fg.sh")) << "\"" << encoder << "\" 300\necho never\n";

    // The holder to name, and the program file that then leads the job.
    for (const auto &[holder, leaderFile] : std::vector<std::pair<std::string, std::string>>{
             {holderProgram, holderProgram},
             {dir.file("no-such-holder"), programPath()},
             {dir.file("broken-holder"), programPath()}}) {
        SCOPED_TRACE(holder);
        const HolderScope scope(holder);
        for (const auto &[text, status] : std::vector<std::pair<std::string, int>>{
                 {"exit 3", 3}, {"exit 0", 0}, {"kill -TERM $$", 128 + SIGTERM}}) {
            std::ofstream(dir.file("s.sh")) << text << "\n";
            StartRequest request;
            request.commandLine = dir.file("s.sh");
            request.endWithParent = true;
            int error = 0;
            ChildProcess child = ChildProcess::start(request, 0, 1, 2, error);
            ASSERT_TRUE(child.running());
            EXPECT_EQ(child.wait(), status) << text;
        }
        StartRequest missing;
        missing.applicationName = dir.file("no-such-program");
        missing.endWithParent = true;
        int error = 0;
        EXPECT_FALSE(ChildProcess::start(missing, 0, 1, 2, error).running());
        EXPECT_EQ(error, ENOENT);
        // Errors of the command's own start come back through the holder.
        StartRequest unrunnable;
        unrunnable.applicationName = dir.file("broken-holder"); // no program format
        unrunnable.endWithParent = true;
        error = 0;
        EXPECT_FALSE(ChildProcess::start(unrunnable, 0, 1, 2, error).running());
        EXPECT_EQ(error, ENOEXEC);
        StartRequest nowhere;
        nowhere.commandLine = dir.file("s.sh");
        nowhere.currentDirectory = dir.file("no-such-folder");
        nowhere.endWithParent = true;
        error = 0;
        EXPECT_FALSE(ChildProcess::start(nowhere, 0, 1, 2, error).running());
        EXPECT_EQ(error, ENOENT);

        // The command's folder and priority; its output ends when it closes
        // it, while it (and so the holder) still runs.
        int pipeError = 0;
        auto input = Pipe::create(pipeError);
        auto output = Pipe::create(pipeError);
        ASSERT_TRUE(input && output);
        StartRequest request;
        request.commandLine = dir.file("wait.sh");
        request.currentDirectory = dir.path;
        request.priority = ProcessPriority::Idle;
        request.endWithParent = true;
        ChildProcess child =
            ChildProcess::start(request, input->readEnd.get(), output->writeEnd.get(), 2, error);
        ASSERT_TRUE(child.running()) << error;
        input->readEnd.reset();
        output->writeEnd.reset();
        EXPECT_EQ(processProgramFile(child.pid()), leaderFile);
        EXPECT_EQ(readAll(output->readEnd.get()), fs::canonical(dir.path).string() + "\n19\n");
        EXPECT_TRUE(child.running());
        EXPECT_EQ(::write(input->writeEnd.get(), "go\n", 3), 3);
        EXPECT_EQ(child.wait(), 7);

        // A program that dies by SIGKILL: a forked copy of this test starts
        // the job, whose shell waits for its encoder in the foreground (and so
        // would defer any trap of its own).
        const pid_t program = ::fork();
        if (program == 0) {
            StartRequest request;
            request.commandLine = dir.file("fg.sh");
            request.endWithParent = true;
            int error = 0;
            ChildProcess child = ChildProcess::start(request, 0, 1, 2, error);
            child.abandon();
            for (;;)
                ::pause();
        }
        ASSERT_TRUE(waitUntil([&] { return processesRunning(encoder).size() == 1; }));
        ::kill(program, SIGKILL);
        ::waitpid(program, nullptr, 0);
        const auto killed = std::chrono::steady_clock::now();
        ASSERT_TRUE(waitUntil([&] { return processesRunning(encoder).empty(); }));
        EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(1));
    }
}
