#include "qtinteraction.h"

#include "busycursor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <cstdio>
#include <utility>

namespace orm {

namespace {

QMessageBox::Icon iconOf(unsigned flags)
{
    switch (flags & 0xF0) {
    case mb::kIconError: return QMessageBox::Critical;
    case mb::kIconQuestion: return QMessageBox::Question;
    case mb::kIconExclamation: return QMessageBox::Warning;
    case mb::kIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

struct StandardButton {
    QMessageBox::StandardButton button;
    int id;
};

QList<StandardButton> buttonsOf(unsigned flags)
{
    switch (flags & 0x0F) {
    case 1: return {{QMessageBox::Ok, IdOk}, {QMessageBox::Cancel, IdCancel}};
    case 2:
        return {{QMessageBox::Abort, IdAbort},
                {QMessageBox::Retry, IdRetry},
                {QMessageBox::Ignore, IdIgnore}};
    case 3:
        return {
            {QMessageBox::Yes, IdYes}, {QMessageBox::No, IdNo}, {QMessageBox::Cancel, IdCancel}};
    case 4: return {{QMessageBox::Yes, IdYes}, {QMessageBox::No, IdNo}};
    case 5: return {{QMessageBox::Retry, IdRetry}, {QMessageBox::Cancel, IdCancel}};
    default: return {{QMessageBox::Ok, IdOk}};
    }
}

struct ChoiceButton {
    const char *text;
    QMessageBox::ButtonRole role;
};

// The buttons of a choice dialog by bit number, in the order they stand.
constexpr ChoiceButton kChoiceButtons[] = {
    {"&Yes", QMessageBox::YesRole},       {"&No", QMessageBox::NoRole},
    {"OK", QMessageBox::AcceptRole},      {"Cancel", QMessageBox::RejectRole},
    {"&Abort", QMessageBox::RejectRole},  {"&Retry", QMessageBox::AcceptRole},
    {"&Ignore", QMessageBox::AcceptRole}, {"&All", QMessageBox::YesRole},
    {"N&o to All", QMessageBox::NoRole},  {"Yes to &All", QMessageBox::YesRole},
    {"&Help", QMessageBox::HelpRole},
};

QWidget *dialogParent()
{
    return QApplication::activeWindow();
}

} // namespace

int QtInteraction::messageBox(const QString &text, const QString &caption, unsigned flags)
{
    QMessageBox box(iconOf(flags), caption, text, QMessageBox::NoButton, dialogParent());
    const auto buttons = buttonsOf(flags);
    for (const auto &b : buttons)
        box.addButton(b.button);
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    for (const auto &b : buttons) {
        if (b.button == pressed)
            return b.id;
    }
    // Closed by Escape or the close box: the cancelling answer.
    return buttons.size() == 1 ? buttons.front().id : (flags & 0x0F) == 4 ? IdNo : IdCancel;
}

int QtInteraction::choiceDialog(const ChoiceRequest &request)
{
    static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::Warning, QMessageBox::Critical,
                                                   QMessageBox::Information, QMessageBox::Question};
    QMessageBox box(kIcons[int(request.kind)], request.caption, request.text, QMessageBox::NoButton,
                    dialogParent());
    const QFontMetrics metrics(box.font());
    // Dialog units: a quarter of the average character width.
    const int minimumWidth = request.minimumButtonWidthDlu * metrics.averageCharWidth() / 4;
    QList<QPair<QAbstractButton *, int>> results;
    qsizetype captionIndex = 0;
    for (int bit = 0; bit <= 10; ++bit) {
        if (!(request.buttons & (1u << bit)))
            continue;
        QString text = QString::fromLatin1(kChoiceButtons[bit].text);
        if (captionIndex < request.customCaptions.size()) {
            if (!request.customCaptions[captionIndex].isEmpty())
                text = request.customCaptions[captionIndex];
            ++captionIndex;
        }
        QPushButton *button = box.addButton(text, kChoiceButtons[bit].role);
        button->setMinimumWidth(minimumWidth);
        results.append({button, choice::buttonResult(bit)});
        const int id = choice::buttonResult(bit);
        if (id == IdCancel || (id == IdNo && !box.escapeButton()))
            box.setEscapeButton(button);
    }
    QApplication::beep();
    box.exec();
    for (const auto &[button, id] : results) {
        if (button == box.clickedButton())
            return id;
    }
    return IdCancel;
}

std::optional<QString> QtInteraction::browseForFolder(const FolderRequest &request)
{
    const QString folder = QFileDialog::getExistingDirectory(
        request.owner, request.title, request.startFolder, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

bool QtInteraction::shellOpen(const QString &path)
{
    BusyScope busy;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

namespace {

class AnsweringInteraction final : public Interaction {
public:
    int messageBox(const QString &text, const QString &caption, unsigned flags) override
    {
        note("message", caption, text);
        switch (flags & 0x0F) {
        case 2: return IdAbort;
        case 3:
        case 4: return IdYes;
        case 5: return IdRetry;
        default: return IdOk;
        }
    }
    int choiceDialog(const ChoiceRequest &r) override
    {
        note("choice", r.caption, r.text);
        for (int bit = 0; bit <= 10; ++bit) {
            if (r.buttons & (1u << bit))
                return choice::buttonResult(bit);
        }
        return IdCancel;
    }
    std::optional<QString> browseForFolder(const FolderRequest &r) override
    {
        note("folder", r.title, r.startFolder);
        return std::nullopt;
    }
    bool shellOpen(const QString &path) override
    {
        note("open", {}, path);
        return true;
    }

private:
    static void note(const char *kind, const QString &caption, const QString &text)
    {
        QString flat = text;
        flat.replace(u'\r', u' ').replace(u'\n', u' ');
        std::fprintf(stderr, "[%s] %s: %s\n", kind, caption.toUtf8().constData(),
                     flat.toUtf8().constData());
        std::fflush(stderr);
    }
};

} // namespace

void InstallInteraction()
{
    if (qEnvironmentVariableIsSet("ORM_ANSWER_DIALOGS"))
        setInteraction(std::make_unique<AnsweringInteraction>());
    else
        setInteraction(std::make_unique<QtInteraction>());
}

void RegisterLayoutFonts()
{
    static bool registered = false;
    if (std::exchange(registered, true))
        return;
    for (const char *file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFile::exists(QString::fromLatin1(file)))
            QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    }
}

} // namespace orm
