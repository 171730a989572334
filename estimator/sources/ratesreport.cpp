#include "sources/ratesreport.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sources/jsonpull.h"

namespace {

const std::size_t kBlock = std::size_t{64} * 1024;
const std::size_t kMaxKey = 64;       // longer member names are none of ours
const std::size_t kMaxOrigin = 4096;  // bytes of a target's or a log's name kept
const char kCarriers[] = "the JSON reports of --calibrate and --measure carry it";

/// One report being read, and which of the members needed were found.
struct ReportReader {
  std::FILE* stream = nullptr;
  std::vector<char> block;
  JsonPull json;
  JsonToken token;
  std::string sKey;  // the member's name read last; "" for one too long
  RatesReport* pReport = nullptr;
  bool bFormat = false;
  bool bModel = false;
  bool bRates = false;
  bool bCost = false;
  bool bBandwidth = false;
};

/// Notes the first reason to refuse the report, in r's report. Returns
/// false, for the caller to return.
bool refuse(const ReportReader& r, const std::string& sWhy) {
  if (r.pReport->sError.empty()) r.pReport->sError = sWhy;
  return false;
}

/// Reads the next token into r.token, handing over blocks of the stream as
/// they are needed. Returns false after noting why when the stream is not
/// JSON, ends inside a value, or cannot be read.
bool next(ReportReader& r) {
  for (;;) {
    JsonKind kind = nextJsonToken(r.json, r.token);
    if (kind == JsonKind::kError) {
      return refuse(r, std::string("it is not valid JSON: ") + r.token.szReason + " at byte " +
                           std::to_string(r.token.nOffset + 1));
    }
    if (kind == JsonKind::kEndedEarly) return refuse(r, std::string("it ends ") + r.token.szReason);
    if (kind != JsonKind::kNeedMore) return true;
    std::size_t n = std::fread(r.block.data(), 1, r.block.size(), r.stream);
    if (n > 0) {
      feedJson(r.json, r.block.data(), n);
    } else if (std::ferror(r.stream)) {
      return refuse(r, std::string("it cannot be read: ") + std::strerror(errno));
    } else {
      endJsonInput(r.json);
    }
  }
}

/// Takes the member's name whose first piece r.token is into r.sKey.
bool takeKey(ReportReader& r) {
  bool bLong = r.token.nLength > kMaxKey;
  r.sKey.assign(r.token.pText, bLong ? 0 : r.token.nLength);
  while (r.token.bMore) {
    if (!next(r)) return false;
    bLong = true;
  }
  if (bLong) r.sKey.clear();
  return true;
}

/// Passes over the value whose first token r.token is.
bool skipValue(ReportReader& r) {
  int nDepth = 0;
  for (;;) {
    JsonKind kind = r.token.kind;
    if (kind == JsonKind::kBeginObject || kind == JsonKind::kBeginArray) nDepth++;
    if (kind == JsonKind::kEndObject || kind == JsonKind::kEndArray) nDepth--;
    bool bPiece = (kind == JsonKind::kString || kind == JsonKind::kKey) && r.token.bMore;
    if (nDepth == 0 && !bPiece) return true;
    if (!next(r)) return false;
  }
}

/// Takes the string whose first piece r.token is into sText, up to
/// kMaxOrigin bytes.
bool takeString(ReportReader& r, std::string& sText) {
  sText.clear();
  for (;;) {
    std::size_t nRoom = kMaxOrigin - sText.size();
    sText.append(r.token.pText, r.token.nLength < nRoom ? r.token.nLength : nRoom);
    if (!r.token.bMore) return true;
    if (!next(r)) return false;
  }
}

/// Returns true with the number r.token holds in d, when it is finite.
bool numberOf(const ReportReader& r, double& d) {
  if (r.token.kind != JsonKind::kNumber) return false;
  d = std::strtod(r.token.pText, nullptr);
  return std::isfinite(d);
}

/// "model.rates": four whole numbers of KB/s.
bool takeRates(ReportReader& r) {
  const std::string sBad =
      "its \"model\" member \"rates\" is not four whole numbers of KB/s from 1 to " +
      std::to_string(kMaxReportRate);
  if (r.token.kind != JsonKind::kBeginArray) return refuse(r, sBad);
  int nRates = 0;
  for (;;) {
    if (!next(r)) return false;
    if (r.token.kind == JsonKind::kEndArray) break;
    const JsonToken& t = r.token;
    if (nRates == 4 || t.kind != JsonKind::kNumber || !t.bUint || t.nUint == 0 ||
        t.nUint > kMaxReportRate) {
      return refuse(r, sBad);
    }
    r.pReport->anRates[nRates++] = t.nUint;
  }
  r.bRates = nRates == 4;
  return r.bRates || refuse(r, sBad);
}

/// One member of "model", its name in r.sKey and its value's first token in r.token.
bool takeModelMember(ReportReader& r) {
  RatesReport& report = *r.pReport;
  const std::string& sKey = r.sKey;
  if (sKey == "rates") return takeRates(r);
  if (sKey == "cost_ms_per_object") {
    r.bCost = numberOf(r, report.dCostMs) && report.dCostMs >= 0;
    return r.bCost ||
           refuse(r, "its \"model\" member \"cost_ms_per_object\" is not a number of 0 or more");
  }
  if (sKey == "bandwidth_kb_per_s") {
    report.bUnbounded = r.token.kind == JsonKind::kNull;
    r.bBandwidth =
        report.bUnbounded || (numberOf(r, report.dBandwidthKBps) && report.dBandwidthKBps > 0);
    return r.bBandwidth ||
           refuse(r,
                  "its \"model\" member \"bandwidth_kb_per_s\" is neither a number above 0 nor "
                  "null");
  }
  if (sKey == "objects") {
    report.nObjects = r.token.bUint ? r.token.nUint : 0;
    return r.token.bUint ||
           refuse(r, "its \"model\" member \"objects\" is not a whole number of 0 or more");
  }
  if (sKey == "target" || sKey == "log") {
    report.bMeasured = sKey == "target";
    return (r.token.kind == JsonKind::kString && takeString(r, report.sOrigin)) ||
           refuse(r, "its \"model\" member \"" + sKey + "\" is not a text");
  }
  return skipValue(r);
}

/// The members of "model", whose first token r.token is.
bool takeModel(ReportReader& r) {
  if (r.token.kind != JsonKind::kBeginObject) {
    return refuse(r, "its member \"model\" is not an object");
  }
  r.bModel = true;
  for (;;) {
    if (!next(r)) return false;
    if (r.token.kind == JsonKind::kEndObject) return true;
    if (!takeKey(r) || !next(r) || !takeModelMember(r)) return false;
  }
}

/// The top-level object's members, from the token after its opening brace.
bool takeMembers(ReportReader& r) {
  for (;;) {
    if (!next(r)) return false;
    if (r.token.kind == JsonKind::kEndObject) return true;
    if (!takeKey(r) || !next(r)) return false;
    if (r.sKey == "format") {
      r.bFormat = r.token.bUint && r.token.nUint == 1;
      if (!r.bFormat) return refuse(r, "its \"format\" is not 1");
    } else if (r.sKey == "model") {
      if (!takeModel(r)) return false;
    } else if (!skipValue(r)) {
      return false;
    }
  }
}

/// Says which member the model needs is missing, if one is.
bool checkFound(const ReportReader& r) {
  if (!r.bFormat) return refuse(r, "it has no \"format\": 1");
  if (!r.bModel) return refuse(r, std::string("it has no member \"model\"; ") + kCarriers);
  const char* szMissing = !r.bRates       ? "rates"
                          : !r.bCost      ? "cost_ms_per_object"
                          : !r.bBandwidth ? "bandwidth_kb_per_s"
                                          : nullptr;
  if (szMissing == nullptr) return true;
  return refuse(r, std::string("its \"model\" has no member \"") + szMissing + "\"; " + kCarriers);
}

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool startsWithJsonObject(std::FILE* stream) {
  int c = std::fgetc(stream);
  if (c == 0xEF) {  // a UTF-8 byte-order mark
    c = std::fgetc(stream);
    if (c == 0xBB) c = std::fgetc(stream);
    if (c == 0xBF) c = std::fgetc(stream);
  }
  while (isBlank(c)) c = std::fgetc(stream);
  if (c != EOF) std::ungetc(c, stream);
  return c == '{';
}

bool readRatesReport(std::FILE* stream, RatesReport& report) {
  report = RatesReport();
  // The tokenizer keeps a few KiB of text: on the heap with the block.
  std::unique_ptr<ReportReader> pReader(new ReportReader());
  ReportReader& r = *pReader;
  r.stream = stream;
  r.block.resize(kBlock);
  r.pReport = &report;
  if (!next(r)) return false;
  if (r.token.kind != JsonKind::kBeginObject) return refuse(r, "it is not a JSON object");
  if (!takeMembers(r) || !next(r)) return false;
  if (r.token.kind != JsonKind::kEnd) return refuse(r, "it holds more than one JSON value");
  return checkFound(r);
}
