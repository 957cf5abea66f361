// Pictures of the source list with a dozen real files and of the file
// information window, drawn offscreen, for looking at after a change.
// Arguments: the staged installation, the folder for the pictures.
#include "lang/marbeckmessages.h"
#include "screenkit.h"
#include "settings/globalvars.h"
#include "shared/interaction.h"
#include "shared/ui/qtinteraction.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelistmodel.h"
#include "sources/tfrmfileinfo.h"
#include "sources/typelists.h"
#include "testclips.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <cstdio>

using namespace marbeck;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto folders = screenkit::folders(argc, argv, "sources_screens");
    if (!folders)
        return 2;
    const QString stage = folders->stage, out = folders->out;
    orm::RegisterLayoutFonts();
    screenkit::useProgramLook();

    TGlobalVars &g = globals();
    g.AppFolder = stage;
    g.LanguageFile = QStringLiteral("english.ini");
    TypeLists types;
    LoadTypeLists(types, TypeFileName(g.AppFolder, g.LanguageFolder, g.LanguageFile));

    const QString encoder = stage + "/cores/avcore.dll";
    QTemporaryDir dir;
    struct Clip {
        const char *name, *size;
        QStringList codec;
        int seconds;
    };
    const QStringList h264 = {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"};
    const QList<Clip> clips = {
        {"Holiday 2023 - beach.mp4", "640x360", h264 + QStringList{"-c:a", "aac"}, 4},
        {"birthday.avi", "320x240", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, 3},
        {"Konzert in der Stadthalle (Teil 1).mkv", "1280x720",
         h264 + QStringList{"-c:a", "libvorbis"}, 2},
        {"phone clip.3gp",
         "176x144",
         {"-c:v", "h263", "-c:a", "aac", "-ar", "8000", "-ac", "1"},
         5},
        {"presentation.wmv", "800x600", {"-c:v", "wmv2", "-c:a", "wmav2"}, 2},
        {"interview.mov", "720x576", h264 + QStringList{"-c:a", "aac"}, 3},
        {"screen recording.webm", "1024x768", {"-c:v", "libvpx", "-c:a", "libopus"}, 2},
        {"song.mp3", "320x240", {"-vn", "-c:a", "libmp3lame"}, 6},
        {"silent timelapse.mp4", "1920x1080", h264 + QStringList{"-an"}, 2},
        {"old tape.mpg", "352x288", {"-c:v", "mpeg1video", "-c:a", "mp2"}, 3},
        {"flash cartoon.flv", "400x300", {"-c:v", "flv", "-c:a", "libmp3lame", "-ar", "44100"}, 2},
        {"Ünïcödé – name.ts", "480x270", h264 + QStringList{"-c:a", "aac"}, 2},
    };
    QStringList files;
    for (const Clip &c : clips) {
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        const QStringList size = QString::fromLatin1(c.size).split(u'x');
        orm::testclips::ClipSpec spec{
            .size = {size[0].toInt(), size[1].toInt()}, .seconds = c.seconds, .codec = c.codec};
        if (!orm::testclips::MakeClip(encoder, path, spec).ok) {
            std::fprintf(stderr, "could not make %s\n", c.name);
            continue;
        }
        files << path;
    }

    // The list as the main window places it: 617 x 200, the count below it.
    QWidget host;
    host.setStyleSheet(QStringLiteral("QWidget#host { background: #2b4f7a; }"));
    host.setObjectName(QStringLiteral("host"));
    auto *layout = new QVBoxLayout(&host);
    layout->setContentsMargins(16, 16, 16, 8);
    auto *list = new ListViewFiles(&host);
    list->setFixedSize(617, 200);
    auto *status = new QLabel(&host);
    status->setStyleSheet(QStringLiteral("color: white; font-weight: bold;"));
    QObject::connect(list, &ListViewFiles::statusChanged, status, &QLabel::setText);
    list->setInputFileTypes(types.InputFileTypes);
    QAction convert(msg(Msg::MSG_CONVERT));
    list->addRowsAction(&convert);
    layout->addWidget(list);
    layout->addWidget(status);
    host.show();
    list->AddFiles(files);
    list->SelectItem(2);
    list->selectionModel()->select(list->sources().index(4, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCoreApplication::processEvents();
    bool ok = screenkit::save(&host, out + "/sources-list.png");

    // The same rows with every column side by side.
    ListViewFiles wide;
    for (int row = 0; row < list->sources().count(); ++row)
        wide.sources().append(list->sources().item(row));
    int width = 0;
    for (int column = 0; column < wide.sources().columnCount(); ++column)
        width += wide.columnWidth(column);
    wide.resize(width + 4, 330);
    wide.show();
    wide.SelectItem(0);
    QCoreApplication::processEvents();
    ok &= screenkit::save(&wide, out + "/sources-list-all-columns.png");

    list->PopupMenuListView()->popup(list->mapToGlobal(QPoint(60, 60)));
    QCoreApplication::processEvents();
    ok &= screenkit::save(list->PopupMenuListView(), out + "/sources-context-menu.png");
    list->PopupMenuListView()->hide();

    TfrmFileInfo info(&host);
    info.setWindowTitle(msg(Msg::MSG_FILEINFO_CAPTION) + " - " + list->sources().item(0).FileName);
    info.LoadReport(list->sources().item(0).path());
    info.show();
    QCoreApplication::processEvents();
    ok &= screenkit::save(&info, out + "/fileinfo.png");
    info.resize(640, 420);
    QCoreApplication::processEvents();
    ok &= screenkit::save(&info, out + "/fileinfo-wide.png");
    return ok && files.size() == clips.size() ? 0 : 1;
}
