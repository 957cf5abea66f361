#pragma once
// Marbeck's main window: a borderless frame around the source list, the
// preset of the chosen profile and the output folder, with its own title-bar
// buttons and the "Languages" menu. Start-up runs in FormCreate, in a fixed
// order; the window is shown from the event loop once the chooser is closed.
#include "presets/tfrmpreseteditor.h"
#include "profiles/profilecatalogue.h"
#include "skins/windowdrag.h"
#include "sources/typelists.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace marbeck {

class BatchDriver;
class KeptList;
class ListViewFiles;
class TfrmProgress;

// The title every window of the program shows: "Ormolux version: 3.0.2".
QString ApplicationTitle();
// The product version the title carries.
inline constexpr char kVersionText[] = "3.0.2";

class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The start-up sequence, run once. False when the program is to end
    // (missing accepted-types file, chooser left without a choice, no
    // profile folder); exitCode() then says with which status.
    bool FormCreate();
    int exitCode() const { return m_exitCode; }

    // Puts the message table's texts into the window. False (after telling the
    // user) when the language has no accepted-types file: the program ends.
    bool ApplyLanguage();
    void BuildLanguageMenu();
    // The line that says what a batch will do to the user's files and computer
    // (sources to the trash, the post-batch action); hidden when neither is on.
    void UpdateBatchWarning();
    // Rebuilds the preset box and the profile label from the chosen profile.
    void LoadProfileItems();
    // What the preset editor starts from: the profile and preset in use, the
    // list's selected file for "Try", and this window's colours.
    PresetEditorSetup presetEditorSetup() const;
    // The preset selected in ComboBoxProfile; null when none is.
    const TProfileDetailItem *selectedPreset() const;

    // How the program starts itself again after a language switch; tests
    // replace it. By default the same program with the same argument.
    std::function<void()> RestartProgram;

    // The post-batch countdown's tick; a second unless a test shortens it.
    void setCountdownTick(int milliseconds) { m_countdownTickMs = milliseconds; }

    ListViewFiles *listViewFiles() const { return m_listViewFiles; }
    BatchDriver &batch() const { return *m_batch; }
    // The list kept between runs; null before FormCreate.
    KeptList *keptList() const { return m_keptList.get(); }
    QLabel *ImageMain() const { return m_imageMain; }
    QLabel *LabelAppTitle() const { return m_labelAppTitle; }
    QLabel *LabelStatusBar() const { return m_labelStatusBar; }
    QLabel *LabelProfile() const { return m_labelProfile; }
    QLabel *LabelProfileInfo() const { return m_labelProfileInfo; }
    QLabel *LabelOutputDirectory() const { return m_labelOutputDirectory; }
    QLabel *LabelBatchWarning() const { return m_labelBatchWarning; }
    QComboBox *ComboBoxProfile() const { return m_comboBoxProfile; }
    QLineEdit *EditOutputDir() const { return m_editOutputDir; }
    QAbstractButton *ButtonAddFiles() const { return m_buttonAddFiles; }
    QAbstractButton *ButtonDelete() const { return m_buttonDelete; }
    QAbstractButton *ButtonClearList() const { return m_buttonClearList; }
    QAbstractButton *ButtonBrowse() const { return m_buttonBrowse; }
    QAbstractButton *ButtonChooseProfile() const { return m_buttonChooseProfile; }
    QAbstractButton *ButtonSettings() const { return m_buttonSettings; }
    QAbstractButton *ButtonEditPresets() const { return m_buttonEditPresets; }
    QAbstractButton *ButtonConvert() const { return m_buttonConvert; }
    QAbstractButton *ButtonMin() const { return m_buttonMin; }
    QAbstractButton *ButtonClose() const { return m_buttonClose; }
    QAbstractButton *ButtonHelp() const { return m_buttonHelp; }
    QMenu *PopupMenuHelp() const { return m_popupMenuHelp; }
    QMenu *LanguagesMI() const { return m_languagesMI; }
    QAction *ActionConvert() const { return m_actionConvert; }
    QAction *ActionChooseProfile() const { return m_actionChooseProfile; }

public slots:
    void ActionConvertExecute();
    void ActionChooseProfileExecute();
    void ButtonSettingsClick();
    // The preset editor on the profile in use; afterwards the profile and
    // preset it last showed are the ones in use.
    void ButtonEditPresetsClick();
    void ButtonHelpClick();
    void ButtonMinClick();
    void ButtonCloseClick();
    void LanguageMenuClick(QAction *entry);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The posted "show the main window" message of the last start-up step.
    void showMainWindow();
    void endProgram(int exitCode);
    // A LanguageFile setting that names no readable language file falls
    // back to English, with a message naming the setting.
    void checkLanguageSetting();
    bool checkTypeFile(const QString &captionText, unsigned icon);
    // The accepted-types file of the current language into the list.
    void loadTypeLists();
    // The message table and the toolkit's texts in the chosen language.
    void loadLanguage();
    void warnOfUnusableTypeFile();
    // During a batch the progress window is not modal, so that closing this
    // window reaches it and asks the stop question. The rest of this window
    // takes no input meanwhile, as a window behind a modal one would not:
    // it can be moved, minimised and closed, nothing else.
    void holdInputDuringBatch(bool hold);

    int m_exitCode = 0;
    bool m_restartOnClose = false;
    int m_countdownTickMs = 1000;
    QList<TProfileDetailItem> m_presets;
    TypeLists m_typeLists;

    QLabel *m_imageMain;
    QLabel *m_labelAppTitle;
    ListViewFiles *m_listViewFiles;
    QLabel *m_labelStatusBar;
    QLabel *m_labelProfile;
    QLabel *m_labelProfileInfo;
    QComboBox *m_comboBoxProfile;
    QLabel *m_labelOutputDirectory;
    QLabel *m_labelBatchWarning;
    WindowDrag m_drag;
    QLineEdit *m_editOutputDir;
    QAbstractButton *m_buttonAddFiles;
    QAbstractButton *m_buttonDelete;
    QAbstractButton *m_buttonClearList;
    QAbstractButton *m_buttonBrowse;
    QAbstractButton *m_buttonChooseProfile;
    QAbstractButton *m_buttonSettings;
    QAbstractButton *m_buttonEditPresets;
    QAbstractButton *m_buttonConvert;
    QAbstractButton *m_buttonMin;
    QAbstractButton *m_buttonClose;
    QAbstractButton *m_buttonHelp;
    QMenu *m_popupMenuHelp;
    QMenu *m_languagesMI;
    QAction *m_actionConvert;
    QAction *m_actionChooseProfile;
    // Runs the batches; goes with the window, ending a running job and
    // removing its files.
    std::unique_ptr<BatchDriver> m_batch;
    // Saves the list as it changes; goes before the list and the batch.
    std::unique_ptr<KeptList> m_keptList;
    // The running or last batch's progress window, and whether it was the
    // active window when the batch ended (no desktop notice then).
    // A widget pointer: the window is still asked while it is being destroyed.
    QPointer<QWidget> m_progressWindow;
    bool m_batchEndWatched = true;
};

} // namespace marbeck
