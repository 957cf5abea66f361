#pragma once
#include "handoff.h"
#include "shared/failurelog.h"
#include "shared/outputcheck.h"

#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace orm {
class ConversionJob;
class ProgressModel;
struct JobEnd;
} // namespace orm

namespace cordane {

// Cordane's one window: converts the file the parent handed over, shows how
// far it is, and on closing reports the result back exactly once.
class TfrmConvert : public QWidget {
    Q_OBJECT
public:
    explicit TfrmConvert(const QString &programFolder, QWidget *parent = nullptr);
    ~TfrmConvert() override;

    void ApplyLanguage();
    bool ErrorOccurred() const { return m_errorOccurred; }
    QPushButton *cancelButton() const { return ButtonCancel; }
    // The program is ended from outside: stop as "Stop now" would, without asking.
    void TerminationRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void StartConversion();
    // False when the job could not be set up; the reason has been shown.
    bool ReadJob();
    void ButtonCancelClick();
    void ProcessEnded(const orm::JobEnd &jobEnd);
    void ShowProgress();
    void CloseSequence();
    void ReportResult();

    QString m_programFolder;
    QString m_handOffFile;
    HandOff m_handOff;
    QStringList m_avsExtensions;
    bool m_errorOccurred = false;
    orm::FailureLog m_failures; // what the user was told went wrong
    bool m_closing = false;
    orm::OutputGuard m_outputGuard; // the job's output folder and names

    std::unique_ptr<orm::ProgressModel> m_model;
    std::unique_ptr<orm::ConversionJob> m_job;

    QLabel *LabelRemainingCaption;
    QLabel *LabelRemaining;
    QLabel *LabelPercent;
    QProgressBar *ProgressBarStatus;
    QLabel *LabelElapsedCaption;
    QLabel *LabelElapsed;
    QLabel *LabelEstimatedCaption;
    QLabel *LabelEstimated;
    QPushButton *ButtonCancel;
};

} // namespace cordane
