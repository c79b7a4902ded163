// Leaks the leak checker is not to report in the test programs: allocations that
// system libraries keep for the life of the process and never free (fontconfig's
// configuration and caches, set up when the report engine first measures text).
// Linked into every test program of a sanitizer build; the checker asks for this
// function by name.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
