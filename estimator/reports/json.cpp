#include "reports/json.h"

#include <charconv>
#include <cmath>
#include <cstring>
#ifndef __cpp_lib_to_chars  // a library without C++17's conversion of doubles
#include <cstdio>
#include <cstdlib>
#endif

#include "reports/output.h"

namespace {

// A line feed and the blanks of the deepest indentation.
const char kIndent[] = "\n                                ";
static_assert(sizeof kIndent == 2 + 2 * std::size_t{JsonWriter::kMaxDepth}, "two blanks a level");

void putIndent(int nDepth) { outWrite(kIndent, 1 + 2 * static_cast<std::size_t>(nDepth)); }

// Starts a value: after its key in an object, or as the next element of an
// array (after a comma and on a line of its own), or as the document itself.
// Returns false, writing nothing, when no value may stand here.
bool beginValue(JsonWriter& json) {
  if (json.bMisused) return false;
  if (json.nDepth == 0) {
    json.bMisused = json.bDone;
    return !json.bMisused;
  }
  int nTop = json.nDepth - 1;
  if (json.abObject[nTop]) {
    json.bMisused = !json.bKeyWritten;
    json.bKeyWritten = false;
    return !json.bMisused;
  }
  outWrite(",", json.abHasMember[nTop] ? 1 : 0);
  putIndent(json.nDepth);
  json.abHasMember[nTop] = true;
  return true;
}

// Ends a value; the document ends with its top-level value, and a line feed.
void endValue(JsonWriter& json) {
  if (json.nDepth > 0) return;
  json.bDone = true;
  outWrite("\n", 1);
}

void beginContainer(JsonWriter& json, bool bObject) {
  if (json.nDepth == JsonWriter::kMaxDepth) json.bMisused = true;
  if (!beginValue(json)) return;
  outWrite(bObject ? "{" : "[", 1);
  json.abObject[json.nDepth] = bObject;
  json.abHasMember[json.nDepth] = false;
  json.nDepth++;
}

void endContainer(JsonWriter& json, bool bObject) {
  if (json.bMisused || json.nDepth == 0 || json.abObject[json.nDepth - 1] != bObject ||
      json.bKeyWritten) {
    json.bMisused = true;
    return;
  }
  json.nDepth--;
  if (json.abHasMember[json.nDepth]) putIndent(json.nDepth);
  outWrite(bObject ? "}" : "]", 1);
  endValue(json);
}

// Returns the length of the valid UTF-8 sequence of 2 to 4 bytes that starts
// at p, with nLeft bytes left, or 0. The ranges of the second byte rule out
// overlong forms (after E0 and F0), surrogates (after ED) and code points
// past U+10FFFF (after F4).
std::size_t sequenceLength(const unsigned char* p, std::size_t nLeft) {
  unsigned char c = p[0];
  std::size_t n = 0;
  unsigned char nLow = 0x80;  // the range of the second byte
  unsigned char nHigh = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) nLow = 0xA0;
    if (c == 0xED) nHigh = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) nLow = 0x90;
    if (c == 0xF4) nHigh = 0x8F;
  } else {
    return 0;
  }
  if (nLeft < n || p[1] < nLow || p[1] > nHigh) return 0;
  for (std::size_t i = 2; i < n; i++) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  }
  return n;
}

// Writes the escape for the character c: a quotation mark, a backslash or a
// control character.
void putEscape(unsigned c) {
  const char* szShort = nullptr;
  switch (c) {
    case '"':
      szShort = "\\\"";
      break;
    case '\\':
      szShort = "\\\\";
      break;
    case '\b':
      szShort = "\\b";
      break;
    case '\f':
      szShort = "\\f";
      break;
    case '\n':
      szShort = "\\n";
      break;
    case '\r':
      szShort = "\\r";
      break;
    case '\t':
      szShort = "\\t";
      break;
    default:
      break;
  }
  if (szShort != nullptr) {
    outWrite(szShort, 2);
    return;
  }
  const char szHex[] = "0123456789abcdef";
  const char szEscape[6] = {'\\', 'u', '0', '0', szHex[(c >> 4) & 0xF], szHex[c & 0xF]};
  outWrite(szEscape, sizeof szEscape);
}

bool needsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\' || c == 0x7F; }

// Writes the string's text; what passes unchanged goes out in runs.
void putStringText(const unsigned char* p, std::size_t n) {
  const unsigned char* pEnd = p + n;
  const unsigned char* pRun = p;  // the bytes since the last escape or replacement
  while (p < pEnd) {
    unsigned char c = *p;
    std::size_t nSequence = 1;
    if (c < 0x80) {
      if (!needsEscape(c)) {
        p++;
        continue;
      }
      outWrite(reinterpret_cast<const char*>(pRun), static_cast<std::size_t>(p - pRun));
      putEscape(c);
    } else {
      nSequence = sequenceLength(p, static_cast<std::size_t>(pEnd - p));
      bool bC1Control = nSequence == 2 && c == 0xC2 && p[1] < 0xA0;  // U+0080 to U+009F
      if (nSequence > 0 && !bC1Control) {
        p += nSequence;
        continue;
      }
      outWrite(reinterpret_cast<const char*>(pRun), static_cast<std::size_t>(p - pRun));
      if (bC1Control) {
        putEscape(p[1]);
      } else {
        outWrite("\xEF\xBF\xBD", 3);  // U+FFFD for this byte alone
        nSequence = 1;
      }
    }
    p += nSequence;
    pRun = p;
  }
  outWrite(reinterpret_cast<const char*>(pRun), static_cast<std::size_t>(p - pRun));
}

void putString(const char* p, std::size_t n) {
  outWrite("\"", 1);
  putStringText(reinterpret_cast<const unsigned char*>(p), n);
  outWrite("\"", 1);
}

// Writes the digits of n at szOut, after leading zeros up to nMinDigits
// digits, and returns their number.
std::size_t formatUint(std::uint64_t n, char* szOut, int nMinDigits = 1) {
  char szDigits[24];
  char* pStart = szDigits + sizeof szDigits;
  int nDigits = 0;
  do {
    *--pStart = static_cast<char>('0' + n % 10);
    n /= 10;
    nDigits++;
  } while (n != 0 || nDigits < nMinDigits);
  std::size_t nLength = static_cast<std::size_t>(szDigits + sizeof szDigits - pStart);
  std::memcpy(szOut, pStart, nLength);
  return nLength;
}

// A finite double as the shortest decimal that reads back as it: the digits
// d1 d2 ... dn stand for d1.d2...dn times ten to the exponent.
struct Decimal {
  bool bNegative = false;
  char szDigits[24] = {};
  int nDigits = 0;
  int nExponent = 0;
};

// Takes the scientific form that the C++ library writes, such as -1.25e+03.
Decimal decimalOf(const char* pC, const char* pEnd) {
  Decimal decimal;
  decimal.bNegative = *pC == '-';
  if (decimal.bNegative) pC++;
  for (; pC < pEnd && *pC != 'e' && *pC != 'E'; pC++) {
    if (*pC >= '0' && *pC <= '9' && decimal.nDigits < 20) {
      decimal.szDigits[decimal.nDigits++] = *pC;
    }
  }
  while (decimal.nDigits > 1 && decimal.szDigits[decimal.nDigits - 1] == '0') decimal.nDigits--;
  bool bNegativeExponent = pC + 1 < pEnd && pC[1] == '-';
  for (pC++; pC < pEnd; pC++) {
    if (*pC >= '0' && *pC <= '9') decimal.nExponent = decimal.nExponent * 10 + (*pC - '0');
  }
  if (bNegativeExponent) decimal.nExponent = -decimal.nExponent;
  return decimal;
}

Decimal shortestDecimal(double d) {
  char szText[64];
#ifdef __cpp_lib_to_chars
  std::to_chars_result result =
      std::to_chars(szText, szText + sizeof szText, d, std::chars_format::scientific);
  return decimalOf(szText, result.ptr);
#else
  // Without the C++17 conversion: the fewest digits that read back as d.
  int nLength = 0;
  for (int nPrecision = 0; nPrecision <= 16; nPrecision++) {
    nLength = std::snprintf(szText, sizeof szText, "%.*e", nPrecision, d);
    if (std::strtod(szText, nullptr) == d) break;
  }
  return decimalOf(szText, szText + nLength);
#endif
}

// Writes zeros, or the digits from nFrom up to nTo (not included), at pOut.
char* putDigits(const Decimal& decimal, int nFrom, int nTo, char* pOut) {
  for (int i = nFrom; i < nTo; i++) *pOut++ = i < decimal.nDigits ? decimal.szDigits[i] : '0';
  return pOut;
}

// Returns the number of characters of d's JSON number written at szOut, which
// has room for 48.
std::size_t formatDouble(double d, char* szOut) {
  Decimal decimal = shortestDecimal(d);
  char* pOut = szOut;
  if (decimal.bNegative) *pOut++ = '-';
  int nExponent = decimal.nExponent;
  if (nExponent >= 16 || nExponent < -4) {
    *pOut++ = decimal.szDigits[0];
    if (decimal.nDigits > 1) {
      *pOut++ = '.';
      pOut = putDigits(decimal, 1, decimal.nDigits, pOut);
    }
    *pOut++ = 'e';
    *pOut++ = nExponent < 0 ? '-' : '+';
    unsigned nMagnitude = static_cast<unsigned>(nExponent < 0 ? -nExponent : nExponent);
    pOut += formatUint(nMagnitude, pOut, 2);
  } else if (nExponent >= 0) {
    pOut = putDigits(decimal, 0, nExponent + 1, pOut);
    *pOut++ = '.';
    pOut = putDigits(decimal, nExponent + 1,
                     decimal.nDigits > nExponent + 1 ? decimal.nDigits : nExponent + 2, pOut);
  } else {
    *pOut++ = '0';
    *pOut++ = '.';
    for (int i = nExponent; i < -1; i++) *pOut++ = '0';
    pOut = putDigits(decimal, 0, decimal.nDigits, pOut);
  }
  return static_cast<std::size_t>(pOut - szOut);
}

// Writes a scalar value's text.
void putScalar(JsonWriter& json, const char* p, std::size_t n) {
  if (!beginValue(json)) return;
  outWrite(p, n);
  endValue(json);
}

}  // namespace

void beginJsonObject(JsonWriter& json) { beginContainer(json, true); }

void endJsonObject(JsonWriter& json) { endContainer(json, true); }

void beginJsonArray(JsonWriter& json) { beginContainer(json, false); }

void endJsonArray(JsonWriter& json) { endContainer(json, false); }

void writeJsonKey(JsonWriter& json, const char* szKey) {
  int nTop = json.nDepth - 1;
  if (json.bMisused || nTop < 0 || !json.abObject[nTop] || json.bKeyWritten) {
    json.bMisused = true;
    return;
  }
  outWrite(",", json.abHasMember[nTop] ? 1 : 0);
  putIndent(json.nDepth);
  putString(szKey, std::strlen(szKey));
  outWrite(": ", 2);
  json.abHasMember[nTop] = true;
  json.bKeyWritten = true;
}

void writeJsonString(JsonWriter& json, const char* p, std::size_t n) {
  if (!beginValue(json)) return;
  putString(p, n);
  endValue(json);
}

void writeJsonString(JsonWriter& json, const char* sz) {
  writeJsonString(json, sz, std::strlen(sz));
}

void writeJsonUint(JsonWriter& json, std::uint64_t n) {
  char szText[24];
  putScalar(json, szText, formatUint(n, szText));
}

void writeJsonInt(JsonWriter& json, std::int64_t n) {
  char szText[24];
  // The magnitude of INT64_MIN exists only as an unsigned number.
  std::uint64_t nMagnitude = static_cast<std::uint64_t>(n);
  if (n < 0) nMagnitude = 0 - nMagnitude;
  szText[0] = '-';
  std::size_t nSign = n < 0 ? 1 : 0;
  putScalar(json, szText, nSign + formatUint(nMagnitude, szText + nSign));
}

void writeJsonDouble(JsonWriter& json, double d) {
  if (!std::isfinite(d)) {
    putScalar(json, "null", 4);
    return;
  }
  char szText[48];
  putScalar(json, szText, formatDouble(d, szText));
}

void writeJsonHundredths(JsonWriter& json, std::uint64_t nWhole, unsigned nHundredths) {
  char szText[28];
  std::size_t n = formatUint(nWhole, szText);
  szText[n++] = '.';
  n += formatUint(nHundredths > 99 ? 99 : nHundredths, szText + n, 2);
  putScalar(json, szText, n);
}

void writeJsonNumberText(JsonWriter& json, const char* szNumber) {
  putScalar(json, szNumber, std::strlen(szNumber));
}

void writeJsonBool(JsonWriter& json, bool b) { putScalar(json, b ? "true" : "false", b ? 4 : 5); }

void writeJsonNull(JsonWriter& json) { putScalar(json, "null", 4); }

bool jsonComplete(const JsonWriter& json) { return json.bDone && !json.bMisused; }

std::size_t utf8SequenceLength(const unsigned char* p, std::size_t nLeft) {
  return sequenceLength(p, nLeft);
}
