#include "sourcelist.h"
#include "shared/resstr.h"

#include "lang/marbeckmessages.h"
#include "platform/platform.h"
#include "shared/interaction.h"
#include "shared/utilfuncs.h"
#include "sourcelistmodel.h"
#include "typelists.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <algorithm>

#include <unistd.h>

namespace marbeck {

AddResult AddFile(SourceListModel &list, const QString &path, const QStringList &inputFileTypes,
                  const ProbeFunction &probe)
{
    if (!orm::platform::fileExists(path.toStdString()))
        return AddResult::Missing;
    if (!IsAcceptedType(orm::ExtractFileExt(path), inputFileTypes))
        return AddResult::RefusedType;
    if (list.containsPath(path))
        return AddResult::Duplicate;

    TFileItem item = probe ? probe(path) : ProbeFile(path);
    if (item.CompleteName.isEmpty()) {
        orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_ADD_ERROR1), {path}),
                            msg(Msg::MSG_ERROR), orm::mb::kIconInformation);
        return AddResult::NoCompleteName;
    }
    if (item.FileSize.isEmpty()) {
        orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_ADD_ERROR2), {path}),
                            msg(Msg::MSG_ERROR), orm::mb::kIconInformation);
        return AddResult::NoFileSize;
    }
    list.append(std::move(item));
    return AddResult::Added;
}

QString StatusText(int count)
{
    if (count == 0)
        return msg(Msg::MSG_STATUS_NOFILES);
    if (count == 1)
        return msg(Msg::MSG_STATUS_ONEFILE);
    return orm::FormatMessage(msg(Msg::MSG_STATUS_FILES), {QString::number(count)});
}

QString AddingStatusText(int done, int total, const QLocale &numbers)
{
    const QLocale locale = numbers.language() == QLocale::C ? QLocale(QLocale::English) : numbers;
    return orm::FormatMessage(msg(Msg::MSG_STATUS_ADDING),
                              {locale.toString(done), locale.toString(total)});
}

bool EnsureOutputFolder(const QString &folder)
{
    if (folder.trimmed().isEmpty()) {
        orm::ShowMessageBox(msg(Msg::MSG_EMPTY_DIR), msg(Msg::MSG_ERROR), orm::mb::kIconQuestion);
        return false;
    }
    if (orm::platform::directoryExists(folder.toStdString()))
        return true;
    const int answer = orm::ShowMessageBox(msg(Msg::MSG_CREATEDIR), msg(Msg::MSG_QUESTION),
                                           orm::mb::kIconQuestion | orm::mb::kYesNoCancel);
    if (answer != orm::IdYes)
        return false;
    if (!QDir().mkpath(folder) || !orm::platform::directoryExists(folder.toStdString())) {
        orm::ShowMessageBox(msg(Msg::MSG_CREATEDIR_FAIL), msg(Msg::MSG_ERROR),
                            orm::mb::kIconQuestion);
        return false;
    }
    return true;
}

bool EnsureWritableOutputFolder(const QString &folder)
{
    if (!EnsureOutputFolder(folder))
        return false;
    // A folder the batch could write nothing to is refused before any job
    // runs, rather than failing each job in its own box.
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0)
        return true;
    orm::ShowMessageBox(
        orm::FormatMessage(msg(Msg::MSG_OUTPUT_DIR_READONLY), {QDir::toNativeSeparators(folder)}),
        msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
    return false;
}

int SelectionTarget(int index, int rowCount)
{
    if (rowCount <= 0)
        return -1;
    return std::clamp(index, 0, rowCount - 1);
}

} // namespace marbeck
