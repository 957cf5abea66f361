#pragma once
// Answers the programs' questions from a script and records what was asked.
#include "shared/interaction.h"

#include <QList>

#include <deque>

namespace ormtest {

struct Asked {
    enum Kind { MessageBox, Choice, Folder, ShellOpen } kind;
    QString text;
    QString caption;
    unsigned flags = 0;
};

class ScriptedInteraction final : public orm::Interaction {
public:
    // Answers in order; when they run out, every question gets its first button.
    std::deque<int> answers;
    std::deque<std::optional<QString>> folders;
    QList<Asked> asked;
    bool desktopOpens = true; // what opening a path with the desktop gives

    int messageBox(const QString &text, const QString &caption, unsigned flags) override;
    int choiceDialog(const orm::ChoiceRequest &request) override;
    std::optional<QString> browseForFolder(const orm::FolderRequest &request) override;
    bool shellOpen(const QString &path) override;
};

// Installs a ScriptedInteraction for the lifetime of the scope.
class ScriptedScope {
public:
    ScriptedScope();
    ~ScriptedScope();
    ScriptedInteraction &operator*() { return *m_script; }
    ScriptedInteraction *operator->() { return m_script; }

private:
    ScriptedInteraction *m_script;
    std::unique_ptr<orm::Interaction> m_previous;
};

} // namespace ormtest
