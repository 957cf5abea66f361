#pragma once
// How many conversions a batch runs at once when the user leaves it to the
// program: as many as keep the cores busy, judged from what one job of the
// chosen preset keeps busy.
#include <QStringList>

namespace marbeck {

struct TProfileDetailItem;

// The cores divided by the threads one job keeps busy, at least 1.
int AutomaticJobCount(int cores, int threadsPerJob);

// The threads one job of these commands keeps busy on `cores` cores: the
// most of any command (a job runs its commands one after another). A command
// that names its threads ("-threads N", N > 0) keeps that many; one whose
// video encoder spreads its work over the cores by itself keeps them all;
// any other keeps one (the encoders of phone formats, sound alone, copies).
int ThreadsPerJob(const QStringList &commands, int cores);

// The same for a preset: the commands of its section in its profile file.
int PresetThreadsPerJob(const TProfileDetailItem &preset, int cores);

} // namespace marbeck
