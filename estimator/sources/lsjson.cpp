// The reading of rclone lsjson's lines (lsjson.h): each line's object pulled
// through a restarted jsonpull, its few members of use kept.
#include "sources/lsjson.h"

#include <algorithm>
#include <cstring>

#include "sources/text.h"

namespace {

// The members read (the others are passed over).
enum Key { kOtherKey, kPathKey, kSizeKey, kTimeKey, kIsDirKey };

Key keyOf(const JsonToken& t) {
  if (t.bMore) return kOtherKey;
  const auto is = [&t](const char* sz) {
    return std::strlen(sz) == t.nLength && std::memcmp(sz, t.pText, t.nLength) == 0;
  };
  if (is("Path")) return kPathKey;
  if (is("Size")) return kSizeKey;
  if (is("ModTime")) return kTimeKey;
  if (is("IsDir")) return kIsDirKey;
  return kOtherKey;
}

const char* skipBlanks(const char* p, const char* pEnd) {
  while (p < pEnd && isWhitespace(*p)) p++;
  return p;
}

// One object as its line gives it.
struct LsJsonObject {
  bool bDir = false;
  bool bSize = false;  // a size that is one: an integer of 0 or more
  std::uint64_t nSize = 0;
  bool bTime = false;
  std::int64_t nTime = 0;
  std::size_t nPath = 0;           // bytes of the path kept in szPath
  char szPath[kLsJsonFolderRoom];  // left unset: a line pays for its path alone
};

// A member's value, or a piece of it.
void takeValue(const LsJson& x, LsJsonObject& o, Key key, const JsonToken& t) {
  if (key == kIsDirKey) {
    o.bDir = t.kind == JsonKind::kTrue;
  } else if (key == kSizeKey) {
    o.bSize = t.kind == JsonKind::kNumber && t.bUint;
    o.nSize = t.nUint;
  } else if (key == kTimeKey && x.bDates && t.kind == JsonKind::kString && !t.bMore) {
    o.bTime = readRfc3339(t.pText, t.nLength, o.nTime);
  } else if (key == kPathKey && x.bFolders && t.kind == JsonKind::kString) {
    std::size_t n = std::min(t.nLength, sizeof o.szPath - 1 - o.nPath);
    std::memcpy(o.szPath + o.nPath, t.pText, n);
    o.nPath += n;
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
      key = keyOf(t);
    } else if (bOpens) {
      nSkipDepth = t.nDepth;
    } else {
      takeValue(x, o, key, t);
    }
  }
}

// The folder of a path: "." and its directory, as rsync's are named.
std::size_t folderOf(LsJson& x, const char* pPath, std::size_t nPath) {
  std::size_t nDir = 0;
  for (std::size_t i = 0; i < nPath; i++) {
    if (pPath[i] == '/') nDir = i + 1;
  }
  nDir = std::min(nDir, kLsJsonFolderRoom - 3);
  x.szFolder[0] = '.';
  x.szFolder[1] = '/';
  std::memcpy(x.szFolder + 2, pPath, nDir);
  return nDir == 0 ? 1 : nDir + 2;
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
  if (*p == '{') {
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
    entry.nFolder = folderOf(lsjson, o.szPath, o.nPath);
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
