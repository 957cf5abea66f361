#include "presets/presettrial.h"

#include "lang/marbeckmessages.h"
#include "shared/mediainfo.h"
#include "shared/resstr.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace marbeck {

namespace {

// The trial's job files get a slot no batch uses, so that a batch of another
// window's never shares them.
constexpr int kTrialSlot = 99;

TrialResult failure(const QString &why)
{
    TrialResult result;
    result.failureText = why;
    return result;
}

QString lastLine(const QByteArray &text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return lines.isEmpty() ? QString() : QString::fromLocal8Bit(lines.back()).trimmed();
}

} // namespace

PresetTrial::PresetTrial(TrialSetup setup, QObject *parent)
    : QObject(parent), m_setup(std::move(setup)),
      m_folder(orm::UserFolders::jobFilesFolder() + "/trial-XXXXXX"),
      m_makeRunner([](const ConversionSettings &settings) {
          return std::make_unique<ConversionRunner>(kTrialSlot, settings);
      })
{
}

PresetTrial::~PresetTrial()
{
    if (m_cutter) {
        m_cutter->disconnect();
        m_cutter->kill();
        m_cutter->waitForFinished(5000);
    }
    m_runner.reset(); // ends a running job and removes its files
}

void PresetTrial::start()
{
    m_running = true;
    m_stopped = false;
    if (!m_folder.isValid() || !QDir(m_folder.path()).mkpath("clip") ||
        !QDir(m_folder.path()).mkpath("out"))
        return finish(failure(orm::FormatMessage(msg(Msg::MSG_TRY_CUT_FAILED),
                                                 {m_setup.source, m_folder.errorString()})));
    cut(true);
}

// The first seconds of the source into a clip of the same name, copied as
// they are; a source whose streams cannot be copied into Matroska is
// decoded into lossless ones instead.
void PresetTrial::cut(bool copyStreams)
{
    m_clip = QDir(m_folder.filePath("clip"))
                 .filePath(orm::RemoveFileExt(orm::ExtractFileName(m_setup.source)) + ".mkv");
    QStringList arguments = {
        "-nostdin", "-v",           "error", "-y",   "-t",   QString::number(m_setup.seconds),
        "-i",       m_setup.source, "-map",  "0:v?", "-map", "0:a?"};
    if (copyStreams)
        arguments << "-c"
                  << "copy"
                  << "-avoid_negative_ts"
                  << "make_zero";
    else
        arguments << "-c:v"
                  << "ffv1"
                  << "-c:a"
                  << "pcm_s16le";
    arguments << m_clip;
    m_cutter = std::make_unique<QProcess>();
    m_cutter->setProcessChannelMode(QProcess::SeparateChannels);
    connect(m_cutter.get(), &QProcess::finished, this,
            [this, copyStreams] { cutEnded(copyStreams); });
    connect(m_cutter.get(), &QProcess::errorOccurred, this,
            [this, copyStreams](QProcess::ProcessError e) {
                if (e == QProcess::FailedToStart)
                    cutEnded(copyStreams);
            });
    m_cutter->start(QDir(m_setup.programFolder).filePath("cores/avcore.dll"), arguments);
}

void PresetTrial::cutEnded(bool copyStreams)
{
    const std::unique_ptr<QProcess> cutter = std::move(m_cutter);
    cutter->disconnect();
    if (m_stopped)
        return finish(failure(msg(Msg::MSG_TRY_STOPPED)));
    const bool made = cutter->exitStatus() == QProcess::NormalExit && cutter->exitCode() == 0 &&
                      QFileInfo(m_clip).size() > 0;
    if (made)
        return convert();
    if (copyStreams)
        return cut(false);
    QString why = lastLine(cutter->readAllStandardError());
    if (why.isEmpty())
        why = cutter->errorString();
    finish(failure(orm::FormatMessage(msg(Msg::MSG_TRY_CUT_FAILED), {m_setup.source, why})));
}

void PresetTrial::convert()
{
    ProfileDraft profile;
    profile.path = m_folder.filePath("trial.ini");
    profile.title = m_setup.preset.title;
    PresetDraft preset = m_setup.preset;
    preset.section = QStringLiteral("Item0");
    profile.presets = {preset};
    const auto bytes = profile.toBytes();
    if (!bytes)
        return finish(failure(bytes.error()));
    QFile file(profile.path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() || !file.flush())
        return finish(failure(QStringLiteral("Unable to write to %1").arg(profile.path)));
    file.close();

    ConversionSettings settings;
    settings.programFolder = m_setup.programFolder;
    settings.profileFile = profile.path;
    settings.section = preset.section;
    settings.outputFolder = m_folder.filePath("out");
    m_runner = m_makeRunner(settings);
    m_runner->progressed = [this](const JobProgress &p) {
        if (p.durationMs > 0)
            emit progressed(int(
                qBound<qint64>(qint64(0), qint64(p.positionMs) * 100 / p.durationMs, qint64(100))));
    };
    m_runner->ended = [this](const JobResult &job) { converted(job); };
    // The clip is a cut of the source: its facts are its own, found by the job.
    BatchItem item{m_clip, orm::ExtractFileName(m_setup.source), QFileInfo(m_clip).size(),
                   m_setup.sourceHasVideo, std::nullopt};
    if (const auto started = m_runner->start({item, kTrialSlot, 1}); !started)
        finish(failure(started.error().text));
}

void PresetTrial::converted(const JobResult &job)
{
    TrialResult result;
    if (job.outcome == orm::JobOutcome::Stopped || m_stopped) {
        result.failureText = msg(Msg::MSG_TRY_STOPPED);
    } else if (job.outcome != orm::JobOutcome::Converted) {
        result.failureText = job.failureText;
    } else {
        result.converted = true;
        // The file of the preset's extension is the one a device plays.
        for (const QString &output : job.outputs) {
            if (result.outputFile.isEmpty() ||
                output.endsWith('.' + m_setup.preset.extension, Qt::CaseInsensitive))
                result.outputFile = output;
        }
        result.facts = orm::MeasureOutput(result.outputFile, orm::MediaInfoLibrary::shared());
        if (m_setup.limits)
            result.checks = orm::CheckLimits(*m_setup.limits, result.facts);
    }
    finish(result);
}

void PresetTrial::stop()
{
    if (!m_running)
        return;
    m_stopped = true;
    if (m_cutter)
        m_cutter->kill();
    else if (m_runner && m_runner->active())
        m_runner->stop();
}

void PresetTrial::finish(TrialResult result)
{
    m_running = false;
    emit finished(result);
}

} // namespace marbeck
