// Fontconfig, which Qt loads for the window's font, keeps a few allocations
// until the process ends on purpose; the leak checker of sanitizer builds is
// told to ignore them (and only them).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
