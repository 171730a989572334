// Small readers that the listing kinds share: fields separated by blanks,
// grouped numbers, Unix modes, dates written year first; and the words of
// a dir line (its directory modes, <DIR> and File(s)).
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

/// The newer shell's table marks a directory by a mode such as d----- or
/// d-r--: returns true for a line that starts with one.
inline bool isDirectoryMode(const char* szLine) {
  if (szLine[0] != 'd') return false;
  const char* pC = szLine;
  for (; !kFieldEnd.abIs[static_cast<unsigned char>(*pC)]; pC++) {
    if (std::strchr("darhsl-", *pC) == nullptr) return false;
  }
  return pC - szLine == 5 || pC - szLine == 6;
}

/// True when the text of the line holds szWord at or after pFound less
/// nBefore, where pFound is the first place of the word's character at
/// nBefore. The text ends at the first NUL, which may come before pFound.
inline bool holdsWordFrom(const char* szLine, const void* pFound, std::size_t nBefore,
                          const char* szWord) {
  if (pFound == nullptr) return false;
  const char* pAt = static_cast<const char*>(pFound);
  if (std::memchr(szLine, '\0', static_cast<std::size_t>(pAt - szLine)) != nullptr) return false;
  const char* pFrom = pAt - szLine >= static_cast<std::ptrdiff_t>(nBefore) ? pAt - nBefore : szLine;
  return std::strstr(pFrom, szWord) != nullptr;
}

/// fieldEndAt for text followed by kPieceSlack readable bytes after its
/// NUL, as the reader's lines are: eight bytes at a time.
inline const char* fieldEndInLine(const char* pC) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (;;) {
    std::uint64_t nWord;
    std::memcpy(&nWord, pC, sizeof nWord);
    // The bytes below 0x21 (blanks, controls, the NUL): the lowest flag is
    // the first, as a borrow runs only past a byte that is flagged itself.
    std::uint64_t nLow = (nWord - 0x2121212121212121ull) & ~nWord & 0x8080808080808080ull;
    if (nLow == 0) {
      pC += 8;
      continue;
    }
    pC += __builtin_ctzll(nLow) / 8;
    if (kFieldEnd.abIs[static_cast<unsigned char>(*pC)]) return pC;
    pC++;  // a control that ends no field
  }
#else
  return fieldEndAt(pC);
#endif
}

/// The blanks of a line's first nBytes bytes (1 to 64), one bit a byte
/// (bit i for byte i), read sixteen bytes at a time: the bytes up to the
/// next multiple of 16 must be readable. Returns false when one of them is
/// below 0x21 and no blank (a tab, a control, a NUL), or the processor has
/// no SSE2: fields are found one by one then.
bool maskBlanks(const char* szLine, int nBytes, std::uint64_t& nBlanks);

/// The bits set in n.
inline int bitsOf(std::uint64_t n) {
  n = n - ((n >> 1) & 0x5555555555555555ull);
  n = (n & 0x3333333333333333ull) + ((n >> 2) & 0x3333333333333333ull);
  n = (n + (n >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((n * 0x0101010101010101ull) >> 56);
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

/// Reads a number of digits alone [pC, pEnd), up to the largest file size.
/// Returns false for anything else.
bool readPlainNumber(const char* pC, const char* pEnd, std::uint64_t& nValue);

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

/// readClock for the clocks nearly every listing writes, "HH:MM" and
/// "HH:MM:SS", inline: a call cost more than the reading on every line.
inline bool readUsualClock(const char* pC, const char* pEnd, int& nSecondOfDay) {
  std::ptrdiff_t n = pEnd - pC;
  if ((n != 5 && n != 8) || pC[2] != ':' || !isDigit(pC[0]) || !isDigit(pC[1]) || !isDigit(pC[3]) ||
      !isDigit(pC[4]) || (n == 8 && (pC[5] != ':' || !isDigit(pC[6]) || !isDigit(pC[7])))) {
    return readClock(pC, pEnd, nSecondOfDay);
  }
  int nHour = (pC[0] - '0') * 10 + (pC[1] - '0');
  int nMinute = (pC[3] - '0') * 10 + (pC[4] - '0');
  int nSecond = n == 8 ? (pC[6] - '0') * 10 + (pC[7] - '0') : 0;
  if (nHour > 23 || nMinute > 59 || nSecond > 60) return false;
  nSecondOfDay = nHour * 3600 + nMinute * 60 + (nSecond > 59 ? 59 : nSecond);
  return true;
}

/// Reads YYYY-MM-DD or YYYY/MM/DD (cSeparator) at pC, ten bytes. Returns
/// false for anything else or a date that does not exist.
bool readYearFirstDate(const char* pC, char cSeparator, int& nYear, int& nMonth, int& nDay);

/// Returns true when [pC, pC + n) starts with the text of szWord.
bool startsWith(const char* pC, std::size_t n, const char* szWord);

// --- Sizes with units, paths and epoch times: the lists other tools make --

/// Reads a size written with a unit: the number [pNumber, pNumberEnd)
/// (digits, optionally a full stop and digits) and the unit [pUnit,
/// pUnitEnd), which may follow the number directly (2.9KiB) or be the next
/// field (11.1 MiB). The units: B, Byte, Bytes, bytes; Ki, KiB, Mi, MiB ...
/// Ei, EiB (powers of 1,024); K, KB, k, kB, M, MB ... E, EB (powers of
/// nKiloBase, 1,000 or 1,024 as the tool writes them). Returns false for
/// anything else or a size past the largest file size; else nBytes, the
/// nearest byte, and nSlack, half the worth of the last digit written: how
/// far the true size may lie from nBytes.
bool readUnitSize(const char* pNumber, const char* pNumberEnd, const char* pUnit,
                  const char* pUnitEnd, unsigned nKiloBase, std::uint64_t& nBytes,
                  std::uint64_t& nSlack);

/// readUnitSize in whole numbers for the shape nearly every size of dwalk
/// has: up to eight digits, a full stop and three decimals (eight readable
/// bytes at pNumber, as a reader's line has), then B, or KB, MB, GB, TB as
/// powers of 1,024. The same bytes and slack: a number of three decimals lies
/// 1/2000 of a byte or more from a half byte unless it is on it, where
/// readUnitSize's floating point is exact. Returns false for any other size
/// (or 2^40 bytes or more), with nothing changed: readUnitSize reads those.
bool readQuickUnitSize(const char* pNumber, const char* pNumberEnd, const char* pUnit,
                       const char* pUnitEnd, unsigned nKiloBase, std::uint64_t& nBytes,
                       std::uint64_t& nSlack);

/// Returns true when [pC, pEnd) is one of the units readUnitSize knows but
/// the single letters (K, k, M, G, T, P, E): a word that, after a number,
/// makes it a size with a unit and not a plain number.
bool isSizeUnitWord(const char* pC, const char* pEnd);

/// Returns true when c may begin a unit of size (B, KiB, MB, kB...).
inline bool isUnitLead(char c) {
  // A dir line asks this of every name's first letter: no call, no search.
  switch (c) {
    case 'B':
    case 'K':
    case 'M':
    case 'G':
    case 'T':
    case 'P':
    case 'E':
    case 'k':
      return true;
    default:
      return false;
  }
}

/// Returns true when the word at p may be a unit of size as isUnitSize reads
/// one after a number (B, KB, kB, KiB, Ki, Byte, Bytes, ...): a unit's first
/// letter, then B, i, y or the word's end. Most names fail at one of the two
/// letters, so a dir line pays one predictable test for it.
inline bool mayBeUnitWord(const char* p) {
  if (!isUnitLead(p[0])) return false;
  char c = p[1];
  return c == 'B' || c == 'i' || c == 'y' || c == '\0' || isWhitespace(c);
}

/// Returns true when a size field, its digits in szDigits (what follows
/// them up to the field's end too) and ending at pSizeEnd in its line, is
/// written with a unit: attached after the digits (2.9KiB), or, with
/// bWordNext, as the next field (11.1 MiB, 4 GB, 20 Bytes).
bool isUnitSize(const char* szDigits, const char* pSizeEnd, bool bWordNext);

/// Returns where a unit attached to a number begins in [pC, pEnd) (the first
/// letter after its digits and full stop), or pEnd when there is none.
const char* attachedUnitStart(const char* pC, const char* pEnd);

/// The room for a folder made of a path's directory.
const std::size_t kFolderRoom = 4096 + 3;

/// Writes the folder of the path [pPath, pEnd) into szFolder (kFolderRoom
/// bytes): its directory, with "./" before a relative one, so that the
/// listing's first level stays a level of folders; "." for a path without a
/// directory. Returns the folder's length.
std::size_t folderOfPath(char* szFolder, const char* pPath, const char* pEnd);

/// folderOfPath for a path known to be relative to the listing's root (as
/// rsync and rclone write them): "./" before its directory, whatever it
/// holds.
std::size_t folderOfRelativePath(char* szFolder, const char* pPath, const char* pEnd);

/// The local time zone's offsets from UTC, by hour, read once each.
struct EpochZone {
  static const int kSlots = 64;
  std::int64_t anHour[kSlots] = {};  // the hour since 1970 of each slot, plus 1; 0 when empty
  std::int32_t anOffset[kSlots] = {};
};

/// Fills the stamp with the local date and time of nSeconds since 1970 (UTC),
/// as the machine running plomet keeps its time zone. Returns false for a
/// moment outside the years 1 to 9999.
bool setEpochStamp(LineStamp& stamp, std::int64_t nSeconds, EpochZone& zone);

/// Fills the stamp with the date and time of nSeconds since 1970, in UTC.
/// Returns false for a moment outside the years 1 to 9999.
bool setUtcStamp(LineStamp& stamp, std::int64_t nSeconds);

#endif  // PLOMET_ESTIMATOR_KINDTEXT_H_
