#pragma once
// What a job leaves in its output folder, and whether it is whole. The
// commands write under private names of the job (a hidden name with the
// program's process id and the job's number, the real extension last); each
// output is checked with the media library and only then published under its
// final name, the next free one, by a rename that never replaces a file. A
// failed or stopped job removes its private names and nothing else. The
// source goes to the trash only while it is the file that was converted.
#include "commandtemplate.h"
#include "outputmessages.h"
#include "platform/files.h"

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
    QString shownPath;  // the name messages give it; empty: path
};

// Why one output is not whole, or nothing. A picture needs only to be
// readable; a video or sound output lasts within 2 s or 5 % of the source
// (whichever is more) when the source's duration is known.
std::optional<QString> CheckOutput(const ExpectedOutput &output, const MediaFacts &source,
                                   const OutputTexts &texts);

enum class SourceRemoval { Trashed, Deleted, Failed, Changed };

class OutputGuard {
public:
    // At a job's start, before its script is written: notes what the source
    // is and holds, plans each output's final name off existing files
    // ("clip (2).mp4"; a numbered name takes the next free number), and
    // changes `values` so that the commands write the job's private names.
    void beginCommands(const QStringList &commandTemplates, const QString &extension,
                       PlaceholderValues &values);
    // The same with the preset's command lines and its "EXT" read from the profile.
    void begin(const QString &profileFile, const QString &section, PlaceholderValues &values);
    // What the source holds is needed only by the check at the end: called
    // before begin(), the source is left for probeSource() while the job runs
    // (or for verify()), so that the job starts sooner.
    void probeSourceLater() { m_probeLater = true; }
    void probeSource();
    // After begin(): what an earlier probe found of the source stands for
    // probeSource()'s.
    void useSourceFacts(const MediaFacts &facts) { m_source = facts; }
    // What probeSource() found; nothing before it ran.
    const std::optional<MediaFacts> &sourceFacts() const { return m_source; }

    // The private names the commands write, shown under their planned final
    // names; when the commands name none, every file new in the output
    // folder (checked, never removed or renamed).
    QList<ExpectedOutput> expectedOutputs() const;
    // After a job that ended well: why it must count as failed, in the
    // user's language; nothing when every output is there and whole.
    std::optional<QString> verify(const OutputTexts &texts) const;
    // Gives each checked output its final name, the next free one at this
    // moment (a numbered pair shares its number), never replacing a file.
    // Why it could not, or nothing; published() then holds the names.
    std::optional<QString> publish(const OutputTexts &texts);
    QStringList published() const { return m_published; }
    // Removes the job's private files that exist and returns them; no other
    // file is ever touched.
    QStringList removeCreated();
    // The job's private files that exist.
    QStringList createdFiles() const;
    // Every private name of the job, written or not.
    QStringList privateFiles() const { return m_private; }
    // A text of the encoder's with each private name replaced by the final
    // name it stands for.
    QString shownText(const QString &text) const;
    // "Delete after encoding" for this job's source: only while the file at
    // its path is the one that was there when the job began.
    SourceRemoval removeSource() const;
    // The output folder, and the names of the outputs in it without
    // extension (none when the commands name no output there).
    const QString &folder() const { return m_folder; }
    QStringList stems() const;

    // An output name as a command template writes it, e.g.
    // "<%OutputPath%>MAQ<%RandomNumber5%>.THM", and what its command keeps.
    struct NameTemplate {
        QString text;
        bool numbered = false;
        bool fromOutputFile = false;
        bool keepsVideo = true;
        bool keepsAudio = true;
    };

private:
    QString pathOf(const NameTemplate &name, const PlaceholderValues &values) const;

    bool m_begun = false;
    QString m_folder;
    QString m_currentFolder; // where relative names resolve
    QSet<QString> m_before;
    QList<NameTemplate> m_templates;
    PlaceholderValues m_planned;   // the final names' values
    QString m_baseOutputFile;      // before any "(n)"
    QList<ExpectedOutput> m_named; // planned final names
    QStringList m_private;         // the same outputs' private names
    QStringList m_published;
    QString m_sourcePath;
    std::optional<platform::FileIdentity> m_sourceIdentity;
    bool m_probeLater = false;
    std::optional<MediaFacts> m_source;
};

// A job's end after its outputs were looked at: a job that ended well but
// whose outputs are not whole, or cannot be published, has failed, with the
// reason as its message; a converted job's end lists its published outputs;
// a job that did not convert leaves none of its private files. Messages name
// the final files.
JobEnd VerifiedJobEnd(OutputGuard &guard, const JobEnd &end, const OutputTexts &texts);

// "Delete after encoding": the source goes to the desktop's trash; only where
// no trash can be had is it deleted for good. With an identity, a file that
// is no longer that one stays (Changed).
// The log's line for a source kept because it changed during its job.
QString SourceChangedText(const QString &path, const OutputTexts &texts);
SourceRemoval RemoveSource(const QString &path,
                           const std::optional<platform::FileIdentity> &identity = std::nullopt);

} // namespace orm
