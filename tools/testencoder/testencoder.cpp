// A stand-in for the encoder in tests: it prints ffmpeg-style console text chosen
// by its own options, so what the programs read from it is known in advance.
// The encoder's own options ("-y", "-i in.avi", "-c:v libx264", ...) are accepted
// and ignored, so a shipped preset's command line runs it unchanged.
//
//   --duration=SECONDS|NA   print the "  Duration: " line (hh:mm:ss.cc or N/A)
//   --steps=N               N progress lines, positions evenly spaced up to the
//                           duration (10 s where there is none), each ended by CR
//   --interval-ms=M         pause between progress lines
//   --time-form=clock|seconds   time=00:00:05.00 (default) or time=5.00
//   --first-time=VALUE      one extra first progress line with time=VALUE
//   --error=TEXT            a line of its own after the progress (repeatable)
//   --stdout                print to standard output instead of standard error
//   --exit=N                exit status (default 0)
//   --hang                  after printing, sleep until killed
//   --grandchild-hang       also start a child that sleeps until killed
//   --split-bytes=K         write in chunks of K bytes with a short pause between
//   --write-file=PATH       also write a small file at PATH
//   --bytes=N               size of the files written (default 1024)
//   --no-output             do not write the output file
//   --copy-input            the output file is a copy of the -i input (a whole media
//                           file where the input is one), not filler bytes
//   --flood-mb=N            write only N MiB of progress lines to standard output
//
// The last argument that is not an option is the output file; unless --no-output
// a small file is written there, so a conversion leaves its result behind.
// A process that hangs ends itself after ten minutes, so a test that fails to
// kill it leaves nothing behind for long.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

constexpr double kFramesPerSecond = 25;
constexpr double kKilobytesPerSecond = 40; // 320 kbit/s
constexpr double kDefaultDuration = 10;
constexpr unsigned kHangLimitSeconds = 600;
constexpr auto kSplitPause = std::chrono::milliseconds(2);

struct Options {
    std::optional<double> duration; // seconds
    bool durationUnknown = false;   // --duration=NA
    int steps = 0;
    int intervalMs = 0;
    bool clockTime = true;
    std::optional<std::string> firstTime;
    std::vector<std::string> errors;
    bool toStdout = false;
    int exitStatus = 0;
    bool hang = false;
    bool grandchildHang = false;
    size_t splitBytes = 0;
    std::vector<std::string> extraFiles;
    size_t fileBytes = 1024;
    bool noOutput = false;
    bool copyInput = false;
    std::optional<int> floodMb;
    std::string input = "input.avi";
    std::string output;
};

// The encoder's options that take no value; every other "-x" takes the next argument.
bool isValuelessFlag(std::string_view arg)
{
    for (std::string_view flag :
         {"-y", "-n", "-an", "-vn", "-sn", "-dn", "-nostdin", "-hide_banner", "-stats", "-nostats",
          "-shortest", "-re", "-copyts", "-benchmark", "-xerror", "-report"}) {
        if (arg == flag)
            return true;
    }
    return false;
}

template <typename T> std::optional<T> number(std::string_view text)
{
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// One of our "--name=value" options; false when it is unknown or its value is bad.
bool applyOption(Options &o, std::string_view name, std::optional<std::string_view> value)
{
    const auto setCount = [&](auto &field) {
        const auto n = value ? number<long>(*value) : std::nullopt;
        if (!n || *n < 0)
            return false;
        field = static_cast<std::remove_reference_t<decltype(field)>>(*n);
        return true;
    };
    const auto setFlag = [&](bool &field) {
        field = true;
        return !value;
    };
    if (name == "duration") {
        if (value == "NA" || value == "N/A") {
            o.durationUnknown = true;
            return true;
        }
        o.duration = value ? number<double>(*value) : std::nullopt;
        return o.duration && *o.duration >= 0;
    }
    if (name == "time-form") {
        o.clockTime = value == "clock";
        return value == "clock" || value == "seconds";
    }
    if (name == "first-time" || name == "error" || name == "write-file") {
        if (!value)
            return false;
        if (name == "first-time")
            o.firstTime = std::string(*value);
        else
            (name == "error" ? o.errors : o.extraFiles).emplace_back(*value);
        return true;
    }
    if (name == "flood-mb") {
        int megabytes = 0;
        if (!setCount(megabytes))
            return false;
        o.floodMb = megabytes;
        return true;
    }
    if (name == "steps")
        return setCount(o.steps);
    if (name == "interval-ms")
        return setCount(o.intervalMs);
    if (name == "exit")
        return setCount(o.exitStatus);
    if (name == "split-bytes")
        return setCount(o.splitBytes);
    if (name == "bytes")
        return setCount(o.fileBytes);
    if (name == "stdout")
        return setFlag(o.toStdout);
    if (name == "hang")
        return setFlag(o.hang);
    if (name == "grandchild-hang")
        return setFlag(o.grandchildHang);
    if (name == "no-output")
        return setFlag(o.noOutput);
    if (name == "copy-input")
        return setFlag(o.copyInput);
    return false;
}

std::optional<Options> parseArguments(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--")) {
            const auto eq = arg.find('=');
            const std::string_view name = arg.substr(2, eq == arg.npos ? arg.npos : eq - 2);
            const auto value =
                eq == arg.npos ? std::nullopt : std::optional<std::string_view>(arg.substr(eq + 1));
            if (!applyOption(o, name, value)) {
                std::fprintf(stderr, "testencoder: bad option %s\n", argv[i]);
                return std::nullopt;
            }
        } else if (arg.size() > 1 && arg.front() == '-' && !isValuelessFlag(arg)) {
            if (i + 1 < argc && arg == "-i")
                o.input = argv[i + 1];
            ++i; // the option's value
        } else if (arg.front() != '-' || arg == "-") {
            o.output = arg;
        }
    }
    return o;
}

void writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data.remove_prefix(static_cast<size_t>(n));
    }
}

// The console: with a chunk size, the text goes out in pieces of that many bytes
// counted over the whole output, so pieces end in the middle of lines.
class Console {
public:
    Console(int fd, size_t chunkBytes) : m_fd(fd), m_chunkBytes(chunkBytes) {}

    void print(std::string_view text)
    {
        if (m_chunkBytes == 0)
            return writeAll(m_fd, text);
        while (!text.empty()) {
            const size_t n = std::min(m_chunkBytes - m_filled, text.size());
            writeAll(m_fd, text.substr(0, n));
            text.remove_prefix(n);
            m_filled += n;
            if (m_filled == m_chunkBytes) {
                m_filled = 0;
                std::this_thread::sleep_for(kSplitPause);
            }
        }
    }

private:
    int m_fd;
    size_t m_chunkBytes;
    size_t m_filled = 0;
};

std::string format(const char *pattern, auto... values)
{
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, values...);
    return std::string(buffer, static_cast<size_t>(std::clamp(n, 0, int(sizeof buffer) - 1)));
}

std::string clockText(double seconds)
{
    const long long centis = std::llround(seconds * 100);
    return format("%02lld:%02lld:%02lld.%02lld", centis / 360000, centis / 6000 % 60,
                  centis / 100 % 60, centis % 100);
}

std::string progressLine(double position, bool clockTime)
{
    const long long kilobytes = std::llround(position * kKilobytesPerSecond);
    const std::string time = clockTime ? clockText(position) : format("%.2f", position);
    const std::string bitrate =
        position > 0 ? format("%6.1fkbits/s", kilobytes * 8 / position) : std::string("N/A");
    return format("frame=%5lld fps=%3.0f q=28.0 size=%8lldkB time=%s bitrate=%s speed=1.0x\r",
                  std::llround(position * kFramesPerSecond), kFramesPerSecond, kilobytes,
                  time.c_str(), bitrate.c_str());
}

std::string banner(const Options &o)
{
    const auto dot = o.output.rfind('.');
    const std::string container =
        dot == std::string::npos || o.output.find('/', dot) != std::string::npos
            ? std::string("null")
            : o.output.substr(dot + 1);
    std::string text = "avcore version test-encoder, prints fixed console text for tests\n";
    text += "Input #0, avi, from '" + o.input + "':\n";
    if (o.durationUnknown)
        text += "  Duration: N/A, start: 0.000000, bitrate: N/A\n";
    else if (o.duration)
        text += "  Duration: " + clockText(*o.duration) + ", start: 0.000000, bitrate: 1200 kb/s\n";
    text += "  Stream #0:0: Video: mpeg4 (Simple Profile), yuv420p, 640x480, 25 fps\n"
            "  Stream #0:1: Audio: mp3, 44100 Hz, stereo, fltp, 128 kb/s\n";
    text += "Output #0, " + container + ", to '" + o.output + "':\n";
    text += "Stream mapping:\n"
            "  Stream #0:0 -> #0:0 (mpeg4 (native) -> h264 (libx264))\n"
            "  Stream #0:1 -> #0:1 (mp3 (native) -> aac (native))\n"
            "Press [q] to stop, [?] for help\n";
    return text;
}

bool namesNullDevice(const std::string &path)
{
    return path.empty() || path == "-" || path.starts_with("pipe:") || path == "NUL" ||
           path == "nul";
}

void writeFileOfSize(const std::string &path, size_t bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "testencoder: cannot write %s\n", path.c_str());
        return;
    }
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<char>('a' + i % 26);
    writeAll(fd, data);
    ::close(fd);
}

bool copyFile(const std::string &from, const std::string &to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    char buffer[65536];
    ssize_t n = 0;
    while (ok && (n = ::read(in, buffer, sizeof buffer)) > 0)
        writeAll(out, std::string_view(buffer, size_t(n)));
    ::close(in);
    if (out >= 0)
        ::close(out);
    return ok && n == 0;
}

// Progress lines of exactly 64 bytes, so each MiB holds whole lines.
void flood(int megabytes)
{
    std::string line = "frame=  250 fps= 25 q=28.0 size=     400kB time=00:00:10.00";
    line.resize(63, ' ');
    line += '\r';
    std::string block;
    block.reserve(1 << 20);
    while (block.size() < (1u << 20))
        block += line;
    for (int i = 0; i < megabytes; ++i)
        writeAll(STDOUT_FILENO, block);
}

[[noreturn]] void sleepUntilKilled()
{
    ::alarm(kHangLimitSeconds);
    for (;;)
        ::pause();
}

} // namespace

int main(int argc, char **argv)
{
    const auto parsed = parseArguments(argc, argv);
    if (!parsed)
        return 2;
    const Options &o = *parsed;
    if (o.floodMb) {
        flood(*o.floodMb);
        return o.exitStatus;
    }

    Console console(o.toStdout ? STDOUT_FILENO : STDERR_FILENO, o.splitBytes);
    console.print(banner(o));
    if (!o.noOutput && !namesNullDevice(o.output)) {
        if (!o.copyInput || !copyFile(o.input, o.output))
            writeFileOfSize(o.output, o.fileBytes);
    }
    for (const std::string &path : o.extraFiles)
        writeFileOfSize(path, o.fileBytes);

    if (o.firstTime)
        console.print(
            format("frame=    0 fps=0.0 q=0.0 size=       0kB time=%s bitrate=N/A speed=N/A\r",
                   o.firstTime->c_str()));
    const double length = o.duration.value_or(kDefaultDuration);
    for (int step = 1; step <= o.steps; ++step) {
        if (step > 1 || o.firstTime)
            std::this_thread::sleep_for(std::chrono::milliseconds(o.intervalMs));
        console.print(progressLine(length * step / o.steps, o.clockTime));
    }
    for (const std::string &error : o.errors)
        console.print(error + "\n");

    if (o.grandchildHang && ::fork() == 0)
        sleepUntilKilled();
    if (o.hang || o.grandchildHang)
        sleepUntilKilled();
    return o.exitStatus;
}
