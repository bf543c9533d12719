// Under an X server Qt brings up D-Bus, whose library keeps one buffer until
// the process ends; LeakSanitizer would report it in every window test.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
