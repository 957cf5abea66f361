#pragma once
// One run of ormolux-convert: the settings, language, profiles and type
// lists Marbeck would use, the sources found as "Add Files" and "Add
// Folder" find them, and the batch queue with the conversion runner, shown
// on standard error. Needs a QCoreApplication; no window.
#include "convertoptions.h"

namespace marbeck {

// Everything a run reads lies beside the program in `programFolder`, or in
// the user's folders for an installed copy. Returns the exit status.
int RunConvert(const ConvertOptions &options, const QString &programFolder);

} // namespace marbeck
