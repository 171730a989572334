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

}  // namespace

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

void startKindDecision(KindDecision& decision, bool bDecide, bool bKeepRests) {
  decision.held.nCount = decision.held.nNext = 0;
  decision.held.bKeepRests = bKeepRests;
  decision.bDecided = !bDecide;
  decision.bReplaying = false;
  decision.nKind = kKindDir;
}

bool holdPiece(Reader& reader, KindDecision& decision, const Piece& piece) {
  HeldLines& held = decision.held;
  char* szCopy = held.aaText[held.nCount];
  std::memcpy(szCopy, piece.szText, piece.nLength + 1 + kPieceSlack);
  Piece& copy = held.aPieces[held.nCount++];
  copy = piece;
  copy.szText = szCopy;
  std::string& sRest = held.asRest[held.nCount - 1];
  sRest.clear();
  if (piece.bCut && held.bKeepRests) readRestOfLine(reader, sRest);
  int nKind = kindOfLine(piece.szText, piece.nLength);
  if (nKind != kKindUnknown || held.nCount == kKindLookahead) {
    decision.nKind = nKind == kKindUnknown ? kKindDir : nKind;
    decision.bDecided = true;
    decision.bReplaying = true;
  }
  return true;
}

void readRestOfListingLine(Reader& reader, const KindDecision& decision, const Piece& piece,
                           std::string& sRest) {
  const HeldLines& held = decision.held;
  const char* pFirst = held.aaText[0];
  const char* pEnd = held.aaText[kKindLookahead - 1] + sizeof held.aaText[0];
  if (std::less<const char*>()(piece.szText, pFirst) ||
      !std::less<const char*>()(piece.szText, pEnd)) {
    readRestOfLine(reader, sRest);
    return;
  }
  auto nHeld = static_cast<std::size_t>(piece.szText - pFirst) / sizeof held.aaText[0];
  sRest += held.asRest[nHeld];
}

bool replayPiece(KindDecision& decision, Piece& piece) {
  HeldLines& held = decision.held;
  decision.bDecided = true;  // at the listing's end: a directory listing
  if (held.nNext < held.nCount) {
    piece = held.aPieces[held.nNext++];
    decision.bReplaying = held.nNext < held.nCount;
    return true;
  }
  decision.bReplaying = false;
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
