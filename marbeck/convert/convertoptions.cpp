#include "convertoptions.h"

#include <QThread>

#include <algorithm>

namespace marbeck {

namespace {

// The most jobs a batch runs at once, as in the settings window.
constexpr int kMostJobs = 16;

const char *const kLanguages[] = {"english", "french", "deutsch", "italian"};

tl::unexpected<QString> refuse(const QString &text)
{
    return tl::unexpected(text);
}

} // namespace

tl::expected<ConvertOptions, QString> ParseConvertArguments(const QStringList &arguments)
{
    ConvertOptions options;
    bool listAsked = false;
    bool onlySources = false;
    for (int i = 0; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        if (onlySources || !argument.startsWith(u'-') || argument == u"-") {
            options.sources << argument;
            continue;
        }
        if (argument == u"--") {
            onlySources = true;
            continue;
        }
        // "--name=value" and "--name value" alike.
        std::optional<QString> attached;
        if (argument.startsWith(u"--") && argument.contains(u'=')) {
            attached = argument.section(u'=', 1);
            argument = argument.section(u'=', 0, 0);
        }
        const auto value = [&]() -> tl::expected<QString, QString> {
            if (attached)
                return *attached;
            if (i + 1 >= arguments.size())
                return refuse(QStringLiteral("%1 needs a value").arg(argument));
            return arguments.at(++i);
        };
        const auto takeText = [&](QString &field) -> std::optional<QString> {
            const auto v = value();
            if (!v)
                return v.error();
            if (v->isEmpty())
                return QStringLiteral("%1 needs a value").arg(argument);
            field = *v;
            return std::nullopt;
        };
        const auto flag = [&]() -> std::optional<QString> {
            if (attached)
                return QStringLiteral("%1 takes no value").arg(argument);
            return std::nullopt;
        };

        std::optional<QString> error;
        if (argument == u"--profile") {
            error = takeText(options.profile);
        } else if (argument == u"--preset") {
            error = takeText(options.preset);
        } else if (argument == u"--output") {
            error = takeText(options.outputFolder);
        } else if (argument == u"--json") {
            QString file;
            error = takeText(file);
            options.jsonFile = file;
        } else if (argument == u"--jobs") {
            QString text;
            error = takeText(text);
            if (!error) {
                bool ok = false;
                const int jobs = text == u"auto" ? 0 : text.toInt(&ok);
                if (text != u"auto" && (!ok || jobs < 1 || jobs > kMostJobs))
                    error = QStringLiteral("--jobs takes a number from 1 to %1, or auto, not '%2'")
                                .arg(kMostJobs)
                                .arg(text);
                options.jobs = jobs;
            }
        } else if (argument == u"--language") {
            QString name;
            error = takeText(name);
            if (!error) {
                const QString lower = name.toLower();
                const bool known = std::any_of(std::begin(kLanguages), std::end(kLanguages),
                                               [&](const char *l) { return lower == l; });
                if (!known)
                    error = QStringLiteral("--language takes english, french, deutsch or "
                                           "italian, not '%1'")
                                .arg(name);
                options.languageFile = lower + QStringLiteral(".ini");
            }
        } else if (argument == u"--delete-sources") {
            error = flag();
            options.deleteSources = true;
        } else if (argument == u"--list") {
            error = flag();
            listAsked = true;
        } else if (argument == u"--help" || argument == u"-h") {
            options.mode = ConvertMode::Help;
            return options; // whatever else the line says
        } else if (argument == u"--version") {
            options.mode = ConvertMode::Version;
            return options;
        } else {
            error = QStringLiteral("unknown option '%1'").arg(argument);
        }
        if (error)
            return refuse(*error);
    }

    if (listAsked) {
        // With --profile, only that profile and its presets.
        options.mode = ConvertMode::List;
        return options;
    }
    if (options.profile.isEmpty())
        return refuse(QStringLiteral("no profile: --profile names one (see --list)"));
    if (options.preset.isEmpty())
        return refuse(QStringLiteral("no preset: --preset names one (see --list)"));
    if (options.outputFolder.isEmpty())
        return refuse(QStringLiteral("no output folder: --output names one"));
    if (options.sources.isEmpty())
        return refuse(QStringLiteral("no sources: name files or folders to convert"));
    return options;
}

int JobsAtOnce(std::optional<int> asked, quint8 stored)
{
    const int wanted = asked ? *asked : int(stored);
    const int cores = std::max(1, QThread::idealThreadCount());
    return std::min(wanted == 0 ? cores : wanted, kMostJobs);
}

QString ConvertUsageText()
{
    return QStringLiteral(
        "Usage: ormolux-convert --profile PROFILE --preset PRESET --output DIR [OPTION]...\n"
        "                       FILE-OR-FOLDER...\n"
        "       ormolux-convert --list [--profile PROFILE] [--language LANGUAGE]\n"
        "\n"
        "Converts files, and the files of folders and their subfolders, with a preset of\n"
        "an Ormolux profile, as Marbeck's batch does, without a window.\n"
        "\n"
        "  --profile PROFILE   a profile's file name (Transcoding_iPod.ini), path or title\n"
        "  --preset PRESET     a preset's section (Item0) or title\n"
        "  --output DIR        where the converted files go (made when missing)\n"
        "  --jobs N|auto       jobs at once, 1 to 16, or one per core (default: the\n"
        "                      Simultaneous conversions setting)\n"
        "  --delete-sources    move each converted source to the trash\n"
        "  --json FILE|-       write a summary of every source as JSON (- for standard\n"
        "                      output)\n"
        "  --language LANGUAGE english, french, deutsch or italian: the profiles and\n"
        "                      messages of that language (default: Marbeck's language)\n"
        "  --list              list the profiles, shipped and your own, with their presets\n"
        "  --help, --version\n"
        "\n"
        "Progress goes to standard error. Exit status: 0 every source converted, 1 some\n"
        "failed, 2 bad usage or nothing to convert, 130 stopped by Ctrl+C (143 by\n"
        "SIGTERM); a stopped batch leaves nothing of its running jobs.\n");
}

} // namespace marbeck
