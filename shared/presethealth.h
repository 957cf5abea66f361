#pragma once
// Which presets the installed encoder can run: it is asked once for its
// encoders, muxers and filters, and a preset that names one it lacks is
// marked with the reason.
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace orm {

class IniFile;

struct EncoderAbilities {
    QSet<QString> encoders, muxers, filters;
    bool known = false; // false when the encoder could not be asked
};

// Readers of the encoder's "-encoders", "-muxers" and "-filters" lists.
QSet<QString> ParseEncoderList(const QString &text);
QSet<QString> ParseMuxerList(const QString &text);
QSet<QString> ParseFilterList(const QString &text);

// The encoders, muxers and filters one command line of a preset names, and
// whether it writes a picture: a video encoder other than "copy", or a video
// filter, without "-vn".
struct CommandNeeds {
    QStringList encoders, muxers, filters;
    bool makesVideo = false;
};
CommandNeeds NeedsOfCommand(const QString &commandLine);

// The rate one command line fixes for what it writes, in bits per second:
// its video and sound rates ("-b:v 300k", "-b:a 64k") added up. Nothing when
// a stream it writes is aimed at a quality instead ("-crf", "-q:v", a
// lossless or copied stream, or no rate named, which leaves the encoder's
// own choice), and nothing for a command that is not the encoder.
std::optional<qint64> FixedBitRateOfCommand(const QString &commandLine);
// A preset's rate: the sum of its commands' rates, leaving out the commands
// that write a single picture (a thumbnail); nothing when any other command
// fixes no rate, or when there is no command.
std::optional<qint64> FixedBitRate(const IniFile &profile, const QString &section);

class PresetHealth {
public:
    // Asks `encoderPath` for its lists, unless `cacheFile` holds the answer
    // for an encoder of the same size and modification time. An empty cache
    // file name keeps the answer in memory only.
    PresetHealth(const QString &encoderPath, const QString &cacheFile);

    // What `cacheFile` holds for the encoder, without asking it; nothing when
    // it holds no answer for this encoder as it is now.
    static std::optional<PresetHealth> Cached(const QString &encoderPath, const QString &cacheFile);

    // The usual cache file of this user.
    static QString DefaultCacheFile();

    const EncoderAbilities &abilities() const { return m_abilities; }

    // Empty when the encoder has what the commands name; otherwise the reason,
    // for the user. An encoder that could not be asked marks nothing: the
    // conversion itself then reports what is wrong.
    QString missingFor(const QStringList &commandLines) const;
    QString missingFor(const IniFile &profile, const QString &section) const;

    // Empty when at least one preset of the profile file can run; otherwise
    // the reason the first one cannot.
    QString missingForProfile(const QString &profileFile) const;

private:
    PresetHealth() = default;

    EncoderAbilities m_abilities;
};

// The health of the encoder at `encoderPath`, asked once per program run and
// cached across runs in PresetHealth::DefaultCacheFile().
const PresetHealth &InstalledPresetHealth(const QString &encoderPath);

} // namespace orm
