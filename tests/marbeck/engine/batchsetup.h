#pragma once
// A stand-in main window with a real source list and a batch driver over a
// staged installation, every question answered through the seam and the
// power requests recorded.
#include "engine/batchdriver.h"
#include "engine/tfrmprogress.h"
#include "profiles/profilecatalogue.h"
#include "sources/listviewfiles.h"
#include "support/recordingpoweractions.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace ormtest {

class BatchSetup {
public:
    enum class Encoder { Real, Test };
    // `testEncoderOptions`: the test encoder's options for the preset "test.ini".
    explicit BatchSetup(Encoder encoder = Encoder::Real, const QByteArray &testEncoderOptions = {});
    ~BatchSetup();

    struct ApplicationFirst {
        ApplicationFirst();
    } applicationFirst;
    ScriptedScope script;
    RecordingPowerScope power;
    QTemporaryDir dir;
    EnvScope tempFolder{"TMPDIR", dir.path()}; // where a failure log goes
    // Deleted sources go to the trash of this home, never the real one.
    EnvScope home{"HOME", dir.path()};
    EnvScope dataHome{"XDG_DATA_HOME", dir.filePath("share")};
    QString appFolder, inFolder, outFolder;
    QWidget mainWindow;
    marbeck::ListViewFiles *list = nullptr;
    std::unique_ptr<marbeck::BatchDriver> driver;
    int programCloses = 0;

    // A copy of a clip in the input folder under a new name, added to the list.
    QString addCopy(const QString &clip, const QString &name);
    marbeck::TProfileDetailItem preset(const QString &profile,
                                       const QString &section = "Item0") const;
    // A copy of a shipped preset that reads its input at its own pace (-re),
    // so a job of a few seconds can be stopped in the middle.
    marbeck::TProfileDetailItem slowPreset() const;
    void run(const marbeck::TProfileDetailItem &preset);
    // "Convert Now" with the options the shell takes from the settings record.
    void convert(const marbeck::TProfileDetailItem *preset, const QString &outputFolder);
    // Calls `step` every few milliseconds while a batch's window is up, until
    // it returns true.
    void whileRunning(std::function<bool(marbeck::TfrmProgress &)> step);
    QStringList rows() const;

private:
    QTimer m_poll;
};

} // namespace ormtest
