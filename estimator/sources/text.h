// Characters as the listings' parsers see them, whatever the locale.
#ifndef PLOMET_ESTIMATOR_TEXT_H_
#define PLOMET_ESTIMATOR_TEXT_H_

#include <cstdint>

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

#endif  // PLOMET_ESTIMATOR_TEXT_H_
