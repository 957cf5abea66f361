#include "testclips.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>

namespace orm::testclips {

QStringList h264Aac(const char *preset)
{
    return {"-c:v",     "libx264", "-preset", QString::fromLatin1(preset),
            "-pix_fmt", "yuv420p", "-c:a",    "aac",
            "-ac",      "2"};
}

QString NaturalPictureGraph(QSize size)
{
    const int w = size.width();
    const int h = size.height();
    // The game of life runs on a quarter grid so that its cells are blocks of
    // a few pixels, like objects rather than noise. The fractal is softened as
    // a lens would, in proportion to the size. The grain is temporal, so no
    // two frames are alike, as with a film scan or a camera sensor.
    return QStringLiteral("mandelbrot=s=%1x%2:r=25:end_pts=400:end_scale=0.02,"
                          "gblur=sigma=%5,format=yuv420p[m];"
                          "gradients=s=%1x%2:r=25:speed=0.02:n=4,format=yuv420p[g];"
                          "life=s=%3x%4:r=25:mold=20:ratio=0.3:seed=7:"
                          "life_color=#c8b070:death_color=#303848,"
                          "scale=%1:%2:flags=neighbor,format=yuv420p[l];"
                          "[m][g]blend=all_mode=softlight[mg];"
                          "[mg][l]blend=all_mode=overlay:all_opacity=0.35,"
                          "noise=c0s=4:c1s=2:c2s=2:allf=t,format=yuv420p[out0]")
        .arg(w)
        .arg(h)
        .arg(std::max(w / 4, 8))
        .arg(std::max(h / 4, 8))
        .arg(std::max(w / 160.0, 1.0));
}

Made MakeClip(const QString &encoder, const QString &path, const ClipSpec &spec)
{
    const QString picture = spec.picture == Picture::Natural
                                ? NaturalPictureGraph(spec.size)
                                : QStringLiteral("testsrc2=size=%1x%2:rate=25")
                                      .arg(spec.size.width())
                                      .arg(spec.size.height());
    QStringList arguments = {"-y",
                             "-v",
                             "error",
                             "-f",
                             "lavfi",
                             "-i",
                             picture,
                             "-f",
                             "lavfi",
                             "-i",
                             QStringLiteral("sine=frequency=%1:sample_rate=44100").arg(spec.toneHz),
                             "-t",
                             QString::number(spec.seconds)};
    arguments << spec.codec << path;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(encoder, arguments);
    Made made;
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
    }
    made.messages = QString::fromLocal8Bit(process.readAll());
    made.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!made.ok && made.messages.isEmpty())
        made.messages = process.errorString();
    return made;
}

Made MakeClipOnce(const QString &encoder, const QString &path, const ClipSpec &spec)
{
    if (QFileInfo::exists(path))
        return {true, {}};
    const QFileInfo target(path);
    QDir().mkpath(target.absolutePath());
    const QString partial =
        target.absolutePath() +
        QStringLiteral("/partial-%1.").arg(QRandomGenerator::global()->generate()) +
        target.suffix();
    Made made = MakeClip(encoder, partial, spec);
    if (made.ok && !QFile::rename(partial, path) && !QFileInfo::exists(path))
        made = {false, QStringLiteral("cannot rename %1 to %2").arg(partial, path)};
    QFile::remove(partial);
    return made;
}

} // namespace orm::testclips
