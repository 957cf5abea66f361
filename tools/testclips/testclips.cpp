#include "testclips.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

namespace orm::testclips {

QStringList h264Aac(const char *preset)
{
    return {"-c:v",     "libx264", "-preset", QString::fromLatin1(preset),
            "-pix_fmt", "yuv420p", "-c:a",    "aac",
            "-ac",      "2"};
}

Made MakeClip(const QString &encoder, const QString &path, const ClipSpec &spec)
{
    QStringList arguments = {"-y",
                             "-v",
                             "error",
                             "-f",
                             "lavfi",
                             "-i",
                             QStringLiteral("testsrc2=size=%1x%2:rate=25")
                                 .arg(spec.size.width())
                                 .arg(spec.size.height()),
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
