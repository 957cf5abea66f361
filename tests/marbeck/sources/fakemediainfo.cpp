// A stand-in for the MediaInfo module with the same C entry points, which
// counts what the binding does with its handles.
#include <cstddef>
#include <cstring>
#include <string>

namespace {
struct Counts {
    int created = 0, opened = 0, closed = 0, deleted = 0, closedBeforeDelete = 0;
};
Counts counts;
struct Handle {
    bool closed = false;
    std::string path;
};
std::string lastOption;
} // namespace

extern "C" {

const Counts *FakeCounts()
{
    return &counts;
}
const char *FakeLastOption()
{
    return lastOption.c_str();
}

void *MediaInfoA_New()
{
    ++counts.created;
    return new Handle;
}

size_t MediaInfoA_Open(void *handle, const char *path)
{
    ++counts.opened;
    static_cast<Handle *>(handle)->path = path;
    return 1;
}

const char *MediaInfoA_Get(void *handle, int kind, size_t, const char *field, int, int)
{
    // A general stream that names the file and nothing else.
    if (kind == 0 && std::strcmp(field, "CompleteName") == 0)
        return static_cast<Handle *>(handle)->path.c_str();
    return "";
}

const char *MediaInfoA_Option(void *, const char *name, const char *value)
{
    lastOption = std::string(name) + "=" + value;
    return "";
}

const char *MediaInfoA_Inform(void *, size_t)
{
    return "General\r\nFormat : fake\r\n";
}

void MediaInfoA_Close(void *handle)
{
    ++counts.closed;
    static_cast<Handle *>(handle)->closed = true;
}

#ifndef FAKE_WITHOUT_DELETE
void MediaInfoA_Delete(void *handle)
{
    ++counts.deleted;
    if (static_cast<Handle *>(handle)->closed)
        ++counts.closedBeforeDelete;
    delete static_cast<Handle *>(handle);
}
#endif
}
