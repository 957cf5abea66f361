#include "screenkit.h"

#include "shared/ui/qtinteraction.h"
#include "testclips.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPixmap>
#include <QProcess>
#include <QWidget>

#include <cstdio>
#include <iterator>

namespace screenkit {

std::optional<Folders> folders(int argc, char **argv, const char *tool)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <stage folder> <picture folder>\n", tool);
        return std::nullopt;
    }
    Folders f{QDir(QString::fromLocal8Bit(argv[1])).absolutePath(),
              QDir(QString::fromLocal8Bit(argv[2])).absolutePath()};
    QDir().mkpath(f.out);
    return f;
}

void useProgramLook()
{
    orm::setInteraction(std::make_unique<orm::QtInteraction>());
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    QApplication::setFont(tahoma);
}

bool save(QWidget *widget, const QString &path)
{
    QApplication::processEvents();
    const bool ok = widget && widget->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

bool copyInstallation(const QString &stage, const QString &folder)
{
    return QDir().mkpath(folder) && QProcess::execute("cp", {"-r", stage + "/.", folder}) == 0;
}

QStringList makeListClips(const QString &folder, const QString &encoder, int count)
{
    static const char *const names[] = {"Holiday at the lake.avi",
                                        "interview_final_v2.mp4",
                                        "concert.mkv",
                                        "Birthday 2026.mov",
                                        "lecture-part1.mpg",
                                        "lecture-part2.mpg",
                                        "trailer.webm",
                                        "drone flight.mp4",
                                        "cat video.flv",
                                        "screen recording.mkv",
                                        "wedding (edit 3).avi",
                                        "sunset timelapse.mov"};
    QDir().mkpath(folder);
    QStringList clips;
    for (int n = 0; n < count && n < int(std::size(names)); ++n) {
        const QString path = folder + u'/' + QString::fromUtf8(names[n]);
        orm::testclips::ClipSpec spec;
        spec.size = n % 3 == 0 ? QSize(640, 360) : n % 3 == 1 ? QSize(320, 240) : QSize(480, 270);
        spec.seconds = 1 + n % 4;
        const auto made = orm::testclips::MakeClip(encoder, path, spec);
        if (made.ok)
            clips << path;
        else
            std::fprintf(stderr, "could not make %s: %s\n", names[n], qPrintable(made.messages));
    }
    return clips;
}

} // namespace screenkit
