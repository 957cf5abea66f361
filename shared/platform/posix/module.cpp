#include "../module.h"

#include <dlfcn.h>

namespace orm::platform {

Module Module::load(const std::string &name, std::string &error)
{
    Module module;
    module.m_handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module.m_handle) {
        const char *text = ::dlerror();
        error = text ? text : "cannot be loaded";
    }
    return module;
}

Module &Module::operator=(Module &&other) noexcept
{
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

void *Module::symbol(const char *name) const
{
    return m_handle ? ::dlsym(m_handle, name) : nullptr;
}

void Module::close()
{
    if (m_handle)
        ::dlclose(m_handle);
    m_handle = nullptr;
}

} // namespace orm::platform
