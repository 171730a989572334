#include "sources/listingkind.h"

#include <cstring>
#include <functional>
#include <string>

#include "sources/kindtext.h"

namespace {

// The newer shell's table: a mode of six letters such as -a---- or d-----.
bool isTableMode(const char* szLine) {
  int n = 0;
  for (; n < 6; n++) {
    if (szLine[n] == '\0' || std::strchr("darhsl-", szLine[n]) == nullptr) return false;
  }
  return szLine[0] != 'a' && isWhitespace(szLine[6]);
}

bool isRobocopyBanner(const char* szLine) {
  const char* pName = std::strstr(szLine, "ROBOCOPY");
  return pName != nullptr && std::strncmp(skipWhitespace(pName + 8), "::", 2) == 0;
}

bool isCsvHeader(const char* szLine, std::size_t nLength) {
  if (startsWith(szLine, nLength, "#TYPE")) return true;
  if (szLine[0] == '"') return std::strstr(szLine, "\",\"") != nullptr;
  // Unquoted: names without blanks, such as FullName,Length,LastWriteTime.
  const char* pComma = std::strchr(szLine, ',');
  if (pComma == nullptr ||
      !((szLine[0] >= 'A' && szLine[0] <= 'Z') || (szLine[0] >= 'a' && szLine[0] <= 'z'))) {
    return false;
  }
  for (const char* pC = szLine; pC < pComma; pC++) {
    if (isWhitespace(*pC)) return false;
  }
  return std::strstr(szLine, "FullName") != nullptr || std::strstr(szLine, "Length") != nullptr;
}

// A mode, a size and a date written YYYY/MM/DD.
bool isRsyncLine(const char* szLine, int nMode) {
  const char* pDate = skipWhitespace(fieldEndAt(skipWhitespace(szLine + nMode)));
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  return readYearFirstDate(pDate, '/', nYear, nMonth, nDay);
}

struct HeldLines {
  int nCount = 0;
  int nNext = 0;
  Piece aPieces[kKindLookahead];
  char aaText[kKindLookahead][kMaxLine + 1 + kPieceSlack];
  // The rest of each cut line held, kept when asked for: the reader passes
  // it over once the next line is read.
  bool bKeepRests = false;
  std::string asRest[kKindLookahead];
};

HeldLines gHeld;

}  // namespace

KindDecision gKindDecision;

int kindOfLine(const char* szLine, std::size_t nLength) {
  const char* pC = skipWhitespace(szLine);
  if (pC == szLine + nLength) return kKindUnknown;
  if (isRobocopyBanner(szLine)) return kKindRobocopy;
  if (szLine[0] == '\t' && std::strchr(szLine + 1, '\t') != nullptr) return kKindRobocopy;
  if (isCsvHeader(szLine, nLength)) return kKindCsv;
  int nMode = modeLength(szLine);
  if (nMode > 0) {
    if (isRsyncLine(szLine, nMode)) return kKindRsync;
    return isDigit(*skipWhitespace(szLine + nMode)) ? kKindLs : kKindUnknown;
  }
  if ((startsWith(szLine, nLength, "total ") && isDigit(szLine[6])) ||
      startsWith(szLine, nLength, "ls: ")) {
    return kKindLs;
  }
  if (isDigit(szLine[0]) || isTableMode(szLine)) return kKindDir;
  return kKindUnknown;
}

const char* kindName(int nKind) {
  switch (nKind) {
    case kKindLs:
      return "ls listing";
    case kKindRobocopy:
      return "robocopy log";
    case kKindCsv:
      return "CSV export";
    case kKindRsync:
      return "rsync listing";
    default:
      return "directory listing";
  }
}

void startKindDecision(bool bDecide, bool bKeepRests) {
  gHeld.nCount = gHeld.nNext = 0;
  gHeld.bKeepRests = bKeepRests;
  gKindDecision = KindDecision();
  gKindDecision.bDecided = !bDecide;
}

bool holdPiece(const Piece& piece) {
  char* szCopy = gHeld.aaText[gHeld.nCount];
  std::memcpy(szCopy, piece.szText, piece.nLength + 1 + kPieceSlack);
  Piece& held = gHeld.aPieces[gHeld.nCount++];
  held = piece;
  held.szText = szCopy;
  std::string& sRest = gHeld.asRest[gHeld.nCount - 1];
  sRest.clear();
  if (piece.bCut && gHeld.bKeepRests) readRestOfLine(sRest);
  int nKind = kindOfLine(piece.szText, piece.nLength);
  if (nKind != kKindUnknown || gHeld.nCount == kKindLookahead) {
    gKindDecision.nKind = nKind == kKindUnknown ? kKindDir : nKind;
    gKindDecision.bDecided = true;
    gKindDecision.bReplaying = true;
  }
  return true;
}

void readRestOfListingLine(const Piece& piece, std::string& sRest) {
  const char* pFirst = gHeld.aaText[0];
  const char* pEnd = gHeld.aaText[kKindLookahead - 1] + sizeof gHeld.aaText[0];
  if (std::less<const char*>()(piece.szText, pFirst) ||
      !std::less<const char*>()(piece.szText, pEnd)) {
    readRestOfLine(sRest);
    return;
  }
  auto nHeld = static_cast<std::size_t>(piece.szText - pFirst) / sizeof gHeld.aaText[0];
  sRest += gHeld.asRest[nHeld];
}

bool replayPiece(Piece& piece) {
  gKindDecision.bDecided = true;  // at the listing's end: a directory listing
  if (gHeld.nNext < gHeld.nCount) {
    piece = gHeld.aPieces[gHeld.nNext++];
    gKindDecision.bReplaying = gHeld.nNext < gHeld.nCount;
    return true;
  }
  gKindDecision.bReplaying = false;
  return false;
}

void startKindReader(KindReader& reader, int nKind, const CivilDate& today, bool bDates,
                     bool bFolders) {
  reader.nKind = nKind;
  startLs(reader.ls, today);
  startRobocopy(reader.robocopy);
  reader.robocopy.bFolders = bFolders;
  startCsv(reader.csv);
  reader.csv.bDates = bDates;
  reader.csv.bFolders = bFolders;
  startRsync(reader.rsync);
  reader.rsync.bFolders = bFolders;
}

bool readKindLine(KindReader& reader, const Piece& piece, Entry& entry) {
  switch (reader.nKind) {
    case kKindLs:
      return readLsLine(reader.ls, piece.szText, piece.nLength, entry);
    case kKindRobocopy:
      return readRobocopyLine(reader.robocopy, piece.szText, piece.nLength, entry);
    case kKindCsv:
      return readCsvLine(reader.csv, piece.szText, piece.nLength, entry);
    case kKindRsync:
      return readRsyncLine(reader.rsync, piece.szText, piece.nLength, entry);
    default:
      return false;
  }
}

const char* kindError(const KindReader& reader) {
  if (reader.nKind != kKindCsv || !csvLacksLength(reader.csv)) return nullptr;
  return "the CSV listing has no Length column (PowerShell leaves it out when the first object "
         "is a folder); export the files alone:\n"
         "  Get-ChildItem -Recurse -File | Select-Object FullName,Length,LastWriteTime | "
         "Export-Csv files.csv -NoTypeInformation";
}
