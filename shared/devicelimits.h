#pragma once
// What a device plays, read from the limits file the programs ship
// ("devicelimits.ini"): the tests hold every device preset to it, and a
// preset's trial run shows its output against it.
#include <QList>
#include <QSize>
#include <QString>

#include <optional>

namespace orm {

class MediaInfoLibrary;

inline constexpr auto kDeviceLimitsFile = u"devicelimits.ini";

struct DeviceLimits {
    QString device; // the section name, e.g. "iPod 320x240"
    struct Preset {
        QString file; // profile file name, without folder
        QString section;
    };
    QList<Preset> presets;
    QString videoCodec;   // as the encoder names it: "h264", "mpeg4", "h263"
    QString videoProfile; // contained in the stream's profile name
    int level = -1;       // declared level, H.264 times ten; -1: none is declared
    QSize maxSize;
    double maxFrameRate = 0;
    int maxAverageKbps = 0; // over any stretch longer than the buffer holds
    int peakKbps = 0;       // the rate that fills the device's buffer
    int bufferKbit = 0;
    QString audioCodec;
    QList<int> sampleRates;
    int maxChannels = 2;
};

// Every device of the file, in file order; a device whose numbers cannot be
// read is left out. A missing file holds none.
QList<DeviceLimits> ReadDeviceLimits(const QString &path);

// The device of a preset: the one its own "Device" key names (a user's copy
// of a device preset), else the one that lists its profile file and section.
std::optional<DeviceLimits> LimitsOfPreset(const QList<DeviceLimits> &devices,
                                           const QString &profileFile, const QString &section,
                                           const QString &deviceKey);

// What a made file is, as the media library reads it, in the limits' terms.
struct OutputFacts {
    bool readable = false;
    qint64 bytes = 0;
    double seconds = 0;
    QString videoCodec; // empty: no picture
    QString videoProfile;
    int level = -1;
    int referenceFrames = 0; // 0: the library does not say
    QSize size;
    double frameRate = 0;
    double videoKbps = 0;
    QString audioCodec; // empty: no sound
    int sampleRate = 0;
    int channels = 0;
};
OutputFacts MeasureOutput(const QString &path, const MediaInfoLibrary &library);

enum class LimitKind {
    VideoCodec,
    VideoProfile,
    Level,
    ReferenceFrames,
    Size,
    FrameRate,
    AverageRate,
    AudioCodec,
    SampleRate,
    Channels
};

struct LimitCheck {
    LimitKind kind;
    QString limit;    // what the device takes, e.g. "320x240", "768 kbit/s"
    QString measured; // what the file has
    bool within = false;
};

// The most reference frames an H.264 stream of this picture size may keep at
// this level (times ten): what the level's picture buffer holds, at most 16.
// 0 for a level the standard does not list.
int MaxH264ReferenceFrames(int level, QSize size);

// The output against each limit the media library can show. Over a short
// clip the buffer's starting fill counts, so the average may exceed the
// device's by what nine tenths of its buffer hold over the clip's length.
QList<LimitCheck> CheckLimits(const DeviceLimits &device, const OutputFacts &facts);

} // namespace orm
