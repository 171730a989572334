#include "int64.h"

#include <cstring>

namespace {

const uint32 kTopBit = 0x80000000u;

bool IsZero(int64 x) { return x.lo == 0 && x.hi == 0; }

// x < y, comparing the high words first.
bool Less64(int64 x, int64 y) { return x.hi < y.hi || (x.hi == y.hi && x.lo < y.lo); }

}  // namespace

int64 Make64(uint32 n) {
  int64 x;
  x.lo = n;
  x.hi = 0;
  return x;
}

int64 Incr64(int64 x, uint32 n) {
  x.lo += n;
  if (x.lo < n) x.hi++;  // carry
  return x;
}

int64 Decr64(int64 x, uint32 n) {
  if (x.lo < n) x.hi--;  // borrow
  x.lo -= n;
  return x;
}

int64 Add64(int64 x, int64 y) {
  int64 sum = Incr64(x, y.lo);
  sum.hi += y.hi;
  return sum;
}

int64 Sub64(int64 x, int64 y) {
  int64 diff = Decr64(x, y.lo);
  diff.hi -= y.hi;
  return diff;
}

void ShiftR64(int64& x, unsigned b) {
  if (b >= 64) {
    x = Make64(0);
    return;
  }
  if (b >= 32) {
    x.lo = x.hi;
    x.hi = 0;
    b -= 32;
  }
  if (b == 0) return;  // a shift by 32 - 0 bits would be undefined
  x.lo = (x.lo >> b) | (x.hi << (32 - b));
  x.hi >>= b;
}

void ShiftL64(int64& x, unsigned b) {
  if (b >= 64) {
    x = Make64(0);
    return;
  }
  if (b >= 32) {
    x.hi = x.lo;
    x.lo = 0;
    b -= 32;
  }
  if (b == 0) return;
  x.hi = (x.hi << b) | (x.lo >> (32 - b));
  x.lo <<= b;
}

int64 Mul64(int64 x, int64 y, int& overflow) {
  overflow = 0;
  int64 product = Make64(0);
  bool bits_lost = false;  // x has lost a set bit off its top
  do {
    if (y.lo & 1) {
      if (bits_lost) overflow = 1;
      int64 sum = Add64(product, x);
      if (Less64(sum, product)) overflow = 1;  // the partial sum carried out
      product = sum;
    }
    if (x.hi & kTopBit) bits_lost = true;
    ShiftL64(x, 1);
    ShiftR64(y, 1);
  } while (!IsZero(y));
  return product;
}

int64 Div64(int64 x, int64 y, int64& rmdrP) {
  int64 quotient = Make64(0);
  if (IsZero(y)) {
    rmdrP = x;
    return quotient;
  }
  while (!Less64(x, y)) {
    int64 trial = y;
    int64 trialQuotient = Make64(1);
    while (!Less64(x, trial) && !(trial.hi & kTopBit)) {
      ShiftL64(trial, 1);
      ShiftL64(trialQuotient, 1);
    }
    if (Less64(x, trial)) {
      ShiftR64(trial, 1);
      ShiftR64(trialQuotient, 1);
    }
    x = Sub64(x, trial);
    quotient = Add64(quotient, trialQuotient);
  }
  rmdrP = x;
  return quotient;
}

unsigned char* I64toCh(int64 value, unsigned char* string, int radix) {
  if (radix != 10) return nullptr;
  const int64 base = Make64(10);
  unsigned char tempstr[24];
  unsigned char* pDigit = tempstr + sizeof tempstr - 1;
  *pDigit = '\0';
  do {
    int64 remainder;
    value = Div64(value, base, remainder);
    *--pDigit = static_cast<unsigned char>('0' + remainder.lo);
  } while (!IsZero(value));
  std::memcpy(string, pDigit, static_cast<size_t>(tempstr + sizeof tempstr - pDigit));
  return string;
}

int64 ChtoI64(const unsigned char* str, int radix) {
  int64 result = Make64(0);
  int64 power = Make64(1);
  const int64 radix64 = Make64(static_cast<uint32>(radix));
  int overflow;  // wrapping is the contract: the flags are not looked at
  for (size_t i = std::strlen(reinterpret_cast<const char*>(str)); i > 0; i--) {
    int digit = static_cast<int>(str[i - 1]) - '0';
    if (digit < 0 || digit >= radix) return Make64(0);
    result = Add64(result, Mul64(Make64(static_cast<uint32>(digit)), power, overflow));
    power = Mul64(power, radix64, overflow);
  }
  return result;
}
