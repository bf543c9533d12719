#include "platform/library_loader.h"

#include <dlfcn.h>

#include "platform/program_folder.h"

namespace platform {

LibraryHandle LoadLibraryByName(const std::string& name) {
    if (name.empty()) return nullptr;
    // The program folder first, as the home platform searches the folder of the
    // executable before anything else; RTLD_NOW so that a library with missing
    // symbols fails here rather than at the first call into it.
    if (void* handle = ::dlopen((ProgramFolder() + name).c_str(), RTLD_NOW)) return handle;
    // Then the system's own search (LD_LIBRARY_PATH, the cache, /lib, /usr/lib).
    return ::dlopen(name.c_str(), RTLD_NOW);
}

void* FindEntryPoint(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return ::dlsym(library, name);
}

// There is no unload: a library stays loaded until the process ends, so an entry
// point once found never dangles.

}  // namespace platform
