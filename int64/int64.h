// 64-bit unsigned integers held as two 32-bit words.
//
// Byte totals outgrow 32 bits, so they are kept in an int64 record and every
// operation on them goes through this module. The module has no state and
// allocates nothing; all word arithmetic is unsigned and wraps modulo 2^32, so
// every result is the exact value modulo 2^64.
#ifndef PLOMET_INT64_INT64_H_
#define PLOMET_INT64_INT64_H_

#include <cstdint>

typedef std::uint32_t uint32;

/// A value from 0 to 2^64 - 1: hi * 2^32 + lo. Passed and returned by value.
struct int64 {
  uint32 lo;
  uint32 hi;
};

/// Returns n as an int64 (hi = 0).
int64 Make64(uint32 n);

/// Returns x + n, modulo 2^64.
int64 Incr64(int64 x, uint32 n);

/// Returns x - n, modulo 2^64.
int64 Decr64(int64 x, uint32 n);

/// Returns x + y, modulo 2^64. Overflow is not reported.
int64 Add64(int64 x, int64 y);

/// Returns x - y, modulo 2^64. Underflow is not reported.
int64 Sub64(int64 x, int64 y);

/// Shifts x right by b bits in place, zeros entering at the top.
/// A count of 64 or more leaves 0.
void ShiftR64(int64& x, unsigned b);

/// Shifts x left by b bits in place, zeros entering at the bottom.
/// A count of 64 or more leaves 0.
void ShiftL64(int64& x, unsigned b);

/// Returns x * y modulo 2^64. Sets overflow to 1 exactly when the true
/// product exceeds 2^64 - 1, else to 0.
int64 Mul64(int64 x, int64 y, int& overflow);

/// Returns x / y rounded down and stores x mod y in rmdrP.
/// A zero divisor returns 0 at once and stores x in rmdrP.
int64 Div64(int64 x, int64 y, int64& rmdrP);

/// Writes the decimal digits of value (no sign, no leading zero, at most 20
/// digits and a terminating NUL: 21 bytes) into string and returns string.
/// Returns null, leaving string untouched, for any radix other than 10.
unsigned char* I64toCh(int64 value, unsigned char* string, int radix);

/// Returns the value of the digits in str, read in the given radix, modulo
/// 2^64. A character's digit value is its code less that of '0' (so ':' is
/// 10 and 'A' is 17); the first character whose value is below 0 or not below
/// radix makes the result 0. Empty text, and any text for a radix of 0 or
/// less, give 0.
int64 ChtoI64(const unsigned char* str, int radix);

#endif  // PLOMET_INT64_INT64_H_
