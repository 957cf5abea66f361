#pragma once
#include "shared/interaction.h"

namespace orm {

// The toolkit's dialogs behind the interaction seam.
class QtInteraction final : public Interaction {
public:
    int messageBox(const QString &text, const QString &caption, unsigned flags) override;
    int choiceDialog(const ChoiceRequest &request) override;
    std::optional<QString> browseForFolder(const FolderRequest &request) override;
    void shellOpen(const QString &path) override;
};

// Registers the fonts the windows are laid out for (Tahoma) where the system has them.
void RegisterLayoutFonts();

} // namespace orm
