#pragma once
// Whether this process runs under libumockdev-preload, which routes /sys,
// /dev and the usbfs ioctls into a testbed, and how to make it do so. The
// preload is read by the dynamic loader at start, so a program that lacks it
// has to start again with it.
#include <string>

namespace usbemu {

inline constexpr char kPreloadLibrary[] = "libumockdev-preload.so.0";

struct PreloadStatus {
    bool active = false;
    std::string reason;  // why not, when not
};

PreloadStatus CheckPreload();

// Executes this program again with the preload library in LD_PRELOAD (behind
// the sanitizer runtime when there is one, which must come first) unless it
// is loaded already or a first attempt has been made. Returns only when it
// does not start again; CheckPreload then says why.
void ReexecUnderPreload(char** argv);

// LD_PRELOAD for a child process that is to see the same testbed: this
// process's own when it runs under the preload.
std::string ChildPreload();

}  // namespace usbemu
