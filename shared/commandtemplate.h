#pragma once
// Command templates of a preset turned into lines of the batch script.
#include <QString>
#include <QStringList>

#include <tl/expected.hpp>

#include <array>
#include <utility>

namespace orm {

class IniFile;

// What each placeholder stands for during one job.
struct PlaceholderValues {
    QString AppPath;       // <%AppPath%>
    QString TimeStamp;     // <%TimeStamp%>
    QString TemporaryFile; // <%TemporaryFile%>
    QString Title;         // <%Title%>
    QString OutputFile;    // <%OutputFile%>, inserted without its extension
    QString OutputPath;    // <%OutputPath%>
    QString RandomNumber3; // <%RandomNumber3%>
    QString RandomNumber5; // <%RandomNumber5%>
    QString InputFile;     // <%InputFile%>
    // <%SourceName%>: the source's file name without folder and extension,
    // for the title a device shows. Empty takes it from InputFile.
    QString SourceName;
};

// Each placeholder's name with the text it stands for: OutputFile without
// its extension, SourceName taken from InputFile when it is empty.
using Placeholder = std::pair<QStringView, QString>;
std::array<Placeholder, 10> PlaceholdersOf(const PlaceholderValues &values);

// A key of a preset is a command line when its name begins with "Command"
// (letter case counts).
bool IsCommandKey(const QString &keyName);

// Replaces every placeholder (in any letter case) by its value, made safe for
// the place in the line where the template puts it, so that a file name is
// always passed as one word and never runs as a command. Inserted text is not
// scanned again. A value that holds a line break cannot be made safe: the
// result is then the reason, for the user.
tl::expected<QString, QString> ExpandCommand(const QString &commandTemplate,
                                             const PlaceholderValues &values);

// The script lines of one preset: its command keys in file order, expanded.
tl::expected<QStringList, QString> ExpandPreset(const IniFile &profile, const QString &section,
                                                const PlaceholderValues &values);

} // namespace orm
