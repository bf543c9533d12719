#pragma once
// Loading a shared library by name and resolving its entry points, the way the
// home platform loads a driver DLL: the program folder is searched first, then
// the system's own search path.
#include <string>

namespace platform {

using LibraryHandle = void*;

// Loads `name` from the program folder, else through the system search path.
// Returns null when neither finds it. A loaded library is never unloaded.
LibraryHandle LoadLibraryByName(const std::string& name);

// Looks up an exported symbol; a name that is not exported gives null.
void* FindEntryPoint(LibraryHandle library, const char* name);

}  // namespace platform
