#pragma once
// A question to the encoder that needs no conversion: its lists of encoders,
// muxers and filters, or the streams of a file. The encoder runs, its text is
// read, and a run that hangs is killed.
#include <QString>
#include <QStringList>

#include <optional>

namespace orm {

struct EncoderAnswer {
    QString text;          // what it printed (standard output, or both channels)
    bool exitedOk = false; // it ended normally with status 0
};

enum class EncoderChannels { OutputOnly, Merged };

// Runs `encoder` with `arguments`, at most `timeoutMs`; nullopt when it could
// not start or did not end in time (it is then killed).
std::optional<EncoderAnswer> AskEncoder(const QString &encoder, const QStringList &arguments,
                                        EncoderChannels channels, int timeoutMs = 30000);

} // namespace orm
