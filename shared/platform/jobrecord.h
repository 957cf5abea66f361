#pragma once
// A record of each running job in the user's runtime folder. Normally a job's
// processes end with the program (see StartRequest::endWithParent); a run that
// died in a way that left them behind is found by its records at the next
// start of either program of the same installation, and only what the record
// names is ended or removed.
#include <string>
#include <vector>

namespace orm::platform {

// $XDG_RUNTIME_DIR, else the temporary folder.
std::string runtimeFolder();
// Where the records of the calling user's jobs are kept.
std::string jobRecordFolder();

class JobRecord {
public:
    JobRecord() = default;
    // Records the job whose group `leader` leads, the script it runs and the
    // files it writes under names of its own (removed when a run dies before
    // it could), for this process and its program file. An empty record when
    // it cannot be written (the job runs all the same).
    static JobRecord create(int leader, const std::string &scriptPath,
                            const std::vector<std::string> &ownFiles = {});
    JobRecord(JobRecord &&other) noexcept;
    JobRecord &operator=(JobRecord &&other) noexcept;
    JobRecord(const JobRecord &) = delete;
    JobRecord &operator=(const JobRecord &) = delete;
    ~JobRecord() { remove(); }

    // The job has ended: its record goes.
    void remove();
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

// The process `pid` is still the one that started at `start` (clock ticks,
// as processStartTime gives them) and has not ended.
bool sameProcess(int pid, long long start);

// Ends what earlier runs of the programs of this program folder left behind:
// for each record whose owner is gone, the job's processes (checked by start
// time and the leader's program file - the holder program beside the
// programs, or the recorded program file for a forked holder - so that no
// process that merely reuses an id is hit), its script and its own files;
// then the record goes. Records of a run still going are left alone. Returns
// the number of leftover records cleaned up.
int endLeftoverJobs();

} // namespace orm::platform
