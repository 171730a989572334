#include "sources/utf16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sources/utf16_testing.h"

namespace {

using Units = std::vector<unsigned>;

const std::string kFffd = "\xEF\xBF\xBD";

std::string bytesOf(const Units& units, bool bBigEndian) {
  return utf16Bytes(std::u16string(units.begin(), units.end()), bBigEndian);
}

// Decodes one block into a buffer with a guard zone after the promised
// limit, and checks that neither the count nor the writes go past it.
std::string decode(const std::string& bytes, bool bAtEnd, Utf16State& state) {
  const std::size_t nLimit = utf16OutputLimit(bytes.size());
  const unsigned char kGuard = 0xA5;
  std::vector<unsigned char> out(nLimit + 16, kGuard);
  std::size_t nOut = decodeUtf16(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                 bAtEnd, state, out.data());
  EXPECT_LE(nOut, nLimit) << "input of " << bytes.size() << " bytes";
  for (std::size_t i = nLimit; i < out.size(); ++i) EXPECT_EQ(out[i], kGuard) << "byte " << i;
  return std::string(out.begin(), out.begin() + std::min(nOut, nLimit));
}

std::string decodeAll(const std::string& bytes, bool bBigEndian = false) {
  Utf16State state;
  state.bBigEndian = bBigEndian;
  return decode(bytes, true, state);
}

TEST(DecodeUtf16Test, EncodesEveryUtf8LengthInBothByteOrders) {
  struct Case {
    Units units;
    std::string utf8;
  };
  const Case kCases[] = {
      {{'A', 0x7F}, "A\x7F"},
      {{0x80, 0xE9, 0x7FF}, "\xC2\x80\xC3\xA9\xDF\xBF"},
      {{0x800, 0x20AC, 0xFFFF}, "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"},
      {{0xD800, 0xDC00, 0xD834, 0xDD1E, 0xDBFF, 0xDFFF},
       "\xF0\x90\x80\x80\xF0\x9D\x84\x9E\xF4\x8F\xBF\xBF"},
      {{'a', 0x0100, 0x1A, 0x0D0A}, "a\xC4\x80\x1A\xE0\xB4\x8A"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(decodeAll(bytesOf(c.units, false)), c.utf8);
    EXPECT_EQ(decodeAll(bytesOf(c.units, true), true), c.utf8);
  }
}

TEST(DecodeUtf16Test, ReplacesUnpairedSurrogates) {
  EXPECT_EQ(decodeAll(bytesOf({0xD800, 'a'}, false)), kFffd + "a");
  EXPECT_EQ(decodeAll(bytesOf({0xD800, 0xE9}, false)), kFffd + "\xC3\xA9");
  EXPECT_EQ(decodeAll(bytesOf({'a', 0xDC00, 'b'}, false)), "a" + kFffd + "b");
  EXPECT_EQ(decodeAll(bytesOf({0xDBFF, 0xD834, 0xDD1E}, false)), kFffd + "\xF0\x9D\x84\x9E");
  EXPECT_EQ(decodeAll(bytesOf({0xDC00, 0xD800}, false)), kFffd + kFffd);
  EXPECT_EQ(decodeAll(bytesOf({'a', 0xD800}, false)), "a" + kFffd);
}

TEST(DecodeUtf16Test, HoldsBackOnlyWhatTheNextBlockMayComplete) {
  Utf16State state;
  EXPECT_EQ(decode(bytesOf({'a', 0xD834}, false), false, state), "a");
  EXPECT_EQ(state.nHighSurrogate, 0xD834u);
  EXPECT_EQ(decode(std::string("\x1E", 1), false, state), "");
  EXPECT_TRUE(state.bHasOddByte);
  EXPECT_EQ(decode(std::string("\xDD", 1), false, state), "\xF0\x9D\x84\x9E");
  EXPECT_EQ(decode(std::string("b", 1), false, state), "");
  EXPECT_EQ(decode("", false, state), "");
  EXPECT_EQ(decode(std::string("\0c", 2), false, state), "b");
  EXPECT_TRUE(state.bHasOddByte);
  EXPECT_EQ(decode("", true, state), kFffd);
  EXPECT_FALSE(state.bHasOddByte);

  // At the end, a waiting high surrogate and a lone last byte each count.
  Utf16State ending;
  EXPECT_EQ(decode(bytesOf({0xD800}, false) + "x", false, ending), "");
  EXPECT_EQ(decode("", true, ending), kFffd + kFffd);
  EXPECT_EQ(ending.nHighSurrogate, 0u);
  EXPECT_EQ(decode(bytesOf({'z'}, false), true, ending), "z");
}

// Any cut of the input into three blocks gives the same text as one block:
// cuts fall inside code units, between the halves of a pair, and around
// unpaired surrogates.
TEST(DecodeUtf16Test, BlockCutsDoNotChangeTheText) {
  const Units kUnits = {'a',    0xE9,   0xD834, 0xDD1E, 0xD800, '\n',
                        0xDC00, 0x20AC, 0xDBFF, 0xDFFF, 'z'};
  for (bool bBigEndian : {false, true}) {
    const std::string bytes = bytesOf(kUnits, bBigEndian) + "!";
    const std::string whole = decodeAll(bytes, bBigEndian);
    ASSERT_EQ(whole, "a\xC3\xA9\xF0\x9D\x84\x9E" + kFffd + "\n" + kFffd +
                         "\xE2\x82\xAC\xF4\x8F\xBF\xBFz" + kFffd);
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
      for (std::size_t j = i; j <= bytes.size(); ++j) {
        Utf16State state;
        state.bBigEndian = bBigEndian;
        std::string text = decode(bytes.substr(0, i), false, state);
        text += decode(bytes.substr(i, j - i), false, state);
        text += decode(bytes.substr(j), true, state);
        EXPECT_EQ(text, whole) << "cuts at " << i << " and " << j;
      }
    }
  }
}

// Every starting state meets input made to produce the most output, such as
// high surrogates that each push out a replacement for the one before.
TEST(DecodeUtf16Test, OutputStaysWithinTheLimit) {
  const Units kPatterns[] = {{0xD800}, {0xDBFF}, {0xDC00}, {0x20AC}, {0xD800, 0xDC00}};
  for (const Units& pattern : kPatterns) {
    for (std::size_t n = 0; n <= 24; ++n) {
      for (int carried = 0; carried < 4; ++carried) {
        const bool bOddByte = (carried & 2) != 0;
        // A carried 0x00 and a first byte 0xD8 make one more high surrogate.
        std::string bytes = bOddByte ? "\xD8" : "";
        while (bytes.size() < n) bytes += bytesOf(pattern, false);
        bytes.resize(n);
        for (bool bAtEnd : {false, true}) {
          Utf16State state;
          state.nHighSurrogate = (carried & 1) != 0 ? 0xDBFF : 0;
          state.bHasOddByte = bOddByte;
          decode(bytes, bAtEnd, state);
        }
      }
    }
  }
}

}  // namespace
