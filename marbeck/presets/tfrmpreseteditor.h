#pragma once
// The preset editor: the profile in use with its presets, each with title,
// extension and command lines. A shipped profile is shown as it is and can
// be duplicated into the user's profile folder; the user's own are edited,
// renamed, deleted and saved there. "Try" converts the first seconds of the
// selected source with the preset as it stands in the window.
#include "presets/presettrial.h"
#include "presets/profiledraft.h"

#include <QDialog>
#include <QPalette>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace marbeck {

struct PresetEditorSetup {
    QString profilePath;   // the profile in use
    QString section;       // its preset in use
    QString userFolder;    // where the user's profiles lie
    QString programFolder; // the encoder, the shipped profiles and the device limits
    QString source;        // the list's selected file, for Try; empty: none
    bool sourceHasVideo = true;
    std::optional<QPalette> look; // the main window's colours
};

class TfrmPresetEditor : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPresetEditor(PresetEditorSetup setup, QWidget *owner = nullptr);
    ~TfrmPresetEditor() override;

    void ApplyLanguage();
    // The profile and preset the window shows: the ones to use after it.
    QString profilePath() const { return m_draft.path; }
    QString section() const;
    bool unsaved() const { return m_unsaved; }
    const ProfileDraft &draft() const { return m_draft; }

    void ButtonDuplicatePresetClick();
    void ButtonDuplicateProfileClick();
    void ButtonRenameClick();
    void ButtonDeleteClick();
    // False (with the reason shown) when the profile could not be written.
    bool ButtonSaveClick();
    void ButtonTryClick();
    void ButtonPlayClick();

    QLineEdit *EditProfileTitle() const { return m_editProfileTitle; }
    QLineEdit *EditDescription() const { return m_editDescription; }
    QLabel *LabelShipped() const { return m_labelShipped; }
    QListWidget *ListPresets() const { return m_listPresets; }
    QLineEdit *EditTitle() const { return m_editTitle; }
    QLineEdit *EditExtension() const { return m_editExtension; }
    QPlainTextEdit *MemoCommands() const { return m_memoCommands; }
    QPushButton *ButtonPlaceholder() const { return m_buttonPlaceholder; }
    QPushButton *ButtonDuplicatePreset() const { return m_buttonDuplicatePreset; }
    QPushButton *ButtonDuplicateProfile() const { return m_buttonDuplicateProfile; }
    QPushButton *ButtonRename() const { return m_buttonRename; }
    QPushButton *ButtonDelete() const { return m_buttonDelete; }
    QPushButton *ButtonTry() const { return m_buttonTry; }
    QPushButton *ButtonPlay() const { return m_buttonPlay; }
    QPlainTextEdit *MemoResult() const { return m_memoResult; }
    QPushButton *ButtonSave() const { return m_buttonSave; }
    QPushButton *ButtonClose() const { return m_buttonClose; }
    PresetTrial *trial() const { return m_trial.get(); }

protected:
    void reject() override;

private:
    void load(const QString &path, int preset);
    void showPreset(int index);
    void presetEdited();
    void setUnsaved(bool unsaved);
    // Unsaved changes: asks to save them. False when the user cancelled or
    // the save failed.
    bool settleChanges();
    void trialFinished(const TrialResult &result);
    // Writes the draft; false after telling the user why it could not.
    bool saveShown(const ProfileDraft &draft);
    QString limitsFile() const;
    QString copySuffix() const;

    PresetEditorSetup m_setup;
    UserProfiles m_user;
    ProfileDraft m_draft;
    QString m_shippedPath; // the shipped profile this window last showed
    bool m_owned = false;
    bool m_unsaved = false;
    bool m_filling = false;
    int m_current = -1;
    std::unique_ptr<PresetTrial> m_trial;
    QString m_triedOutput; // what "Play" opens

    QLabel *m_labelProfile;
    QLineEdit *m_editProfileTitle;
    QLabel *m_labelDescription;
    QLineEdit *m_editDescription;
    QLabel *m_labelShipped;
    QLabel *m_labelPresets;
    QListWidget *m_listPresets;
    QPushButton *m_buttonDuplicatePreset;
    QPushButton *m_buttonDuplicateProfile;
    QPushButton *m_buttonRename;
    QPushButton *m_buttonDelete;
    QLabel *m_labelTitle;
    QLineEdit *m_editTitle;
    QLabel *m_labelExtension;
    QLineEdit *m_editExtension;
    QLabel *m_labelCommands;
    QPushButton *m_buttonPlaceholder;
    QPlainTextEdit *m_memoCommands;
    QPushButton *m_buttonTry;
    QPushButton *m_buttonPlay;
    QProgressBar *m_progressTry;
    QPlainTextEdit *m_memoResult;
    QPushButton *m_buttonSave;
    QPushButton *m_buttonClose;
};

} // namespace marbeck
