#include "scriptedinteraction.h"

namespace ormtest {

namespace {
int firstButton(unsigned flags)
{
    switch (flags & 0x0F) {
    case 3:
    case 4: return orm::IdYes;
    case 2: return orm::IdAbort;
    case 5: return orm::IdRetry;
    default: return orm::IdOk;
    }
}
} // namespace

int ScriptedInteraction::messageBox(const QString &text, const QString &caption, unsigned flags)
{
    asked.append({Asked::MessageBox, text, caption, flags});
    if (answers.empty())
        return firstButton(flags);
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

int ScriptedInteraction::choiceDialog(const orm::ChoiceRequest &request)
{
    asked.append({Asked::Choice, request.text, request.caption, request.buttons});
    if (answers.empty()) {
        for (int bit = 0; bit <= 10; ++bit) {
            if (request.buttons & (1u << bit))
                return orm::choice::buttonResult(bit);
        }
        return orm::IdCancel;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<QString> ScriptedInteraction::browseForFolder(const orm::FolderRequest &request)
{
    asked.append({Asked::Folder, request.startFolder, request.title, request.flags});
    if (folders.empty())
        return std::nullopt;
    auto folder = folders.front();
    folders.pop_front();
    return folder;
}

bool ScriptedInteraction::shellOpen(const QString &path)
{
    asked.append({Asked::ShellOpen, path, {}, 0});
    return desktopOpens;
}

ScriptedScope::ScriptedScope()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    m_previous = orm::setInteraction(std::move(script));
}

ScriptedScope::~ScriptedScope()
{
    orm::setInteraction(std::move(m_previous));
}

} // namespace ormtest
