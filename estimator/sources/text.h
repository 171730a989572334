// Characters as the listings' parsers see them, whatever the locale.
#ifndef PLOMET_ESTIMATOR_TEXT_H_
#define PLOMET_ESTIMATOR_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

/// Space, tab, line feed, vertical tab, form feed and carriage return; no
/// other byte. A table: this runs for most bytes read.
struct WhitespaceTable {
  bool abIs[256] = {};
  constexpr WhitespaceTable() : abIs() {
    const char szWhitespace[] = " \t\n\v\f\r";
    for (const char* pC = szWhitespace; *pC != '\0'; pC++)
      abIs[static_cast<unsigned char>(*pC)] = true;
  }
};
inline constexpr WhitespaceTable kWhitespace;

inline bool isWhitespace(char c) { return kWhitespace.abIs[static_cast<unsigned char>(c)]; }

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline const char* skipWhitespace(const char* pC) {
  while (isWhitespace(*pC)) pC++;
  return pC;
}

/// Returns the length of the thousands separator that starts at pC, or 0:
/// a comma, full stop or apostrophe, or a no-break space, which is the byte
/// 0xA0 or 0xFF in the consoles' code pages and C2 A0 or E2 80 AF in UTF-8.
inline int separatorLength(const char* pC) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(pC);
  if (p[0] == ',' || p[0] == '.' || p[0] == '\'' || p[0] == 0xA0 || p[0] == 0xFF) return 1;
  if (p[0] == 0xC2 && p[1] == 0xA0) return 2;
  if (p[0] == 0xE2 && p[1] == 0x80 && p[2] == 0xAF) return 3;
  return 0;
}

/// Takes a comma or full stop and the three digits after it at pC, as the
/// groups of a size such as 2,131,891 are written: copies the digits to
/// pOut and adds them to nValue. Returns false, and touches nothing, for
/// anything else. Reads no byte past the first that is not one of these.
inline bool takeDigitGroup(const char* pC, char* pOut, std::uint64_t& nValue) {
  if ((pC[0] != ',' && pC[0] != '.') || !isDigit(pC[1]) || !isDigit(pC[2]) || !isDigit(pC[3])) {
    return false;
  }
  std::memcpy(pOut, pC + 1, 3);
  nValue = nValue * 1000 +
           static_cast<std::uint64_t>((pC[1] - '0') * 100 + (pC[2] - '0') * 10 + (pC[3] - '0'));
  return true;
}

/// The largest size a file system records: 2^63 - 1 bytes.
const std::uint64_t kMaxFileSize = 0x7FFFFFFFFFFFFFFFull;

/// Adds the digit d to the decimal number nValue. Returns false, leaving
/// nValue alone, when the result would pass kMaxFileSize.
inline bool appendDigit(std::uint64_t& nValue, unsigned d) {
  const std::uint64_t kTenth = kMaxFileSize / 10;
  if (nValue > kTenth || (nValue == kTenth && d > kMaxFileSize % 10)) return false;
  nValue = nValue * 10 + d;
  return true;
}

/// Bytes that may be read, though not used, after the NUL that ends a line
/// as the reader hands it out.
const std::size_t kPieceSlack = 8;

// Returns the number of leading bytes of the eight at pC that are blanks.
inline int leadingBlanks(const char* pC) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::uint64_t nWord;
  std::memcpy(&nWord, pC, sizeof nWord);
  std::uint64_t nDiff = nWord ^ 0x2020202020202020ull;  // the first non-blank's lowest bits
  return nDiff == 0 ? 8 : __builtin_ctzll(nDiff) / 8;
#else
  int n = 0;
  while (n < 8 && pC[n] == ' ') n++;
  return n;
#endif
}

// skipWhitespace for the text of a piece, which is followed by kPieceSlack
// readable bytes: sizes are right-aligned in wide columns, so runs of blanks
// are skipped a word at a time.
inline const char* skipLineWhitespace(const char* pC) {
  // cppcheck-suppress knownConditionTrueFalse
  static_assert(kPieceSlack >= 8, "a word is read at a time");
  for (int nBlanks = 8; nBlanks == 8; pC += nBlanks) nBlanks = leadingBlanks(pC);
  return skipWhitespace(pC);
}

// Letter case is folded for A to Z only, whatever the locale.
inline bool equalsIgnoringCase(const char* szA, const char* szB) {
  for (;; szA++, szB++) {
    char a = (*szA >= 'A' && *szA <= 'Z') ? static_cast<char>(*szA - 'A' + 'a') : *szA;
    char b = (*szB >= 'A' && *szB <= 'Z') ? static_cast<char>(*szB - 'A' + 'a') : *szB;
    if (a != b) return false;
    if (a == '\0') return true;
  }
}

/// Reads the digits that begin the eight bytes at pC, all of which must be
/// readable. Returns how many there are (0 to 8) and sets nValue to their
/// value: a word at a time, where a loop pays some five instructions a digit.
inline int readDigitWord(const char* pC, std::uint64_t& nValue) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  const std::uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0ull;
  const std::uint64_t kThrees = 0x3030303030303030ull;
  std::uint64_t nWord;
  std::memcpy(&nWord, pC, sizeof nWord);
  // A byte is a digit when its high half is 3 and stays 3 when 6 is added.
  // A carry out of a byte past 0xF9 reaches only bytes after a non-digit.
  std::uint64_t nOther = ((nWord & kHighHalves) ^ kThrees) |
                         (((nWord + 0x0606060606060606ull) & kHighHalves) ^ kThrees);
  int n = nOther == 0 ? 8 : __builtin_ctzll(nOther) / 8;
  nValue = 0;
  if (n == 0) return 0;
  // The digits moved to the word's high bytes (the first digit lowest), with
  // zeros before them; then pairs, fours and the eight summed in place.
  std::uint64_t v = (nWord - kThrees) << (8 * (8 - n));
  v = v * 10 + (v >> 8);
  v = ((v & 0x000000FF000000FFull) * (100 + (1000000ull << 32)) +
       ((v >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32))) >>
      32;
  nValue = v;
  return n;
#else
  int n = 0;
  nValue = 0;
  for (; n < 8 && isDigit(pC[n]); n++) nValue = nValue * 10 + static_cast<unsigned>(pC[n] - '0');
  return n;
#endif
}

/// Returns true when the n bytes at p hold the byte a or the byte b: sixteen
/// bytes at a time, where a line's two scans for them cost twice as much.
inline bool holdsEitherByte(const char* p, std::size_t n, char a, char b) {
#ifdef __SSE2__
  if (n >= 16) {
    const __m128i vA = _mm_set1_epi8(a);
    const __m128i vB = _mm_set1_epi8(b);
    const auto matches = [&](const char* pAt) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pAt));
      return _mm_or_si128(_mm_cmpeq_epi8(v, vA), _mm_cmpeq_epi8(v, vB));
    };
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
      if (_mm_movemask_epi8(_mm_or_si128(matches(p + i), matches(p + i + 16))) != 0) return true;
    }
    // The last sixteen or thirty-two, some seen already.
    __m128i vLast = matches(p + n - 16);
    if (i + 16 < n) vLast = _mm_or_si128(vLast, matches(p + i));
    return _mm_movemask_epi8(vLast) != 0;
  }
#endif
  for (std::size_t i = 0; i < n; i++) {
    if (p[i] == a || p[i] == b) return true;
  }
  return false;
}

/// std::strchr(szText, c) for text of nLength bytes before its NUL: the
/// first sixteen bytes, where a listing's line has its time, are searched
/// at once, as a call costs as much as that search.
inline const char* findByteInText(const char* szText, std::size_t nLength, char c) {
#ifdef __SSE2__
  if (nLength >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(szText));
    __m128i vFound =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)), _mm_cmpeq_epi8(v, _mm_setzero_si128()));
    unsigned nMatches = static_cast<unsigned>(_mm_movemask_epi8(vFound));
    if (nMatches == 0) return std::strchr(szText + 16, c);
    const char* pAt = szText + __builtin_ctz(nMatches);
    return *pAt == c ? pAt : nullptr;
  }
#endif
  (void)nLength;
  return std::strchr(szText, c);
}

// Reads a number of more than 18 digits. Returns false when it passes the
// largest file size.
inline bool readLargeNumber(const char* pC, std::uint64_t& nValue) {
  nValue = 0;
  for (; isDigit(*pC); pC++) {
    if (!appendDigit(nValue, static_cast<unsigned>(*pC - '0'))) return false;
  }
  return true;
}

#endif  // PLOMET_ESTIMATOR_TEXT_H_
