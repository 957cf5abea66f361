#pragma once
// Running a shipped preset the way a job does, for the tests of the shipped data.
#include "support/testfiles.h"

#include <QString>

class QTemporaryDir;

namespace orm {
class IniFile;
}

namespace ormtest {

// Expands the preset's command lines for `input` into a script in `out` and
// runs it with the staged encoder; the script is removed afterwards. A
// preset that cannot be expanded gives exit code -1 and the reason.
ProcessResult runPreset(const orm::IniFile &profile, const QString &section, const QString &input,
                        const QTemporaryDir &out);

} // namespace ormtest
