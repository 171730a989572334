#include "sources/utf16.h"

namespace {

const unsigned kReplacement = 0xFFFD;

bool isHighSurrogate(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }

unsigned char* putUtf8(unsigned cp, unsigned char* out) {
  if (cp < 0x80) {
    *out++ = static_cast<unsigned char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<unsigned char>(0xC0 | (cp >> 6));
    *out++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = static_cast<unsigned char>(0xE0 | (cp >> 12));
    *out++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
    *out++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// Takes one code unit; a high surrogate waits for the next one.
unsigned char* putUnit(unsigned u, Utf16State& state, unsigned char* out) {
  if (state.nHighSurrogate != 0) {
    unsigned high = state.nHighSurrogate;
    state.nHighSurrogate = 0;
    if (isLowSurrogate(u)) return putUtf8(0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00), out);
    out = putUtf8(kReplacement, out);
  }
  if (isHighSurrogate(u)) {
    state.nHighSurrogate = u;
    return out;
  }
  return putUtf8(isLowSurrogate(u) ? kReplacement : u, out);
}

unsigned unitOf(unsigned char first, unsigned char second, bool bBigEndian) {
  return bBigEndian ? (first << 8u) | second : (second << 8u) | first;
}

}  // namespace

std::size_t decodeUtf16(const unsigned char* in, std::size_t n, bool bAtEnd, Utf16State& state,
                        unsigned char* out) {
  unsigned char* pOut = out;
  const unsigned char* pEnd = in + n;
  if (state.bHasOddByte && in < pEnd) {
    pOut = putUnit(unitOf(state.nOddByte, *in++, state.bBigEndian), state, pOut);
    state.bHasOddByte = false;
  }
  for (; pEnd - in >= 2; in += 2) {
    unsigned u = unitOf(in[0], in[1], state.bBigEndian);
    if (u < 0x80 && state.nHighSurrogate == 0) {
      *pOut++ = static_cast<unsigned char>(u);  // the common case: plain ASCII
    } else {
      pOut = putUnit(u, state, pOut);
    }
  }
  if (in < pEnd) {
    state.bHasOddByte = true;
    state.nOddByte = *in;
  }
  if (bAtEnd) {
    if (state.nHighSurrogate != 0) {
      state.nHighSurrogate = 0;
      pOut = putUtf8(kReplacement, pOut);
    }
    if (state.bHasOddByte) {
      state.bHasOddByte = false;
      pOut = putUtf8(kReplacement, pOut);
    }
  }
  return static_cast<std::size_t>(pOut - out);
}
