#pragma once
// What a job leaves in its output folder, and whether it is whole: the
// folder's files before the job, output names moved off existing files, the
// check of every output with the media library, the removal of what a failed
// or stopped job made, and the source's way to the trash.
#include "commandtemplate.h"
#include "outputmessages.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace orm {

class MediaInfoLibrary;
struct JobEnd;

// Looks a check text up in the program's message table.
using OutputTexts = std::function<QString(OutputMessage)>;

// What the media library says of one file.
struct MediaFacts {
    bool readable = false; // a container it knows
    bool video = false;
    bool audio = false;
    bool picture = false; // a still image (a thumbnail)
    std::optional<qint64> durationMs;
};
// A file the library cannot read, or a missing library, is not readable.
MediaFacts ProbeMedia(const QString &path, const MediaInfoLibrary &library);
MediaFacts ProbeMedia(const QString &path);

struct ExpectedOutput {
    QString path;
    bool video = false; // the command that writes it keeps the source's video
    bool audio = false; // ... and its sound
};

// Why one output is not whole, or nothing. A picture needs only to be
// readable; a video or sound output lasts within 2 s or 5 % of the source
// (whichever is more) when the source's duration is known.
std::optional<QString> CheckOutput(const ExpectedOutput &output, const MediaFacts &source,
                                   const OutputTexts &texts);

class OutputGuard {
public:
    // At a job's start, before its script is written: notes the files of the
    // output folder and what the source holds, and moves every output name
    // the commands would write off an existing file ("clip (2).mp4"; a
    // numbered name takes the next free number).
    void beginCommands(const QStringList &commandTemplates, const QString &extension,
                       PlaceholderValues &values);
    // The same with the preset's command lines and its "EXT" read from the profile.
    void begin(const QString &profileFile, const QString &section, PlaceholderValues &values);
    // What the source holds is needed only by the check at the end: called
    // before begin(), the source is left for probeSource() while the job runs
    // (or for verify()), so that the job starts sooner.
    void probeSourceLater() { m_probeLater = true; }
    void probeSource();

    // The files the commands name, and every file that appeared in the
    // output folder since begin() under the name of one of them (every new
    // file when the commands name none).
    QList<ExpectedOutput> expectedOutputs() const;
    // After a job that ended well: why it must count as failed, in the
    // user's language; nothing when every output is there and whole.
    std::optional<QString> verify(const OutputTexts &texts) const;
    // Removes the job's new files (those of createdFiles()) and returns them;
    // a file that was there before is never touched.
    QStringList removeCreated();
    // The new files of the output folder that bear the name of an output.
    QStringList createdFiles() const;
    // The output folder, and the names of the outputs in it without
    // extension (none when the commands name no output there).
    const QString &folder() const { return m_folder; }
    QStringList stems() const;

private:
    bool m_begun = false;
    QString m_folder;
    QSet<QString> m_before;
    QList<ExpectedOutput> m_named;
    QString m_sourcePath;
    bool m_probeLater = false;
    std::optional<MediaFacts> m_source;
};

// A job's end after its outputs were looked at: a job that ended well but
// whose outputs are not whole has failed, with the reason as its message; a
// job that did not convert leaves nothing new in the output folder.
JobEnd VerifiedJobEnd(OutputGuard &guard, const JobEnd &end, const OutputTexts &texts);

enum class SourceRemoval { Trashed, Deleted, Failed };
// "Delete after encoding": the source goes to the desktop's trash; only where
// no trash can be had is it deleted for good.
SourceRemoval RemoveSource(const QString &path);

} // namespace orm
