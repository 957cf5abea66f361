#pragma once
// The MediaInfo library, bound at run time by the names of its ANSI C
// interface, so that a machine without it still starts and can say what to
// install. Both programs probe with it: the source list and the output check.
#include "platform/module.h"

#include <QString>

#include <cstddef>
#include <optional>

namespace orm {

#ifdef _WIN32
inline constexpr const char *kMediaInfoModule = "videoinfo.Dll";
#else
inline constexpr const char *kMediaInfoModule = "libmediainfo.so.0";
#endif
// The distribution package that provides the module here.
inline constexpr const char *kMediaInfoPackage = "libmediainfo0v5";

enum class StreamKind : int { General = 0, Video = 1, Audio = 2, Image = 5 };

// Owner of the loaded module and its entry points.
class MediaInfoLibrary {
public:
    // Loads the named module; a failure is kept as loadError(), never thrown.
    explicit MediaInfoLibrary(const char *moduleName = kMediaInfoModule);
    ~MediaInfoLibrary();
    MediaInfoLibrary(const MediaInfoLibrary &) = delete;
    MediaInfoLibrary &operator=(const MediaInfoLibrary &) = delete;

    // The module of the program, loaded on first use and kept until the process ends.
    static const MediaInfoLibrary &shared();

    bool isLoaded() const { return !m_error; }
    // Why the module could not be used, naming the package to install.
    const std::optional<QString> &loadError() const { return m_error; }

    // The library-wide option (no handle); returns the library's answer.
    QString option(const QString &name, const QString &value) const;

private:
    friend class MediaInfoFile;
    using NewFn = void *(*)();
    using DeleteFn = void (*)(void *);
    using OpenFn = std::size_t (*)(void *, const char *);
    using CloseFn = void (*)(void *);
    using GetFn = const char *(*)(void *, int streamKind, std::size_t streamNumber,
                                  const char *parameter, int infoKind, int searchKind);
    using OptionFn = const char *(*)(void *, const char *option, const char *value);
    using InformFn = const char *(*)(void *, std::size_t reserved);

    orm::platform::Module m_module;
    std::optional<QString> m_error;
    NewFn m_new = nullptr;
    DeleteFn m_delete = nullptr;
    OpenFn m_open = nullptr;
    CloseFn m_close = nullptr;
    GetFn m_get = nullptr;
    OptionFn m_option = nullptr;
    InformFn m_inform = nullptr;
};

// Why the program's MediaInfo module cannot be used, for the start-up check.
std::optional<QString> loadError();

// One library handle with one file opened in it; closed and deleted together.
class MediaInfoFile {
public:
    // Throws orm::Error with the load error when the library is missing.
    explicit MediaInfoFile(const QString &path,
                           const MediaInfoLibrary &library = MediaInfoLibrary::shared());
    ~MediaInfoFile();
    MediaInfoFile(const MediaInfoFile &) = delete;
    MediaInfoFile &operator=(const MediaInfoFile &) = delete;

    // The library's answer to the open call (1 when the file was recognised).
    std::size_t openResult() const { return m_openResult; }

    // A field as text by name; empty when the stream or the field is absent.
    QString get(StreamKind kind, int streamNumber, const QString &field) const;
    // The whole text report, lines separated by "\n".
    QString inform() const;

private:
    const MediaInfoLibrary &m_library;
    void *m_handle = nullptr;
    std::size_t m_openResult = 0;
};

} // namespace orm
