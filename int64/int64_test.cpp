#include "int64.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

__extension__ typedef unsigned __int128 uint128;

int64 To64(uint64_t v) { return int64{static_cast<uint32>(v), static_cast<uint32>(v >> 32)}; }
uint64_t From64(int64 x) { return (static_cast<uint64_t>(x.hi) << 32) | x.lo; }

const uint64_t kMax = ~uint64_t{0};

// Values where a carry or borrow crosses the word boundary or leaves the top.
const uint64_t kBoundary[] = {0,
                              1,
                              2,
                              10,
                              459776,
                              0xFFFFFFFFu,
                              0x100000000u,
                              0x100000001u,
                              5000000000u,
                              0x123456789ABCDEFu,
                              6917529027641081856u,
                              0x7FFFFFFFFFFFFFFFu,
                              0x8000000000000000u,
                              0x8000000000000001u,
                              kMax - 1,
                              kMax};

// Every boundary pair, then pseudo-random pairs. Operands of random bit length
// give small divisors and short products; near-equal operands drive the
// division through its shift-back path.
std::vector<std::pair<uint64_t, uint64_t>> Pairs() {
  std::vector<std::pair<uint64_t, uint64_t>> pairs;
  for (uint64_t x : kBoundary)
    for (uint64_t y : kBoundary) pairs.emplace_back(x, y);
  std::mt19937_64 rng(20240607);
  auto draw = [&rng]() {
    uint64_t v = rng();
    return rng() % 2 ? v : v >> (rng() % 64);
  };
  for (int i = 0; i < 4000; i++) {
    uint64_t x = draw();
    uint64_t y = i % 5 == 0 ? x - rng() % 3 + rng() % 3 : draw();
    pairs.emplace_back(x, y);
  }
  return pairs;
}

std::string Text(int64 v) {
  unsigned char buf[21];
  EXPECT_EQ(I64toCh(v, buf, 10), buf);
  return reinterpret_cast<const char*>(buf);
}

uint64_t Parse(const char* s, int radix) {
  return From64(ChtoI64(reinterpret_cast<const unsigned char*>(s), radix));
}

TEST(Int64Arithmetic, AddSubtractMatchNative) {
  for (auto [x, y] : Pairs()) {
    SCOPED_TRACE(testing::Message() << x << ", " << y);
    uint32 n = static_cast<uint32>(y);
    EXPECT_EQ(From64(Incr64(To64(x), n)), x + n);
    EXPECT_EQ(From64(Decr64(To64(x), n)), x - n);
    EXPECT_EQ(From64(Add64(To64(x), To64(y))), x + y);
    EXPECT_EQ(From64(Sub64(To64(x), To64(y))), x - y);
  }
  EXPECT_EQ(From64(Make64(0xFFFFFFFFu)), 0xFFFFFFFFu);
  int64 sum = Add64(To64(0xFFFFFFFFu), To64(1));
  EXPECT_EQ(sum.hi, 1u);
  EXPECT_EQ(sum.lo, 0u);
  EXPECT_EQ(From64(Sub64(To64(0), To64(1))), kMax);
}

TEST(Int64Arithmetic, MultiplyMatchesWideProduct) {
  for (auto [x, y] : Pairs()) {
    SCOPED_TRACE(testing::Message() << x << " * " << y);
    uint128 wide = static_cast<uint128>(x) * y;
    int overflow = -1;
    EXPECT_EQ(From64(Mul64(To64(x), To64(y), overflow)), x * y);
    EXPECT_EQ(overflow, wide > kMax ? 1 : 0);
  }
  struct {
    uint64_t x, y, product;
    int overflow;
  } const kCases[] = {{uint64_t{1} << 32, uint64_t{1} << 32, 0, 1},
                      {3, 5, 15, 0},
                      {uint64_t{1} << 63, 1, uint64_t{1} << 63, 0},
                      {3, 6917529027641081856u, 2305843009213693952u, 1}};
  for (const auto& c : kCases) {
    int overflow = -1;
    EXPECT_EQ(From64(Mul64(To64(c.x), To64(c.y), overflow)), c.product) << c.x << " * " << c.y;
    EXPECT_EQ(overflow, c.overflow) << c.x << " * " << c.y;
  }
}

TEST(Int64Arithmetic, DivideMatchesNative) {
  for (auto [x, y] : Pairs()) {
    SCOPED_TRACE(testing::Message() << x << " / " << y);
    int64 r = To64(12345);
    uint64_t q = From64(Div64(To64(x), To64(y), r));
    if (y == 0) {
      // A zero divisor is answered, not trapped: the caller gets x back whole.
      EXPECT_EQ(q, 0u);
      EXPECT_EQ(From64(r), x);
      continue;
    }
    EXPECT_EQ(q, x / y);
    EXPECT_EQ(From64(r), x % y);
    EXPECT_LT(From64(r), y);
    EXPECT_EQ(q * y + From64(r), x);
  }
  int64 r;
  EXPECT_EQ(From64(Div64(To64(5000000000u), To64(459776), r)), 10874u);
  EXPECT_EQ(From64(r), 395776u);
  EXPECT_EQ(From64(Div64(To64(kMax), To64(uint64_t{1} << 63), r)), 1u);
  EXPECT_EQ(From64(r), (uint64_t{1} << 63) - 1);
}

TEST(Int64Arithmetic, ShiftsMatchNative) {
  for (uint64_t x : kBoundary) {
    for (unsigned b : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 100u, 4096u}) {
      SCOPED_TRACE(testing::Message() << x << " by " << b);
      int64 right = To64(x), left = To64(x);
      ShiftR64(right, b);
      ShiftL64(left, b);
      EXPECT_EQ(From64(right), b < 64 ? x >> b : 0);
      EXPECT_EQ(From64(left), b < 64 ? x << b : 0);
    }
  }
}

TEST(Int64Text, FormatsDecimalOnly) {
  EXPECT_EQ(Text(To64(0)), "0");
  EXPECT_EQ(Text(To64(10)), "10");
  EXPECT_EQ(Text(To64(kMax)), "18446744073709551615");
  for (int radix : {16, 8, 2, 0, -1}) {
    unsigned char buf[21];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(I64toCh(To64(255), buf, radix), nullptr) << radix;
    for (unsigned char c : buf) EXPECT_EQ(c, 'x') << radix;
  }
}

TEST(Int64Text, RoundTripsThroughDecimal) {
  for (auto [x, y] : Pairs()) {
    (void)y;
    std::string s = Text(To64(x));
    EXPECT_EQ(s, std::to_string(x));
    EXPECT_EQ(Parse(s.c_str(), 10), x) << s;
  }
}

TEST(Int64Text, ParsesDigitsByCodeOffset) {
  EXPECT_EQ(Parse("1234", 10), 1234u);
  EXPECT_EQ(Parse("0", 10), 0u);
  EXPECT_EQ(Parse("777", 8), 511u);
  EXPECT_EQ(Parse("1011", 2), 11u);
  // Digits above 9 are the codes after '9', not letters.
  EXPECT_EQ(Parse("1?", 16), 31u);
  EXPECT_EQ(Parse("A", 18), 17u);
  EXPECT_EQ(Parse("18446744073709551615", 10), kMax);
  EXPECT_EQ(Parse("18446744073709551616", 10), 0u);
  EXPECT_EQ(Parse("18446744073709551617", 10), 1u);
  // Any character out of range rejects the whole text, wherever it stands.
  for (const char* bad : {"12a4", "", "+5", "-5", " 5", "5 ", "1,000", "1.5", "/"})
    EXPECT_EQ(Parse(bad, 10), 0u) << '"' << bad << '"';
  EXPECT_EQ(Parse("8", 8), 0u);
  EXPECT_EQ(Parse("12", 2), 0u);
  EXPECT_EQ(Parse("A", 16), 0u);
  const unsigned char high[] = {'1', 0xFF, '2', 0};
  EXPECT_EQ(From64(ChtoI64(high, 10)), 0u);
  // Read as a signed char, 0xFF would fall below '0' and reject the text.
  EXPECT_EQ(From64(ChtoI64(high, 255)), 1u * 255 * 255 + 207u * 255 + 2);
  for (int radix : {0, -1, -10})
    for (const char* s : {"0", "1", "5", "99"}) EXPECT_EQ(Parse(s, radix), 0u) << s << " " << radix;

  // Random values written in each radix with the same digit coding.
  std::mt19937_64 rng(77);
  for (int radix = 2; radix <= 40; radix++) {
    for (int i = 0; i < 20; i++) {
      uint64_t v = rng() >> (rng() % 64);
      std::string s;
      for (uint64_t t = v; s.empty() || t != 0; t /= radix)
        s.insert(s.begin(), static_cast<char>('0' + t % radix));
      EXPECT_EQ(Parse(s.c_str(), radix), v) << s << " radix " << radix;
    }
  }
}

}  // namespace
