#pragma once
#include <QDialog>

namespace cordane {

// Cordane's one window: converts the file the parent handed over.
class TfrmConvert : public QDialog {
    Q_OBJECT
public:
    explicit TfrmConvert(QWidget *parent = nullptr);
};

} // namespace cordane
