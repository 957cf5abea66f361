#pragma once
#include "shared/interaction.h"

namespace orm {

// The toolkit's dialogs behind the interaction seam.
class QtInteraction final : public Interaction {
public:
    int messageBox(const QString &text, const QString &caption, unsigned flags) override;
    int choiceDialog(const ChoiceRequest &request) override;
    std::optional<QString> browseForFolder(const FolderRequest &request) override;
    bool shellOpen(const QString &path) override;
};

// Installs the toolkit's dialogs; with ORM_ANSWER_DIALOGS set in the
// environment (tests that start a program as a child process) every question
// is written to standard error instead and answered with its first button.
void InstallInteraction();

// Registers the fonts the windows are laid out for (Tahoma) where the system has them;
// once per program.
void RegisterLayoutFonts();

} // namespace orm
