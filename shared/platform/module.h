#pragma once
// A dynamic library loaded at run time, owned by one object: closed when the
// owner goes.
#include <string>
#include <utility>

namespace orm::platform {

class Module {
public:
    Module() = default;
    // Loads the named library (resolving every symbol now, keeping them to
    // itself). On failure the result is not loaded and `error` says why.
    static Module load(const std::string &name, std::string &error);
    Module(Module &&other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    Module &operator=(Module &&other) noexcept;
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;
    ~Module() { close(); }

    bool loaded() const { return m_handle != nullptr; }
    // The address of an entry point; null when the library has none of that name.
    void *symbol(const char *name) const;
    void close();

private:
    void *m_handle = nullptr;
};

} // namespace orm::platform
