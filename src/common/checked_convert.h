// Conversions of values computed from file fields into the record's 32-bit
// fields. A double outside the target range (or NaN) converted directly is
// undefined behaviour, and `long` is 32 bits in the DLL, so std::lround is no
// guard either: out-of-range values give 0, the record's "unknown".
#pragma once

#include <cmath>
#include <cstdint>

namespace tunelet {

// Whole part of a non-negative value; 0 when negative, NaN or >= 2^32.
inline uint32_t TruncatedU32(double v) { return v >= 0 && v < 4294967296.0 ? uint32_t(v) : 0; }

// Nearest integer, halves away from zero; 0 when the result would not fit.
inline uint32_t RoundedU32(double v) {
  return v >= 0 && v < 4294967295.5 ? uint32_t(std::llround(v)) : 0;
}

// A 64-bit count that must fit the record; 0 when it does not.
inline uint32_t FittingU32(uint64_t v) { return v <= 0xFFFFFFFFu ? uint32_t(v) : 0; }

}  // namespace tunelet
