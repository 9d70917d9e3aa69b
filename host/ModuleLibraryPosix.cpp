#include "host/ModuleLibrary.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace
{
// Base address of a loaded module, to tell whether a symbol is its own.
const void* moduleBase(void* handle)
{
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return nullptr;
    return reinterpret_cast<const void*>(map->l_addr);
}

std::string lastDlError()
{
    const char* e = dlerror();
    return e ? e : "unknown error";
}
} // namespace

std::unique_ptr<ModuleLibrary> ModuleLibrary::load(const std::string& path, std::string& error)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
    {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode))
    {
        error = path + ": not a plug-in module file";
        return nullptr;
    }
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
    {
        error = "cannot load " + path + ": " + lastDlError();
        return nullptr;
    }
    return std::unique_ptr<ModuleLibrary>(new ModuleLibrary(handle));
}

ModuleLibrary::~ModuleLibrary()
{
    dlclose(handle);
}

void* ModuleLibrary::symbol(const char* name) const
{
    // dlsym also finds what the module's dependencies and the program export
    // (a program's own "main", for one).
    void* found = dlsym(handle, name);
    Dl_info info;
    if (!found || !dladdr(found, &info) || info.dli_fbase != moduleBase(handle))
        return nullptr;
    return found;
}
