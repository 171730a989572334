// A lower bound for reading the sizes of a directory listing: the cheapest
// reader we could write, which does less than plomet must. bench/run.py times
// it beside plomet and wc -l, to show what part of plomet's time any exact
// reader would pay anyway.
//
// It reads 1 MiB blocks, as plomet does, and classifies every byte of a block
// with AVX2 (line ends, blanks, digits, colons, and '<', '(' and NUL), making
// an index of the line ends without a branch per line. It then takes the
// columns of the first colon and of the size's end from the first file line,
// and on every other line reads, unchecked, the digits that end at that
// column. Lines that do not fit those columns, that hold '<', '(' or NUL, or
// that are longer than plomet's pieces are only counted. There is no line
// cut at 255 characters, no CR handling beyond CR LF, no UTF-16, no marker
// check and no fallback.
//
//   sizefloor FILE
//
// Prints the files and bytes it read and the lines it passed over. Exits 77
// where the processor lacks AVX2.
#include <immintrin.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

const std::size_t kBlock = std::size_t{1} << 20;
const std::size_t kWindows = kBlock / 64 + 2;

// Masks of one 64-byte window of the block.
struct Window {
  uint64_t nLineFeeds;
  uint64_t nMarked;  // '<', '(' and NUL
  uint64_t nBlanks;
  uint64_t nDigits;
  uint64_t nColons;
};

unsigned char gBlock[kBlock + 128];
Window gWindows[kWindows];
uint32_t gMarkedBefore[kWindows];  // marked bytes in the windows before each
uint32_t gLineFeeds[kBlock + 64];  // positions of the line feeds, in order
std::size_t gLineFeedCount;

uint64_t gFiles;
uint64_t gBytes;
uint64_t gOther;
int gColon = -1;  // the columns learnt from the first file line
int gSizeEnd = -1;

__attribute__((target("avx2,bmi,popcnt"))) uint64_t maskOf(__m256i vLow, __m256i vHigh) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(vLow)) |
         static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(vHigh))) << 32;
}

__attribute__((target("avx2,bmi,popcnt"))) void classify(std::size_t nEnd) {
  const __m256i kLineFeed = _mm256_set1_epi8('\n');
  const __m256i kBlank = _mm256_set1_epi8(' ');
  const __m256i kColon = _mm256_set1_epi8(':');
  const __m256i kAngle = _mm256_set1_epi8('<');
  const __m256i kParen = _mm256_set1_epi8('(');
  const __m256i kZero = _mm256_set1_epi8('0');
  const __m256i kNine = _mm256_set1_epi8(9);
  const __m256i kNul = _mm256_setzero_si256();
  gLineFeedCount = 0;
  gMarkedBefore[0] = 0;
  for (std::size_t i = 0; i * 64 < nEnd; i++) {
    __m256i v[2];
    __m256i vMarked[2], vDigits[2];
    for (int h = 0; h < 2; h++) {
      v[h] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(gBlock + i * 64 + h * 32));
      vMarked[h] = _mm256_or_si256(
          _mm256_cmpeq_epi8(v[h], kNul),
          _mm256_or_si256(_mm256_cmpeq_epi8(v[h], kAngle), _mm256_cmpeq_epi8(v[h], kParen)));
      __m256i vValue = _mm256_sub_epi8(v[h], kZero);
      vDigits[h] = _mm256_cmpeq_epi8(_mm256_min_epu8(vValue, kNine), vValue);
    }
    Window& w = gWindows[i];
    w.nLineFeeds = maskOf(_mm256_cmpeq_epi8(v[0], kLineFeed), _mm256_cmpeq_epi8(v[1], kLineFeed));
    w.nMarked = maskOf(vMarked[0], vMarked[1]);
    w.nBlanks = maskOf(_mm256_cmpeq_epi8(v[0], kBlank), _mm256_cmpeq_epi8(v[1], kBlank));
    w.nDigits = maskOf(vDigits[0], vDigits[1]);
    w.nColons = maskOf(_mm256_cmpeq_epi8(v[0], kColon), _mm256_cmpeq_epi8(v[1], kColon));
    gMarkedBefore[i + 1] = gMarkedBefore[i] + static_cast<uint32_t>(_mm_popcnt_u64(w.nMarked));
    // Four positions are written whether or not there are as many line feeds.
    uint64_t nBits = w.nLineFeeds;
    uint32_t* pOut = gLineFeeds + gLineFeedCount;
    for (int j = 0; j < 4; j++, nBits = _blsr_u64(nBits)) {
      pOut[j] = static_cast<uint32_t>(i * 64 + _tzcnt_u64(nBits));
    }
    for (int j = 4; nBits != 0; j++, nBits = _blsr_u64(nBits)) {
      pOut[j] = static_cast<uint32_t>(i * 64 + _tzcnt_u64(nBits));
    }
    gLineFeedCount += static_cast<std::size_t>(_mm_popcnt_u64(w.nLineFeeds));
  }
}

// The 64 bits of a mask that start at bit nPos of the block. The next
// window's bits come in above, shifted in two steps: a shift by 64 is not
// defined.
uint64_t maskAt(uint64_t Window::*pMask, std::size_t nPos) {
  const Window* pWindow = gWindows + (nPos >> 6);
  unsigned nShift = static_cast<unsigned>(nPos & 63);
  return (pWindow[0].*pMask >> nShift) | ((pWindow[1].*pMask << 1) << (63 - nShift));
}

__attribute__((target("avx2,bmi,popcnt"))) uint32_t markedBefore(std::size_t nPos) {
  uint64_t nBelow = gWindows[nPos >> 6].nMarked & ((uint64_t{1} << (nPos & 63)) - 1);
  return gMarkedBefore[nPos >> 6] + static_cast<uint32_t>(_mm_popcnt_u64(nBelow));
}

// Takes the columns from a line such as "03/14/2024  09:12 AM   1,234 a.txt":
// the first colon, and the end of the first field after it that starts with a
// digit, leaving out the time's own.
void learnColumns(const char* szLine) {
  const char* pColon = std::strchr(szLine, ':');
  if (pColon == nullptr) return;
  const char* pC = pColon;
  while (*pC != '\0' && *pC != ' ') pC++;
  for (;;) {
    while (*pC == ' ') pC++;
    if (*pC == '\0') return;
    const char* pField = pC;
    while (*pC != '\0' && *pC != ' ') pC++;
    if (*pField >= '0' && *pField <= '9' && *pC == ' ') break;
  }
  // Within one mask, and with the 16 characters before the size's end, which
  // readDigits loads at once, inside the line.
  if (pC - szLine >= 64 || pC - szLine < 16) return;
  gColon = static_cast<int>(pColon - szLine);
  gSizeEnd = static_cast<int>(pC - szLine);
}

// The value of the four digits in each half of w, one digit value per byte.
uint64_t digitQuads(uint64_t w) {
  w = (w * 10 + (w >> 8)) & 0x00FF00FF00FF00FFull;
  return (w * 100 + (w >> 16)) & 0x0000FFFF0000FFFFull;
}

// Reads nLength (1 to 16) characters ending at pEnd: plain digits, or
// groups of three after separators. Returns false for anything else.
__attribute__((target("avx2,bmi,popcnt"))) bool readDigits(const unsigned char* pEnd, int nLength,
                                                           uint64_t& nValue) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pEnd - 16));
  __m128i vValue = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  __m128i vDigit = _mm_cmpeq_epi8(_mm_min_epu8(vValue, _mm_set1_epi8(9)), vValue);
  const __m128i kIndex = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  __m128i vInField = _mm_cmpgt_epi8(kIndex, _mm_set1_epi8(static_cast<char>(15 - nLength)));
  unsigned nField = static_cast<unsigned>(_mm_movemask_epi8(vInField));
  unsigned nOther = nField & ~static_cast<unsigned>(_mm_movemask_epi8(vDigit));
  unsigned nGroupStarts = 0x1111u & nField & ~(1u << (16 - nLength));
  bool bPlain = nOther == 0;
  if (!bPlain && nOther != nGroupStarts) return false;
  vValue = _mm_and_si128(vValue, _mm_and_si128(vDigit, vInField));
  uint64_t nFirst = digitQuads(static_cast<uint64_t>(_mm_cvtsi128_si64(vValue)));
  uint64_t nLast = digitQuads(static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_srli_si128(vValue, 8))));
  uint64_t nBase = bPlain ? 10000 : 1000;
  nValue =
      (((nFirst & 0xFFFFFFFF) * nBase + (nFirst >> 32)) * nBase + (nLast & 0xFFFFFFFF)) * nBase +
      (nLast >> 32);
  return true;
}

__attribute__((target("avx2,bmi,popcnt"))) void readLine(std::size_t nStart, std::size_t nEnd) {
  const char* szLine = reinterpret_cast<const char*>(gBlock + nStart);
  int nLength = static_cast<int>(nEnd - nStart);
  if (gSizeEnd < 0) learnColumns(szLine);
  uint64_t nColons = maskAt(&Window::nColons, nStart);
  uint64_t nBlanks = maskAt(&Window::nBlanks, nStart);
  uint64_t nValue;
  if (gSizeEnd < 0 || nLength <= gSizeEnd || markedBefore(nEnd) != markedBefore(nStart) ||
      (nColons & ((uint64_t{2} << gColon) - 1)) != uint64_t{1} << gColon ||
      ((nBlanks >> gSizeEnd) & 1) == 0) {
    gOther++;
    return;
  }
  // The size starts after the last blank before its end.
  uint64_t nBefore = nBlanks & ((uint64_t{1} << gSizeEnd) - 1);
  if (nBefore == 0) {
    gOther++;
    return;
  }
  int nSizeLength = gSizeEnd - (64 - __builtin_clzll(nBefore));
  if (nSizeLength < 1 || nSizeLength > 16 ||
      !readDigits(gBlock + nStart + gSizeEnd, nSizeLength, nValue)) {
    gOther++;
    return;
  }
  gFiles++;
  gBytes += nValue;
}

__attribute__((target("avx2,bmi,popcnt"))) int run(std::FILE* file) {
  std::size_t nKept = 0;
  std::size_t nRead;
  while ((nRead = std::fread(gBlock + nKept, 1, kBlock - nKept, file)) > 0) {
    std::size_t nEnd = nKept + nRead;
    std::memset(gBlock + nEnd, 0, 128);
    classify(nEnd);
    std::size_t nPos = 0;
    for (std::size_t i = 0; i < gLineFeedCount; i++) {
      std::size_t nLineFeed = gLineFeeds[i];
      if (nLineFeed >= nEnd) break;
      std::size_t nLineEnd = nLineFeed - (nLineFeed > nPos && gBlock[nLineFeed - 1] == '\r');
      gBlock[nLineEnd] = '\0';
      if (nLineEnd - nPos < 255 && nLineEnd - nPos >= 16) {
        readLine(nPos, nLineEnd);
      } else {
        gOther++;
      }
      nPos = nLineFeed + 1;
    }
    nKept = nEnd - nPos;
    if (nKept == kBlock) nKept = 0;  // a line longer than a block: passed over
    std::memmove(gBlock, gBlock + nPos, nKept);
  }
  std::printf("files %" PRIu64 " bytes %" PRIu64 " other lines %" PRIu64 "\n", gFiles, gBytes,
              gOther);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("bmi") ||
      !__builtin_cpu_supports("popcnt")) {
    std::fprintf(stderr, "%s: needs a processor with AVX2\n", argv[0]);
    return 77;
  }
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) return 1;
  int nStatus = run(file);
  std::fclose(file);
  return nStatus;
}
