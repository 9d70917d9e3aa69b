#pragma once

#include <memory>
#include <string>

// A plug-in module file loaded into this process, found by path, asked for
// its own exported symbols and unloaded on destruction. One backend per
// platform: ModuleLibraryPosix.cpp (dlopen), ModuleLibraryWin32.cpp
// (LoadLibrary).
class ModuleLibrary
{
  public:
    // nullptr and a readable error when the file is missing, is not a regular
    // file or cannot be loaded as a module.
    static std::unique_ptr<ModuleLibrary> load(const std::string& path, std::string& error);

    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;
    ~ModuleLibrary();

    // The module's own export of that name, never one of the program or of
    // another module; null when it has none.
    void* symbol(const char* name) const;

  private:
    explicit ModuleLibrary(void* handle) : handle(handle) {}

    void* handle;
};
