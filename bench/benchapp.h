#pragma once
// The benchmark program's one application object. Some benchmarks show
// windows, and a process may have only one application object, so every
// benchmark takes this QApplication (offscreen unless a platform is chosen).
#include <QApplication>
#include <QFile>
#include <QString>

inline QApplication &benchApp()
{
    static int argc = 1;
    static char name[] = "orm_bench";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

// The staged encoder, or the system's ffmpeg where nothing is staged.
inline QString benchEncoder()
{
#ifdef ORM_STAGE_DIR
    const QString staged = QStringLiteral(ORM_STAGE_DIR "/cores/avcore.dll");
    if (QFile::exists(staged))
        return staged;
#endif
    return QStringLiteral("ffmpeg");
}
