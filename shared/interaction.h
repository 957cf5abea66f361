#pragma once
// The one seam through which the programs ask the user something or hand
// something to the desktop. The toolkit implementation draws real dialogs;
// tests install one that answers from a script and records what was asked.
#include <QString>
#include <QStringList>

#include <exception>
#include <memory>
#include <optional>

class QWidget;

namespace orm {

// Message-box flags and button identifiers keep their Windows values, which
// callers and stored expectations rely on.
namespace mb {
inline constexpr unsigned kOk = 0x00;
inline constexpr unsigned kOkCancel = 0x01;
inline constexpr unsigned kYesNoCancel = 0x03;
inline constexpr unsigned kYesNo = 0x04;
inline constexpr unsigned kIconError = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
} // namespace mb

enum ButtonId : int {
    IdOk = 1,
    IdCancel = 2,
    IdAbort = 3,
    IdRetry = 4,
    IdIgnore = 5,
    IdYes = 6,
    IdNo = 7,
    IdAll = 8,
    IdNoToAll = 9,
    IdYesToAll = 10,
    IdHelp = 11,
};

enum class DialogKind { Warning = 0, Error = 1, Information = 2, Confirmation = 3 };

// Bits of the button set of a choice dialog, in the order the buttons stand.
namespace choice {
inline constexpr unsigned kYes = 1u << 0, kNo = 1u << 1, kOk = 1u << 2, kCancel = 1u << 3,
                          kAbort = 1u << 4, kRetry = 1u << 5, kIgnore = 1u << 6, kAll = 1u << 7,
                          kNoToAll = 1u << 8, kYesToAll = 1u << 9, kHelp = 1u << 10;
// The identifier a pressed button returns, by bit number.
int buttonResult(int bit);
} // namespace choice

struct ChoiceRequest {
    QString text;
    QString caption;
    DialogKind kind = DialogKind::Confirmation;
    QStringList customCaptions; // given to the buttons in order; an empty one keeps the default
    unsigned buttons = 0;
    int minimumButtonWidthDlu = 70;
};

struct FolderRequest {
    QWidget *owner = nullptr;
    QString title;
    QString startFolder;
    unsigned flags = 0;
};

class Interaction {
public:
    virtual ~Interaction() = default;
    virtual int messageBox(const QString &text, const QString &caption, unsigned flags) = 0;
    virtual int choiceDialog(const ChoiceRequest &request) = 0;
    virtual std::optional<QString> browseForFolder(const FolderRequest &request) = 0;
    // False when no program could be started for the path.
    virtual bool shellOpen(const QString &path) = 0;
};

Interaction &interaction();
// Installs a new implementation and returns the one it replaces.
std::unique_ptr<Interaction> setInteraction(std::unique_ptr<Interaction> next);

// The application's modal message box; returns the pressed button's identifier.
int ShowMessageBox(const QString &text, const QString &caption, unsigned flags);
int ShowChoiceDialog(const QString &text, const QString &caption, DialogKind kind,
                     const QStringList &customCaptions, unsigned buttons,
                     int minimumButtonWidthDlu = 70);
bool BrowseForFolder(QWidget *owner, QString &path, const QString &title, unsigned flags);
// Opens a file or folder with the desktop's default application; a blank path
// does nothing. When the desktop has no program for it, says so with the path,
// so that the user can open it by hand.
void ShellOpen(const QString &path);
// The texts of ShellOpen's box in the program's language: the message, with
// "%s" for the path, and the caption. Until a program names them, English.
void SetShellOpenTexts(QString (*failure)(), QString (*caption)());

// The application's error box: the text under the program's title. Each
// program names its title once at start; until then the box has none.
void SetErrorBoxCaption(QString (*caption)());
void ShowErrorBox(const QString &text);

// The text an exception shows the user: an orm::Error's own text, otherwise
// what the library said.
QString ErrorText(const std::exception &e);

// The one boundary of every event a window handles: an exception thrown by
// `handler` is shown in the error box and goes no further, so the event loop
// and the window stay usable. Returns false when the handler threw.
template <class Handler> bool GuardEvent(Handler &&handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception &e) {
        ShowErrorBox(ErrorText(e));
        return false;
    }
}

} // namespace orm
