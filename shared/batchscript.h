#pragma once
// The files one job runs: "~ConvertCore.bat" from the preset's command lines
// and, for sources read through AviSynth, "DirectShow.avs" from its template.
#include "commandtemplate.h"

#include <QString>
#include <QStringList>

namespace orm {

inline constexpr auto kScriptFileName = u"~ConvertCore.bat";
inline constexpr auto kAviSynthFileName = u"DirectShow.avs";
inline constexpr auto kAviSynthTemplate = u"cores/DirectShow.avs";

// A batch that runs several jobs at once gives each its own pair of files:
// the job in slot 0 keeps the plain names, slot n adds "-<n+1>" before the
// extension ("~ConvertCore-2.bat").
QString ScriptFileName(int slot);
QString AviSynthFileName(int slot);

struct ScriptJob {
    QString programFolder; // the scripts are written here, or in the user's folder (UserFolders)
    QString profileFile;
    QString section;
    PlaceholderValues values; // InputFile is the source
    bool aviSynthRoute = false;
    int slot = 0; // which of a batch's simultaneous jobs this is
    // The source list's probe saw a video stream: the encoder need not be
    // asked whether the source has a picture (a run of it costs more than
    // the rest of a job's start together).
    bool pictureKnown = false;
};

// A source goes through AviSynth when asked for every source, or when its
// extension (dot included, letter case counting) is one of the list's.
bool TakesAviSynthRoute(const QString &source, bool useDirectShow, const QStringList &avsExt);

// The template's lines with every "<%InputFile%>" (any letter case) replaced
// by the source's path, written to the slot's AviSynth file. Throws
// orm::Error when a file cannot be read or written.
void WriteAviSynthScript(const QString &programFolder, const QString &source, int slot = 0);

// Why the source cannot go through the preset, found before anything runs;
// empty when it can. A preset that makes video needs a picture: a source
// without a video stream (cover art does not count) is refused rather than
// leaving a file without one that would count as converted. Unless the job
// knows the source has a picture, the staged encoder (AppPath's
// cores/avcore.dll) lists the source's streams; where it cannot, nothing is refused.
QString SourceRefusal(const ScriptJob &job);

// Writes DirectShow.avs when the job takes that route, then the batch script,
// one line per command key after a first line that makes the script stop at
// the first command that fails, and returns the script's path. Throws orm::Error
// when a file cannot be written, a name cannot be passed safely, or the source
// is refused (SourceRefusal).
QString WriteJobScripts(const ScriptJob &job);

// Deletes both generated files of a slot; a missing one is passed over.
void DeleteTempFiles(const QString &programFolder, int slot = 0);

// Reads a text file as lines: CR, LF and CR LF end a line.
QStringList ReadTextLines(const QString &path, bool *ok = nullptr);
// Writes lines, each ended by LF. Throws orm::Error when the file cannot be written.
void WriteTextLines(const QString &path, const QStringList &lines);

} // namespace orm
