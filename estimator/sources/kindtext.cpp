#include "sources/kindtext.h"

#include <cstring>

bool readGroupedNumber(const char* pC, const char* pEnd, std::uint64_t& nValue) {
  nValue = 0;
  if (pC == pEnd || !isDigit(*pC)) return false;
  if (pEnd - pC <= 18) {  // up to 18 digits always fit
    const char* pDigit = pC;
    std::uint64_t n = 0;
    for (; pDigit < pEnd && isDigit(*pDigit); pDigit++)
      n = n * 10 + static_cast<unsigned>(*pDigit - '0');
    if (pDigit == pEnd) {
      nValue = n;
      return true;
    }
  }
  for (; pC < pEnd; pC++) {
    if (isDigit(*pC)) {
      if (!appendDigit(nValue, static_cast<unsigned>(*pC - '0'))) return false;
    } else if (*pC != ',' || pC + 1 == pEnd || !isDigit(pC[1])) {
      return false;
    }
  }
  return true;
}

bool readRoundedSize(const char* pC, const char* pEnd, unsigned nBase, std::uint64_t& nBytes) {
  const char* pUnit = pEnd - 1;
  if (pEnd - pC < 2 || !isDigit(*pC)) return false;
  const char* pPower = std::strchr("KMGTPE", *pUnit);
  if (pPower == nullptr || *pUnit == '\0') return false;
  // A handful of digits: a double holds them exactly.
  double dValue = 0;
  double dScale = 1;
  bool bPoint = false;
  int nDigits = 0;
  for (const char* pD = pC; pD < pUnit; pD++) {
    if (*pD == '.' && !bPoint) {
      bPoint = true;
    } else if (isDigit(*pD) && ++nDigits <= 15) {
      dValue = dValue * 10 + (*pD - '0');
      if (bPoint) dScale *= 10;
    } else {
      return false;
    }
  }
  if (pUnit[-1] == '.') return false;
  for (const char* pP = "KMGTPE"; pP <= pPower; pP++) dValue *= nBase;
  dValue = dValue / dScale + 0.5;
  if (!(dValue < 9223372036854775807.0)) return false;
  nBytes = static_cast<std::uint64_t>(dValue);
  return true;
}

namespace {

// The letters of a mode: its type first (1), its permissions after (2).
struct ModeTable {
  unsigned char anIs[256] = {};
  constexpr ModeTable() : anIs() {
    for (const char* pC = "-dlcbpsDn?"; *pC != '\0'; pC++)
      anIs[static_cast<unsigned char>(*pC)] |= 1;
    for (const char* pC = "rwxsStTl-"; *pC != '\0'; pC++)
      anIs[static_cast<unsigned char>(*pC)] |= 2;
  }
};
constexpr ModeTable kMode;

bool isModeLetter(char c, int nKind) {
  return (kMode.anIs[static_cast<unsigned char>(c)] & nKind) != 0;
}

}  // namespace

int modeLength(const char* pC) {
  if (!isModeLetter(pC[0], 1)) return 0;
  for (int i = 1; i < 10; i++) {
    if (!isModeLetter(pC[i], 2)) return 0;
  }
  int n = 10;
  if (pC[n] == '@' || pC[n] == '+' || pC[n] == '.') n++;
  return isWhitespace(pC[n]) ? n : 0;
}

namespace {

// Reads two digits at pC into n.
bool twoDigits(const char* pC, int& n) {
  if (!isDigit(pC[0]) || !isDigit(pC[1])) return false;
  n = (pC[0] - '0') * 10 + (pC[1] - '0');
  return true;
}

}  // namespace

bool readClock(const char* pC, const char* pEnd, int& nSecondOfDay) {
  int nHour = 0;
  if (pC < pEnd && isDigit(*pC)) nHour = *pC++ - '0';
  if (pC < pEnd && isDigit(*pC)) nHour = nHour * 10 + (*pC++ - '0');
  int nMinute = 0;
  int nSecond = 0;
  if (pEnd - pC < 3 || *pC != ':' || !twoDigits(pC + 1, nMinute)) return false;
  pC += 3;
  if (pEnd - pC >= 3 && *pC == ':') {
    if (!twoDigits(pC + 1, nSecond)) return false;
    pC += 3;
    if (pC < pEnd && (*pC == '.' || *pC == ',')) {
      for (pC++; pC < pEnd && isDigit(*pC);) pC++;
    }
  }
  if (pC != pEnd || nHour > 23 || nMinute > 59 || nSecond > 60) return false;
  nSecondOfDay = nHour * 3600 + nMinute * 60 + (nSecond > 59 ? 59 : nSecond);
  return true;
}

bool readYearFirstDate(const char* pC, char cSeparator, int& nYear, int& nMonth, int& nDay) {
  int nHigh = 0;
  int nLow = 0;
  if (!twoDigits(pC, nHigh) || !twoDigits(pC + 2, nLow) || pC[4] != cSeparator ||
      !twoDigits(pC + 5, nMonth) || pC[7] != cSeparator || !twoDigits(pC + 8, nDay)) {
    return false;
  }
  nYear = nHigh * 100 + nLow;
  static const int kDays[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return nYear >= 1 && nMonth >= 1 && nMonth <= 12 && nDay >= 1 && nDay <= kDays[nMonth];
}

bool startsWith(const char* pC, std::size_t n, const char* szWord) {
  std::size_t nWord = std::strlen(szWord);
  return n >= nWord && std::memcmp(pC, szWord, nWord) == 0;
}
