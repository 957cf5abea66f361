#include "../jobrecord.h"

#include "../childprocess.h"
#include "../files.h"
#include "../platform.h"
#include "../processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace orm::platform {

namespace {

// Records of the programs of one folder share a name start: FNV-1a of its path.
std::string programKey()
{
    std::uint64_t hash = 1469598103934665603ULL;
    for (const unsigned char c : programFolder()) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

using Fields = std::map<std::string, std::string>;

// A record is a line per field; "file" lines, one per own file, are kept apart.
Fields readRecord(const std::string &path, std::vector<std::string> *files = nullptr)
{
    Fields fields;
    std::istringstream in(readRegularFile(path, 1024 * 1024).value_or(std::string()));
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (line.compare(0, eq, "file") == 0) {
            if (files)
                files->push_back(line.substr(eq + 1));
        } else {
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return fields;
}

// The recorded program lies in this program's folder.
bool ofThisFolder(const std::string &program)
{
    const size_t slash = program.find_last_of('/');
    return slash != std::string::npos && program.substr(0, slash) == programFolder();
}

std::optional<long long> numberOf(const Fields &fields, const std::string &key)
{
    const auto it = fields.find(key);
    if (it == fields.end() || it->second.empty())
        return std::nullopt;
    char *end = nullptr;
    const long long value = std::strtoll(it->second.c_str(), &end, 10);
    return *end ? std::nullopt : std::optional<long long>(value);
}

} // namespace

bool sameProcess(int pid, long long start)
{
    const auto now = processStartTime(pid);
    return now && static_cast<long long>(*now) == start && !isZombie(pid);
}

namespace {

bool killIfSame(int pid, long long start)
{
    const int process = int(::syscall(SYS_pidfd_open, pid, 0));
    // Checked after the descriptor is open: from here on the id cannot move on.
    bool ok = false;
    if (sameProcess(pid, start)) {
        ok = process >= 0 ? ::syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0) == 0
                          : ::kill(pid, SIGKILL) == 0;
    }
    if (process >= 0)
        ::close(process);
    return ok;
}

// The program file a job's leader ran: the holder program of this
// installation, or the recorded program file (one of this folder) for a
// holder forked from it (also when the record names none: the leader then has
// to run that program file).
std::optional<std::string> leaderProgramOf(const Fields &record)
{
    const auto program = record.find("program");
    auto it = record.find("leader_program");
    if (it == record.end() || it->second.empty())
        it = program;
    if (it == record.end())
        return std::nullopt;
    const std::string &file = it->second;
    if (!file.empty() &&
        (file == jobHolderPath() ||
         (program != record.end() && file == program->second && ofThisFolder(file))))
        return file;
    return std::nullopt;
}

// The processes of a dead run's job: its leader, when it is still the
// holder of this installation that the run started, and the members of the
// group it led that started after it. An id in use as a group is never handed
// out again, so while the leader (or its unreaped remains) holds the id, or no
// process holds it, the group is still the job's; once another process holds
// the id, the group of that id is someone else's and nothing is touched.
void endLeftoverJob(const Fields &record)
{
    const auto leader = numberOf(record, "leader");
    const auto leaderStart = numberOf(record, "leader_start");
    const auto leaderProgram = leaderProgramOf(record);
    if (!leader || !leaderStart || *leader <= 1 || !leaderProgram)
        return;
    const int group = int(*leader);
    if (const auto start = processStartTime(group)) {
        if (static_cast<long long>(*start) != *leaderStart)
            return; // the id now names another process
        if (!isZombie(group)) {
            if (processProgramFile(group) != *leaderProgram)
                return;
            killIfSame(group, *leaderStart);
        }
    }
    // The whole group at once: a member that is forking as the group is
    // signalled cannot leave a child behind, as one found by a scan of the
    // processes could. The id cannot name another group while this one has
    // members.
    if (::getpgrp() != group)
        ::kill(-group, SIGKILL);
    for (const int member : processGroupMembers(group)) {
        const auto start = processStartTime(member);
        if (member != ::getpid() && start && static_cast<long long>(*start) >= *leaderStart)
            killIfSame(member, static_cast<long long>(*start));
    }
}

} // namespace

std::string runtimeFolder()
{
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return runtime;
    std::error_code error;
    const auto temp = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : temp.string();
}

std::string jobRecordFolder()
{
    return runtimeFolder() + "/ormolux-jobs-" + std::to_string(::getuid());
}

JobRecord JobRecord::create(int leader, const std::string &scriptPath,
                            const std::vector<std::string> &ownFiles)
{
    JobRecord record;
    const std::string folder = jobRecordFolder();
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return record; // not ours: nothing is written there
    const int self = ::getpid();
    const auto selfStart = processStartTime(self);
    const auto leaderStart = processStartTime(leader);
    const auto leaderProgram = processProgramFile(leader);
    if (!selfStart || !leaderStart)
        return record;
    std::ostringstream text;
    text << "owner=" << self << "\nowner_start=" << *selfStart << "\nleader=" << leader
         << "\nleader_start=" << *leaderStart << "\nprogram=" << programPath()
         << "\nleader_program=" << leaderProgram.value_or(std::string())
         << "\nscript=" << scriptPath << "\n";
    for (const std::string &file : ownFiles) {
        if (file.find('\n') == std::string::npos)
            text << "file=" << file << "\n";
    }
    const std::string path = folder + "/" + programKey() + "-" + std::to_string(self) + "-" +
                             std::to_string(leader) + ".job";
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text.str();
        if (!out.flush())
            return record;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        return record;
    record.m_path = path;
    return record;
}

JobRecord::JobRecord(JobRecord &&other) noexcept : m_path(std::move(other.m_path))
{
    other.m_path.clear();
}

JobRecord &JobRecord::operator=(JobRecord &&other) noexcept
{
    if (this != &other) {
        remove();
        m_path = std::move(other.m_path);
        other.m_path.clear();
    }
    return *this;
}

void JobRecord::remove()
{
    if (!m_path.empty())
        ::unlink(m_path.c_str());
    m_path.clear();
}

int endLeftoverJobs()
{
    const std::string folder = jobRecordFolder();
    const std::string prefix = programKey() + "-";
    std::vector<std::filesystem::path> records;
    try {
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(prefix) && name.ends_with(".job"))
                records.push_back(entry.path());
        }
    } catch (const std::filesystem::filesystem_error &) {
        // An unreadable folder holds nothing this run can clean.
    }
    int cleaned = 0;
    for (const auto &path : records) {
        const Fields record = readRecord(path.string());
        const auto owner = numberOf(record, "owner");
        const auto ownerStart = numberOf(record, "owner_start");
        if (owner && ownerStart && sameProcess(int(*owner), *ownerStart))
            continue; // that run is still going
        if (record.count("program") && !ofThisFolder(record.at("program")))
            continue;
        endLeftoverJob(record);
        if (const auto script = record.find("script");
            script != record.end() && !script->second.empty())
            ::unlink(script->second.c_str());
        // The job's processes are gone: what it wrote under its own names is unfinished.
        std::vector<std::string> files;
        readRecord(path.string(), &files);
        for (const std::string &file : files)
            ::unlink(file.c_str());
        ::unlink(path.c_str());
        ++cleaned;
    }
    return cleaned;
}

} // namespace orm::platform
