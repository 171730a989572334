#include "sources/listingkind.h"

#include <cstring>
#include <functional>
#include <string>

#include "sources/kindtext.h"

namespace {

// --- How a line shows each kind -------------------------------------------

// A letter of the newer shell's modes: no search of a list, which every
// line of the kinds weighed against dir's shape began with.
bool isTableModeLetter(char c) {
  switch (c) {
    case 'd':
    case 'a':
    case 'r':
    case 'h':
    case 's':
    case 'l':
    case '-':
      return true;
    default:
      return false;
  }
}

// The newer shell's table: a mode of six letters such as -a---- or d-----.
bool isTableMode(const char* szLine) {
  int n = 0;
  for (; n < 6; n++) {
    if (!isTableModeLetter(szLine[n])) return false;
  }
  return szLine[0] != 'a' && isWhitespace(szLine[6]);
}

// A word after the time of day, such as PM: no digit, not an entry type.
bool isMarkerWord(const char* pC, const char* pEnd) {
  if (pC == pEnd || *pC == '<') return false;
  for (; pC < pEnd; pC++) {
    if (isDigit(*pC)) return false;
  }
  return true;
}

// What a line of a directory listing is by its shape: 0 none of its
// objects, 1 a file (a date, a time, up to two words, a size), 2 an entry
// in angle brackets such as <DIR>.
int dirLineShape(const char* szLine) {
  if (!isDigit(szLine[0]) && !isTableMode(szLine)) return 0;
  const char* pC = listingTimeEnd(szLine);
  if (pC == nullptr) return 0;
  pC = skipWhitespace(fieldEndAt(pC));  // the rest of the time, such as the p of 11:02p
  for (int nWords = 0; nWords < 2; nWords++) {
    const char* pEnd = fieldEndAt(pC);
    if (!isMarkerWord(pC, pEnd)) break;
    pC = skipWhitespace(pEnd);
  }
  if (isDigit(*pC)) return 1;
  return *pC == '<' ? 2 : 0;
}

// A robocopy error line: its date and time, a word, a number and the
// code in hexadecimal, as "ERROR 32 (0x00000020)".
bool isRobocopyError(const char* szLine) {
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  if (!readYearFirstDate(szLine, '/', nYear, nMonth, nDay)) return false;
  const char* pCode = std::strstr(szLine, " (0x");
  if (pCode == nullptr) return false;
  for (int i = 4; i < 12; i++) {
    if (std::strchr("0123456789abcdefABCDEF", pCode[i]) == nullptr || pCode[i] == '\0') {
      return false;
    }
  }
  return pCode[12] == ')';
}

int weighDir(const char* szLine, std::size_t nLength, const LinePlace& place) {
  // The English header is its first line; the other languages' show by
  // their file lines.
  if (place.nBefore <= 1 && (startsWith(szLine, nLength, " Volume in drive ") ||
                             startsWith(szLine, nLength, " Volume Serial Number is "))) {
    return kHeaderWeight;
  }
  if (isRobocopyError(szLine) || isS3ObjectLine(szLine, nLength) ||
      isRcloneTimeFirstLine(szLine, nLength)) {
    return 0;
  }
  return dirLineShape(szLine) != 0 ? 1 : 0;
}

// A mode, a size and a date written YYYY/MM/DD.
bool isRsyncLine(const char* szLine, int nMode) {
  const char* pDate = skipWhitespace(fieldEndAt(skipWhitespace(szLine + nMode)));
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  return readYearFirstDate(pDate, '/', nYear, nMonth, nDay);
}

int weighLs(const char* szLine, std::size_t nLength, const LinePlace& place) {
  // find -ls and BSD tar write ls's shape with paths, or with 0 links.
  if (weighFindLine(szLine, nLength) > 0 || weighTarLine(szLine, nLength) > 0) return 0;
  const char* pC = skipWhitespace(szLine);
  std::size_t nRest = nLength - static_cast<std::size_t>(pC - szLine);
  if (startsWith(pC, nRest, "total ") && isDigit(pC[6])) {
    // ls -l opens with it; ls -lR after its first folder's header.
    return place.nBefore <= 1 ? kHeaderWeight : 1;
  }
  if (startsWith(pC, nRest, "ls: ")) return 1;
  const char* pMode = lsModeStart(szLine);
  if (pMode == nullptr) return 0;
  int nMode = modeLength(pMode);
  if (pMode == szLine && isRsyncLine(szLine, nMode)) return 0;
  return isDigit(*skipWhitespace(pMode + nMode)) ? 1 : 0;
}

int weighRsync(const char* szLine, std::size_t nLength, const LinePlace& place) {
  if (place.nBefore == 0 && (startsWith(szLine, nLength, "sending incremental file list") ||
                             startsWith(szLine, nLength, "receiving incremental file list") ||
                             startsWith(szLine, nLength, "receiving file list"))) {
    return kHeaderWeight;
  }
  if (startsWith(szLine, nLength, "total size is ")) return 1;
  int nMode = modeLength(szLine);
  return nMode > 0 && isRsyncLine(szLine, nMode) ? 1 : 0;
}

// A line of at least twenty dashes and nothing else.
bool isDashes(const char* szLine, std::size_t nLength) {
  if (nLength < 20 || szLine[0] != '-') return false;
  for (std::size_t i = 0; i < nLength; i++) {
    if (szLine[i] != '-' && !isWhitespace(szLine[i])) return false;
  }
  return true;
}

// robocopy's banner: blanks, the name, blanks and "::".
bool isRobocopyBanner(const char* szLine) {
  const char* pC = skipWhitespace(szLine);
  if (std::strncmp(pC, "ROBOCOPY", 8) != 0 || !isWhitespace(pC[8])) return false;
  return std::strncmp(skipWhitespace(pC + 8), "::", 2) == 0;
}

// A field of a robocopy body line that ends in a number: a size (with a
// decimal part and a unit when rounded), a count of entries, or -1.
bool endsInRobocopyNumber(const char* pC, const char* pEnd) {
  while (pEnd > pC && isWhitespace(pEnd[-1])) pEnd--;
  if (pEnd > pC && std::strchr("kmgt", pEnd[-1]) != nullptr) {
    pEnd--;
    if (pEnd == pC || pEnd[-1] != ' ') return false;
    pEnd--;
  }
  const char* pDigits = pEnd;
  while (pDigits > pC && (isDigit(pDigits[-1]) || pDigits[-1] == '.')) pDigits--;
  if (pDigits == pEnd || !isDigit(pEnd[-1]) || !isDigit(*pDigits)) return false;
  if (pDigits > pC && pDigits[-1] == '-') pDigits--;
  return pDigits == pC || isWhitespace(pDigits[-1]);
}

// A field of a robocopy body line that holds its /TS date and time, as
// YYYY/MM/DD hh:mm:ss: where the size would be, in a log without sizes.
bool isRobocopyStamp(const char* pC, const char* pEnd) {
  pC = skipWhitespace(pC);
  while (pEnd > pC && isWhitespace(pEnd[-1])) pEnd--;
  const char kShape[] = "dddd/dd/dd dd:dd:dd";
  // cppcheck-suppress knownConditionTrueFalse ; a field of any length comes here
  if (pEnd - pC != static_cast<std::ptrdiff_t>(sizeof kShape - 1)) return false;
  for (std::size_t i = 0; i + 1 < sizeof kShape; i++) {
    if (kShape[i] == 'd' ? !isDigit(pC[i]) : pC[i] != kShape[i]) return false;
  }
  return true;
}

// A body line in robocopy's tab shape: a tab first, a field that ends in a
// number (or holds the date and time of a log without sizes), and a name
// after the last tab.
bool isRobocopyBody(const char* szLine, std::size_t nLength) {
  if (szLine[0] != '\t') return false;
  const char* pLast = static_cast<const char*>(std::memchr(szLine + 1, '\t', nLength - 1));
  if (pLast == nullptr) return false;
  const char* pField = szLine + 1;
  bool bNumber = false;
  for (const char* pTab = pLast; pTab != nullptr;) {
    bNumber = bNumber || endsInRobocopyNumber(pField, pTab) || isRobocopyStamp(pField, pTab);
    pField = pTab + 1;
    pLast = pTab;
    pTab = static_cast<const char*>(
        std::memchr(pField, '\t', nLength - static_cast<std::size_t>(pField - szLine)));
  }
  return bNumber && skipWhitespace(pLast + 1) != szLine + nLength;
}

int weighRobocopy(const char* szLine, std::size_t nLength, const LinePlace& place) {
  if (place.bAfterDashes && isRobocopyBanner(szLine)) return kHeaderWeight;
  return isRobocopyBody(szLine, nLength) || isRobocopyError(szLine) ? 1 : 0;
}

// The column names of a CSV export: "#TYPE" first, or quoted names with a
// delimiter between them, or unquoted names without blanks that name
// FullName or Length.
bool isCsvHeader(const char* szLine, std::size_t nLength) {
  if (startsWith(szLine, nLength, "#TYPE")) return true;
  if (szLine[0] == '"') {
    return std::strstr(szLine, "\",\"") != nullptr || std::strstr(szLine, "\";\"") != nullptr ||
           std::strstr(szLine, "\"\t\"") != nullptr;
  }
  const char* pDelimiter = std::strpbrk(szLine, ",;");
  if (pDelimiter == nullptr ||
      !((szLine[0] >= 'A' && szLine[0] <= 'Z') || (szLine[0] >= 'a' && szLine[0] <= 'z'))) {
    return false;
  }
  for (const char* pC = szLine; pC < pDelimiter; pC++) {
    if (isWhitespace(*pC)) return false;
  }
  return std::strstr(szLine, "FullName") != nullptr || std::strstr(szLine, "Length") != nullptr;
}

int weighCsv(const char* szLine, std::size_t nLength, const LinePlace& place) {
  if (place.bAfterPreamble && isCsvPreamble(szLine, nLength)) return kHeaderWeight / 2;
  if (place.bAfterPreamble && isCsvHeader(szLine, nLength)) return kHeaderWeight;
  if (szLine[0] != '"') return 0;
  return std::strstr(szLine, "\",\"") != nullptr || std::strstr(szLine, "\";\"") != nullptr ? 1 : 0;
}

// --- How a line shows the lists that other tools make ---------------------

// aws s3 ls's and rclone lsf's lines that have dir's shape too are told
// apart by weighDir; find's "%TD %TR %s %p" is dir's.
int weighRclone(const char* szLine, std::size_t nLength, const LinePlace&) {
  return weighRcloneLine(szLine, nLength);
}
int weighFind(const char* szLine, std::size_t nLength, const LinePlace&) {
  return dirLineShape(szLine) != 0 ? 0 : weighFindLine(szLine, nLength);
}
int weighS3(const char* szLine, std::size_t nLength, const LinePlace&) {
  return weighS3Line(szLine, nLength);
}
int weighMc(const char* szLine, std::size_t nLength, const LinePlace&) {
  return weighMcLine(szLine, nLength);
}
int weighGsutil(const char* szLine, std::size_t nLength, const LinePlace&) {
  return weighGsutilLine(szLine, nLength);
}
int weighAzcopy(const char* szLine, std::size_t nLength, const LinePlace&) {
  return weighAzcopyLine(szLine, nLength);
}
int weighTar(const char* szLine, std::size_t nLength, const LinePlace&) {
  return weighTarLine(szLine, nLength);
}
int weighDwalk(const char* szLine, std::size_t nLength, const LinePlace&) {
  return weighDwalkLine(szLine, nLength);
}

// The lines held, as the layouts are learnt from them.
template <typename Learn>
void learnFromHeld(const HeldLines* pHeld, Learn learn) {
  if (pHeld == nullptr || pHeld->nCount == 0) return;
  const char* aszLines[kKindLookahead];
  std::size_t anLengths[kKindLookahead];
  for (int i = 0; i < pHeld->nCount; i++) {
    aszLines[i] = pHeld->aPieces[i].szText;
    anLengths[i] = pHeld->aPieces[i].nLength;
  }
  learn(aszLines, anLengths, pHeld->nCount);
}

void startRcloneKind(KindReader& reader, const KindStart& start) {
  reader.rclone.bDates = start.bDates;
  reader.rclone.bFolders = start.bFolders;
  startRclone(reader.rclone);
  learnFromHeld(start.pHeld,
                [&](const char* const* aszLines, const std::size_t* anLengths, int nLines) {
                  learnRcloneLayout(reader.rclone, aszLines, anLengths, nLines);
                });
}

bool readRcloneKind(KindReader& reader, const Piece& piece, Entry& entry) {
  return readRcloneLine(reader.rclone, piece.szText, piece.nLength, entry);
}

void startBucketKind(KindReader& reader, const KindStart& start, int nClient) {
  reader.bucket.bDates = start.bDates;
  reader.bucket.bFolders = start.bFolders;
  startBucket(reader.bucket, nClient);
}
void startS3Kind(KindReader& reader, const KindStart& start) {
  startBucketKind(reader, start, kBucketS3);
}
void startMcKind(KindReader& reader, const KindStart& start) {
  startBucketKind(reader, start, kBucketMc);
}
void startGsutilKind(KindReader& reader, const KindStart& start) {
  startBucketKind(reader, start, kBucketGsutil);
}
void startAzcopyKind(KindReader& reader, const KindStart& start) {
  startBucketKind(reader, start, kBucketAzcopy);
}

bool readBucketKind(KindReader& reader, const Piece& piece, Entry& entry) {
  return readBucketLine(reader.bucket, piece.szText, piece.nLength, entry);
}

void startToolKind(KindReader& reader, const KindStart& start, int nTool) {
  reader.tools.bDates = start.bDates;
  reader.tools.bFolders = start.bFolders;
  startUnix(reader.tools, nTool, start.today);
}
void startFindKind(KindReader& reader, const KindStart& start) {
  startToolKind(reader, start, kUnixFind);
  learnFromHeld(start.pHeld,
                [&](const char* const* aszLines, const std::size_t* anLengths, int nLines) {
                  learnFindLayout(reader.tools, aszLines, anLengths, nLines);
                });
}
void startTarKind(KindReader& reader, const KindStart& start) {
  startToolKind(reader, start, kUnixTar);
}
void startDwalkKind(KindReader& reader, const KindStart& start) {
  startToolKind(reader, start, kUnixDwalk);
}

bool readToolKind(KindReader& reader, const Piece& piece, Entry& entry) {
  return readUnixLine(reader.tools, piece.szText, piece.nLength, entry);
}

// --- The sources of the kinds ---------------------------------------------

void startLsKind(KindReader& reader, const KindStart& start) { startLs(reader.ls, start.today); }

bool readLsKind(KindReader& reader, const Piece& piece, Entry& entry) {
  return readLsLine(reader.ls, piece.szText, piece.nLength, entry);
}

void startRobocopyKind(KindReader& reader, const KindStart& start) {
  startRobocopy(reader.robocopy);
  reader.robocopy.bFolders = start.bFolders;
}

bool readRobocopyKind(KindReader& reader, const Piece& piece, Entry& entry) {
  return readRobocopyLine(reader.robocopy, piece.szText, piece.nLength, entry);
}

void startCsvKind(KindReader& reader, const KindStart& start) {
  startCsv(reader.csv);
  reader.csv.bDates = start.bDates;
  reader.csv.bFolders = start.bFolders;
}

bool readCsvKind(KindReader& reader, const Piece& piece, Entry& entry) {
  return readCsvLine(reader.csv, piece.szText, piece.nLength, entry);
}

void startRsyncKind(KindReader& reader, const KindStart& start) {
  startRsync(reader.rsync);
  reader.rsync.bFolders = start.bFolders;
}

bool readRsyncKind(KindReader& reader, const Piece& piece, Entry& entry) {
  return readRsyncLine(reader.rsync, piece.szText, piece.nLength, entry);
}

// --- The exports of other tools: ncdu and gdu, rclone lsjson ------------------

// An ncdu or gdu export shows by its first line alone, and no other kind
// weighs it: it is decided there, before a long line's rest is kept.
int weighNcdu(const char* szLine, std::size_t nLength, const LinePlace& place) {
  return place.nBefore == 0 && isNcduHeader(szLine, nLength) ? kHeaderWeight : 0;
}

void startNcduKind(KindReader& reader, const KindStart& start) {
  startNcdu(reader.ncdu, start.bDates);
}

int weighLsJson(const char* szLine, std::size_t nLength, const LinePlace& place) {
  return lsJsonWeight(szLine, nLength, place.nBefore, kHeaderWeight);
}

void startLsJsonKind(KindReader& reader, const KindStart& start) {
  startLsJson(reader.lsjson, start.bDates, start.bFolders);
}

bool readLsJsonKind(KindReader& reader, const Piece& piece, Entry& entry) {
  return readLsJsonLine(reader.lsjson, piece.szText, piece.nLength, piece.bCut, entry);
}

}  // namespace

const KindRow kKindRows[kKinds] = {
    {"dir", "directory listing", kKindDir, weighDir, nullptr, nullptr},
    {"ls", "ls listing", kKindLs, weighLs, startLsKind, readLsKind},
    {"robocopy", "robocopy log", kKindRobocopy, weighRobocopy, startRobocopyKind, readRobocopyKind},
    {"csv", "CSV export", kKindCsv, weighCsv, startCsvKind, readCsvKind},
    {"rsync", "rsync listing", kKindRsync, weighRsync, startRsyncKind, readRsyncKind},
    {"find", "find listing", kKindFind, weighFind, startFindKind, readToolKind},
    {"log", "schedule log", kKindLog, nullptr, nullptr, nullptr},
    // The exports of other tools; a stream kind reads no lines.
    {"ncdu", "ncdu export", kKindNcdu, weighNcdu, startNcduKind, nullptr},
    {"lsjson", "rclone lsjson listing", kKindLsJson, weighLsJson, startLsJsonKind, readLsJsonKind},
    // The lists that other tools make, line by line.
    {"rclone", "rclone listing", kKindRclone, weighRclone, startRcloneKind, readRcloneKind},
    {"s3", "aws s3 listing", kKindS3, weighS3, startS3Kind, readBucketKind},
    {"mc", "mc listing", kKindMc, weighMc, startMcKind, readBucketKind},
    {"gsutil", "gsutil listing", kKindGsutil, weighGsutil, startGsutilKind, readBucketKind},
    {"azcopy", "azcopy listing", kKindAzcopy, weighAzcopy, startAzcopyKind, readBucketKind},
    {"tar", "tar listing", kKindTar, weighTar, startTarKind, readToolKind},
    {"dwalk", "dwalk listing", kKindDwalk, weighDwalk, startDwalkKind, readToolKind},
};

int kindOfOption(const char* szOption) {
  for (int k = 0; k < kKinds; k++) {
    if (std::strcmp(kKindRows[k].szOption, szOption) == 0) return k;
  }
  return kKindUnknown;
}

std::string kindOptionNames() {
  std::string sNames;
  for (const KindRow& row : kKindRows) {
    if (!sNames.empty()) sNames += ", ";
    sNames += row.szOption;
  }
  return sNames;
}

bool looksLikeDirFile(const char* szLine, std::size_t nLength) {
  // robocopy's error lines have the shape too, but are its own.
  return nLength > 0 && dirLineShape(szLine) == 1 && !isRobocopyError(szLine) &&
         !isS3ObjectLine(szLine, nLength) && !isRcloneTimeFirstLine(szLine, nLength);
}

int weighLine(KindEvidence& evidence, const char* szLine, std::size_t nLength) {
  LinePlace& place = evidence.place;
  if (skipWhitespace(szLine) == szLine + nLength) return kKindUnknown;  // blank: no place
  for (int k = 0; k < kKinds; k++) {
    if (kKindRows[k].weigh != nullptr) {
      evidence.anWeight[k] += kKindRows[k].weigh(szLine, nLength, place);
    }
  }
  if (isWhitespace(szLine[0]) && dirLineShape(skipWhitespace(szLine)) != 0) {
    evidence.nIndentedDir++;
  }
  place.nBefore++;
  place.bAfterDashes = isDashes(szLine, nLength);
  place.bAfterPreamble = place.bAfterPreamble && isCsvPreamble(szLine, nLength);
  int nBest = kKindDir;
  int nSecond = 0;
  for (int k = 1; k < kKinds; k++) {
    if (evidence.anWeight[k] > evidence.anWeight[nBest]) {
      nBest = k;
    }
  }
  for (int k = 0; k < kKinds; k++) {
    if (k != nBest && evidence.anWeight[k] > nSecond) nSecond = evidence.anWeight[k];
  }
  return evidence.anWeight[nBest] - nSecond >= kHeaderWeight ? nBest : kKindUnknown;
}

int chooseKind(const KindEvidence& evidence) {
  int nBest = kKindDir;
  bool bTied = false;
  for (int k = 1; k < kKinds; k++) {
    if (evidence.anWeight[k] > evidence.anWeight[nBest]) {
      nBest = k;
      bTied = false;
    } else if (evidence.anWeight[k] == evidence.anWeight[nBest]) {
      bTied = true;
    }
  }
  if (nBest == kKindDir || bTied || evidence.anWeight[nBest] < kMinEvidence) return kKindDir;
  return nBest;
}

int kindOfLine(const char* szLine, std::size_t nLength) {
  KindEvidence evidence;
  weighLine(evidence, szLine, nLength);
  int nKind = kKindUnknown;
  for (int k = 0; k < kKinds; k++) {
    if (evidence.anWeight[k] == 0) continue;
    if (nKind != kKindUnknown) return kKindUnknown;
    nKind = k;
  }
  return nKind;
}

const char* kindName(int nKind) {
  return nKind >= 0 && nKind < kKinds ? kKindRows[nKind].szName : kKindRows[kKindDir].szName;
}

// Takes the kind decided or named, and the kind whose source reads it.
void settleKind(KindDecision& decision, int nKind) {
  decision.nKind = nKind;
  decision.nReadAs = kKindRows[nKind].nReadAs;
  const int* anWeight = decision.evidence.anWeight;
  if (nKind == kKindFind && anWeight[kKindDir] > anWeight[kKindFind]) decision.nReadAs = kKindDir;
}

void startKindDecision(KindDecision& decision, bool bDecide, bool bKeepRests) {
  decision.held.nCount = decision.held.nNext = 0;
  decision.held.bKeepRests = bKeepRests;
  decision.evidence = KindEvidence();
  decision.bDecided = !bDecide;
  decision.bReplaying = false;
  settleKind(decision, bDecide && decision.nNamed != kKindUnknown ? decision.nNamed : kKindDir);
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
  int nKind = weighLine(decision.evidence, szCopy, piece.nLength);
  // A stream kind's first line may be the whole export: its rest is read
  // by its source, not kept.
  if (piece.bCut && held.bKeepRests && !isStreamKind(nKind)) readRestOfLine(reader, sRest);
  if (nKind == kKindUnknown && held.nCount == kKindLookahead) {
    nKind = chooseKind(decision.evidence);
  }
  // A named stream kind learns nothing from its lines: it is taken at once,
  // so that its source reads all of a long line, whose rest is not held.
  if (decision.nNamed != kKindUnknown) {
    bool bTaken = held.nCount == kKindLookahead || isStreamKind(decision.nNamed);
    nKind = bTaken ? decision.nNamed : kKindUnknown;
  }
  if (nKind != kKindUnknown) {
    settleKind(decision, nKind);
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
  if (!decision.bDecided) {  // at the listing's end, every line weighed
    settleKind(decision,
               decision.nNamed != kKindUnknown ? decision.nNamed : chooseKind(decision.evidence));
    decision.bDecided = true;
  }
  if (held.nNext < held.nCount) {
    piece = held.aPieces[held.nNext++];
    decision.bReplaying = held.nNext < held.nCount;
    return true;
  }
  decision.bReplaying = false;
  return false;
}

void startKindReader(KindReader& reader, int nKind, const CivilDate& today, bool bDates,
                     bool bFolders, const HeldLines* pHeld) {
  reader.nKind = nKind;
  reader.nObjects = reader.nDirFiles = 0;
  KindStart start;
  start.today = today;
  start.bDates = bDates;
  start.bFolders = bFolders;
  start.pHeld = pHeld;
  if (nKind >= 0 && nKind < kKinds && kKindRows[nKind].start != nullptr) {
    kKindRows[nKind].start(reader, start);
  }
}

bool readKindLine(KindReader& reader, const Piece& piece, Entry& entry) {
  if (reader.nKind < 0 || reader.nKind >= kKinds || kKindRows[reader.nKind].read == nullptr) {
    return false;
  }
  bool bObject = kKindRows[reader.nKind].read(reader, piece, entry);
  if (bObject) reader.nObjects++;
  // A line that the lists of other tools (find on) read as an object is
  // theirs: only the lines they leave are weighed against dir's shape, which
  // spares them a second parse of every line. (Their objects' lines begin
  // with a size, a mode, an inode or a quote: never with dir's date.)
  bool bWeigh = !bObject || reader.nKind < kKindFind;
  if (bWeigh && looksLikeDirFile(piece.szText, piece.nLength)) reader.nDirFiles++;
  return bObject;
}

bool finishKindReader(KindReader& reader, Entry& entry) {
  if (reader.nKind != kKindFind || !finishUnix(reader.tools, entry)) return false;
  reader.nObjects++;
  return true;
}

bool kindReadsFarFewer(const KindReader& reader) {
  return reader.nDirFiles >= kFarFewerLines &&
         reader.nObjects < reader.nDirFiles / 2 + reader.nDirFiles % 2;
}

const char* kindError(const KindReader& reader) {
  if (reader.nKind == kKindNcdu) return ncduError(reader.ncdu);
  if (reader.nKind != kKindCsv || !csvLacksLength(reader.csv)) return nullptr;
  return "the CSV listing has no Length column (PowerShell leaves it out when the first object "
         "is a folder); export the files alone:\n"
         "  Get-ChildItem -Recurse -File | Select-Object FullName,Length,LastWriteTime | "
         "Export-Csv files.csv -NoTypeInformation";
}
