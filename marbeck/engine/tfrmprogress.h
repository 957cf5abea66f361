#pragma once
// The window of a running batch: progress of the file (or of each file being
// converted at once) and of the batch, the two switches, and the only way to
// stop.
#include "progressclosequery.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace orm {
struct ProgressView;
}

namespace marbeck {

class TfrmProgress : public QDialog {
    Q_OBJECT
public:
    explicit TfrmProgress(QWidget *owner = nullptr);

    void ApplyLanguage();
    // Copies what changed in the batch's figures into the labels and bars.
    void ShowProgress(const orm::ProgressView &view);
    // The batch ended by itself: closes with result 1, without a question.
    // While the stop question is open the window stays; it closes with
    // result 2 once the question is answered, whatever the answer.
    void FinishBatch();
    // Centres the window over `owner`, halves rounded toward zero.
    void PlaceOver(const QWidget *owner);

    // How many jobs run at once: with one, the file's bar and times as
    // always; with more, one line per job (its place, name, bar and percent)
    // instead, the window growing to hold them.
    void setJobSlots(int count);
    int jobSlots() const { return m_jobSlots; }
    // The source the job in `slot` converts: its name and its place among
    // the batch's files.
    void ShowJob(int slot, const QString &fileName, int number, int total);
    // The percent of the job in `slot`, on its line when several run at
    // once (with one job the file's line shows it through ShowProgress).
    void ShowJobPercent(int slot, int percent);
    // The job in `slot` has ended and no other has started there yet: its
    // line is hidden.
    void ShowJobIdle(int slot);
    // The two switches as the batch starts; the user's changes are reported
    // through deleteSourcesChanged and shutdownWhenDoneChanged.
    void setSwitches(bool deleteSources, bool shutdownWhenDone);
    bool DeleteSources() const;
    bool ShutdownWhenDone() const;

    bool Finished() const { return m_closeQuery.Finished; }
    bool StopWhenDone() const { return m_closeQuery.StopWhenDone; }

    QLabel *LabelFile() const { return m_labelFile; }
    QLabel *LabelFilePlace() const { return m_labelFilePlace; }
    QLabel *LabelStatusRemainingSingle() const { return m_labelStatusRemainingSingle; }
    QLabel *LabelStatusRemaining() const { return m_labelStatusRemaining; }
    QLabel *LabelStatus() const { return m_labelStatus; }
    QProgressBar *ProgressBarStatus() const { return m_progressBarStatus; }
    QProgressBar *ProgressBarBatch() const { return m_progressBarBatch; }
    QLabel *LabelBatch() const { return m_labelBatch; }
    QLabel *LabelBatchRemaining() const { return m_labelBatchRemaining; }
    QLabel *LabelBatchElapsed() const { return m_labelBatchElapsed; }
    QLabel *LabelBatchEstimated() const { return m_labelBatchEstimated; }
    QLabel *LabelStopWhenDone() const { return m_labelStopWhenDone; }
    // The line of the job in `slot` when several run at once.
    QLabel *JobName(int slot) const { return m_jobLines.at(slot).name; }
    QProgressBar *JobBar(int slot) const { return m_jobLines.at(slot).bar; }
    QLabel *JobPercent(int slot) const { return m_jobLines.at(slot).percent; }
    QCheckBox *CheckBoxDelSource() const { return m_checkBoxDelSource; }
    QCheckBox *CheckBoxShutdown() const { return m_checkBoxShutdown; }
    QPushButton *ButtonCancel() const { return m_buttonCancel; }

signals:
    void deleteSourcesChanged(bool on);
    void shutdownWhenDoneChanged(bool on);
    // The user chose "When done", or withdrew it with Cancel.
    void stopWhenDoneChanged(bool on);

public slots:
    // Escape goes through the same question as the button and the close box.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct JobLine {
        QLabel *place;
        QLabel *name;
        QProgressBar *bar;
        QLabel *percent;
    };

    void layoutCaptions();

    ProgressCloseQuery m_closeQuery;
    bool m_asking = false; // the stop question is open
    int m_jobSlots = 1;
    std::vector<JobLine> m_jobLines;

    QWidget *m_panelStatus;
    QLabel *m_labelFile;
    QLabel *m_labelFilePlace;
    QLabel *m_labelStatusRemainingSingle;
    QLabel *m_labelStatusRemaining;
    QLabel *m_labelStatus;
    QProgressBar *m_progressBarStatus;
    QProgressBar *m_progressBarBatch;
    QLabel *m_labelBatch;
    QLabel *m_labelRemaining;
    QLabel *m_labelBatchRemaining;
    QLabel *m_labelElapsed;
    QLabel *m_labelBatchElapsed;
    QLabel *m_labelestimated;
    QLabel *m_labelBatchEstimated;
    QLabel *m_labelStopWhenDone;
    QCheckBox *m_checkBoxDelSource;
    QCheckBox *m_checkBoxShutdown;
    QFrame *m_bevelBottomLine;
    QWidget *m_panelButtons;
    QPushButton *m_buttonCancel;
};

} // namespace marbeck
