// These tests check our threads, not drawing. On Qt's offscreen platform no
// display connection brings threads of its own, whose synchronisation inside
// the uninstrumented Qt libraries ThreadSanitizer cannot see.
#include <cstdlib>

namespace {

const bool kOffscreen = setenv("QT_QPA_PLATFORM", "offscreen", 1) == 0;

}  // namespace
