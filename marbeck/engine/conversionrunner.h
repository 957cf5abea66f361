#pragma once
// The batch's jobs with the encoder: each job's script written from the
// preset, run under the job's own process group, its console text read for
// progress and errors, and its outputs checked before it counts as converted.
#include "jobrunner.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace orm {
class ConversionJob;
struct JobEnd;
} // namespace orm

namespace marbeck {

// What the jobs of a batch take from the settings, fixed when it starts.
struct ConversionSettings {
    QString programFolder; // scripts are written and run here
    QString profileFile;
    QString section;
    QString outputFolder; // as the user gave it
    quint8 priority = 1;  // the stored priority setting
    bool useDirectShow = false;
    QStringList aviSynthExtensions; // with their dot
};

class ConversionRunner : public JobRunner {
public:
    ConversionRunner(int slot, ConversionSettings settings);
    ~ConversionRunner() override;

    JobOutputs outputsOf(const BatchItem &item) override;
    tl::expected<void, JobRefusal> start(const JobSpec &spec) override;
    void stop() override;
    bool active() const override;
    std::optional<QString> removeSource() override;

private:
    struct Job;
    class Console;

    void jobEnded(const orm::JobEnd &end);

    const int m_slot;
    const ConversionSettings m_settings;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<orm::ConversionJob> m_conversion;
    std::unique_ptr<Job> m_job;      // the running or last job
    std::unique_ptr<Job> m_prepared; // the next job, as outputsOf() found it
};

} // namespace marbeck
