// Streaming conversion of UTF-16 text to UTF-8.
//
// Listings saved by the shell's Unicode output option are UTF-16; they are
// turned into UTF-8 block by block and then read like any other listing.
#ifndef PLOMET_ESTIMATOR_UTF16_H_
#define PLOMET_ESTIMATOR_UTF16_H_

#include <cstddef>

/// What a conversion carries from one block to the next.
struct Utf16State {
  bool bBigEndian = false;
  bool bHasOddByte = false;  // a block ended in the middle of a code unit
  unsigned char nOddByte = 0;
  unsigned nHighSurrogate = 0;  // 0, or a high surrogate waiting for its pair
};

/// The most UTF-8 bytes that decodeUtf16 writes for n input bytes.
inline std::size_t utf16OutputLimit(std::size_t n) { return (n / 2 + 4) * 3; }

/// Converts n bytes of UTF-16 to UTF-8 in out, which has room for
/// utf16OutputLimit(n) bytes, and returns the number of bytes written. An
/// unpaired surrogate becomes U+FFFD. With bAtEnd, nothing is held back: a
/// lone final byte or a waiting high surrogate also becomes U+FFFD.
std::size_t decodeUtf16(const unsigned char* in, std::size_t n, bool bAtEnd, Utf16State& state,
                        unsigned char* out);

#endif  // PLOMET_ESTIMATOR_UTF16_H_
