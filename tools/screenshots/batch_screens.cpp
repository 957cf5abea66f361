// Pictures of a batch in progress, the stop question, the progress window
// after "When done" and the countdown, in English, French and German, drawn
// offscreen with the test encoder standing in for the real one.
// Arguments: the staged installation, the folder for the pictures.
#include "engine/batchdriver.h"
#include "engine/tfrmprogress.h"
#include "lang/marbeckmessages.h"
#include "screenkit.h"
#include "settings/globalvars.h"
#include "shared/interaction.h"
#include "shared/ui/qtinteraction.h"
#include "shell/postbatch.h"
#include "shell/poweractions.h"
#include "shell/tfrmshutdown.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelistmodel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

using namespace marbeck;

namespace {

void after(int ms, std::function<void()> step)
{
    QTimer::singleShot(ms, qApp, std::move(step));
}

// Presses the button of the open question that carries this caption.
void answer(const QString &caption)
{
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == caption) {
                button->click();
                return;
            }
        }
    }
    std::printf("FAILED to answer %s\n", qPrintable(caption));
}

void drawLanguage(const QString &stage, const QString &out, const QString &tag,
                  const QString &languageFile)
{
    if (languageFile.isEmpty())
        messages().resetToEnglish();
    else
        messages().LoadLanguage(stage + "/Skins/tools/lang/" + languageFile);

    QTemporaryDir dir;
    const QString app = dir.filePath("app");
    QDir().mkpath(app + "/cores");
    QDir().mkpath(app + "/default_setting");
    QDir().mkpath(dir.filePath("out"));
    QFile::copy(QStringLiteral(ORM_TEST_ENCODER), app + "/cores/avcore.dll");
    QFile profile(app + "/default_setting/screens.ini");
    if (!profile.open(QIODevice::WriteOnly))
        return;
    profile.write("[Item0]\nCommand=<%AppPath%>/cores/avcore.dll -i \"<%InputFile%>\" "
                  "--duration=60 --steps=600 --interval-ms=10 \"<%OutputFile%>.mp4\"\n");
    profile.close();

    TGlobalVars &g = globals();
    g.AppFolder = app;
    g.DeleteFileAfterProcessing = true;
    g.ShutdownWindowsWhenDone = true;
    g.Priority = 1;

    QWidget mainWindow;
    mainWindow.resize(760, 520);
    auto *list = new ListViewFiles(&mainWindow);
    list->resize(740, 480);
    const auto addRows = [&](std::initializer_list<const char *> names, const char *size) {
        for (const char *name : names) {
            TFileItem item;
            item.FileName = QString::fromUtf8(name);
            item.Directory = dir.filePath("in") + "/";
            item.CompleteName = item.Directory + item.FileName;
            item.FileSize = QString::fromLatin1(size);
            list->sources().append(item);
        }
    };
    addRows({"Holiday 2026 - beach.avi", "Birthday party.mp4", "Concert.mkv"}, "200000000");
    mainWindow.show();
    BatchDriver driver(list->sources(), &mainWindow, list);
    const QString now = msg(Msg::MSG_BTN_NOW), whenDone = msg(Msg::MSG_BTN_DONE),
                  cancel = msg(Msg::MSG_CANCEL);
    QObject::connect(&driver, &BatchDriver::batchStarted, [&](TfrmProgress *w) {
        after(2500, [&, w] {
            screenkit::save(w, out + "/batch-progress-" + tag + ".png");
            // The question is modal: the next steps run inside it.
            after(400, [&] {
                screenkit::save(QApplication::activeModalWidget(),
                                out + "/batch-stop-question-" + tag + ".png");
                answer(whenDone);
                after(300, [&, w] {
                    screenkit::save(w, out + "/batch-when-done-" + tag + ".png");
                    after(300, [&] { answer(now); });
                    w->ButtonCancel()->click();
                });
            });
            w->ButtonCancel()->click();
        });
    });
    const TProfileDetailItem preset{app + "/default_setting/screens.ini", "Item0", "screens"};
    driver.ActionConvertExecute(&preset, dir.filePath("out"), BatchOptionsFor(g, {}));

    // Three jobs at once over five files; the later ones run faster, so the
    // lines show different points.
    QFile staggered(app + "/default_setting/staggered.ini");
    if (staggered.open(QIODevice::WriteOnly)) {
        staggered.write("[Item0]\nCommand=<%AppPath%>/cores/avcore.dll -i \"<%InputFile%>\" "
                        "--duration=60 --steps=30 --interval-ms=<%RandomNumber3%> "
                        "\"<%OutputFile%>.mp4\"\n");
        staggered.close();
    }
    addRows({"Wedding - first dance.mp4", "Garden.avi"}, "150000000");
    QObject::disconnect(&driver, &BatchDriver::batchStarted, nullptr, nullptr);
    QObject::connect(&driver, &BatchDriver::batchStarted, [&](TfrmProgress *w) {
        after(2500, [&, w] {
            screenkit::save(w, out + "/batch-three-jobs-" + tag + ".png");
            after(300, [&] { answer(now); });
            w->ButtonCancel()->click();
        });
    });
    g.SimultaneousJobs = 3;
    g.ShutdownWindowsWhenDone = false;
    g.ShowErrorsAtOnce = false; // a quick job's stand-in output fails its check
    const TProfileDetailItem staggeredPreset{app + "/default_setting/staggered.ini", "Item0",
                                             "staggered"};
    driver.ActionConvertExecute(&staggeredPreset, dir.filePath("out"), BatchOptionsFor(g, {}));
    g.SimultaneousJobs = 1;
    g.ShowErrorsAtOnce = true;

    // A job that fails on a full disk: the box tells the encoder's telling line
    // and the cause in the language of the window.
    QFile failing(app + "/default_setting/failing.ini");
    if (failing.open(QIODevice::WriteOnly)) {
        failing.write("[Item0]\nCommand=<%AppPath%>/cores/avcore.dll -i \"<%InputFile%>\" "
                      "--duration=2 --steps=2 --interval-ms=10 "
                      "--error=\"av_interleaved_write_frame(): No space left on device\" "
                      "--error=\"Conversion failed!\" --exit=1 \"<%OutputFile%>.mp4\"\n");
        failing.close();
    }
    const TProfileDetailItem failingPreset{app + "/default_setting/failing.ini", "Item0",
                                           "failing"};
    g.ShutdownWindowsWhenDone = false;
    QObject::disconnect(&driver, &BatchDriver::batchStarted, nullptr, nullptr);
    // The first failure's box is drawn; it and the boxes of the other rows'
    // failures are then closed as they come.
    QTimer closer;
    closer.setInterval(200);
    bool saved = false;
    QObject::connect(&driver, &BatchDriver::batchStarted, [&](TfrmProgress *w) {
        QObject::connect(&closer, &QTimer::timeout, [&, w] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box || box == w)
                return;
            if (!saved)
                saved = screenkit::save(box, out + "/batch-failure-" + tag + ".png");
            box->close();
        });
        closer.start();
    });
    driver.ActionConvertExecute(&failingPreset, dir.filePath("out"), BatchOptionsFor(g, {}));
    closer.stop();

    TfrmShutdown countdown(&mainWindow, 1000000);
    for (int tick = 0; tick < 3; ++tick)
        countdown.TimerShutdownTimer();
    countdown.show();
    QApplication::processEvents();
    screenkit::save(&countdown, out + "/shutdown-" + tag + ".png");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv(kNoPowerActionsVariable, "1");
    QApplication app(argc, argv);
    // Absolute folders: every batch makes the program folder the current one.
    const auto folders = screenkit::folders(argc, argv, "batch_screens");
    if (!folders)
        return 2;
    const QString stage = folders->stage, out = folders->out;
    orm::RegisterLayoutFonts();
    screenkit::useProgramLook();
    drawLanguage(stage, out, "en", {});
    drawLanguage(stage, out, "fr", "french.ini");
    drawLanguage(stage, out, "de", "deutsch.ini");
    return 0;
}
