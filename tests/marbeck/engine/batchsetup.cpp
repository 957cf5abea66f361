#include "batchsetup.h"

#include "settings/globalvars.h"
#include "shell/postbatch.h"
#include "sources/sourcelistmodel.h"
#include "sources/typelists.h"
#include "support/apps.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace ormtest {

BatchSetup::ApplicationFirst::ApplicationFirst()
{
    testApp<QApplication>();
}

BatchSetup::BatchSetup(Encoder encoder, const QByteArray &testEncoderOptions)
{
    appFolder = dir.filePath("Ormolux app");
    if (encoder == Encoder::Real) {
        makeInstallation(appFolder);
    } else {
        QDir().mkpath(appFolder + "/cores");
        QFile::copy(QStringLiteral(ORM_TEST_ENCODER), appFolder + "/cores/avcore.dll");
        writeFile(appFolder + "/default_setting/test.ini",
                  "[Info]\nTitleE=Test\n[Item0]\nTitleE=t\nCommand=<%AppPath%>/cores/avcore.dll "
                  "-y -i \"<%InputFile%>\" " +
                      testEncoderOptions + " \"<%OutputFile%>.mp4\"\n");
    }
    inFolder = dir.filePath("in");
    outFolder = dir.filePath("out");
    QDir().mkpath(inFolder);
    QDir().mkpath(outFolder);

    marbeck::TGlobalVars &g = marbeck::globals();
    g.AppFolder = appFolder;
    g.DeleteFileAfterProcessing = false;
    g.ShutdownWindowsWhenDone = false;
    g.ShutdownFlag = 1;
    g.Priority = 1;
    g.UseDirectShow = false;
    g.SimultaneousJobs = 1; // one job at a time unless a test asks for more

    mainWindow.resize(760, 520);
    list = new marbeck::ListViewFiles(&mainWindow);
    list->setInputFileTypes({"Video=*.mp4;*.avi"});
    list->resize(740, 400);
    mainWindow.show();
    // Wired as the main window wires it, with a countdown of a millisecond a tick.
    driver = std::make_unique<marbeck::BatchDriver>(list->sources(), &mainWindow, list);
    marbeck::KeepSettingsOf(*driver, g);
    QObject::connect(driver.get(), &marbeck::BatchDriver::batchFinished,
                     [this](const marbeck::BatchResult &result) {
                         marbeck::RunAfterBatch(result, driver->failures(), marbeck::globals(),
                                                &mainWindow, 1, [this] { ++programCloses; });
                     });
    m_poll.setInterval(10);
}

BatchSetup::~BatchSetup()
{
    m_poll.stop();
    driver.reset();
    QDir::setCurrent(QDir::tempPath());
}

QString BatchSetup::addCopy(const QString &clip, const QString &name)
{
    const QString path = inFolder + "/" + name;
    EXPECT_TRUE(QFile::copy(clip, path)) << path.toStdString();
    EXPECT_EQ(list->AddFile(path), marbeck::AddResult::Added) << path.toStdString();
    return path;
}

marbeck::TProfileDetailItem BatchSetup::preset(const QString &profile, const QString &section) const
{
    return {appFolder + "/default_setting/" + profile, section, section};
}

marbeck::TProfileDetailItem BatchSetup::slowPreset() const
{
    QByteArray profile = readFile(appFolder + "/default_setting/3GPP_Phone.ini");
    profile.replace("avcore.dll -y -i", "avcore.dll -y -re -i");
    writeFile(appFolder + "/default_setting/slow_3gp.ini", profile);
    return preset("slow_3gp.ini");
}

void BatchSetup::run(const marbeck::TProfileDetailItem &p)
{
    convert(&p, outFolder);
    m_poll.stop();
}

void BatchSetup::convert(const marbeck::TProfileDetailItem *p, const QString &outputFolder)
{
    driver->ActionConvertExecute(p, outputFolder, marbeck::BatchOptionsFor(marbeck::globals(), {}));
    // The batch runs in the application's loop: wait for its end, and what follows it.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!driver->Running())
            loop.quit();
    });
    poll.start(5);
    if (driver->Running())
        loop.exec();
}

void BatchSetup::whileRunning(std::function<bool(marbeck::TfrmProgress &)> step)
{
    QObject::disconnect(&m_poll, nullptr, nullptr, nullptr);
    QObject::connect(&m_poll, &QTimer::timeout, [this, step] {
        marbeck::TfrmProgress *w = driver->progressWindow();
        if (w && w->isVisible() && step(*w))
            m_poll.stop();
    });
    m_poll.start();
}

QStringList BatchSetup::rows() const
{
    QStringList out;
    for (int row = 0; row < list->sources().count(); ++row)
        out << list->sources().item(row).CompleteName;
    return out;
}

} // namespace ormtest
