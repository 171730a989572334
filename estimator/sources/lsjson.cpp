// The reading of rclone lsjson's lines (lsjson.h), its few members of use
// kept: a line of rclone's own shape is read by its fixed keys, another plain
// line member by member, and any other through a restarted jsonpull, which
// alone judges escapes, bytes above 127 and faults. The quick readings give
// what jsonpull would, or step aside.
#include "sources/lsjson.h"

#include <algorithm>
#include <cstring>

#include "sources/kindtext.h"
#include "sources/text.h"

namespace {

// The members read (the others are passed over).
enum Key { kOtherKey, kPathKey, kSizeKey, kTimeKey, kIsDirKey };

// Every line names its members: told apart by length first, so that the
// members passed over (Name, MimeType) cost one comparison.
inline Key keyOf(const char* p, std::size_t nLength) {
  switch (nLength) {
    case 4:
      if (std::memcmp(p, "Path", 4) == 0) return kPathKey;
      return std::memcmp(p, "Size", 4) == 0 ? kSizeKey : kOtherKey;
    case 5:
      return std::memcmp(p, "IsDir", 5) == 0 ? kIsDirKey : kOtherKey;
    case 7:
      return std::memcmp(p, "ModTime", 7) == 0 ? kTimeKey : kOtherKey;
    default:
      return kOtherKey;
  }
}

// JSON's blanks alone, as the tokenizer takes them: a form feed is none.
bool isJsonBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

const char* skipBlanks(const char* p, const char* pEnd) {
  const bool bNoBlank = pEnd > p && static_cast<unsigned char>(*p) > 0x20;
  if (bNoBlank) return p;  // most often
  while (p < pEnd && isJsonBlank(*p)) p++;
  return p;
}

// Passes the mark c at p, with the blanks around it. Returns the byte after
// them, or nullptr when the first byte that is no blank is another. rclone
// writes none: a mark followed by a byte that is no blank is told at once.
inline const char* passMark(const char* p, const char* pEnd, char c) {
  if (pEnd - p >= 2 && *p == c && static_cast<unsigned char>(p[1]) > 0x20) return p + 1;
  p = skipBlanks(p, pEnd);
  if (p >= pEnd || *p != c) return nullptr;
  return skipBlanks(p + 1, pEnd);
}

// One object as its line gives it.
struct LsJsonObject {
  bool bDir = false;
  bool bSize = false;  // a size that is one: an integer of 0 or more
  std::uint64_t nSize = 0;
  bool bTime = false;
  std::int64_t nTime = 0;
  std::size_t nPath = 0;     // bytes of the path kept in szPath
  char szPath[kFolderRoom];  // left unset: a line pays for its path alone
};

// A member's string value, or a piece of it (bMore: another follows).
void takeString(const LsJson& x, LsJsonObject& o, Key key, const char* pText, std::size_t n,
                bool bMore) {
  if (key == kIsDirKey) {
    o.bDir = false;
  } else if (key == kSizeKey) {
    o.bSize = false;
  } else if (key == kTimeKey && x.bDates && !bMore) {
    o.bTime = readRfc3339(pText, n, o.nTime);
  } else if (key == kPathKey && x.bFolders) {
    std::size_t nKept = std::min(n, sizeof o.szPath - 1 - o.nPath);
    std::memcpy(o.szPath + o.nPath, pText, nKept);
    o.nPath += nKept;
  }
}

// A member's value, or a piece of it.
void takeValue(const LsJson& x, LsJsonObject& o, Key key, const JsonToken& t) {
  if (t.kind == JsonKind::kString) {
    takeString(x, o, key, t.pText, t.nLength, t.bMore);
  } else if (key == kIsDirKey) {
    o.bDir = t.kind == JsonKind::kTrue;
  } else if (key == kSizeKey) {
    o.bSize = t.kind == JsonKind::kNumber && t.bUint;
    o.nSize = t.nUint;
  }
}

// Reads the object that the JSON fed holds. Returns the offset just past it,
// or 0 when it ends early (cut short), or is no object that can be read.
std::uint64_t readObject(LsJson& x, LsJsonObject& o, bool& bEndedEarly) {
  Key key = kOtherKey;
  int nSkipDepth = -1;  // >= 0: inside a value passed over (Hashes, Metadata)
  JsonToken t;
  for (;;) {
    JsonKind kind = nextJsonToken(x.json, t);
    if (kind == JsonKind::kEndedEarly || kind == JsonKind::kError || kind == JsonKind::kEnd ||
        kind == JsonKind::kNeedMore) {
      bEndedEarly = kind == JsonKind::kEndedEarly;
      return 0;
    }
    bool bOpens = kind == JsonKind::kBeginObject || kind == JsonKind::kBeginArray;
    bool bCloses = kind == JsonKind::kEndObject || kind == JsonKind::kEndArray;
    if (nSkipDepth >= 0) {
      if (bCloses && t.nDepth == nSkipDepth) nSkipDepth = -1;
      continue;
    }
    if (t.nDepth == 0) {
      if (kind != JsonKind::kBeginObject && kind != JsonKind::kEndObject) return 0;
      if (kind == JsonKind::kEndObject) return t.nEnd;
      continue;
    }
    if (kind == JsonKind::kKey) {
      key = t.bMore ? kOtherKey : keyOf(t.pText, t.nLength);
    } else if (bOpens) {
      nSkipDepth = t.nDepth;
    } else {
      takeValue(x, o, key, t);
    }
  }
}

// --- The common line, read without the tokenizer ------------------------------

// Returns the closing quote of a string that begins at p (after its opening
// quote), or nullptr when it holds an escape, a control or a byte above 127,
// or the line ends first: the tokenizer reads such a string.
const char* plainStringEnd(const char* p, const char* pEnd) {
  const auto* pText = reinterpret_cast<const unsigned char*>(p);
  const auto* pClose = jsonPlainStringEnd(pText, reinterpret_cast<const unsigned char*>(pEnd));
  return pClose == nullptr ? nullptr : p + (pClose - pText);
}

// An integer as readPlainSize reads it.
struct LsJsonSize {
  bool bNegative = false;
  std::uint64_t nValue = 0;  // its magnitude
};

// Reads an integer at p ('-' or a digit). Returns the byte after it, or
// nullptr for any number the tokenizer must judge: a fraction, an exponent,
// a leading zero, more than 19 digits.
const char* readPlainSize(const char* p, const char* pEnd, LsJsonSize& size) {
  bool bNegative = *p == '-';
  if (bNegative) p++;
  const char* pDigits = p;
  std::uint64_t nValue = 0;
  if (pEnd - p >= 8) p += readDigitWord(p, nValue);  // most sizes in one word
  while (p < pEnd && isDigit(*p)) nValue = nValue * 10 + static_cast<unsigned>(*p++ - '0');
  std::ptrdiff_t nDigits = p - pDigits;
  if (nDigits == 0 || nDigits > 19 || (*pDigits == '0' && nDigits > 1)) return nullptr;
  if (p < pEnd && (*p == '.' || *p == 'e' || *p == 'E')) return nullptr;
  if (bNegative && nValue == 0) return nullptr;  // -0
  size.bNegative = bNegative;
  size.nValue = nValue;
  return p;
}

// readPlainSize for any member: only Size's is kept.
const char* readPlainInteger(const char* p, const char* pEnd, Key key, LsJsonObject& o) {
  LsJsonSize size;
  p = readPlainSize(p, pEnd, size);
  if (p != nullptr && key == kSizeKey) {
    o.bSize = !size.bNegative;
    o.nSize = size.nValue;
  }
  return p;
}

// Reads true, false or null at p. Returns the byte after it, or nullptr.
const char* readPlainLiteral(const char* p, const char* pEnd, Key key, LsJsonObject& o) {
  static const char* const kLiterals[] = {"true", "false", "null"};
  for (const char* szLiteral : kLiterals) {
    std::size_t n = std::strlen(szLiteral);
    if (static_cast<std::size_t>(pEnd - p) >= n && std::memcmp(p, szLiteral, n) == 0) {
      if (key == kIsDirKey) o.bDir = szLiteral[0] == 't';
      if (key == kSizeKey) o.bSize = false;
      return p + n;
    }
  }
  return nullptr;
}

// Reads the object that begins at p ('{') as the tokenizer would, when its
// keys and strings are plain (plainStringEnd) and its values strings,
// integers and literals: rclone's lines without --hash or -M, in ASCII.
// Returns the offset just past it, or 0 when the tokenizer must read it.
std::size_t readPlainObject(const LsJson& x, const char* p, const char* pEnd, LsJsonObject& o) {
  const char* q = skipBlanks(p + 1, pEnd);
  if (q < pEnd && *q == '}') return static_cast<std::size_t>(q + 1 - p);
  for (;;) {
    if (q >= pEnd || *q != '"') return 0;
    const char* pKeyEnd = plainStringEnd(q + 1, pEnd);
    if (pKeyEnd == nullptr) return 0;
    Key key = keyOf(q + 1, static_cast<std::size_t>(pKeyEnd - q - 1));
    q = passMark(pKeyEnd + 1, pEnd, ':');
    if (q == nullptr || q >= pEnd) return 0;
    if (*q == '"') {
      const char* pValueEnd = plainStringEnd(q + 1, pEnd);
      if (pValueEnd == nullptr) return 0;
      takeString(x, o, key, q + 1, static_cast<std::size_t>(pValueEnd - q - 1), false);
      q = pValueEnd + 1;
    } else if (*q == '-' || isDigit(*q)) {
      q = readPlainInteger(q, pEnd, key, o);
    } else {
      q = readPlainLiteral(q, pEnd, key, o);
    }
    if (q == nullptr) return 0;
    const char* pNext = passMark(q, pEnd, ',');
    if (pNext != nullptr) {
      q = pNext;
    } else {
      q = skipBlanks(q, pEnd);
      return q < pEnd && *q == '}' ? static_cast<std::size_t>(q + 1 - p) : 0;
    }
  }
}

// --- rclone's own line, read by its fixed keys ---------------------------------

// plainStringEnd for p nullptr too: a step before failed.
inline const char* closingQuote(const char* p, const char* pEnd) {
  return p == nullptr ? nullptr : plainStringEnd(p, pEnd);
}

// Reads the object at p as readPlainObject would, when it has the shape that
// rclone writes without options, its members in rclone's order:
//   {"Path":"..","Name":"..","Size":N,"MimeType":"..","ModTime":"..","IsDir":B}
// Returns the offset just past it, or 0 (with o as it was) for any other.
std::size_t readUsualObject(const LsJson& x, const char* p, const char* pEnd, LsJsonObject& o) {
  const char* pPath = passJsonText(p, pEnd, "{\"Path\":\"");
  const char* pPathEnd = closingQuote(pPath, pEnd);
  const char* pName = passJsonText(pPathEnd, pEnd, "\",\"Name\":\"");
  const char* q = passJsonText(closingQuote(pName, pEnd), pEnd, "\",\"Size\":");
  if (q == nullptr || !(*q == '-' || isDigit(*q))) return 0;
  LsJsonSize size;
  q = readPlainSize(q, pEnd, size);
  const char* pType = passJsonText(q, pEnd, ",\"MimeType\":\"");
  const char* pTime = passJsonText(closingQuote(pType, pEnd), pEnd, "\",\"ModTime\":\"");
  const char* pTimeEnd = closingQuote(pTime, pEnd);
  q = passJsonText(pTimeEnd, pEnd, "\",\"IsDir\":");
  const char* pFalse = passJsonText(q, pEnd, "false}");
  const char* pAfter = pFalse != nullptr ? pFalse : passJsonText(q, pEnd, "true}");
  if (pAfter == nullptr) return 0;
  o.bDir = pFalse == nullptr;
  o.bSize = !size.bNegative;
  o.nSize = size.nValue;
  takeString(x, o, kTimeKey, pTime, static_cast<std::size_t>(pTimeEnd - pTime), false);
  takeString(x, o, kPathKey, pPath, static_cast<std::size_t>(pPathEnd - pPath), false);
  return static_cast<std::size_t>(pAfter - p);
}

}  // namespace

void startLsJson(LsJson& lsjson, bool bDates, bool bFolders) {
  restartJson(lsjson.json);
  lsjson.bDates = bDates;
  lsjson.bFolders = bFolders;
  lsjson.nOpened = lsjson.nClosed = lsjson.nFolders = lsjson.nUnknownSize = lsjson.nUnread =
      lsjson.nLong = lsjson.nUndated = 0;
  lsjson.bLastCut = false;
  lsjson.offsets = LocalOffsetCache();
}

bool readLsJsonLine(LsJson& lsjson, const char* szLine, std::size_t nLength, bool bCut,
                    Entry& entry) {
  const char* pEnd = szLine + nLength;
  const char* p = skipBlanks(szLine, pEnd);
  if (p == pEnd) return false;
  lsjson.bLastCut = false;
  if (*p == '[') {
    lsjson.nOpened++;
    p = skipBlanks(p + 1, pEnd);
    if (p == pEnd) return false;
  }
  if (*p == ']') {
    lsjson.nClosed++;
    return false;
  }
  LsJsonObject o;
  bool bEndedEarly = false;
  std::uint64_t nObjectEnd = 0;
  if (*p == '{') nObjectEnd = readUsualObject(lsjson, p, pEnd, o);
  if (*p == '{' && nObjectEnd == 0) nObjectEnd = readPlainObject(lsjson, p, pEnd, o);
  if (*p == '{' && nObjectEnd == 0) {
    // What the fast reading set, undone (but the path's bytes: nPath tells).
    o.bDir = o.bSize = o.bTime = false;
    o.nSize = 0;
    o.nTime = 0;
    o.nPath = 0;
    restartJson(lsjson.json);
    feedJson(lsjson.json, p, static_cast<std::size_t>(pEnd - p));
    endJsonInput(lsjson.json);
    nObjectEnd = readObject(lsjson, o, bEndedEarly);
  }
  if (nObjectEnd == 0) {
    if (bEndedEarly && !bCut) {
      lsjson.bLastCut = true;  // the list's end, if no line follows
    } else {
      lsjson.nUnread++;
      if (bCut) lsjson.nLong++;
    }
    return false;
  }
  // The array may close after the last object, on its line.
  const char* pAfter = skipBlanks(p + nObjectEnd, pEnd);
  if (pAfter < pEnd && *pAfter == ',') pAfter = skipBlanks(pAfter + 1, pEnd);
  if (pAfter < pEnd && *pAfter == ']') lsjson.nClosed++;
  if (o.bDir) {
    lsjson.nFolders++;
    return false;
  }
  entry = Entry();
  entry.nType = kEntryFile;
  entry.nSize = o.bSize ? o.nSize : 0;
  if (!o.bSize) lsjson.nUnknownSize++;
  if (lsjson.bDates && !(o.bTime && setEpochStamp(entry.stamp, o.nTime, lsjson.offsets)))
    lsjson.nUndated++;
  if (lsjson.bFolders) {
    entry.pFolder = lsjson.szFolder;
    entry.nFolder = folderOfRelativePath(lsjson.szFolder, o.szPath, o.szPath + o.nPath);
  }
  return true;
}

bool lsJsonEndedEarly(const LsJson& lsjson) {
  return lsjson.bLastCut || lsjson.nOpened > lsjson.nClosed;
}

int lsJsonWeight(const char* szLine, std::size_t nLength, int nBefore, int nHeaderWeight) {
  const char* pEnd = szLine + nLength;
  const char* p = skipBlanks(szLine, pEnd);
  if (nBefore == 0 && p < pEnd && *p == '[' && skipBlanks(p + 1, pEnd) == pEnd) {
    return nHeaderWeight / 2;
  }
  const char kPath[] = "{\"Path\":";
  if (static_cast<std::size_t>(pEnd - p) < sizeof kPath - 1 ||
      std::memcmp(p, kPath, sizeof kPath - 1) != 0) {
    return 0;
  }
  return nBefore == 1 ? nHeaderWeight / 2 : 1;
}
