// The pull tokenizer of jsonpull.h: a state machine over the bytes of the
// blocks fed, which keeps across blocks only where the grammar stands and
// the token being read, so that a block may end at any byte.
#include "sources/jsonpull.h"

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "sources/text.h"

namespace {

// What may come next in the grammar (JsonPull::nExpect).
enum Expect : std::uint8_t {
  kTop,           // a top-level value, or the end of the input
  kValue,         // a value: after ':', or after ',' in an array
  kValueOrClose,  // a value or ']': after '['
  kKeyOrClose,    // a member's name or '}': after '{'
  kKeyNext,       // a member's name: after ',' in an object
  kColon,         // ':' after a member's name
  kCommaOrClose,  // ',' or the container's end: after a value in it
};

// The token being read across blocks (JsonPull::nLexeme).
enum Lexeme : std::uint8_t { kNoLexeme, kStringLexeme, kNumberLexeme, kLiteralLexeme };

// Inner states of a string (JsonPull::nStep).
enum StringStep : std::uint8_t { kChars, kEscape, kUnicode };

// Inner states of a number (JsonPull::nStep), after what was read last.
enum NumberStep : std::uint8_t {
  kMinus,         // '-': a digit must follow
  kZero,          // a leading 0: no digit may follow
  kDigits,        // digits of the integer part
  kPoint,         // '.': a digit must follow
  kFraction,      // digits after the point
  kExponentMark,  // 'e' or 'E': a sign or a digit must follow
  kExponentSign,  // the exponent's sign: a digit must follow
  kExponent,      // digits of the exponent
};

// Bytes that a string copies as they are: printable ASCII but '"' and '\'.
struct PlainBytes {
  bool ab[256] = {};
  constexpr PlainBytes() {
    for (int n = 0x20; n < 0x80; n++) ab[n] = n != '"' && n != '\\';
  }
};
constexpr PlainBytes kPlain;

// Room a code point from an escape needs: a U+FFFD for a pending high
// surrogate, then up to four bytes.
const std::size_t kEscapeRoom = 7;

std::uint64_t offsetHere(const JsonPull& json) { return json.nBlockStart + json.nPos; }

bool isWhiteSpace(unsigned char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Starts token as a kind at nOffset, ending where the reading stands.
JsonKind startToken(const JsonPull& json, JsonToken& token, JsonKind kind, std::uint64_t nOffset) {
  token = JsonToken{};
  token.kind = kind;
  token.nOffset = nOffset;
  token.nEnd = offsetHere(json);
  token.nDepth = json.nDepth;
  return kind;
}

// Makes token a kError or kEndedEarly that every later call gives again.
JsonKind finish(JsonPull& json, JsonToken& token, JsonKind kind, std::uint64_t nOffset,
                const char* szReason) {
  startToken(json, token, kind, nOffset);
  token.nEnd = nOffset;
  token.szReason = szReason;
  json.bFinished = true;
  json.last = token;
  return kind;
}

JsonKind fail(JsonPull& json, JsonToken& token, const char* szReason) {
  return finish(json, token, JsonKind::kError, offsetHere(json), szReason);
}

JsonKind endEarly(JsonPull& json, JsonToken& token, const char* szReason) {
  return finish(json, token, JsonKind::kEndedEarly, offsetHere(json), szReason);
}

JsonKind needMore(const JsonPull& json, JsonToken& token) {
  return startToken(json, token, JsonKind::kNeedMore, offsetHere(json));
}

// A value just ended: says what may follow it, and whether it was the
// top-level one (a top-level number or literal needs white space after it).
bool endValue(JsonPull& json, bool bScalar) {
  if (json.nDepth > 0) {
    json.nExpect = kCommaOrClose;
    return false;
  }
  json.nExpect = kTop;
  json.bSeparatorDue = bScalar;
  return true;
}

// ---------------------------------------------------------------- strings

void appendCodePoint(JsonPull& json, std::uint32_t nCode) {
  char* p = json.aText + json.nText;
  if (nCode < 0x80) {
    p[0] = static_cast<char>(nCode);
    json.nText += 1;
  } else if (nCode < 0x800) {
    p[0] = static_cast<char>(0xC0 | (nCode >> 6));
    p[1] = static_cast<char>(0x80 | (nCode & 0x3F));
    json.nText += 2;
  } else if (nCode < 0x10000) {
    p[0] = static_cast<char>(0xE0 | (nCode >> 12));
    p[1] = static_cast<char>(0x80 | ((nCode >> 6) & 0x3F));
    p[2] = static_cast<char>(0x80 | (nCode & 0x3F));
    json.nText += 3;
  } else {
    p[0] = static_cast<char>(0xF0 | (nCode >> 18));
    p[1] = static_cast<char>(0x80 | ((nCode >> 12) & 0x3F));
    p[2] = static_cast<char>(0x80 | ((nCode >> 6) & 0x3F));
    p[3] = static_cast<char>(0x80 | (nCode & 0x3F));
    json.nText += 4;
  }
}

// A \uD800-\uDBFF that no low surrogate followed becomes U+FFFD.
void dropHighSurrogate(JsonPull& json) {
  if (json.nHighSurrogate == 0) return;
  appendCodePoint(json, 0xFFFD);
  json.nHighSurrogate = 0;
}

void appendCodeUnit(JsonPull& json, std::uint32_t nUnit) {
  bool bLow = nUnit >= 0xDC00 && nUnit <= 0xDFFF;
  if (json.nHighSurrogate != 0 && bLow) {
    appendCodePoint(json, 0x10000 + ((json.nHighSurrogate - 0xD800) << 10) + (nUnit - 0xDC00));
    json.nHighSurrogate = 0;
    return;
  }
  dropHighSurrogate(json);
  if (nUnit >= 0xD800 && nUnit <= 0xDBFF) {
    json.nHighSurrogate = nUnit;
  } else {
    appendCodePoint(json, bLow ? 0xFFFD : nUnit);
  }
}

bool hasRoom(const JsonPull& json, std::size_t n) { return JsonPull::kMaxPiece - json.nText >= n; }

// Hands out the text gathered so far as a piece of the string; more follows.
JsonKind deliverPiece(JsonPull& json, JsonToken& token, bool bMore) {
  startToken(json, token, json.bKey ? JsonKind::kKey : JsonKind::kString, json.nTokenStart);
  json.aText[json.nText] = '\0';
  token.pText = json.aText;
  token.nLength = json.nText;
  token.bMore = bMore;
  token.bNotUtf8 = json.bTextNotUtf8;
  json.nText = 0;
  json.bTextNotUtf8 = false;
  return token.kind;
}

// The byte c (0x80 and up) of the document, checked as part of UTF-8 and
// kept as it is. Returns false, taking nothing, when the piece is full first.
bool takeRawByte(JsonPull& json, unsigned char c) {
  bool bContinuation = c >= 0x80 && c <= 0xBF;
  std::uint8_t nFollowing = c >= 0xC2 && c <= 0xDF   ? 1
                            : c >= 0xE0 && c <= 0xEF ? 2
                            : c >= 0xF0 && c <= 0xF4 ? 3
                                                     : 0;
  if (!hasRoom(json, 1u + nFollowing)) return false;  // a whole sequence fits one piece
  if (json.nUtf8Left > 0 && bContinuation && c >= json.nUtf8Low && c <= json.nUtf8High) {
    json.nUtf8Left--;
    json.nUtf8Low = 0x80;
    json.nUtf8High = 0xBF;
  } else if (bContinuation) {
    json.bTextNotUtf8 = true;  // one too many, or out of its range
    json.nUtf8Left = 0;
  } else {
    json.nUtf8Low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    json.nUtf8High = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    json.nUtf8Left = nFollowing;
    if (nFollowing == 0) json.bTextNotUtf8 = true;  // C0, C1, F5 to FF
  }
  json.aText[json.nText++] = static_cast<char>(c);
  return true;
}

// Copies the longest run of plain bytes that fits the piece.
void copyPlainRun(JsonPull& json) {
  const unsigned char* p = json.pBlock + json.nPos;
  std::size_t nMax = json.nBlock - json.nPos;
  if (nMax > JsonPull::kMaxPiece - json.nText) nMax = JsonPull::kMaxPiece - json.nText;
  std::size_t n = 0;
  while (n < nMax && kPlain.ab[p[n]]) n++;
  std::memcpy(json.aText + json.nText, p, n);
  json.nText += n;
  json.nPos += n;
}

// Reads on in a string: delivers it (or a piece of it) when it can.
JsonKind readString(JsonPull& json, JsonToken& token) {
  for (;;) {
    if (json.nPos == json.nBlock) {
      if (!json.bInputEnded) return needMore(json, token);
      return endEarly(json, token, json.bKey ? "inside a member's name" : "inside a string");
    }
    unsigned char c = json.pBlock[json.nPos];
    if (json.nStep == kEscape) {
      static const char kFrom[] = "\"\\/bfnrt";
      static const char kTo[] = "\"\\/\b\f\n\r\t";
      if (c == 'u') {
        json.nStep = kUnicode;
        json.nEscapeDigits = 0;
        json.nCodeUnit = 0;
      } else if (const char* pAt = c != 0 ? std::strchr(kFrom, c) : nullptr) {
        dropHighSurrogate(json);
        json.aText[json.nText++] = kTo[pAt - kFrom];
        json.nStep = kChars;
      } else {
        return fail(json, token, "unknown escape after a backslash");
      }
      json.nPos++;
      continue;
    }
    if (json.nStep == kUnicode) {
      unsigned nHex = isDigit(c)                               ? c - '0'
                      : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                               : 16;
      if (nHex == 16) return fail(json, token, "expected four hex digits after \\u");
      json.nCodeUnit = json.nCodeUnit * 16 + nHex;
      json.nPos++;
      if (++json.nEscapeDigits == 4) {
        appendCodeUnit(json, json.nCodeUnit);
        json.nStep = kChars;
      }
      continue;
    }
    if (json.nUtf8Left == 0 && json.nHighSurrogate == 0) {
      copyPlainRun(json);
      if (json.nPos == json.nBlock) continue;
      c = json.pBlock[json.nPos];
      if (kPlain.ab[c]) return deliverPiece(json, token, true);  // the piece is full
    }
    if (c < 0x80 && json.nUtf8Left > 0) {
      json.bTextNotUtf8 = true;  // a sequence cut short
      json.nUtf8Left = 0;
    }
    if (c != '\\' && json.nHighSurrogate != 0) {
      if (!hasRoom(json, 3)) return deliverPiece(json, token, true);
      dropHighSurrogate(json);
    }
    if (c >= 0x80) {
      if (!takeRawByte(json, c)) return deliverPiece(json, token, true);
      json.nPos++;
    } else if (c == '"') {
      json.nPos++;
      json.nLexeme = kNoLexeme;
      deliverPiece(json, token, false);
      if (json.bKey) {
        json.nExpect = kColon;
      } else {
        token.bEndsValue = endValue(json, false);
      }
      return token.kind;
    } else if (c == '\\') {
      if (!hasRoom(json, kEscapeRoom)) return deliverPiece(json, token, true);
      json.nStep = kEscape;
      json.nPos++;
    } else if (c < 0x20) {
      return fail(json, token, "control character in a string");
    } else if (!hasRoom(json, 1)) {
      return deliverPiece(json, token, true);
    } else {
      json.aText[json.nText++] = static_cast<char>(c);
      json.nPos++;
    }
  }
}

// ---------------------------------------------------------------- numbers

JsonKind deliverNumber(JsonPull& json, JsonToken& token) {
  json.nLexeme = kNoLexeme;
  startToken(json, token, JsonKind::kNumber, json.nTokenStart);
  json.aText[json.nText] = '\0';
  token.pText = json.aText;
  token.nLength = json.nText;
  json.nText = 0;
  if (json.bIntegral && json.bFits) {
    std::uint64_t nMagnitude = json.nMagnitude;
    const std::uint64_t nInt64Max = 0x7FFFFFFFFFFFFFFFu;
    token.bUint = !json.bNegative;
    token.nUint = nMagnitude;
    token.bInt = nMagnitude <= nInt64Max + (json.bNegative ? 1 : 0);
    // -2^63 has no positive counterpart: negate one less, then step down.
    if (token.bInt && !json.bNegative) token.nInt = static_cast<std::int64_t>(nMagnitude);
    if (token.bInt && json.bNegative && nMagnitude > 0)
      token.nInt = -static_cast<std::int64_t>(nMagnitude - 1) - 1;
  }
  token.bEndsValue = endValue(json, true);
  return JsonKind::kNumber;
}

// The next step of a number after the byte c, or 255 when c ends it (or
// cannot follow, which the caller tells by the step it left).
std::uint8_t numberStepAfter(std::uint8_t nStep, unsigned char c) {
  bool bDigit = isDigit(c);
  switch (nStep) {
    case kMinus:
      return c == '0' ? kZero : bDigit ? kDigits : 255;
    case kZero:
      return c == '.' ? kPoint : (c | 0x20) == 'e' ? kExponentMark : 255;
    case kDigits:
      return bDigit ? kDigits : c == '.' ? kPoint : (c | 0x20) == 'e' ? kExponentMark : 255;
    case kPoint:
      return bDigit ? kFraction : 255;
    case kFraction:
      return bDigit ? kFraction : (c | 0x20) == 'e' ? kExponentMark : 255;
    case kExponentMark:
      return c == '+' || c == '-' ? kExponentSign : bDigit ? kExponent : 255;
    default:  // kExponentSign, kExponent
      return bDigit ? kExponent : 255;
  }
}

bool numberMayEnd(std::uint8_t nStep) {
  return nStep == kZero || nStep == kDigits || nStep == kFraction || nStep == kExponent;
}

// Takes the digits of an integer part that follow in the block, as many as
// the text has room for: most numbers of an export are sizes, read here.
void takeDigits(JsonPull& json) {
  std::size_t nStop = json.nPos + (JsonPull::kMaxPiece - json.nText);
  if (nStop > json.nBlock) nStop = json.nBlock;
  std::size_t nPos = json.nPos;
  std::uint64_t nMagnitude = json.nMagnitude;
  for (; nPos < nStop && isDigit(json.pBlock[nPos]); nPos++) {
    unsigned nDigit = json.pBlock[nPos] - '0';
    if (nMagnitude > (~std::uint64_t{0} - nDigit) / 10) json.bFits = false;
    nMagnitude = nMagnitude * 10 + nDigit;
    json.aText[json.nText++] = static_cast<char>(json.pBlock[nPos]);
  }
  json.nMagnitude = nMagnitude;
  json.nPos = nPos;
}

JsonKind readNumber(JsonPull& json, JsonToken& token) {
  for (;;) {
    if (json.nStep == kDigits) takeDigits(json);
    if (json.nPos == json.nBlock) {
      if (!json.bInputEnded) return needMore(json, token);
      // Only a top-level number is known to be whole at the input's end.
      if (json.nDepth == 0 && numberMayEnd(json.nStep)) return deliverNumber(json, token);
      return endEarly(json, token, "inside a number");
    }
    unsigned char c = json.pBlock[json.nPos];
    if (json.nStep == kZero && isDigit(c))
      return fail(json, token, "a number begins with 0 and another digit");
    std::uint8_t nNext = numberStepAfter(json.nStep, c);
    if (nNext == 255) {
      if (numberMayEnd(json.nStep)) return deliverNumber(json, token);
      return fail(json, token, "expected a digit in a number");
    }
    if (json.nText == JsonPull::kMaxPiece)
      return fail(json, token, "number longer than 4096 characters");
    if (nNext == kDigits || nNext == kZero) {
      unsigned nDigit = c - '0';
      if (json.nMagnitude > (~std::uint64_t{0} - nDigit) / 10) json.bFits = false;
      json.nMagnitude = json.nMagnitude * 10 + nDigit;
    } else if (nNext == kPoint || nNext == kExponentMark) {
      json.bIntegral = false;
    }
    json.aText[json.nText++] = static_cast<char>(c);
    json.nStep = nNext;
    json.nPos++;
  }
}

// ---------------------------------------------------------------- literals

// Matches true, false, null, or the byte-order mark (literalKind kEnd).
JsonKind readLiteral(JsonPull& json, JsonToken& token) {
  for (;;) {
    if (json.szLiteral[json.nStep] == '\0') {
      json.nLexeme = kNoLexeme;
      if (json.literalKind == JsonKind::kEnd) return JsonKind::kEnd;  // the mark: read on
      startToken(json, token, json.literalKind, json.nTokenStart);
      token.bEndsValue = endValue(json, true);
      return token.kind;
    }
    if (json.nPos == json.nBlock) {
      if (!json.bInputEnded) return needMore(json, token);
      bool bMark = json.literalKind == JsonKind::kEnd;
      return endEarly(json, token,
                      bMark ? "inside a byte-order mark" : "inside true, false or null");
    }
    if (static_cast<char>(json.pBlock[json.nPos]) != json.szLiteral[json.nStep]) {
      bool bMark = json.literalKind == JsonKind::kEnd;
      return fail(json, token,
                  bMark ? "a byte-order mark cut short" : "expected true, false or null");
    }
    json.nStep++;
    json.nPos++;
  }
}

JsonKind readLexeme(JsonPull& json, JsonToken& token) {
  if (json.nLexeme == kStringLexeme) return readString(json, token);
  if (json.nLexeme == kNumberLexeme) return readNumber(json, token);
  return readLiteral(json, token);
}

// ---------------------------------------------------------------- structure

void startLexeme(JsonPull& json, Lexeme lexeme, std::uint8_t nStep) {
  json.nLexeme = lexeme;
  json.nStep = nStep;
  json.nTokenStart = offsetHere(json);
  json.nText = 0;
  json.bTextNotUtf8 = false;
}

JsonKind openContainer(JsonPull& json, JsonToken& token, bool bObject) {
  if (json.nDepth == JsonPull::kMaxDepth) return fail(json, token, "nested deeper than 256 levels");
  json.nPos++;
  startToken(json, token, bObject ? JsonKind::kBeginObject : JsonKind::kBeginArray,
             offsetHere(json) - 1);
  json.abObject[json.nDepth++] = bObject;
  json.nExpect = bObject ? kKeyOrClose : kValueOrClose;
  return token.kind;
}

JsonKind closeContainer(JsonPull& json, JsonToken& token) {
  json.nPos++;
  bool bObject = json.abObject[--json.nDepth];
  startToken(json, token, bObject ? JsonKind::kEndObject : JsonKind::kEndArray,
             offsetHere(json) - 1);
  token.bEndsValue = endValue(json, false);
  return token.kind;
}

// Starts the value that begins with c, or fails.
JsonKind startValue(JsonPull& json, JsonToken& token, unsigned char c) {
  if (c == '{' || c == '[') return openContainer(json, token, c == '{');
  if (c == '"') {
    startLexeme(json, kStringLexeme, kChars);
    json.bKey = false;
    json.nPos++;
    return readString(json, token);
  }
  if (c == '-' || isDigit(c)) {
    startLexeme(json, kNumberLexeme, kMinus);
    json.bNegative = c == '-';
    json.bIntegral = true;
    json.bFits = true;
    json.nMagnitude = 0;
    if (c == '-') {
      json.aText[json.nText++] = '-';
      json.nPos++;
    }
    return readNumber(json, token);
  }
  const char* szLiteral = c == 't' ? "true" : c == 'f' ? "false" : c == 'n' ? "null" : nullptr;
  if (szLiteral == nullptr) return fail(json, token, "expected a value");
  startLexeme(json, kLiteralLexeme, 0);
  json.szLiteral = szLiteral;
  json.literalKind = c == 't' ? JsonKind::kTrue : c == 'f' ? JsonKind::kFalse : JsonKind::kNull;
  return readLiteral(json, token);
}

JsonKind startKey(JsonPull& json, JsonToken& token) {
  startLexeme(json, kStringLexeme, kChars);
  json.bKey = true;
  json.nPos++;
  return readString(json, token);
}

// The input ended outside any token.
JsonKind endInput(JsonPull& json, JsonToken& token) {
  if (json.nExpect == kTop) return finish(json, token, JsonKind::kEnd, offsetHere(json), nullptr);
  if (json.nExpect == kColon) return endEarly(json, token, "after a member's name");
  return endEarly(json, token,
                  json.abObject[json.nDepth - 1] ? "inside an object" : "inside an array");
}

// Reads the next structural byte, or starts the token that begins there.
JsonKind readStructure(JsonPull& json, JsonToken& token, unsigned char c) {
  switch (json.nExpect) {
    case kColon:
      if (c != ':') return fail(json, token, "expected ':' after a member's name");
      json.nPos++;
      json.nExpect = kValue;
      return JsonKind::kNeedMore;  // nothing to hand out: read on
    case kCommaOrClose: {
      bool bObject = json.abObject[json.nDepth - 1];
      if (c == ',') {
        json.nPos++;
        json.nExpect = bObject ? kKeyNext : kValue;
        return JsonKind::kNeedMore;
      }
      if (c == static_cast<unsigned char>(bObject ? '}' : ']')) return closeContainer(json, token);
      return fail(
          json, token,
          bObject ? "expected ',' or '}' after a member" : "expected ',' or ']' after an element");
    }
    case kKeyOrClose:
      if (c == '}') return closeContainer(json, token);
      if (c == '"') return startKey(json, token);
      return fail(json, token, "expected a member's name in quotes or '}'");
    case kKeyNext:
      if (c == '"') return startKey(json, token);
      return fail(json, token, "expected a member's name in quotes");
    case kValueOrClose:
      if (c == ']') return closeContainer(json, token);
      return startValue(json, token, c);
    case kTop:
      if (json.bSeparatorDue)
        return fail(json, token, "expected white space after a top-level value");
      if (c == 0xEF && offsetHere(json) == 0) {
        startLexeme(json, kLiteralLexeme, 0);
        json.szLiteral = "\xEF\xBB\xBF";
        json.literalKind = JsonKind::kEnd;
        JsonKind kind = readLiteral(json, token);
        return kind == JsonKind::kEnd ? JsonKind::kNeedMore : kind;
      }
      return startValue(json, token, c);
    default:
      return startValue(json, token, c);
  }
}

// ------------------------------------------------- plain objects at once

const unsigned char* skipSpace(const unsigned char* p, const unsigned char* pEnd) {
  const bool bNoSpace = pEnd > p && *p > ' ';
  if (bNoSpace) return p;  // most often
  while (p < pEnd && isWhiteSpace(*p)) p++;
  return p;
}

// Passes the mark c at p and the blanks around it. Returns the byte after
// them, or nullptr when the first byte that is no blank is another. Most
// exports have no blanks: a mark followed by a byte that is none is told at
// once.
inline const unsigned char* passMark(const unsigned char* p, const unsigned char* pEnd,
                                     unsigned char c) {
  if (pEnd - p >= 2 && *p == c && p[1] > ' ') return p + 1;
  p = skipSpace(p, pEnd);
  if (p == pEnd || *p != c) return nullptr;
  return skipSpace(p + 1, pEnd);
}

// jsonPlainStringEnd, inlined where objects are read at once.
inline const unsigned char* plainStringEnd(const unsigned char* p, const unsigned char* pEnd) {
  const unsigned char* pLimit =
      pEnd - p > static_cast<std::ptrdiff_t>(JsonPull::kMaxPiece) ? p + JsonPull::kMaxPiece : pEnd;
#ifdef __SSE2__
  // Sixteen bytes at a time: the first that is a quote, a backslash, a
  // control or above 127 (a negative signed byte, below 0x20 as well).
  const __m128i vQuote = _mm_set1_epi8('"');
  const __m128i vBackslash = _mm_set1_epi8('\\');
  const __m128i vSpace = _mm_set1_epi8(0x20);
  while (pLimit - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i vFound =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, vQuote), _mm_cmpeq_epi8(v, vBackslash)),
                     _mm_cmplt_epi8(v, vSpace));
    int nMask = _mm_movemask_epi8(vFound);
    if (nMask != 0) {
      p += __builtin_ctz(static_cast<unsigned>(nMask));
      return *p == '"' ? p : nullptr;
    }
    p += 16;
  }
#endif
  // Eight bytes at a time while none of them is a quote, a backslash, a
  // control or above 127: names and paths are most of the bytes.
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  while (pLimit - p >= 8) {
    std::uint64_t n;
    std::memcpy(&n, p, 8);
    std::uint64_t nQuote = n ^ (kOnes * '"');
    std::uint64_t nBackslash = n ^ (kOnes * '\\');
    std::uint64_t nFound = ((nQuote - kOnes) & ~nQuote) | ((nBackslash - kOnes) & ~nBackslash) |
                           (n - kOnes * 0x20) | n;
    nFound &= kHighs;
    if (nFound != 0) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      // A borrow runs only past a byte that is flagged itself: the lowest
      // flag is the first byte that ends the plain text.
      p += __builtin_ctzll(nFound) / 8;
      return *p == '"' ? p : nullptr;
#else
      break;
#endif
    }
    p += 8;
  }
  for (; p < pLimit; p++) {
    if (!kPlain.ab[*p]) return *p == '"' ? p : nullptr;
  }
  return nullptr;
}

// Reads an integer as readNumber would (a leading zero alone; at most 20
// digits, 19 after a minus sign), or returns nullptr. A byte after it that
// would go on a number (a digit, '.', 'e', 'E') leaves it to the tokenizer.
const unsigned char* plainInteger(const unsigned char* p, const unsigned char* pEnd,
                                  JsonToken& value) {
  const bool bNegative = *p == '-';
  const unsigned char* pDigits = bNegative ? p + 1 : p;
  const unsigned char* q = pDigits;
  // Nineteen digits always fit 64 bits; a twentieth may pass them.
  std::uint64_t nMagnitude = 0;
  const unsigned char* pNineteen = pEnd - q > 19 ? q + 19 : pEnd;
  if (pNineteen - q >= 8) q += readDigitWord(reinterpret_cast<const char*>(q), nMagnitude);
  if (pNineteen - q >= 8 && q - pDigits == 8) {  // a time's ten digits: two words
    static const std::uint64_t kPowers[] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};
    std::uint64_t nMore = 0;
    int n = readDigitWord(reinterpret_cast<const char*>(q), nMore);
    nMagnitude = nMagnitude * kPowers[n] + nMore;
    q += n;
  }
  while (q < pNineteen && isDigit(*q)) {
    nMagnitude = nMagnitude * 10 + static_cast<std::uint64_t>(*q++ - '0');
  }
  bool bFits = true;
  if (q < pEnd && isDigit(*q)) {
    if (bNegative) return nullptr;
    std::uint64_t nLast = static_cast<std::uint64_t>(*q++ - '0');
    bFits =
        nMagnitude < UINT64_MAX / 10 || (nMagnitude == UINT64_MAX / 10 && nLast <= UINT64_MAX % 10);
    nMagnitude = bFits ? nMagnitude * 10 + nLast : 0;
  }
  std::ptrdiff_t nDigits = q - pDigits;
  if (nDigits == 0 || (*pDigits == '0' && nDigits > 1)) return nullptr;
  if (q == pEnd || isDigit(*q) || *q == '.' || *q == 'e' || *q == 'E') return nullptr;
  value.kind = JsonKind::kNumber;
  value.pText = reinterpret_cast<const char*>(p);
  value.nLength = static_cast<std::size_t>(q - p);
  if (!bFits) return q;
  const std::uint64_t nInt64Max = static_cast<std::uint64_t>(INT64_MAX);
  value.bUint = !bNegative;
  value.nUint = nMagnitude;
  value.bInt = nMagnitude <= nInt64Max + (bNegative ? 1 : 0);
  if (value.bInt && !bNegative) value.nInt = static_cast<std::int64_t>(nMagnitude);
  // -2^63 has no positive counterpart: negate one less, then step down.
  if (value.bInt && bNegative && nMagnitude > 0) {
    value.nInt = -static_cast<std::int64_t>(nMagnitude - 1) - 1;
  }
  return q;
}

// Reads a member's value: a plain string, an integer or a literal.
const unsigned char* plainValue(const unsigned char* p, const unsigned char* pEnd,
                                JsonToken& value) {
  if (*p == '"') {
    const unsigned char* pClose = plainStringEnd(p + 1, pEnd);
    if (pClose == nullptr) return nullptr;
    value.kind = JsonKind::kString;
    value.pText = reinterpret_cast<const char*>(p + 1);
    value.nLength = static_cast<std::size_t>(pClose - p - 1);
    return pClose + 1;
  }
  if (*p == '-' || isDigit(*p)) return plainInteger(p, pEnd, value);
  static const struct {
    const char* sz;
    std::size_t n;
    JsonKind kind;
  } kLiterals[] = {
      {"true", 4, JsonKind::kTrue}, {"false", 5, JsonKind::kFalse}, {"null", 4, JsonKind::kNull}};
  for (const auto& literal : kLiterals) {
    if (pEnd - p > static_cast<std::ptrdiff_t>(literal.n) &&
        std::memcmp(p, literal.sz, literal.n) == 0) {
      value.kind = literal.kind;
      return p + literal.n;
    }
  }
  return nullptr;
}

}  // namespace

const char* readPlainJsonObject(const char* pObject, const char* pEndText, JsonMember* aMembers,
                                int& nMembers) {
  const auto* p = reinterpret_cast<const unsigned char*>(pObject);
  const auto* pEnd = reinterpret_cast<const unsigned char*>(pEndText);
  nMembers = 0;
  const unsigned char* q = skipSpace(p + 1, pEnd);
  if (q < pEnd && *q == '}') return reinterpret_cast<const char*>(q + 1);
  for (;;) {
    if (q == pEnd || *q != '"' || nMembers == kMaxPlainMembers) return nullptr;
    const unsigned char* pClose = plainStringEnd(q + 1, pEnd);
    if (pClose == nullptr) return nullptr;
    JsonMember& member = aMembers[nMembers++];
    member.pKey = reinterpret_cast<const char*>(q + 1);
    member.nKey = static_cast<std::size_t>(pClose - q - 1);
    JsonToken& value = member.value;  // what a reader of a value looks at
    value.pText = nullptr;
    value.nLength = 0;
    value.bMore = value.bNotUtf8 = value.bUint = value.bInt = false;
    value.nUint = 0;
    value.nInt = 0;
    q = passMark(pClose + 1, pEnd, ':');
    if (q == nullptr || q == pEnd) return nullptr;
    q = plainValue(q, pEnd, value);
    if (q == nullptr) return nullptr;
    const unsigned char* pNext = passMark(q, pEnd, ',');
    if (pNext == nullptr) {
      q = skipSpace(q, pEnd);
      return q != pEnd && *q == '}' ? reinterpret_cast<const char*>(q + 1) : nullptr;
    }
    q = pNext;
  }
}

const unsigned char* jsonPlainStringEnd(const unsigned char* p, const unsigned char* pEnd) {
  return plainStringEnd(p, pEnd);
}

const char* plainObjectStart(const JsonPull& json) {
  const bool bAfterElement = json.nExpect == kCommaOrClose;
  if (json.bFinished || json.nLexeme != kNoLexeme || json.nDepth == 0 ||
      json.nDepth == JsonPull::kMaxDepth || json.abObject[json.nDepth - 1] ||
      (json.nExpect != kValue && json.nExpect != kValueOrClose && !bAfterElement)) {
    return nullptr;
  }
  const unsigned char* pEnd = json.pBlock + json.nBlock;
  const unsigned char* p = skipSpace(json.pBlock + json.nPos, pEnd);
  if (bAfterElement) {  // the comma before the object, as readStructure reads it
    if (p == pEnd || *p != ',') return nullptr;
    p = skipSpace(p + 1, pEnd);
  }
  if (p == pEnd || *p != '{') return nullptr;
  return reinterpret_cast<const char*>(p);
}

void passPlainObject(JsonPull& json, const char* pAfter) {
  json.nPos =
      static_cast<std::size_t>(reinterpret_cast<const unsigned char*>(pAfter) - json.pBlock);
  json.nExpect = kCommaOrClose;
}

int pullPlainObject(JsonPull& json, JsonMember* aMembers) {
  const char* pObject = plainObjectStart(json);
  if (pObject == nullptr) return -1;
  int nMembers = 0;
  const char* pAfter = readPlainJsonObject(
      pObject, reinterpret_cast<const char*>(json.pBlock + json.nBlock), aMembers, nMembers);
  if (pAfter == nullptr) return -1;
  passPlainObject(json, pAfter);
  return nMembers;
}

void feedJson(JsonPull& json, const char* p, std::size_t n) {
  json.nBlockStart += json.nBlock;
  json.pBlock = reinterpret_cast<const unsigned char*>(p);
  json.nBlock = n;
  json.nPos = 0;
}

void endJsonInput(JsonPull& json) { json.bInputEnded = true; }

void restartJson(JsonPull& json) {
  // Every field but the containers' kinds (written as they open) and the
  // token's text (written as it is read), as the struct's initialisers say.
  json.pBlock = nullptr;
  json.nBlock = json.nPos = 0;
  json.nBlockStart = 0;
  json.bInputEnded = false;
  json.nExpect = kTop;
  json.nDepth = 0;
  json.bSeparatorDue = false;
  json.nLexeme = kNoLexeme;
  json.nStep = json.nEscapeDigits = 0;
  json.nCodeUnit = json.nHighSurrogate = 0;
  json.nUtf8Left = 0;
  json.nUtf8Low = 0x80;
  json.nUtf8High = 0xBF;
  json.bKey = json.bNegative = false;
  json.bIntegral = json.bFits = true;
  json.nMagnitude = 0;
  json.szLiteral = nullptr;
  json.literalKind = JsonKind::kNull;
  json.nTokenStart = 0;
  json.nText = 0;
  json.bTextNotUtf8 = false;
  json.aText[0] = '\0';
  json.bFinished = false;  // json.last is read only once it is set again
}

JsonKind nextJsonToken(JsonPull& json, JsonToken& token) {
  if (json.bFinished) {
    token = json.last;
    return token.kind;
  }
  if (json.nLexeme != kNoLexeme) {
    JsonKind kind = readLexeme(json, token);
    // The byte-order mark ends with nothing to hand out.
    if (kind != JsonKind::kEnd || json.bFinished) return kind;
  }
  for (;;) {
    std::size_t nPos = json.nPos;
    while (nPos < json.nBlock && isWhiteSpace(json.pBlock[nPos])) nPos++;
    if (nPos != json.nPos) {
      json.nPos = nPos;
      json.bSeparatorDue = false;
    }
    if (json.nPos == json.nBlock) {
      if (!json.bInputEnded) return needMore(json, token);
      return endInput(json, token);
    }
    // readStructure says kNeedMore when it took a byte and has nothing to hand out.
    JsonKind kind = readStructure(json, token, json.pBlock[json.nPos]);
    if (kind != JsonKind::kNeedMore || json.nLexeme != kNoLexeme) return kind;
  }
}

const char* jsonKindName(JsonKind kind) {
  static const char* const aszNames[] = {"kNeedMore",   "kBeginObject", "kEndObject", "kBeginArray",
                                         "kEndArray",   "kKey",         "kString",    "kNumber",
                                         "kTrue",       "kFalse",       "kNull",      "kEnd",
                                         "kEndedEarly", "kError"};
  return aszNames[static_cast<int>(kind)];
}
