#include "filedialogs.h"

#include <QFileDialog>

namespace marbeck {

namespace {

OpenFilesHook &openHook()
{
    static OpenFilesHook hook;
    return hook;
}

SaveFileHook &saveHook()
{
    static SaveFileHook hook;
    return hook;
}

} // namespace

std::optional<QStringList> AskOpenFiles(const OpenFilesRequest &request)
{
    if (openHook())
        return openHook()(request);
    QFileDialog dialog(request.owner, {}, request.startFolder, request.filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setSizeGripEnabled(true);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles();
}

std::optional<QString> AskSaveFile(const SaveFileRequest &request)
{
    if (saveHook())
        return saveHook()(request);
    QFileDialog dialog(request.owner, {}, {}, request.filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setSizeGripEnabled(true);
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

OpenFilesHook setOpenFilesHook(OpenFilesHook hook)
{
    return std::exchange(openHook(), std::move(hook));
}

SaveFileHook setSaveFileHook(SaveFileHook hook)
{
    return std::exchange(saveHook(), std::move(hook));
}

} // namespace marbeck
