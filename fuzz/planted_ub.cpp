// Undefined behaviour on purpose, for the test that a fuzz run fails when a
// sanitizer reports: a value far too large for the integer it is cast to,
// the kind of fault a reader makes with a file's duration or rate.
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  volatile double seconds = 1e30 + 1e30 * data[0];
  volatile uint32_t whole = uint32_t(seconds);
  (void)whole;
  return 0;
}
