#include "interaction.h"

#include "error.h"
#include "resstr.h"

namespace orm {

namespace {

// Until a program installs the toolkit's dialogs, a question cannot be asked:
// that is a fault of the caller, not something to answer silently.
class NoInteraction final : public Interaction {
public:
    int messageBox(const QString &text, const QString &, unsigned) override { refuse(text); }
    int choiceDialog(const ChoiceRequest &r) override { refuse(r.text); }
    std::optional<QString> browseForFolder(const FolderRequest &r) override { refuse(r.title); }
    bool shellOpen(const QString &path) override { refuse(path); }

private:
    [[noreturn]] static void refuse(const QString &what)
    {
        throw Error(QStringLiteral("No user interface to ask: %1").arg(what));
    }
};

std::unique_ptr<Interaction> &current()
{
    static std::unique_ptr<Interaction> instance = std::make_unique<NoInteraction>();
    return instance;
}

} // namespace

int choice::buttonResult(int bit)
{
    static constexpr int kResults[] = {IdYes,    IdNo,  IdOk,      IdCancel,   IdAbort, IdRetry,
                                       IdIgnore, IdAll, IdNoToAll, IdYesToAll, IdHelp};
    return bit >= 0 && bit < int(std::size(kResults)) ? kResults[bit] : 0;
}

Interaction &interaction()
{
    return *current();
}

std::unique_ptr<Interaction> setInteraction(std::unique_ptr<Interaction> next)
{
    auto previous = std::move(current());
    current() = next ? std::move(next) : std::make_unique<NoInteraction>();
    return previous;
}

int ShowMessageBox(const QString &text, const QString &caption, unsigned flags)
{
    return interaction().messageBox(text, caption, flags);
}

int ShowChoiceDialog(const QString &text, const QString &caption, DialogKind kind,
                     const QStringList &customCaptions, unsigned buttons, int minimumButtonWidthDlu)
{
    return interaction().choiceDialog(
        {text, caption, kind, customCaptions, buttons, minimumButtonWidthDlu});
}

bool BrowseForFolder(QWidget *owner, QString &path, const QString &title, unsigned flags)
{
    const auto chosen = interaction().browseForFolder({owner, title, path, flags});
    if (!chosen)
        return false;
    path = *chosen;
    return true;
}

namespace {
QString (*shellOpenFailure)() = nullptr;
QString (*shellOpenCaption)() = nullptr;
} // namespace

void SetShellOpenTexts(QString (*failure)(), QString (*caption)())
{
    shellOpenFailure = failure;
    shellOpenCaption = caption;
}

void ShellOpen(const QString &path)
{
    if (path.trimmed().isEmpty())
        return;
    if (interaction().shellOpen(path))
        return;
    const QString failure =
        shellOpenFailure ? shellOpenFailure()
                         : QStringLiteral("Cannot open \"%s\": the desktop has no program for it.");
    ShowMessageBox(FormatMessage(failure, {path}),
                   shellOpenCaption ? shellOpenCaption() : QStringLiteral("Error"),
                   mb::kIconExclamation);
}

namespace {
QString (*errorBoxCaption)() = nullptr;
} // namespace

void SetErrorBoxCaption(QString (*caption)())
{
    errorBoxCaption = caption;
}

void ShowErrorBox(const QString &text)
{
    ShowMessageBox(text, errorBoxCaption ? errorBoxCaption() : QString(), mb::kIconError);
}

QString ErrorText(const std::exception &e)
{
    if (const auto *error = dynamic_cast<const Error *>(&e))
        return error->text();
    return QString::fromLocal8Bit(e.what());
}

} // namespace orm
