// The module's compiled-in resources, found by number: the stand-in for the
// resource section of a Windows module. The module links one definition of
// findModuleResource (the generated table under resources/).
#pragma once

#include <cstddef>

struct ModuleResource
{
    const unsigned char* data = nullptr;
    size_t size = 0;
};

// The bytes of resource id, or an empty record when the module has none.
ModuleResource findModuleResource(long id);
