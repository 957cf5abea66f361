#pragma once
// Clips of moving test pictures and a tone, made with an ffmpeg, for tests,
// benchmarks and screenshots; and natural-looking clips for tuning and
// checking the presets' rate control.
#include <QSize>
#include <QString>
#include <QStringList>

namespace orm::testclips {

enum class Picture {
    // ffmpeg's testsrc2: flat colours and sharp edges, which encode very small.
    TestPattern,
    // Costs bits the way filmed video does: a slowly zooming fractal (fine
    // detail and motion), drifting gradients (flat areas that band), cells of
    // a game of life (small moving objects) and film grain over all.
    Natural,
};

struct ClipSpec {
    QSize size{320, 240};
    Picture picture = Picture::TestPattern;
    int seconds = 1;
    int toneHz = 440;
    // Codec options; empty lets the encoder choose by the file's extension.
    QStringList codec;
};

// The lavfi graph of a natural-looking picture at 25 fps.
QString NaturalPictureGraph(QSize size);

// The usual codec options: H.264 and stereo AAC.
QStringList h264Aac(const char *preset = "veryfast");

struct Made {
    bool ok = false;
    QString messages; // the encoder's output when it failed
};

// Makes `path` with `encoder`, replacing what is there.
Made MakeClip(const QString &encoder, const QString &path, const ClipSpec &spec);

// Makes `path` unless it exists: under a temporary name first and then
// renamed, so that programs running at the same time never see half a file.
Made MakeClipOnce(const QString &encoder, const QString &path, const ClipSpec &spec);

} // namespace orm::testclips
