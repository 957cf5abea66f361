#pragma once
// "Try": the edited preset converts the first seconds of a source, the way a
// batch's job does (script, encoder, output check), and what came out is
// measured against the device's limits. Everything it writes lies in a
// folder of its own that goes with it.
#include "engine/conversionrunner.h"
#include "presets/profiledraft.h"
#include "shared/devicelimits.h"

#include <QObject>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

class QProcess;

namespace marbeck {

struct TrialSetup {
    QString programFolder; // the program's folder: the encoder and <%AppPath%>
    QString source;
    bool sourceHasVideo = true;
    PresetDraft preset;
    std::optional<orm::DeviceLimits> limits;
    int seconds = 5;
};

struct TrialResult {
    bool converted = false;
    QString failureText; // why not, in the user's language where the job said
    QString outputFile;  // the main output, kept while the trial lives
    orm::OutputFacts facts;
    QList<orm::LimitCheck> checks; // empty without a device
};

class PresetTrial : public QObject {
    Q_OBJECT
public:
    using RunnerFactory = std::function<std::unique_ptr<JobRunner>(const ConversionSettings &)>;

    explicit PresetTrial(TrialSetup setup, QObject *parent = nullptr);
    ~PresetTrial() override;

    // The encoder's start is refused, or the run ends, through finished().
    void start();
    // Ends the cut or the conversion at once; finished() follows.
    void stop();
    bool running() const { return m_running; }
    // Tests run the conversion with a scripted runner.
    void setRunnerFactory(RunnerFactory factory) { m_makeRunner = std::move(factory); }

signals:
    void progressed(int percent);
    void finished(const marbeck::TrialResult &result);

private:
    void cut(bool copyStreams);
    void cutEnded(bool copyStreams);
    void convert();
    void converted(const JobResult &job);
    void finish(TrialResult result);

    TrialSetup m_setup;
    QTemporaryDir m_folder;
    QString m_clip;
    std::unique_ptr<QProcess> m_cutter;
    std::unique_ptr<JobRunner> m_runner;
    RunnerFactory m_makeRunner;
    bool m_running = false;
    bool m_stopped = false;
};

} // namespace marbeck
