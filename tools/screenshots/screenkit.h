#pragma once
// What the screenshot tools share: saving a window's picture, a copy of the
// staged installation, and a list's worth of real clips.
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace screenkit {

// The two folders every tool is given: the staged installation and where
// the pictures go (made). Both absolute; a missing argument prints the usage.
struct Folders {
    QString stage, out;
};
std::optional<Folders> folders(int argc, char **argv, const char *tool);

// The real dialogs and the 11 px Tahoma the programs' windows start from.
void useProgramLook();

// Saves the widget's picture after pending paints and says so on stdout.
bool save(QWidget *widget, const QString &path);

// Copies the staged installation into `folder`.
bool copyInstallation(const QString &stage, const QString &folder);

// The first `count` (at most twelve) clips of a typical list, with ordinary
// and odd names, made in `folder` with `encoder`.
QStringList makeListClips(const QString &folder, const QString &encoder, int count);

} // namespace screenkit
