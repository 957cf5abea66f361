#pragma once
#include <QWidget>

namespace marbeck {

// Marbeck's main window. Start-up loads the settings (writing "vuzu.ini" with
// the defaults on a first run) and the window's place; closing saves both.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;
};

} // namespace marbeck
