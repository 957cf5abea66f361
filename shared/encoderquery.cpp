#include "encoderquery.h"

#include <QProcess>

namespace orm {

std::optional<EncoderAnswer> AskEncoder(const QString &encoder, const QStringList &arguments,
                                        EncoderChannels channels, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(channels == EncoderChannels::Merged ? QProcess::MergedChannels
                                                                      : QProcess::SeparateChannels);
    process.start(encoder, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    return EncoderAnswer{
        QString::fromLocal8Bit(process.readAllStandardOutput()),
        process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
    };
}

} // namespace orm
