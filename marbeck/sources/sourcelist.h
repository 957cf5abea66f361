#pragma once
// The rules of the source list that need no window: which files are taken,
// the output-folder check and the status text.
#include "tfileitem.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

namespace marbeck {

class SourceListModel;

enum class AddResult {
    Added,
    Missing,        // no such file (or not a regular file): skipped silently
    RefusedType,    // the extension is not accepted: skipped silently
    Duplicate,      // already listed: skipped silently
    NoCompleteName, // the library gave no name: MSG_ADD_ERROR1 was shown
    NoFileSize,     // the library gave no size: MSG_ADD_ERROR2 was shown
};

using ProbeFunction = std::function<TFileItem(const QString &path)>;

// Checks, probes and appends one file, or says why not; the two refusals by
// the library are shown in a box before it returns. Without a probe the
// MediaInfo library is asked.
AddResult AddFile(SourceListModel &list, const QString &path, const QStringList &inputFileTypes,
                  const ProbeFunction &probe = {});

// "No files", "One file" or "%d files" by the number of rows.
QString StatusText(int count);
// "Adding 340 of 2,000…": files taken of files queued, grouped by thousands
// as the language writes them ("2 000" in French); the "C" locale (no
// grouping) writes them as English does.
QString AddingStatusText(int done, int total, const QLocale &numbers = QLocale::c());

// Refuses a blank folder and offers to create a missing one (with all its
// parents); true when the folder exists afterwards.
bool EnsureOutputFolder(const QString &folder);
// The same, and a folder this user cannot write to is refused with a message.
bool EnsureWritableOutputFolder(const QString &folder);

// The row a SelectItem call for `index` selects: past the last row means the
// last row; -1 for an empty list.
int SelectionTarget(int index, int rowCount);

} // namespace marbeck
