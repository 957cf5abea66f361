#pragma once
// The open and save dialogs of the source list and the file information
// window. Each goes through a replaceable hook, so that tests answer it the
// way they answer message boxes.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace marbeck {

struct OpenFilesRequest {
    QWidget *owner = nullptr;
    QString startFolder;
    QString filter;   // the toolkit's form: "name (patterns);;..."
    QString fileName; // proposed in the name box
};

struct SaveFileRequest {
    QWidget *owner = nullptr;
    QString filter; // the toolkit's form
    QString fileName;
    QString defaultSuffix;
};

using OpenFilesHook = std::function<std::optional<QStringList>(const OpenFilesRequest &)>;
using SaveFileHook = std::function<std::optional<QString>(const SaveFileRequest &)>;

// The chosen names, or nullopt when the user cancels.
std::optional<QStringList> AskOpenFiles(const OpenFilesRequest &request);
std::optional<QString> AskSaveFile(const SaveFileRequest &request);

// Install a hook and get the previous one back; an empty hook means the
// toolkit's dialog.
OpenFilesHook setOpenFilesHook(OpenFilesHook hook);
SaveFileHook setSaveFileHook(SaveFileHook hook);

} // namespace marbeck
