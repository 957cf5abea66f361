#include "platform/platform.h"
#include "platform/processes.h"

#include <gtest/gtest.h>

#include <grp.h>
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
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

using namespace orm::platform;
namespace fs = std::filesystem;

namespace {

// A copy of this test program started under a name of its own ends every
// process of that name and reports the result in its exit status.
const bool g_killerChild = [] {
    if (const char *name = std::getenv("ORM_TEST_KILL_OWN_NAME"))
        ::_exit(killProcessesByName(name) ? 0 : 1);
    return false;
}();

// Names no other process on the machine carries, so a test can only hit its own children.
std::string randomHex()
{
    std::random_device device;
    std::uniform_int_distribution<unsigned> digit(0, 15);
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += "0123456789abcdef"[digit(device)];
    return text;
}

std::string upper(std::string text)
{
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

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

    // The program runs with the real and effective ids of another user.
    static Child spawnAsUser(const std::string &program, uid_t uid, gid_t gid)
    {
        Child child;
        child.m_pid = ::fork();
        if (child.m_pid == 0) {
            const char *argv[] = {program.c_str(), "30", nullptr};
            if (::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, gid) == 0 &&
                ::setresuid(uid, uid, uid) == 0)
                ::execv(program.c_str(), const_cast<char **>(argv));
            ::_exit(127);
        }
        child.waitUntilStarted(program);
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

} // namespace

TEST(ProgramName, FileNamePartOrWholeTextIgnoringLetterCase)
{
    struct Case {
        const char *text, *name;
        bool matches;
    } const cases[] = {
        {"/opt/ormolux/cores/avcore.dll", "avcore.dll", true},
        {"/opt/ormolux/cores/AVCORE.DLL", "avcore.dll", true},
        {"avcore.dll", "AvCore.Dll", true},
        {"/opt/cores/avcore.dll", "/OPT/CORES/AVCORE.DLL", true},
        {"/opt/cores/xavcore.dll", "avcore.dll", false},
        {"/opt/cores/avcore.dll.bak", "avcore.dll", false},
        {"/opt/avcore.dll/", "avcore.dll", false}, // a folder of that name
        {"/opt/cores/avcore.dll", "cores/avcore.dll", false},
        {"/opt/cores/\xc3\x84vcore.dll", "\xc3\xa4vcore.dll", false}, // ASCII letters only
        {"", "", false},
        {"/usr/bin/sleep", "", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(programNameMatches(c.text, c.name), c.matches) << c.text << " / " << c.name;
}

TEST(KillProcessesByName, EndsEveryCopyWhateverItsLetterCase)
{
    const TempFolder dir;
    const std::string name = "orm-test-kill-" + randomHex() + ".dll";
    const std::string lower = dir.copyOfSleep(name);
    const std::string capitals = dir.copyOfSleep(upper(name));
    const std::string longer = dir.copyOfSleep("x" + name);
    Child first = Child::spawn(lower, lower);
    Child second = Child::spawn(capitals, capitals);
    Child other = Child::spawn(longer, longer);
    ASSERT_GT(first.pid(), 0);
    ASSERT_GT(second.pid(), 0);
    ASSERT_GT(other.pid(), 0);

    EXPECT_TRUE(killProcessesByName(name));
    EXPECT_TRUE(first.wasKilled());
    EXPECT_TRUE(second.wasKilled());
    EXPECT_TRUE(other.isRunning());

    EXPECT_FALSE(killProcessesByName(name)); // nothing of that name is left
    EXPECT_TRUE(other.isRunning());
}

TEST(KillProcessesByName, NothingMatchingEndsNothing)
{
    const TempFolder dir;
    const std::string name = "orm-test-kill-" + randomHex() + ".dll";
    const std::string program = dir.copyOfSleep(name);
    Child child = Child::spawn(program, program);

    EXPECT_FALSE(killProcessesByName("orm-test-kill-" + randomHex() + ".dll"));
    EXPECT_FALSE(killProcessesByName(name.substr(1)));
    EXPECT_FALSE(killProcessesByName(dir.path)); // the folder is not the program
    EXPECT_TRUE(child.isRunning());
}

TEST(KillProcessesByName, FindsTheProgramThroughItsFileArgumentOrCommandName)
{
    const TempFolder dir;

    // The program file alone names it, even once the file is deleted.
    const std::string deletedName = "orm-test-kill-" + randomHex() + ".dll";
    const std::string deleted = dir.copyOfSleep(deletedName);
    Child runsDeleted = Child::spawn(deleted, "unrelated");
    fs::remove(deleted);
    EXPECT_TRUE(killProcessesByName(deletedName));
    EXPECT_TRUE(runsDeleted.wasKilled());

    // The whole path of the program file, in other letter case.
    const std::string copy = dir.copyOfSleep("orm-test-kill-" + randomHex() + ".dll");
    Child byPath = Child::spawn(copy, "unrelated");
    EXPECT_TRUE(killProcessesByName(upper(copy)));
    EXPECT_TRUE(byPath.wasKilled());

    // Started through a link: the program file is sleep, the first argument the link.
    const std::string linkName = "orm-test-kill-" + randomHex() + ".dll";
    const std::string link = dir.linkToSleep(linkName);
    Child throughLink = Child::spawn(link, link);
    EXPECT_TRUE(killProcessesByName(upper(linkName)));
    EXPECT_TRUE(throughLink.wasKilled());

    // A short name survives in the command name when the first argument is something else.
    const std::string shortName = "k" + randomHex() + ".dll";
    const std::string shortLink = dir.linkToSleep(shortName);
    Child commandOnly = Child::spawn(shortLink, "unrelated");
    EXPECT_TRUE(killProcessesByName(shortName));
    EXPECT_TRUE(commandOnly.wasKilled());

    // A long one is cut to 15 characters there, and the cut text names nothing.
    const std::string longLink = dir.linkToSleep("orm-test-kill-" + randomHex() + ".dll");
    Child truncated = Child::spawn(longLink, "unrelated");
    EXPECT_FALSE(killProcessesByName(fs::path(longLink).filename().string().substr(0, 15)));
    EXPECT_TRUE(truncated.isRunning());
}

TEST(KillProcessesByName, NeverEndsTheCallingProcess)
{
    const TempFolder dir;
    const std::string name = "orm-test-kill-" + randomHex() + ".dll";
    const std::string sibling = dir.copyOfSleep(name);
    const std::string self = dir.file("self-" + randomHex());
    fs::create_symlink(programPath(), self);

    Child other = Child::spawn(sibling, sibling);
    // The killer carries the name too, as its first argument.
    Child killer = Child::spawn(self, dir.file(name), {"ORM_TEST_KILL_OWN_NAME=" + name});
    const auto status = killer.waitForEnd(std::chrono::seconds(20));
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status)) << "the killer ended itself";
    EXPECT_EQ(WEXITSTATUS(*status), 0) << "the killer's result";
    EXPECT_TRUE(other.wasKilled());
}

TEST(KillProcessesByName, LeavesProcessesOfOtherUsersAlone)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "starting a process as another user needs root";
    const TempFolder dir;
    const std::string name = "orm-test-kill-" + randomHex() + ".dll";
    const std::string program = dir.copyOfSleep(name);
    Child foreign = Child::spawnAsUser(program, 65534, 65534);
    ASSERT_GT(foreign.pid(), 0);

    EXPECT_FALSE(killProcessesByName(name));
    EXPECT_TRUE(foreign.isRunning());
}
