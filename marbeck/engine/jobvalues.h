#pragma once
// What one job of a batch needs before its script is written.
#include "shared/commandtemplate.h"

#include <QString>

namespace marbeck {

// The placeholder values of a job: the program folder without a trailing
// separator, the output folder with one, the source's name in it, and
// separately drawn random digits.
orm::PlaceholderValues JobPlaceholders(const QString &programFolder, const QString &outputFolder,
                                       const QString &source);

// The stored priority setting as the redirector's initial priority:
// 0 idle, 1 normal, 2 high, 3 real-time; anything else runs idle.
quint8 MapPriority(quint8 priorityIndex);

} // namespace marbeck
