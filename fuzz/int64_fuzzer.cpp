// Fuzzes the 64-bit library against native 64- and 128-bit arithmetic: any
// difference aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "int64.h"

namespace {

int64 toInt64(std::uint64_t n) {
  int64 x;
  x.lo = static_cast<uint32>(n);
  x.hi = static_cast<uint32>(n >> 32);
  return x;
}

std::uint64_t toNative(int64 x) { return (static_cast<std::uint64_t>(x.hi) << 32) | x.lo; }

void check(bool bOk) {
  if (!bOk) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 17) return 0;
  std::uint64_t a;
  std::uint64_t b;
  std::memcpy(&a, data, 8);
  std::memcpy(&b, data + 8, 8);
  unsigned nShift = data[16];
  const int64 x = toInt64(a);
  const int64 y = toInt64(b);

  check(toNative(Add64(x, y)) == a + b);
  check(toNative(Sub64(x, y)) == a - b);
  check(toNative(Incr64(x, y.lo)) == a + y.lo);
  check(toNative(Decr64(x, y.lo)) == a - y.lo);

  int nOverflow;
  unsigned __int128 nWide = static_cast<unsigned __int128>(a) * b;
  check(toNative(Mul64(x, y, nOverflow)) == static_cast<std::uint64_t>(nWide));
  check(nOverflow == (nWide >> 64 != 0 ? 1 : 0));

  int64 remainder;
  std::uint64_t nQuotient = toNative(Div64(x, y, remainder));
  check(nQuotient == (b == 0 ? 0 : a / b));
  check(toNative(remainder) == (b == 0 ? a : a % b));

  int64 shifted = x;
  ShiftL64(shifted, nShift);
  check(toNative(shifted) == (nShift >= 64 ? 0 : a << nShift));
  shifted = x;
  ShiftR64(shifted, nShift);
  check(toNative(shifted) == (nShift >= 64 ? 0 : a >> nShift));

  unsigned char szDigits[21];
  check(I64toCh(x, szDigits, 10) == szDigits);
  check(std::strcmp(reinterpret_cast<char*>(szDigits), std::to_string(a).c_str()) == 0);
  check(toNative(ChtoI64(szDigits, 10)) == a);

  // Text after the operands: digits in any radix, wrapping modulo 2^64.
  std::string text(reinterpret_cast<const char*>(data) + 17, size - 17);
  text = text.substr(0, text.find('\0'));
  int nRadix = static_cast<int>(static_cast<std::int8_t>(data[16]));
  std::uint64_t nExpected = 0;
  std::uint64_t nPower = 1;
  bool bValid = true;
  for (std::size_t i = text.size(); i > 0 && bValid; i--) {
    int nDigit = static_cast<unsigned char>(text[i - 1]) - '0';
    bValid = nDigit >= 0 && nDigit < nRadix;
    nExpected += static_cast<std::uint64_t>(nDigit) * nPower;
    nPower *= static_cast<std::uint64_t>(static_cast<uint32>(nRadix));
  }
  check(toNative(ChtoI64(reinterpret_cast<const unsigned char*>(text.c_str()), nRadix)) ==
        (bValid ? nExpected : 0));
  return 0;
}
