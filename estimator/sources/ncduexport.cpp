// The reading of ncdu and gdu exports (ncduexport.h): a walk over the JSON
// tokens that keeps the folders open and the members of one object.
#include "sources/ncduexport.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "sources/text.h"

namespace {

// Where the reading stands (NcduExport::nPlace).
enum Place { kBeforeExport, kHeader, kTree, kAfterTree };

// The object being read (NcduExport::nObject).
enum ObjectKind { kRunObject, kFolderObject, kEntryObject };

// The members read (NcduExport::nKey).
enum Key {
  kOtherKey,
  kNameKey,
  kSizeKey,
  kNotRegularKey,
  kExcludedKey,
  kReadErrorKey,
  kTimeKey,
  kProgramKey
};

// Every entry has several keys: the length and first letter sort most of
// them out before a comparison.
inline Key keyOf(const char* p, std::size_t n) {
  const auto is = [p, n](const char* sz, std::size_t nName) {
    return n == nName && std::memcmp(p, sz, nName) == 0;
  };
  switch (n > 0 ? p[0] : '\0') {
    case 'n':
      if (is("name", 4)) return kNameKey;
      return is("notreg", 6) ? kNotRegularKey : kOtherKey;
    case 'a':
      return is("asize", 5) ? kSizeKey : kOtherKey;
    case 'e':
      return is("excluded", 8) ? kExcludedKey : kOtherKey;
    case 'r':
      return is("read_error", 10) ? kReadErrorKey : kOtherKey;
    case 'm':
      return is("mtime", 5) ? kTimeKey : kOtherKey;
    case 'p':
      return is("progname", 8) ? kProgramKey : kOtherKey;
    default:
      return kOtherKey;
  }
}

void fail(NcduExport& x, std::uint64_t nOffset, const char* szReason) {
  std::snprintf(x.szError, sizeof x.szError,
                "the ncdu export cannot be read at byte %" PRIu64 ": %s", nOffset, szReason);
  x.bFailed = true;
  x.bEnded = true;
}

void startObject(NcduExport& x, int nObject) {
  x.bInObject = true;
  x.nObject = nObject;
  x.nKey = kOtherKey;
  x.bKeyContinues = false;
  x.fields = NcduFields();
  x.sName.clear();
}

void openFolder(NcduExport& x) {
  x.aLevels.push_back(x.sPath.size());
  x.bFolderNext = true;
}

// A folder's own object ended: its part joins the path.
void nameFolder(NcduExport& x) {
  if (x.aLevels.size() > 1 && (x.sPath.empty() || x.sPath.back() != '/')) x.sPath += '/';
  x.sPath += x.sName;
  if (x.fields.bExcluded) x.nExcluded++;
  if (x.fields.bReadError) x.nReadErrors++;
}

// An entry's object ended. Returns true with the entry when it counts.
bool finishEntry(NcduExport& x, Entry& entry) {
  if (x.fields.bExcluded) {
    x.nExcluded++;
    return false;
  }
  if (x.fields.bReadError) {
    x.nReadErrors++;
    return false;
  }
  if (x.fields.bBadSize) {
    x.nUnread++;
    return false;
  }
  entry = Entry();
  entry.nType = x.fields.bNotRegular ? kEntrySpecial : kEntryFile;
  entry.nSize = x.fields.bNotRegular ? 0 : x.fields.nSize;
  if (!x.sPath.empty()) {
    entry.pFolder = x.sPath.data();
    entry.nFolder = x.sPath.size();
  }
  if (x.bDates && !(x.fields.bTime && setEpochStamp(entry.stamp, x.fields.nTime, x.offsets)))
    x.nUndated++;
  x.nObjects++;
  return true;
}

// A value of a member that tells of an entry. Returns false for a member
// that does not.
inline bool takeField(NcduFields& f, int nKey, const JsonToken& t) {
  switch (nKey) {
    case kSizeKey:
      f.bSizeRead = true;
      f.nSize = t.nUint;
      f.bBadSize = t.kind != JsonKind::kNumber || !t.bUint;
      return true;
    case kNotRegularKey:
      f.bNotRegular = t.kind == JsonKind::kTrue;
      return true;
    case kExcludedKey:  // a reason ("pattern", "othfs"), or true in older exports
      f.bExcluded = t.kind == JsonKind::kTrue || (t.kind == JsonKind::kString && t.nLength > 0);
      return true;
    case kReadErrorKey:
      f.bReadError = t.kind == JsonKind::kTrue;
      return true;
    case kTimeKey:  // signed (gdu), or -1 written as 2^64 - 1 (ncdu)
      f.bTime = t.kind == JsonKind::kNumber && (t.bInt || t.bUint);
      f.nTime = t.bInt ? t.nInt : static_cast<std::int64_t>(t.nUint);
      return true;
    default:
      return false;
  }
}

// A value of a member of the object being read.
inline void takeValue(NcduExport& x, const JsonToken& t) {
  if (takeField(x.fields, x.nKey, t)) return;
  if (x.nKey == kNameKey) {  // a folder's, for the path; an entry's, for the echo
    if ((x.nObject != kEntryObject || x.bEntryNames) && t.kind == JsonKind::kString &&
        x.sName.size() < kMaxNcduName) {
      x.sName.append(t.pText, std::min(t.nLength, kMaxNcduName - x.sName.size()));
    }
  } else if (x.nKey == kProgramKey) {
    if (t.kind == JsonKind::kString && x.szProgram[0] == '\0' && x.nExports == 1) {
      std::size_t n = std::min(t.nLength, sizeof x.szProgram - 1);
      std::memcpy(x.szProgram, t.pText, n);
      x.szProgram[n] = '\0';
    }
  }
}

// A token inside an object. Returns true with the entry when the object
// ended and counts.
bool takeMember(NcduExport& x, const JsonToken& t, Entry& entry) {
  switch (t.kind) {
    case JsonKind::kKey:
      // A key in pieces is none of those read.
      x.nKey = x.bKeyContinues || t.bMore ? kOtherKey : keyOf(t.pText, t.nLength);
      x.bKeyContinues = t.bMore;
      return false;
    case JsonKind::kEndObject:
      x.bInObject = false;
      if (x.nObject == kFolderObject) nameFolder(x);
      return x.nObject == kEntryObject && finishEntry(x, entry);
    case JsonKind::kBeginObject:
    case JsonKind::kBeginArray:
      x.nSkipDepth = t.nDepth;  // a value this reader has no use for
      return false;
    default:
      takeValue(x, t);
      return false;
  }
}

// The export's first elements: its versions, the run's object, the tree.
void takeHeader(NcduExport& x, const JsonToken& t) {
  if (t.kind == JsonKind::kEndArray) {  // an export without a tree
    x.nPlace = kBeforeExport;
    return;
  }
  int nIndex = x.nTopIndex++;
  if (nIndex == 0 && (t.kind != JsonKind::kNumber || !t.bUint || t.nUint != 1)) {
    fail(x, t.nOffset, "it is no export of the format's version 1 (no 1 after its '[')");
  } else if (nIndex == 1 && t.kind != JsonKind::kNumber) {
    fail(x, t.nOffset, "the format's minor version is no number");
  } else if (nIndex == 2) {
    if (t.kind != JsonKind::kBeginObject) {
      fail(x, t.nOffset, "the run's object does not follow the versions");
    } else {
      startObject(x, kRunObject);
    }
  } else if (nIndex == 3) {
    if (t.kind != JsonKind::kBeginArray) {
      fail(x, t.nOffset, "the tree is no folder's array");
    } else {
      x.nPlace = kTree;
      x.nTreeDepth = t.nDepth;
      x.sPath.clear();
      x.aLevels.clear();
      openFolder(x);
    }
  }
}

// Reads 1 to 18 digits at p, without a leading zero, that the text shows
// whole (a byte follows them that is no part of a number). Returns the byte
// after them, or nullptr for any other number, or p nullptr.
inline const char* readUsualNumber(const char* p, const char* pEnd, std::uint64_t& nValue) {
  if (p == nullptr) return nullptr;
  const char* q = p;
  nValue = 0;
  if (pEnd - q >= 8) q += readDigitWord(q, nValue);
  const char* pLimit = pEnd - p > 19 ? p + 19 : pEnd;
  while (q < pLimit && isDigit(*q)) nValue = nValue * 10 + static_cast<std::uint64_t>(*q++ - '0');
  std::ptrdiff_t nDigits = q - p;
  bool bWhole = q < pEnd && !isDigit(*q) && *q != '.' && *q != 'e' && *q != 'E';
  return nDigits == 0 || nDigits > 18 || (*p == '0' && nDigits > 1) || !bWhole ? nullptr : q;
}

// The object that ncdu writes for nearly every file, read by its fixed keys:
//   {"name":"..","asize":N,"dsize":N,"mtime":N}, the last two optional.
// Returns the byte past its '}', with the fields that its members read one
// by one give, or nullptr for any other object: the members are read then.
const char* readUsualEntry(const char* p, const char* pEnd, NcduFields& fields) {
  const char* pName = passJsonText(p, pEnd, "{\"name\":\"");
  if (pName == nullptr) return nullptr;
  const auto* pClose = jsonPlainStringEnd(reinterpret_cast<const unsigned char*>(pName),
                                          reinterpret_cast<const unsigned char*>(pEnd));
  if (pClose == nullptr) return nullptr;
  std::uint64_t nSize = 0;
  std::uint64_t nDiskSize = 0;
  std::uint64_t nTime = 0;
  p = readUsualNumber(passJsonText(reinterpret_cast<const char*>(pClose), pEnd, "\",\"asize\":"),
                      pEnd, nSize);
  const char* q = passJsonText(p, pEnd, ",\"dsize\":");
  if (q != nullptr) p = readUsualNumber(q, pEnd, nDiskSize);
  q = passJsonText(p, pEnd, ",\"mtime\":");
  if (q != nullptr) p = readUsualNumber(q, pEnd, nTime);
  if (p == nullptr || *p != '}') return nullptr;
  fields = NcduFields();
  fields.bSizeRead = true;
  fields.nSize = nSize;
  fields.bTime = q != nullptr;
  fields.nTime = static_cast<std::int64_t>(nTime);
  return p + 1;
}

// An entry's object read at once (pullPlainObject), as takeMember reads its
// tokens. Returns true with the entry when it counts.
bool takePlainEntry(NcduExport& x, int nMembers, Entry& entry) {
  startObject(x, kEntryObject);
  for (int i = 0; i < nMembers; i++) {
    const JsonMember& member = x.aPlain[i];
    x.nKey = keyOf(member.pKey, member.nKey);
    takeValue(x, member.value);
  }
  x.bInObject = false;
  return finishEntry(x, entry);
}

// What the members of an entry's plain object tell (fields), as
// takePlainEntry takes them. Returns false for an object that names a
// program: takeValue may keep that name.
bool readAheadFields(const JsonMember* aMembers, int nMembers, NcduFields& fields) {
  fields = NcduFields();
  for (int i = 0; i < nMembers; i++) {
    int nKey = keyOf(aMembers[i].pKey, aMembers[i].nKey);
    if (nKey == kProgramKey) return false;
    takeField(fields, nKey, aMembers[i].value);
  }
  return true;
}

// An entry's object whose fields were read at once, up to pAfter. Returns
// true with the entry when it counts.
bool takeEntryFields(NcduExport& x, const NcduFields& fields, const char* pAfter, Entry& entry) {
  startObject(x, kEntryObject);
  x.fields = fields;
  x.bInObject = false;
  passPlainObject(x.json, pAfter);
  return finishEntry(x, entry);
}

// The entry whose object comes next, when its object was read ahead: taken
// as takePlainEntry takes it, bCounts telling whether it counts. Returns
// false when it was not read ahead.
bool takeAheadEntry(NcduExport& x, Entry& entry, bool& bCounts) {
  const NcduAhead& ahead = *x.pAhead;
  const char* pText = reinterpret_cast<const char*>(x.json.pBlock);
  if (ahead.pText != pText || ahead.nText != x.json.nBlock) return false;
  const char* pObject = plainObjectStart(x.json);
  if (pObject == nullptr) return false;
  const std::size_t nStart = static_cast<std::size_t>(pObject - pText);
  while (x.nAheadNext < ahead.nEntries && ahead.entries[x.nAheadNext].nStart < nStart) {
    x.nAheadNext++;
  }
  if (x.nAheadNext == ahead.nEntries || ahead.entries[x.nAheadNext].nStart != nStart) return false;
  const NcduAheadEntry& read = ahead.entries[x.nAheadNext++];
  bCounts = takeEntryFields(x, read.fields, pText + read.nEnd, entry);
  return true;
}

// The entry whose object comes next, when it is of the usual shape
// (readUsualEntry) and its name is not kept: taken as takePlainEntry takes
// it, bCounts telling whether it counts. Returns false otherwise.
bool takeUsualEntry(NcduExport& x, Entry& entry, bool& bCounts) {
  const char* pObject = x.bEntryNames ? nullptr : plainObjectStart(x.json);
  if (pObject == nullptr) return false;
  NcduFields fields;
  const char* pAfter =
      readUsualEntry(pObject, reinterpret_cast<const char*>(x.json.pBlock + x.json.nBlock), fields);
  if (pAfter == nullptr) return false;
  bCounts = takeEntryFields(x, fields, pAfter, entry);
  return true;
}

// A token in the tree, outside the objects.
void takeTree(NcduExport& x, const JsonToken& t) {
  if (x.bFolderNext) {
    x.bFolderNext = false;
    if (t.kind != JsonKind::kBeginObject) {
      fail(x, t.nOffset, "a folder's array does not begin with the folder's object");
    } else {
      startObject(x, kFolderObject);
    }
    return;
  }
  switch (t.kind) {
    case JsonKind::kBeginObject:
      startObject(x, kEntryObject);
      break;
    case JsonKind::kBeginArray:
      openFolder(x);
      break;
    case JsonKind::kEndArray:
      x.sPath.resize(x.aLevels.back());
      x.aLevels.pop_back();
      if (t.nDepth == x.nTreeDepth) x.nPlace = kAfterTree;
      break;
    default:
      fail(x, t.nOffset, "a folder holds a value that is no entry");
      break;
  }
}

// A token outside any object.
void takeToken(NcduExport& x, const JsonToken& t) {
  switch (x.nPlace) {
    case kBeforeExport:
      if (t.kind != JsonKind::kBeginArray) {
        fail(x, t.nOffset, "it does not begin with '['");
        return;
      }
      x.nPlace = kHeader;
      x.nTopIndex = 0;
      x.nExports++;
      return;
    case kHeader:
      takeHeader(x, t);
      return;
    case kTree:
      takeTree(x, t);
      return;
    default:  // after the tree: elements this reader has no use for, then the end
      if (t.kind == JsonKind::kEndArray && t.nDepth == 0) {
        x.nPlace = kBeforeExport;
      } else if (t.kind == JsonKind::kBeginObject || t.kind == JsonKind::kBeginArray) {
        x.nSkipDepth = t.nDepth;
      }
      return;
  }
}

}  // namespace

void startNcdu(NcduExport& ncdu, bool bDates) {
  ncdu.json = JsonPull();
  ncdu.bDates = bDates;
  ncdu.pAhead = nullptr;
  ncdu.nAheadNext = 0;
  ncdu.nPlace = kBeforeExport;
  ncdu.nTopIndex = 0;
  ncdu.nSkipDepth = -1;
  ncdu.bFolderNext = ncdu.bInObject = ncdu.bKeyContinues = false;
  ncdu.sName.clear();
  ncdu.sName.reserve(256);
  ncdu.sPath.clear();
  ncdu.aLevels.clear();
  ncdu.aLevels.reserve(JsonPull::kMaxDepth);
  ncdu.offsets = LocalOffsetCache();
  ncdu.nExports = 0;
  ncdu.szProgram[0] = '\0';
  ncdu.nObjects = ncdu.nExcluded = ncdu.nReadErrors = ncdu.nUnread = ncdu.nUndated = ncdu.nLength =
      0;
  ncdu.bEnded = ncdu.bEndedEarly = ncdu.bFailed = false;
  ncdu.szError[0] = '\0';
}

void readNcduAhead(const char* p, std::size_t n, std::size_t nUpTo, NcduAhead& ahead) {
  ahead.pText = p;
  ahead.nText = n;
  ahead.nEntries = 0;
  if (ahead.entries.size() < NcduAhead::kMaxEntries) ahead.entries.resize(NcduAhead::kMaxEntries);
  const char* pEnd = p + n;
  const char* pStop = p + std::min(n, nUpTo);
  for (const char* q = p; q < pStop && ahead.nEntries < NcduAhead::kMaxEntries; q++) {
    q = static_cast<const char*>(std::memchr(q, '{', static_cast<std::size_t>(pStop - q)));
    if (q == nullptr) break;
    NcduAheadEntry& read = ahead.entries[ahead.nEntries];
    const char* pAfter = readUsualEntry(q, pEnd, read.fields);
    if (pAfter == nullptr) {
      int nMembers = 0;
      pAfter = readPlainJsonObject(q, pEnd, ahead.aMembers, nMembers);
      if (pAfter == nullptr || !readAheadFields(ahead.aMembers, nMembers, read.fields)) continue;
    }
    read.nStart = static_cast<std::size_t>(q - p);
    read.nEnd = static_cast<std::size_t>(pAfter - p);
    ahead.nEntries++;
  }
}

void useNcduAhead(NcduExport& ncdu, const NcduAhead* pAhead) {
  ncdu.pAhead = ncdu.bEntryNames ? nullptr : pAhead;
  ncdu.nAheadNext = 0;
}

void feedNcdu(NcduExport& ncdu, const char* p, std::size_t n) { feedJson(ncdu.json, p, n); }

void endNcdu(NcduExport& ncdu) { endJsonInput(ncdu.json); }

bool nextNcduEntry(NcduExport& ncdu, Entry& entry) {
  while (!ncdu.bEnded) {
    // Most entries are plain objects: read at once, not token by token.
    if (ncdu.nPlace == kTree && !ncdu.bInObject && !ncdu.bFolderNext && ncdu.nSkipDepth < 0) {
      bool bCounts = false;
      if ((ncdu.pAhead != nullptr && takeAheadEntry(ncdu, entry, bCounts)) ||
          takeUsualEntry(ncdu, entry, bCounts)) {
        if (bCounts) return true;
        continue;
      }
      int nMembers = pullPlainObject(ncdu.json, ncdu.aPlain);
      if (nMembers >= 0) {
        if (takePlainEntry(ncdu, nMembers, entry)) return true;
        continue;
      }
    }
    JsonToken t;
    JsonKind kind = nextJsonToken(ncdu.json, t);
    switch (kind) {
      case JsonKind::kNeedMore:
        return false;
      case JsonKind::kEnd:
        ncdu.bEnded = true;
        ncdu.nLength = t.nOffset;
        if (ncdu.nExports == 0 && t.nOffset > 0) fail(ncdu, t.nOffset, "it holds no JSON array");
        return false;
      case JsonKind::kEndedEarly:
        ncdu.bEnded = ncdu.bEndedEarly = true;
        ncdu.nLength = t.nOffset;
        return false;
      case JsonKind::kError:
        fail(ncdu, t.nOffset, t.szReason);
        return false;
      default:
        break;
    }
    if (ncdu.nSkipDepth >= 0) {  // inside a value passed over
      bool bCloses = kind == JsonKind::kEndObject || kind == JsonKind::kEndArray;
      if (bCloses && t.nDepth == ncdu.nSkipDepth) ncdu.nSkipDepth = -1;
      continue;
    }
    if (!ncdu.bInObject) {
      takeToken(ncdu, t);
    } else if (takeMember(ncdu, t, entry)) {
      return true;
    }
  }
  return false;
}

const char* ncduError(const NcduExport& ncdu) { return ncdu.bFailed ? ncdu.szError : nullptr; }

bool isNcduHeader(const char* szLine, std::size_t nLength) {
  const char* pC = skipWhitespace(szLine);
  if (*pC != '[') return false;
  pC = skipWhitespace(pC + 1);
  if (*pC != '1') return false;
  pC = skipWhitespace(pC + 1);
  if (*pC != ',') return false;
  pC = skipWhitespace(pC + 1);
  if (!isDigit(*pC)) return false;
  while (isDigit(*pC)) pC++;
  pC = skipWhitespace(pC);
  if (*pC != ',') return false;
  pC = skipWhitespace(pC + 1);
  if (*pC != '{') return false;
  // The run's object names the program that wrote it, in the line's text.
  const char* pEnd = szLine + nLength;
  const char kProgram[] = "\"progname\"";
  for (const char* p = pC; p + sizeof kProgram - 1 <= pEnd; p++) {
    if (*p == '}') return false;
    if (std::memcmp(p, kProgram, sizeof kProgram - 1) == 0) return true;
  }
  return false;
}
