#include "host/ModuleLibrary.h"

#include <windows.h>

#include <string>

namespace
{
// Paths arrive as UTF-8, Windows takes UTF-16.
std::wstring widened(const std::string& text)
{
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string messageOf(DWORD code)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}
} // namespace

std::unique_ptr<ModuleLibrary> ModuleLibrary::load(const std::string& path, std::string& error)
{
    const std::wstring wide = widened(path);
    const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        error = path + ": " + messageOf(GetLastError());
        return nullptr;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    {
        error = path + ": not a plug-in module file";
        return nullptr;
    }
    // No "cannot find a DLL" dialog box for a broken module: the error comes back here.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = GetLastError();
    SetErrorMode(previousMode);
    if (!module)
    {
        error = "cannot load " + path + ": " + messageOf(code);
        return nullptr;
    }
    return std::unique_ptr<ModuleLibrary>(new ModuleLibrary(module));
}

ModuleLibrary::~ModuleLibrary()
{
    FreeLibrary(static_cast<HMODULE>(handle));
}

void* ModuleLibrary::symbol(const char* name) const
{
    // GetProcAddress looks in this module's export table only.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
