// plomet's JSON reports read back (reportfile.h): a walk over the tokens of
// each top-level value that keeps the path of member names down to the
// depth the plan's members lie at, and checks each of those members' type.
#include "sources/reportfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace {

// The member names a plan reads, wherever they stand; the path decides.
enum class Name : std::uint8_t {
  kOther,
  kFormat,
  kClient,
  kTotal,
  kEstimate,
  kModel,
  kCalibration,
  kFolders,
  kFiles,
  kBytes,
  kBytesExact,
  kTop,
  kFolder,
  kSeconds,
};

// The deepest level whose member names matter: a folder's name and seconds
// in folders.top, inside the report, folders, top and the folder's object.
const int kTrackedDepth = 4;

// Where the walk over one report stands.
struct Walk {
  Name aName[kTrackedDepth + 1] = {};  // the last member name at each depth
  char aKey[24] = {};                  // the name being read, when it is short
  std::size_t nKey = 0;
  bool bKeyLong = false;
  bool bFormat = false;
  bool bFiles = false;
  bool bBytes = false;
  bool bEstimate = false;
  bool bCalibration = false;
  bool bModelObject = false;
  bool bInFolder = false;  // a folder of folders.top is being read
};

Name nameOf(const char* szKey) {
  static const struct {
    const char* sz;
    Name name;
  } kNames[] = {{"format", Name::kFormat},   {"client", Name::kClient},
                {"total", Name::kTotal},     {"estimate_seconds", Name::kEstimate},
                {"model", Name::kModel},     {"calibration", Name::kCalibration},
                {"folders", Name::kFolders}, {"files", Name::kFiles},
                {"bytes", Name::kBytes},     {"bytes_exact", Name::kBytesExact},
                {"top", Name::kTop},         {"folder", Name::kFolder},
                {"seconds", Name::kSeconds}};
  for (const auto& entry : kNames) {
    if (std::strcmp(szKey, entry.sz) == 0) return entry.name;
  }
  return Name::kOther;
}

// A member's name, in pieces: classified at its last piece, and the names
// of the levels below it forgotten.
void takeKey(Walk& walk, const JsonToken& token) {
  if (walk.nKey + token.nLength < sizeof walk.aKey && !walk.bKeyLong) {
    std::memcpy(walk.aKey + walk.nKey, token.pText, token.nLength);
    walk.nKey += token.nLength;
  } else {
    walk.bKeyLong = true;
  }
  if (token.bMore) return;
  walk.aKey[walk.nKey] = '\0';
  Name name = walk.bKeyLong || std::memchr(walk.aKey, '\0', walk.nKey) != nullptr
                  ? Name::kOther
                  : nameOf(walk.aKey);
  walk.nKey = 0;
  walk.bKeyLong = false;
  if (token.nDepth > kTrackedDepth) return;
  walk.aName[token.nDepth] = name;
  for (int d = token.nDepth + 1; d <= kTrackedDepth; d++) walk.aName[d] = Name::kOther;
}

// The member of the path that a value at nDepth belongs to, as one of the
// names the plan reads, or kOther for any other place.
enum class Place : std::uint8_t {
  kNone,
  kFormat,
  kClient,
  kTotal,
  kEstimate,
  kModel,
  kFolders,
  kFiles,
  kBytes,
  kBytesExact,
  kModelEstimate,
  kFolderTop,
  kFolderName,
  kFolderSeconds,
};

Place placeOf(const Walk& walk, int nDepth) {
  if (nDepth < 1 || nDepth > kTrackedDepth) return Place::kNone;
  Name top = walk.aName[1];
  if (nDepth == 1) {
    switch (top) {
      case Name::kFormat:
        return Place::kFormat;
      case Name::kClient:
        return Place::kClient;
      case Name::kTotal:
        return Place::kTotal;
      case Name::kEstimate:
        return Place::kEstimate;
      case Name::kModel:
        return Place::kModel;
      case Name::kFolders:
        return Place::kFolders;
      default:
        return Place::kNone;
    }
  }
  Name second = walk.aName[2];
  if (nDepth == 2 && top == Name::kTotal) {
    return second == Name::kFiles        ? Place::kFiles
           : second == Name::kBytes      ? Place::kBytes
           : second == Name::kBytesExact ? Place::kBytesExact
                                         : Place::kNone;
  }
  if (nDepth == 2 && top == Name::kModel && second == Name::kEstimate) {
    return Place::kModelEstimate;
  }
  if (top != Name::kFolders || second != Name::kTop) return Place::kNone;
  if (nDepth == 2) return Place::kFolderTop;
  if (nDepth == 4 && walk.aName[4] == Name::kFolder) return Place::kFolderName;
  if (nDepth == 4 && walk.aName[4] == Name::kSeconds) return Place::kFolderSeconds;
  return Place::kNone;
}

bool fail(ReportReader& reader, const std::string& sWhy) {
  reader.sError = sWhy;
  return false;
}

// A whole number of the member szWhat into n. Returns false after saying why.
bool takeWhole(ReportReader& reader, const JsonToken& token, const char* szWhat, std::uint64_t& n) {
  if (token.kind == JsonKind::kNumber && token.bUint) {
    n = token.nUint;
    return true;
  }
  return fail(reader, std::string("\"") + szWhat + "\" is not a whole number from 0 to " +
                          "18446744073709551615");
}

// Appends a piece of a folder's name, cut after kReportFolderName bytes
// and never inside a UTF-8 sequence.
void appendFolderName(std::string& sName, const JsonToken& token) {
  std::size_t nRoom = kReportFolderName - std::min(sName.size(), kReportFolderName);
  std::size_t n = std::min(token.nLength, nRoom);
  if (n < token.nLength) {
    while (n > 0 && (static_cast<unsigned char>(token.pText[n]) & 0xC0) == 0x80) n--;
  }
  sName.append(token.pText, n);
}

// A string, number or literal at its place in the report. Returns false
// after saying why it does not do there.
bool takeScalar(ReportReader& reader, Walk& walk, const JsonToken& token, ReportFacts& facts) {
  switch (placeOf(walk, token.nDepth)) {
    case Place::kFormat:
      walk.bFormat = true;
      if (token.kind != JsonKind::kNumber) return fail(reader, "\"format\" is not a number");
      if (!token.bUint || token.nUint != kReportFormat) {
        return fail(reader, "a report of format " + std::string(token.pText) +
                                ", but this version of plomet reads format 1");
      }
      return true;
    case Place::kClient:
      if (token.kind != JsonKind::kString) return fail(reader, "\"client\" is not a string");
      if (facts.sClient.size() + token.nLength > kMaxReportClient) {
        return fail(reader, "\"client\" is longer than 4096 bytes");
      }
      facts.bClient = true;
      facts.sClient.append(token.pText, token.nLength);
      if (!token.bMore && facts.sClient.empty()) return fail(reader, "\"client\" is empty");
      return true;
    case Place::kEstimate:
      walk.bEstimate = true;
      return takeWhole(reader, token, "estimate_seconds", facts.nClassSeconds);
    case Place::kFiles:
      walk.bFiles = true;
      return takeWhole(reader, token, "total.files", facts.nObjects);
    case Place::kBytes:
      walk.bBytes = true;
      return takeWhole(reader, token, "total.bytes", facts.nBytes);
    case Place::kBytesExact:
      if (token.kind != JsonKind::kTrue && token.kind != JsonKind::kFalse) {
        return fail(reader, "\"total.bytes_exact\" is not true or false");
      }
      facts.bBytesExact = token.kind == JsonKind::kTrue;
      return true;
    case Place::kModelEstimate:
      facts.bModel = true;
      return takeWhole(reader, token, "model.estimate_seconds", facts.nModelSeconds);
    case Place::kTotal:
      return fail(reader, "\"total\" is not an object");
    case Place::kModel:
      return fail(reader, "\"model\" is not an object");
    case Place::kFolderName:
      if (walk.bInFolder && token.kind == JsonKind::kString) {
        appendFolderName(facts.folders.back().sName, token);
      }
      return true;
    case Place::kFolderSeconds:
      if (walk.bInFolder && token.kind == JsonKind::kNumber) {
        facts.folders.back().dSeconds = std::strtod(token.pText, nullptr);
      }
      return true;
    default:
      return true;
  }
}

// The start of an object or an array at its place. Returns false after
// saying why it does not do there.
bool takeContainer(ReportReader& reader, Walk& walk, const JsonToken& token, ReportFacts& facts) {
  bool bObject = token.kind == JsonKind::kBeginObject;
  if (token.nDepth == 0) {
    if (!bObject) return fail(reader, "holds a JSON array, not a plomet report");
    return true;
  }
  if (token.nDepth == 1 && walk.aName[1] == Name::kCalibration) walk.bCalibration = true;
  if (token.nDepth == 3 && bObject && placeOf(walk, 2) == Place::kFolderTop &&
      facts.folders.size() < kReportFolders) {
    facts.folders.emplace_back();
    walk.bInFolder = true;
    return true;
  }
  switch (placeOf(walk, token.nDepth)) {
    case Place::kTotal:
      return bObject || fail(reader, "\"total\" is not an object");
    case Place::kModel:
      walk.bModelObject = bObject;
      return bObject || fail(reader, "\"model\" is not an object");
    case Place::kFolders:
    case Place::kFolderTop:
    case Place::kNone:
    case Place::kFolderName:
    case Place::kFolderSeconds:
      return true;
    default:
      return takeScalar(reader, walk, token, facts);  // says why it is no container
  }
}

// The checks at a report's end: the members that a plan needs are there.
bool finishReport(ReportReader& reader, const Walk& walk, const ReportFacts& facts) {
  if (!walk.bFormat) return fail(reader, "no \"format\" member: not a plomet report");
  if (walk.bCalibration) {
    return fail(reader, "a report of --calibrate, which holds no estimate to plan");
  }
  if (!walk.bFiles) return fail(reader, "no \"total.files\" member");
  if (!walk.bBytes) return fail(reader, "no \"total.bytes\" member");
  if (!walk.bEstimate) return fail(reader, "no \"estimate_seconds\" member");
  if (walk.bModelObject && !facts.bModel) {
    return fail(reader, "no \"model.estimate_seconds\" member in its \"model\"");
  }
  return true;
}

// Hands the tokenizer the next block of the stream, or its end.
void refill(ReportReader& reader) {
  std::size_t n = std::fread(reader.aBlock, 1, reader.nBlockSize, reader.pStream);
  if (n > 0) {
    feedJson(reader.json, reader.aBlock, n);
    return;
  }
  if (std::ferror(reader.pStream) != 0) reader.nReadErrno = errno != 0 ? errno : EIO;
  endJsonInput(reader.json);
  reader.bEnded = true;
}

const char* valueName(JsonKind kind) {
  switch (kind) {
    case JsonKind::kString:
      return "a string";
    case JsonKind::kNumber:
      return "a number";
    default:
      return "true, false or null";
  }
}

// A name of more than ".json" that ends in it, in any letter case.
bool endsInJson(const std::string& name) {
  static const char kEnd[] = ".json";
  std::size_t n = sizeof kEnd - 1;
  if (name.size() <= n) return false;
  for (std::size_t i = 0; i < n; i++) {
    if ((name[name.size() - n + i] | 0x20) != kEnd[i]) return false;
  }
  return true;
}

}  // namespace

void startReports(ReportReader& reader, std::FILE* pStream) {
  reader.pStream = pStream;
  reader.bEnded = false;
  reader.nReadErrno = 0;
  reader.nReports = 0;
  reader.sError.clear();
  reader.json = JsonPull();
}

ReportStatus nextReport(ReportReader& reader, ReportFacts& facts) {
  facts.bClient = false;
  facts.sClient.clear();
  facts.nObjects = facts.nBytes = facts.nClassSeconds = facts.nModelSeconds = 0;
  facts.bBytesExact = true;
  facts.bModel = false;
  facts.folders.clear();
  Walk walk;
  bool bFine = true;
  bool bStarted = false;
  JsonToken token;
  for (;;) {
    JsonKind kind = nextJsonToken(reader.json, token);
    if (kind == JsonKind::kNeedMore) {
      refill(reader);
      continue;
    }
    if (reader.nReadErrno != 0) {
      reader.sError = std::string("read error: ") + std::strerror(reader.nReadErrno);
      return ReportStatus::kBad;
    }
    if (kind == JsonKind::kEnd) return ReportStatus::kNoMore;
    if (!bStarted) {  // counted from its first byte, so that an error names it
      bStarted = true;
      reader.nReports++;
    }
    if (kind == JsonKind::kError || kind == JsonKind::kEndedEarly) {
      reader.sError = kind == JsonKind::kError ? "not JSON: " : "cut short: it ends ";
      reader.sError += token.szReason;
      if (kind == JsonKind::kError) reader.sError += " at byte " + std::to_string(token.nOffset);
      return ReportStatus::kBad;
    }
    if (token.nDepth == 0 && kind != JsonKind::kBeginObject && kind != JsonKind::kEndObject &&
        kind != JsonKind::kBeginArray) {
      reader.sError = std::string("holds ") + valueName(kind) + ", not a plomet report";
      return ReportStatus::kBad;
    }
    if (kind == JsonKind::kKey) {
      takeKey(walk, token);
    } else if (kind == JsonKind::kBeginObject || kind == JsonKind::kBeginArray) {
      bFine = takeContainer(reader, walk, token, facts);
    } else if (kind == JsonKind::kEndObject || kind == JsonKind::kEndArray) {
      if (token.nDepth == 3) walk.bInFolder = false;
    } else {
      bFine = takeScalar(reader, walk, token, facts);
    }
    if (!bFine) return ReportStatus::kBad;
    if (token.bEndsValue) {
      return finishReport(reader, walk, facts) ? ReportStatus::kReport : ReportStatus::kBad;
    }
  }
}

bool isReportFolder(const char* szPath) {
  std::error_code error;
  return std::filesystem::is_directory(szPath, error);
}

bool listReportFolder(const char* szFolder, std::vector<std::string>& paths, std::string& sError) {
  std::error_code error;
  std::filesystem::directory_iterator it(szFolder, error);
  std::vector<std::string> names;
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::string name = it->path().filename().string();
    std::error_code fileError;
    if (endsInJson(name) && !it->is_directory(fileError)) names.push_back(name);
  }
  if (error) {
    sError = error.message();
    return false;
  }
  std::sort(names.begin(), names.end());
  std::string folder = szFolder;
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  std::transform(names.begin(), names.end(), std::back_inserter(paths),
                 [&folder](const std::string& name) { return folder + name; });
  return true;
}
