// The sanitizers' run-time options of the test program, built in so that a
// direct run behaves as a ctest run: the first report ends the program with a
// failure and says where it came from. Environment variables still override.
extern "C" const char* __asan_default_options() { return "halt_on_error=1"; }
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
