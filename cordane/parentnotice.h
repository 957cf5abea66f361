#pragma once
// Tells the parent application that Cordane has finished: the parent listens
// on a local socket named after the number it wrote as "Parent".
#include <QString>

namespace cordane {

// $XDG_RUNTIME_DIR/lanthorn-<parent>.sock (/tmp where the variable is unset).
QString ParentSocketPath(qint64 parent);

enum class NoticeResult { NotSent, Answered, NoAnswer };

// Sends "1224 0 0" and waits for the parent's answer line, at most `timeoutMs`;
// a parent of 0 or one that does not listen gets nothing.
NoticeResult SendConvertDone(qint64 parent, int timeoutMs = 10000);

} // namespace cordane
