// Test helper shared by the reader's and the conversion's tests.
#ifndef PLOMET_ESTIMATOR_UTF16_TESTING_H_
#define PLOMET_ESTIMATOR_UTF16_TESTING_H_

#include <string>

/// The bytes of a sequence of UTF-16 code units, in the given byte order.
inline std::string utf16Bytes(const std::u16string& units, bool bBigEndian) {
  std::string bytes;
  for (char16_t u : units) {
    char lo = static_cast<char>(u & 0xFF);
    char hi = static_cast<char>(u >> 8);
    bytes += bBigEndian ? hi : lo;
    bytes += bBigEndian ? lo : hi;
  }
  return bytes;
}

#endif  // PLOMET_ESTIMATOR_UTF16_TESTING_H_
