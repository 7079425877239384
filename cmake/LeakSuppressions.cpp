// Linked into the test programs of a sanitizer build: leaks of the system's libraries that the
// windows' tests meet and that are not the project's. fontconfig keeps its configuration for
// the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
