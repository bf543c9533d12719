// A tiny shared object with a home-platform style file name ("PLATFORMTEST.DLL"),
// loaded by name in the library loader tests.
extern "C" {

__attribute__((visibility("default"))) int PlatformTestAnswer() { return 42; }

__attribute__((visibility("default"))) int PlatformTestAdd(int a, int b) { return a + b; }
}
