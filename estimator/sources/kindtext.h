// Small readers that the listing kinds other than the directory listing
// share: fields separated by blanks, grouped numbers, Unix modes, dates
// written year first.
#ifndef PLOMET_ESTIMATOR_KINDTEXT_H_
#define PLOMET_ESTIMATOR_KINDTEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sources/stamps.h"
#include "sources/text.h"

/// Whitespace and NUL: the bytes that end a field.
struct FieldEndTable {
  bool abIs[256] = {};
  constexpr FieldEndTable() : abIs() {
    for (int c = 0; c < 256; c++) abIs[c] = c == 0 || kWhitespace.abIs[c];
  }
};
inline constexpr FieldEndTable kFieldEnd;

/// Returns the end of the field at pC: the first whitespace or NUL.
inline const char* fieldEndAt(const char* pC) {
  while (!kFieldEnd.abIs[static_cast<unsigned char>(*pC)]) pC++;
  return pC;
}

/// skipWhitespace for text followed by kPieceSlack readable bytes after its
/// NUL, as the reader's lines are: runs of blanks, such as a padded size
/// column's, are passed a word at a time.
inline const char* skipPadding(const char* pC) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (;;) {
    std::uint64_t nWord;
    std::memcpy(&nWord, pC, sizeof nWord);
    std::uint64_t nDiff = nWord ^ 0x2020202020202020ull;
    if (nDiff == 0) {
      pC += 8;
      continue;
    }
    pC += __builtin_ctzll(nDiff) / 8;
    if (!isWhitespace(*pC)) return pC;
    pC++;  // a tab among the blanks
  }
#else
  return skipWhitespace(pC);
#endif
}

/// Reads a number at pC whose digits may be grouped by commas (1,234,567),
/// up to pEnd. Returns false when [pC, pEnd) is anything else or passes the
/// largest file size.
bool readGroupedNumber(const char* pC, const char* pEnd, std::uint64_t& nValue);

/// Reads a size rounded to a unit, as "1.50K" or "12M", that ends at pEnd:
/// digits, optionally a decimal point and digits, and one of the units K,
/// M, G, T, P and E, each nBase times the last. Returns false for anything
/// else or a size past the largest file size; nBytes is the nearest byte.
bool readRoundedSize(const char* pC, const char* pEnd, unsigned nBase, std::uint64_t& nBytes);

/// Returns the length of a Unix mode field at pC (drwxr-xr-x, -rw-r--r--@,
/// crw-rw----+), followed by whitespace, or 0 when there is none.
int modeLength(const char* pC);

/// Reads a time of day H:MM or H:MM:SS, with an optional fraction of a
/// second, that ends at pEnd. Returns false for anything else.
bool readClock(const char* pC, const char* pEnd, int& nSecondOfDay);

/// Reads YYYY-MM-DD or YYYY/MM/DD (cSeparator) at pC, ten bytes. Returns
/// false for anything else or a date that does not exist.
bool readYearFirstDate(const char* pC, char cSeparator, int& nYear, int& nMonth, int& nDay);

/// Returns true when [pC, pC + n) starts with the text of szWord.
bool startsWith(const char* pC, std::size_t n, const char* szWord);

#endif  // PLOMET_ESTIMATOR_KINDTEXT_H_
