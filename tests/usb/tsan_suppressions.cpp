// Linked into every program that runs on a testbed (the test programs with
// tarnwick_add_test's UMOCKDEV option, and their child processes).
#if defined(__SANITIZE_THREAD__)
// umockdev's worker thread and GLib synchronise through futexes that
// ThreadSanitizer does not see, and libudev (behind umockdev's uevents and
// libusb's hot-plug thread) seeds its hash tables from two threads at once;
// what those libraries do among themselves is not checked here. The mills'
// own state is: it lies behind std::mutex.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libudev.so.1\n"
           "called_from_lib:libumockdev.so.0\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libgobject-2.0.so.0\n"
           "called_from_lib:libgio-2.0.so.0\n";
}
#endif
