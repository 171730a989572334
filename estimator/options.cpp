#include "options.h"

#include <cstdio>
#include <cstring>

#include "text.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Sets one long option from "--name" or "--name=value". Returns false after
// saying why on standard error.
bool takeLongOption(const char* szArg, LongOptions& options) {
  const char* pEquals = std::strchr(szArg, '=');
  std::string name(
      szArg, pEquals != nullptr ? static_cast<std::size_t>(pEquals - szArg) : std::strlen(szArg));
  bool* pbFlag = name == "--help"      ? &options.bHelp
                 : name == "--version" ? &options.bVersion
                 : name == "--strict"  ? &options.bStrict
                                       : nullptr;
  if (pbFlag == nullptr) {
    std::fprintf(stderr, "error: unknown option '%s'\n", printable(name.c_str()).c_str());
    return false;
  }
  if (pEquals != nullptr) {
    std::fprintf(stderr, "error: option '%s' takes no value\n", name.c_str());
    return false;
  }
  *pbFlag = true;
  return true;
}

// Multiplies the digits of a decimal fraction (0.d1d2...) by 1024 and
// returns the whole part of the product, exactly, whatever their number.
std::uint64_t fractionTimes1024(const char* pDigits, std::size_t nDigits) {
  std::uint64_t nCarry = 0;
  for (std::size_t i = nDigits; i-- > 0;) {
    nCarry = (static_cast<std::uint64_t>(pDigits[i] - '0') * 1024 + nCarry) / 10;
  }
  return nCarry;
}

}  // namespace

bool takeLongOptions(int argc, char** argv, LongOptions& options, int& nArgc) {
  nArgc = argc > 0 ? 1 : 0;
  bool bOptionsEnded = false;
  for (int i = 1; i < argc; i++) {
    char* szArg = argv[i];
    if (!bOptionsEnded && std::strcmp(szArg, "--") == 0) {
      bOptionsEnded = true;
    } else if (!bOptionsEnded && std::strncmp(szArg, "--", 2) == 0) {
      if (!takeLongOption(szArg, options)) return false;
    } else {
      argv[nArgc++] = szArg;
    }
  }
  if (nArgc < argc) argv[nArgc] = nullptr;
  return true;
}

RateStatus parseRateText(const char* szText, std::int64_t& nBytesPerSec) {
  const char* pC = szText;
  while (isBlank(*pC)) pC++;
  bool bNegative = *pC == '-';
  if (*pC == '+' || *pC == '-') pC++;
  const char* pWhole = pC;
  while (isDigit(*pC)) pC++;
  std::size_t nWholeDigits = static_cast<std::size_t>(pC - pWhole);
  const char* pFraction = pC;
  std::size_t nFractionDigits = 0;
  if (*pC == '.') {
    pFraction = ++pC;
    while (isDigit(*pC)) pC++;
    nFractionDigits = static_cast<std::size_t>(pC - pFraction);
  }
  while (isBlank(*pC)) pC++;
  if (*pC != '\0' || nWholeDigits + nFractionDigits == 0) return kRateNotNumber;

  // The magnitude may reach 2^63 for a negative rate; more is out of range.
  const std::uint64_t kLimit = std::uint64_t{1} << 63;
  std::uint64_t nWhole = 0;
  for (const char* pD = pWhole; pD < pWhole + nWholeDigits; pD++) {
    if (nWhole > kLimit / 10240) return kRateOutOfRange;  // nWhole * 10 * 1024 would pass it
    nWhole = nWhole * 10 + static_cast<std::uint64_t>(*pD - '0');
  }
  if (nWhole > kLimit / 1024) return kRateOutOfRange;
  std::uint64_t nBytes = nWhole * 1024 + fractionTimes1024(pFraction, nFractionDigits);
  if (nBytes > (bNegative ? kLimit : kLimit - 1)) return kRateOutOfRange;
  nBytesPerSec =
      bNegative ? static_cast<std::int64_t>(0 - nBytes) : static_cast<std::int64_t>(nBytes);
  return kRateOk;
}

std::string printable(const char* szText) {
  std::string text(szText);
  for (char& c : text) {
    if ((c >= 0 && c < 32) || c == 127) c = '?';
  }
  return text;
}
