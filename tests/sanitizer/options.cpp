// Built into every executable of a sanitizer build (TRAWL_SANITIZE=ON): the
// trawl binary, the tools and the tests alike, so that ctest, the end-to-end
// scripts and a run by hand all check under the same rules, whatever
// environment a script hands on. ASAN_OPTIONS, LSAN_OPTIONS and UBSAN_OPTIONS
// set by the caller still win over these defaults.
//
// Every report ends the process with status 86, which no test expects: the
// trawl binary's own statuses are 0 to 3, so a report in an unattended run
// can never pass for "the scan added error rows" (status 1).

// The runtime asks for these before it is fully set up: they must not be
// instrumented themselves.
#define TRAWL_SANITIZER_HOOK                                                                                         \
    extern "C" __attribute__((visibility("default"), used, no_sanitize("address", "undefined")))

// Besides the defaults: a pointer into a stack frame that has returned (a
// lambda or a slot holding a reference to a local) and a global read by
// another file's initialiser before it was itself initialised.
TRAWL_SANITIZER_HOOK const char* __asan_default_options()
{
    return "exitcode=86:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1";
}

// The leak check runs at exit; the suppressions cover only what Qt and the
// system's libraries keep for the life of the process. Which suppressions
// matched is not printed: the end-to-end tests check that a clean run writes
// nothing to standard error.
TRAWL_SANITIZER_HOOK const char* __lsan_default_options()
{
    return "suppressions=\"" TRAWL_LSAN_SUPPRESSIONS "\":print_suppressions=0";
}

// Built with -fno-sanitize-recover=undefined every check already stops the
// program; halt_on_error keeps it so for any check built recoverable.
TRAWL_SANITIZER_HOOK const char* __ubsan_default_options()
{
    return "exitcode=86:halt_on_error=1:print_stacktrace=1";
}
