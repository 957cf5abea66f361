#pragma once
// What the operating system gives the programs: paths, folders and text decoding.
// Only the C++ standard library and the OS are used here, so that a Win32
// implementation of the same interface can be built without the toolkit.
#include <string>
#include <string_view>

namespace orm::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

bool isPathSeparator(char c);

// Full path of the running program file, and its folder without a trailing separator.
std::string programPath();
std::string programFolder();

// The user's documents folder, or an empty string when there is none.
std::string documentsFolder();

bool fileExists(const std::string &path); // a regular file (or a link to one)
bool directoryExists(const std::string &path);
bool pathExists(const std::string &path);

// Data files name relative paths with backslashes ("default_setting\x.ini"):
// here every backslash becomes the platform separator.
std::string toPlatformSeparators(std::string_view path);

// The path itself when it exists; otherwise the first existing path whose
// components match it without regard to letter case, each looked up in its
// folder; otherwise the path unchanged.
std::string resolveCaseInsensitive(const std::string &path);

// Text of files: valid UTF-8 is taken as it is; anything else is read as
// Windows-1252 (files copied from a Windows installation) and returned as UTF-8.
bool isValidUtf8(std::string_view bytes);
std::string decodeText(std::string_view bytes);

} // namespace orm::platform
