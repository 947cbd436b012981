// Built into every program of a sanitizer or fuzz build. The options live in
// the programs rather than in the environment so that a test, the programs a
// test starts (varnholt-control, varnholt-scan) and a test run by hand all
// behave alike; ASAN_OPTIONS and the like still override them.

extern "C" {

__attribute__((used, visibility("default"))) const char* __asan_default_options() {
    return "detect_stack_use_after_return=1:strict_string_checks=1:"
           "check_initialization_order=1:detect_leaks=1";
}

// The build already stops at the first report; the stack says where.
__attribute__((used, visibility("default"))) const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

// The X keyboard library copies a name out of a server reply with a bounded
// strndup over bytes that carry no terminator; strict string checks read that
// as an overflow. Only that library's calls are excused, so the panel can run
// on a real X server under the sanitizers.
__attribute__((used, visibility("default"))) const char* __asan_default_suppressions() {
    return "interceptor_via_lib:libxkbcommon-x11.so\n";
}

// Where memory that a library outside this project keeps until exit would be
// listed. The suite runs clean without any (Qt on the offscreen platform frees
// or still reaches what it holds); our own code never belongs here: a leak of
// ours must fail the run.
__attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
    return "";
}

}  // extern "C"
