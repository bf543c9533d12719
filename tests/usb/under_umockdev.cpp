// Linked into every test program that talks to emulated mills (the UMOCKDEV
// option of tarnwick_add_test): before main, the program starts itself again
// under libumockdev-preload when that is not loaded yet, so that ctest, test
// discovery and a developer running it by hand all get the emulation.
#include "preload.h"

namespace {

__attribute__((constructor(101))) void RunUnderPreload(int, char** argv, char**) {
    usbemu::ReexecUnderPreload(argv);
}

}  // namespace
