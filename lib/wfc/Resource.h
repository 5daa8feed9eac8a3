// Raw resources of a module. Any thread.
#pragma once

#include <cstddef>

#include "OvWindows.h"

namespace lib::wfc {

// The locked data of a resource, valid while the module is loaded; null
// (size 0) when the resource is missing or empty. A null instance is the
// program's own module.
const void* LoadRawResource(const char* name, const char* type, size_t* size,
                            HINSTANCE instance = nullptr);

}  // namespace lib::wfc
