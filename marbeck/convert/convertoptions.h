#pragma once
// The command line of ormolux-convert: what it asks for, read without doing
// anything, so that a wrong line is refused before any file is touched.
#include <QString>
#include <QStringList>

#include <tl/expected.hpp>

#include <optional>

namespace marbeck {

enum class ConvertMode { Convert, List, Help, Version };

struct ConvertOptions {
    ConvertMode mode = ConvertMode::Convert;
    QString profile; // a profile file's name or path, or its title
    QString preset;  // "ItemN" or the preset's title
    QString outputFolder;
    std::optional<int> jobs; // 0: one per core; none: the stored setting
    bool deleteSources = false;
    std::optional<QString> jsonFile; // "-" is standard output
    QString languageFile;            // "french.ini"; empty: the stored setting
    QStringList sources;             // files and folders as given
};

// Reads the arguments after the program's name. Every wrong line gets a
// message that names what is wrong; a conversion needs a profile, a preset,
// an output folder and at least one source.
tl::expected<ConvertOptions, QString> ParseConvertArguments(const QStringList &arguments);

// How many jobs run at once: the one asked for, else the stored setting;
// 0 is one per core, and never more than the batch allows.
int JobsAtOnce(std::optional<int> asked, quint8 stored);

// --help.
QString ConvertUsageText();

} // namespace marbeck
