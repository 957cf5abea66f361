#include "convertrun.h"

#include "convertsummary.h"
#include "engine/batchqueue.h"
#include "engine/conversionrunner.h"
#include "lang/marbeckmessages.h"
#include "platform/platform.h"
#include "platform/termination.h"
#include "profilelookup.h"
#include "settings/globalvars.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"
#include "sources/sourceadder.h"
#include "sources/sourcelistmodel.h"
#include "sources/typelists.h"
#include "terminallines.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace marbeck {

namespace {

constexpr int kUsage = 2;
// How often the moving lines are redrawn when the encoder prints nothing.
constexpr int kRedrawMs = 250;

void writeError(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void say(const QString &text)
{
    writeError("ormolux-convert: " + text.toUtf8() + '\n');
}

// Message-table texts end lines the Windows way.
QString plainText(const QString &text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return plain.trimmed();
}

// A box nobody can answer: its text goes to standard error, questions are
// declined, and the last text is kept for the source it was about.
class TerminalInteraction final : public orm::Interaction {
public:
    int messageBox(const QString &text, const QString &, unsigned flags) override
    {
        lastText = plainText(text);
        if (!quiet)
            say(lastText);
        const unsigned buttons = flags & 0x0F;
        return buttons == orm::mb::kOk ? orm::IdOk : orm::IdCancel;
    }
    int choiceDialog(const orm::ChoiceRequest &request) override
    {
        say(plainText(request.text));
        return orm::IdCancel;
    }
    std::optional<QString> browseForFolder(const orm::FolderRequest &) override { return {}; }
    bool shellOpen(const QString &) override { return false; }

    QString lastText;
    bool quiet = false;
};

int terminalWidth()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

bool writeJson(const QString &file, const QByteArray &json)
{
    if (file == u"-") {
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fflush(stdout);
        return true;
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(json) != json.size() || !out.commit()) {
        say(QStringLiteral("cannot write %1: %2").arg(file, out.errorString()));
        return false;
    }
    return true;
}

// The run after the command line was read.
class Run {
public:
    Run(const ConvertOptions &options, const QString &programFolder)
        : m_options(options), m_programFolder(programFolder)
    {
    }
    int exec();

private:
    // Marbeck's settings and the language's message table.
    void loadSettings();
    QList<ListedProfile> profiles() const;
    // The sources as the list would take them; false when stopped meanwhile.
    bool addSources(const QStringList &types, SourceListModel &list);
    int convert(const TProfileDetailItem &preset, const QStringList &aviSynthExtensions,
                SourceListModel &list);
    void watchTermination(const std::function<void()> &onStop);

    ConvertOptions m_options;
    QString m_programFolder;
    TGlobalVars m_settings;
    TerminalInteraction *m_interaction = nullptr;
    QList<SourceOutcome> m_refused; // named sources the list would not take
    int m_stopSignal = 0;
    std::unique_ptr<QSocketNotifier> m_termination;
    std::function<void()> m_onStop;
};

void Run::loadSettings()
{
    TGlobalVars &g = m_settings;
    g.AppFolder = orm::ExcludeBackslash(m_programFolder);
    SetDefaultSettings(g, DeviceFamily::All,
                       QString::fromStdString(orm::platform::documentsFolder()));
    // The settings are read, never written: a first run leaves no file behind.
    if (QFileInfo(SettingsFileName(g)).isFile()) {
        try {
            LoadSettings(g);
        } catch (const orm::Error &e) {
            say(e.text());
        }
    }
    if (!m_options.languageFile.isEmpty())
        g.LanguageFile = m_options.languageFile;
    g.ProfileFolderName = ProfileFolderForLanguage(g.LanguageFile, g.ProfileFolderName);
    const QString language = AppRelativePath(g, g.LanguageFolder + g.LanguageFile);
    if (messages().LoadLanguage(language) == 0)
        say(plainText(orm::FormatMessage(msg(Msg::MSG_LANGUAGE_FILE_UNUSABLE), {language})));
}

QList<ListedProfile> Run::profiles() const
{
    // The user's own profiles live beside the settings, never inside the shipped folders.
    const QString userFolder = orm::UserFolders(m_settings.AppFolder).userProfileFolder();
    return ListAllProfiles(AppRelativePath(m_settings, m_settings.ProfileFolderName), userFolder);
}

void Run::watchTermination(const std::function<void()> &onStop)
{
    m_onStop = onStop;
    if (m_termination)
        return;
    const int fd = orm::platform::terminationRequestFd();
    if (fd < 0)
        return;
    m_termination = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_termination.get(), &QSocketNotifier::activated, [this] {
        const int signal = orm::platform::takeTerminationRequests();
        if (m_stopSignal == 0)
            m_stopSignal = signal > 0 ? signal : SIGTERM;
        if (m_onStop)
            m_onStop();
    });
}

bool Run::addSources(const QStringList &types, SourceListModel &list)
{
    QStringList paths;
    QSet<QString> named; // files named on the line, rather than found in a folder
    for (const QString &source : m_options.sources) {
        const QFileInfo info(source);
        if (info.isDir()) {
            const QStringList found = CollectFolderFiles(info.absoluteFilePath(), types);
            if (found.isEmpty())
                say(QStringLiteral("%1: no files to convert there").arg(source));
            paths << found;
            continue;
        }
        const QString path = info.absoluteFilePath();
        named.insert(path);
        paths << path;
    }

    SourceAdder adder(list);
    adder.setInputFileTypes(types);
    QObject::connect(&adder, &SourceAdder::fileTaken, [&](const QString &path, AddResult result) {
        QString reason;
        switch (result) {
        case AddResult::Added:
        case AddResult::Duplicate: return;
        case AddResult::Missing: reason = QStringLiteral("no such file"); break;
        case AddResult::RefusedType:
            reason = QStringLiteral("not a type of the accepted-types file");
            break;
        case AddResult::NoCompleteName:
        case AddResult::NoFileSize: reason = m_interaction->lastText; break;
        }
        if (result == AddResult::Missing || result == AddResult::RefusedType) {
            if (!named.contains(path))
                return; // a folder's file that went meanwhile
            say(QStringLiteral("%1: %2").arg(path, reason));
        }
        m_refused.append({path, {}, SourceResult::Failed, reason, 0});
    });
    watchTermination([&adder] { adder.cancel(); });
    adder.add(paths);
    adder.waitUntilDone();
    m_onStop = nullptr; // the adder goes now
    return m_stopSignal == 0;
}

int Run::convert(const TProfileDetailItem &preset, const QStringList &aviSynthExtensions,
                 SourceListModel &list)
{
    const QString outputFolder = QDir(m_options.outputFolder).absolutePath();
    const ConversionSettings conversion{
        m_settings.AppFolder, preset.FileName,          preset.Section,    outputFolder,
        m_settings.Priority,  m_settings.UseDirectShow, aviSynthExtensions};
    std::vector<BatchItem> items;
    for (int row = 0; row < list.count(); ++row) {
        const TFileItem &item = list.item(row);
        items.push_back({item.path(), item.FileName, item.FileSize.toLongLong(),
                         item.VideoCount.toInt() > 0, MediaFactsOf(item)});
    }

    const bool live = ::isatty(STDERR_FILENO) == 1;
    TerminalLines lines(writeError, live, live ? terminalWidth() : 80);
    BatchQueue queue(
        [&conversion](int slot) { return std::make_unique<ConversionRunner>(slot, conversion); });
    QEventLoop loop;
    QString startError;
    const auto total = [&] { return queue.counts().total; };
    const auto redraw = [&] {
        const BatchFigures figures = queue.figures();
        QStringList moving;
        for (const JobFigures &job : figures.jobs)
            moving << JobLineText(job, total());
        moving << BatchLineText(figures, queue.counts().done, queue.counts().failed);
        lines.show(moving);
    };
    const auto rowLabel = [&](int row) {
        const BatchRow &r = queue.rows().at(row);
        return QStringLiteral("[%1/%2] %3").arg(r.number).arg(total()).arg(r.item.source);
    };

    QObject::connect(&queue, &BatchQueue::jobStarted, [&](int, int row) {
        if (!lines.live())
            lines.note(rowLabel(row) + QStringLiteral(": converting"));
        redraw();
    });
    QObject::connect(&queue, &BatchQueue::progressed, redraw);
    QObject::connect(&queue, &BatchQueue::jobEnded, [&](int, int row) {
        const BatchRow &r = queue.rows().at(row);
        switch (r.state) {
        case RowState::Converted:
            lines.note(rowLabel(row) + QStringLiteral(": converted -> ") + r.outputs.join(u", "));
            break;
        case RowState::Failed:
            lines.note(rowLabel(row) + QStringLiteral(": failed: ") +
                       plainText(r.failure).replace(u'\n', QStringLiteral("\n    ")));
            break;
        default: lines.note(rowLabel(row) + QStringLiteral(": stopped")); break;
        }
        redraw();
    });
    QObject::connect(&queue, &BatchQueue::startFailed, [&](const QString &reason) {
        // Nobody is there to stop a batch that waits: it ends with the jobs
        // already running, and the rows left fail with the reason.
        startError = plainText(reason);
        lines.note(QStringLiteral("cannot start a job: ") + startError);
        queue.setStopWhenDone(true);
    });
    QObject::connect(&queue, &BatchQueue::finished, &loop, &QEventLoop::quit);
    QTimer clock;
    clock.setInterval(kRedrawMs);
    if (live) {
        QObject::connect(&clock, &QTimer::timeout, redraw);
        clock.start();
    }
    watchTermination([&] {
        lines.note(QStringLiteral("stopping: the running jobs end and leave nothing"));
        queue.stopNow();
    });

    const auto started =
        queue.start(std::move(items), JobsAtOnce(m_options.jobs, m_settings.SimultaneousJobs),
                    {m_options.deleteSources, false, false});
    if (!started) {
        say(plainText(started.error()));
        startError = plainText(started.error());
    } else if (queue.isRunning()) {
        redraw();
        loop.exec();
    }
    clock.stop();
    if (live) {
        redraw();
        lines.release();
    } else {
        lines.note(BatchLineText(queue.figures(), queue.counts().done, queue.counts().failed));
    }

    QList<SourceOutcome> outcomes;
    for (const BatchRow &row : queue.rows())
        outcomes.append(OutcomeOf(row, startError));
    outcomes += m_refused;
    for (SourceOutcome &o : outcomes)
        o.reason = plainText(o.reason);
    const int status = ExitStatusFor(outcomes, m_stopSignal);
    if (m_options.jsonFile) {
        const QByteArray json =
            SummaryJson({preset.FileName, preset.Section, outputFolder, status}, outcomes);
        if (!writeJson(*m_options.jsonFile, json) && status == 0)
            return 1;
    }
    return status;
}

int Run::exec()
{
    // Numbers are read and written with "." whatever the locale says.
    QLocale::setDefault(QLocale::c());
    auto interaction = std::make_unique<TerminalInteraction>();
    m_interaction = interaction.get();
    orm::setInteraction(std::move(interaction));
    loadSettings();

    const QList<ListedProfile> listed = profiles();
    std::optional<ListedProfile> profile;
    if (!m_options.profile.isEmpty()) {
        profile = FindProfile(m_options.profile, listed);
        if (!profile) {
            say(QStringLiteral("no profile '%1' (ormolux-convert --list shows them)")
                    .arg(m_options.profile));
            return kUsage;
        }
    }
    if (m_options.mode == ConvertMode::List) {
        const QByteArray text =
            ProfileListText(profile ? QList<ListedProfile>{*profile} : listed).toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    const auto preset =
        FindPreset(m_options.preset, LoadProfileItems(profile->entry.FileName).presets);
    if (!preset) {
        say(QStringLiteral("no preset '%1' in %2 (ormolux-convert --list --profile %3 shows them)")
                .arg(m_options.preset, profile->entry.FileName, m_options.profile));
        return kUsage;
    }

    const QString typeFile =
        TypeFileName(m_settings.AppFolder, m_settings.LanguageFolder, m_settings.LanguageFile);
    if (!QFileInfo(typeFile).isFile()) {
        say(plainText(orm::FormatMessage(msg(Msg::MSG_NO_DAT_FILE), {typeFile})));
        return 1;
    }
    TypeLists types;
    LoadTypeLists(types, typeFile);

    // Sources and the JSON file are found from the folder the run started in;
    // the jobs run in the program folder.
    if (m_options.jsonFile && *m_options.jsonFile != u"-")
        m_options.jsonFile = QFileInfo(*m_options.jsonFile).absoluteFilePath();
    const QString outputFolder = QDir(m_options.outputFolder).absolutePath();
    if (!QDir().mkpath(outputFolder)) {
        say(QStringLiteral("%1: cannot be made a folder").arg(m_options.outputFolder));
        return kUsage;
    }

    SourceListModel list;
    if (!addSources(types.InputFileTypes, list))
        return 128 + m_stopSignal;
    if (list.count() == 0 && m_refused.isEmpty()) {
        say(QStringLiteral("no sources: nothing to convert was found"));
        return kUsage;
    }
    return convert(*preset, types.AVSExt, list);
}

} // namespace

int RunConvert(const ConvertOptions &options, const QString &programFolder)
{
    Run run(options, programFolder);
    return run.exec();
}

} // namespace marbeck
