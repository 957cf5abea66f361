#pragma once
// The profile chooser window: four family buttons switch between four lists
// of profiles, the selected one's description shows below, "Apply" takes it.
#include "profiles/chooserstate.h"
#include "skins/suibutton.h"
#include "skins/windowdrag.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;

namespace marbeck {

class TfrmProfile : public QDialog {
    Q_OBJECT
public:
    // The result a quit chosen under "Exit" closes the window with.
    static constexpr int kResultEndProgram = 3;

    explicit TfrmProfile(ChooserSettings settings, QWidget *owner = nullptr);

    bool AllowCancel = false;

    void ApplyLanguage();
    // Fills the lists and selects as the settings say; false when the profile
    // folder is missing (the user has been told).
    bool PrepareChooser();
    void ShowFamily(FormatType family);
    void ShowDescription(FormatType family);
    // Takes the choice into state().settings(); false (nothing taken) without a selected row.
    bool ApplyChoice();

    const ChooserState &state() const { return m_state; }
    TsuiImageButton *familyButton(FormatType family) const { return m_familyButtons[family]; }
    QListWidget *listBox(FormatType family) const { return m_listBoxes[family]; }
    QPlainTextEdit *MemoDiscription() const { return m_memoDiscription; }
    QCheckBox *CheckBoxDoNotDisplay() const { return m_checkBoxDoNotDisplay; }
    QLabel *LabelDoNotDisplay() const { return m_labelDoNotDisplay; }
    TsuiImageButton *ButtonApply() const { return m_buttonApply; }
    TsuiImageButton *ButtonCancel() const { return m_buttonCancel; }

public slots:
    void ButtonApplyClick();
    void ButtonCancelClick();
    // Esc and the window manager's close go the way "Exit" does.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void listRowChanged(FormatType family, int row);

    ChooserState m_state;
    QLabel *m_imageProfile;
    std::array<TsuiImageButton *, kFamilyCount> m_familyButtons{};
    std::array<QLabel *, kFamilyCount> m_images{};
    std::array<QListWidget *, kFamilyCount> m_listBoxes{};
    QLabel *m_labelDiscription;
    QPlainTextEdit *m_memoDiscription;
    QCheckBox *m_checkBoxDoNotDisplay;
    QLabel *m_labelDoNotDisplay;
    TsuiImageButton *m_buttonApply;
    TsuiImageButton *m_buttonCancel;
    WindowDrag m_drag;
};

// Shows the chooser modally over the owner and applies the choice on "Apply";
// returns false when the program is to end (start-up mode left without a
// choice, or no profile folder).
bool ShowProfileChooser(ChooserSettings &settings, QWidget *owner, bool allowCancel);

} // namespace marbeck
