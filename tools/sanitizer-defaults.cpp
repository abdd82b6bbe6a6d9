// dosprep: run-time defaults of the sanitizer build (-DDOSPREP_SANITIZE=ON),
// linked into the binary and the unit tests only. The variables
// ASAN_OPTIONS and UBSAN_OPTIONS still add to or override them.
//
// The sandbox preloads its geometry library, which places it before the
// dynamic ASan runtime: the link order check would refuse to start.
// LeakSanitizer stays on: it needs no ptrace, it works in the sandbox too.

extern "C" {

// The names are the runtimes' own.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
const char *__asan_default_options();
const char *__ubsan_default_options();

__attribute__((used, visibility("default"))) const char *__asan_default_options()
{
    return "verify_asan_link_order=0:detect_leaks=1:exitcode=86";
}

__attribute__((used, visibility("default"))) const char *__ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1:exitcode=86";
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

}
