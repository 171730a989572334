#include "reports/jsonreport.h"

#include <cstdio>
#include <cstring>

#include "reports/json.h"
#include "reports/warnings.h"
#include "sources/text.h"

namespace {

const std::uint64_t kClassFloors[kClasses] = {0, kOneKbLimit, kTenKbLimit, kHundredKbLimit};

void writeUintMember(JsonWriter& json, const char* szKey, std::uint64_t n) {
  writeJsonKey(json, szKey);
  writeJsonUint(json, n);
}

void writeInput(JsonWriter& json, const ReportFigures& figures) {
  writeJsonKey(json, "format");
  writeJsonUint(json, 1);
  if (figures.szClient != nullptr) {
    writeJsonKey(json, "client");
    writeJsonString(json, figures.szClient);
  }
  writeJsonKey(json, "input");
  beginJsonObject(json);
  writeJsonKey(json, "kind");
  writeJsonString(json, figures.szKind);
  writeJsonKey(json, "listing");
  writeJsonString(json, figures.listing.c_str());
  if (figures.paths.size() > 1) {  // a scan of several trees: "listing" is the first
    writeJsonKey(json, "paths");
    beginJsonArray(json);
    for (const std::string& path : figures.paths) writeJsonString(json, path.c_str());
    endJsonArray(json);
  }
  writeJsonKey(json, "encoding");
  writeJsonString(json, figures.szEncoding);
  // A read that failed leaves the numbers short: they count what came before.
  writeJsonKey(json, "read_error");
  if (figures.szReadError != nullptr) {
    writeJsonString(json, figures.szReadError);
  } else {
    writeJsonNull(json);
  }
  endJsonObject(json);
}

// A class's label and its bounds: from (inclusive) and below (exclusive;
// null for the last, which has none).
void writeClassBounds(JsonWriter& json, int k) {
  writeJsonKey(json, "label");
  writeJsonString(json, kClassLabels[k]);
  writeUintMember(json, "from_bytes", kClassFloors[k]);
  writeJsonKey(json, "below_bytes");
  if (k + 1 < kClasses) {
    writeJsonUint(json, kClassFloors[k + 1]);
  } else {
    writeJsonNull(json);
  }
}

void writeClasses(JsonWriter& json, const ReportFigures& figures) {
  writeJsonKey(json, "classes");
  beginJsonArray(json);
  for (int k = 0; k < kClasses; k++) {
    const ClassFigures& c = figures.aClasses[k];
    beginJsonObject(json);
    writeClassBounds(json, k);
    writeJsonKey(json, "rate_kilobytes_per_second");
    writeJsonNumberText(json, rateNumberText(c.szRate).c_str());
    writeJsonKey(json, "rate_bytes_per_second");
    writeJsonInt(json, c.nRate);
    writeUintMember(json, "files", c.nFiles);
    writeUintMember(json, "bytes", c.nBytes);
    writeJsonKey(json, "bytes_exact");
    writeJsonBool(json, c.bExact);
    writeJsonKey(json, "seconds");
    writeJsonDouble(json, c.dSeconds);
    writeUintMember(json, "whole_seconds", c.nSeconds);
    endJsonObject(json);
  }
  endJsonArray(json);
}

void writeTotals(JsonWriter& json, const ReportFigures& figures) {
  writeJsonKey(json, "total");
  beginJsonObject(json);
  writeUintMember(json, "files", figures.nFiles);
  writeUintMember(json, "bytes", figures.nBytes);
  writeJsonKey(json, "bytes_exact");
  writeJsonBool(json, figures.bExact);
  endJsonObject(json);
  writeJsonKey(json, "average");
  beginJsonObject(json);
  writeUintMember(json, "bytes", figures.nAverage);
  writeJsonKey(json, "class");
  writeJsonString(json, kClassLabels[figures.nAverageClass]);
  endJsonObject(json);
  writeUintMember(json, "estimate_seconds", figures.nEstimateSeconds);
  writeUintMember(json, "estimate_by_average_seconds", figures.nAverageEstimateSeconds);
}

void writeOwnTotals(JsonWriter& json, const ReportFigures& figures) {
  writeJsonKey(json, "own_totals");
  if (!figures.bOwnTotals) {
    writeJsonNull(json);
    return;
  }
  beginJsonObject(json);
  writeUintMember(json, "files", figures.nOwnFiles);
  writeUintMember(json, "bytes", figures.nOwnBytes);
  // With --since the listing's totals cover every file read, not those selected.
  std::uint64_t nFiles = figures.pSince != nullptr ? figures.pSince->nLines : figures.nFiles;
  std::uint64_t nBytes = figures.pSince != nullptr ? figures.pSince->nBytes : figures.nBytes;
  writeJsonKey(json, "agree");
  writeJsonBool(json, figures.nOwnFiles == nFiles && figures.nOwnBytes == nBytes);
  endJsonObject(json);
}

void writeWindow(JsonWriter& json, const WindowVerdict& verdict) {
  writeJsonKey(json, "window");
  beginJsonObject(json);
  writeUintMember(json, "seconds", verdict.nWindowSeconds);
  writeJsonKey(json, "fits");
  writeJsonBool(json, verdict.bFits);
  writeUintMember(json, "spare_seconds", verdict.nSpareSeconds);
  writeUintMember(json, "over_seconds", verdict.nOverSeconds);
  writeJsonKey(json, "rates_factor");
  writeJsonHundredths(json, verdict.nFactorWhole, verdict.nFactorHundredths);
  endJsonObject(json);
}

// What --since selected: of the files (or log lines) read, those at the
// moment or later, under the order of the dates used.
void writeSelection(JsonWriter& json, const SinceFilter& filter, std::uint64_t nSelected) {
  char szSince[kMomentTextSize];
  formatMoment(filter.nSince, szSince);
  writeJsonKey(json, "selection");
  beginJsonObject(json);
  writeJsonKey(json, "since");
  writeJsonString(json, szSince);
  writeUintMember(json, "selected", nSelected);
  writeUintMember(json, "read", filter.nLines);
  writeJsonKey(json, "date_order");
  writeJsonString(json, chosenOrderName(filter));
  writeJsonKey(json, "date_order_from");
  writeJsonString(json, orderDecidedBy(filter));
  endJsonObject(json);
}

void writeFolderRow(JsonWriter& json, const FolderRow& row) {
  writeUintMember(json, "files", row.nFiles);
  writeUintMember(json, "bytes", row.nBytes);
  writeJsonKey(json, "seconds");
  if (row.dSeconds >= kFolderMaxSeconds) {
    writeJsonNumberText(json, "18446744073709551615.0");  // not the double's 2^64
  } else {
    writeJsonDouble(json, row.dSeconds);
  }
  writeJsonKey(json, "share_percent");
  writeJsonDouble(json, row.dShare);
}

// The folders that take the longest, the rest, the files without a folder,
// and the whole, which the rows add up to.
void writeFolders(JsonWriter& json, const FolderRanking& ranking) {
  writeJsonKey(json, "folders");
  beginJsonObject(json);
  writeJsonKey(json, "found");
  writeJsonBool(json, ranking.bFound);
  writeJsonKey(json, "root");
  writeJsonString(json, ranking.sRoot.data(), ranking.sRoot.size());
  writeUintMember(json, "depth", static_cast<std::uint64_t>(ranking.nDepth));
  writeUintMember(json, "count", ranking.nFolders);
  writeJsonKey(json, "top");
  beginJsonArray(json);
  for (const FolderRow& row : ranking.rows) {
    beginJsonObject(json);
    writeJsonKey(json, "folder");
    writeJsonString(json, row.sName.data(), row.sName.size());
    writeFolderRow(json, row);
    endJsonObject(json);
  }
  endJsonArray(json);
  writeJsonKey(json, "rest");
  beginJsonObject(json);
  writeUintMember(json, "folders", ranking.nRestFolders);
  writeFolderRow(json, ranking.rest);
  endJsonObject(json);
  writeJsonKey(json, "no_folder");
  beginJsonObject(json);
  writeFolderRow(json, ranking.unplaced);
  endJsonObject(json);
  writeJsonKey(json, "all");
  beginJsonObject(json);
  writeFolderRow(json, ranking.total);
  endJsonObject(json);
  endJsonObject(json);
}

void writeWarnings(JsonWriter& json) {
  writeJsonKey(json, "warnings");
  beginJsonArray(json);
  for (std::size_t i = 0; i < warningCount(); i++) writeJsonString(json, warningText(i).c_str());
  endJsonArray(json);
}

void writeCalibrationClasses(JsonWriter& json, const CalibrationResult& result) {
  writeJsonKey(json, "classes");
  beginJsonArray(json);
  for (int k = 0; k < kClasses; k++) {
    const CalibrationClassResult& c = result.aClasses[k];
    beginJsonObject(json);
    writeClassBounds(json, k);
    writeUintMember(json, "objects", c.nObjects);
    writeUintMember(json, "bytes", c.nBytes);
    writeUintMember(json, "busy_seconds", c.nSeconds);
    writeUintMember(json, "log_objects", c.nLogObjects);
    writeUintMember(json, "log_bytes", c.nLogBytes);
    writeJsonKey(json, "measured_kilobytes_per_second");
    if (c.nSeconds > 0) {
      writeJsonDouble(json, c.dMeasuredKBps);
    } else {
      writeJsonNull(json);
    }
    writeUintMember(json, "rate_kilobytes_per_second", c.nRateKBps);
    writeJsonKey(json, "filled_from_model");
    writeJsonBool(json, c.bFilled);
    writeJsonKey(json, "model_size_bytes");  // where the model was taken for a filled rate
    if (c.bFilled) {
      writeJsonDouble(json, c.dModelSize);
    } else {
      writeJsonNull(json);
    }
    endJsonObject(json);
  }
  endJsonArray(json);
}

void writeCalibrationSession(JsonWriter& json, const CalibrationResult& result) {
  writeUintMember(json, "first_second_of_day", static_cast<std::uint64_t>(result.nFirstSecond));
  writeUintMember(json, "last_second_of_day", static_cast<std::uint64_t>(result.nLastSecond));
  writeUintMember(json, "day_turns", result.nDayTurns);
  writeUintMember(json, "span_seconds", result.nSpanSeconds);
  writeUintMember(json, "busy_seconds", result.nBusySeconds);
  writeUintMember(json, "unclassed_busy_seconds", result.nOtherSeconds);
  writeUintMember(json, "gap_limit_seconds", result.nGapSeconds);
  writeUintMember(json, "idle_gaps", result.nGaps);
  writeUintMember(json, "idle_seconds", result.nGapTotal);
  writeUintMember(json, "objects_left_out", result.nLeftOut);
  writeJsonKey(json, "cost_milliseconds");
  writeJsonDouble(json, result.dCostSeconds * 1000.0);
  writeJsonKey(json, "bandwidth_kilobytes_per_second");
  writeJsonDouble(json, result.dBandwidthKBps);  // null when unbounded
  writeJsonKey(json, "model_classes");
  writeJsonUint(json, static_cast<std::uint64_t>(result.nFitClasses));
  writeJsonKey(json, "rates");
  beginJsonArray(json);
  for (const CalibrationClassResult& c : result.aClasses) writeJsonUint(json, c.nRateKBps);
  endJsonArray(json);
}

// A session's start in ISO 8601: date and time, or the time alone.
void writeSessionStart(JsonWriter& json, const LineTime& start) {
  char szText[kMomentTextSize];
  if (start.bDated) {
    formatMoment(start.nMoment, szText);
    szText[10] = 'T';
  } else {
    int n = start.nSecondOfDay;
    std::snprintf(szText, sizeof szText, "%02d:%02d:%02d", n / 3600, n % 3600 / 60, n % 60);
  }
  writeJsonKey(json, "start");
  writeJsonString(json, szText);
}

// The sessions fitted alone; with a listing (pFigures), each one's estimate.
void writeSessions(JsonWriter& json, const CalibrationResult& result,
                   const ReportFigures* pFigures) {
  writeJsonKey(json, "sessions");
  beginJsonArray(json);
  for (const SessionResult& session : result.sessions) {
    if (!session.bFitted) continue;
    beginJsonObject(json);
    writeSessionStart(json, session.start);
    writeUintMember(json, "objects", session.nObjects);
    writeUintMember(json, "busy_seconds", session.nBusySeconds);
    writeJsonKey(json, "cost_ms_per_object");
    writeJsonDouble(json, session.dCostSeconds * 1000.0);
    writeJsonKey(json, "bandwidth_kb_per_s");
    writeJsonDouble(json, session.dBandwidthKBps);  // null when unbounded
    if (pFigures != nullptr) {
      writeUintMember(json, "estimate_seconds",
                      modelSeconds(session.dCostSeconds, session.dSecondsPerByte, pFigures->nFiles,
                                   pFigures->nBytes));
    }
    endJsonObject(json);
  }
  endJsonArray(json);
}

void writeModel(JsonWriter& json, const ReportFigures& figures) {
  const CalibrationResult& model = *figures.pModel;
  writeJsonKey(json, "model");
  beginJsonObject(json);
  writeJsonKey(json, "log");
  writeJsonString(json, figures.szModelLog);
  writeJsonKey(json, "cost_ms_per_object");
  writeJsonDouble(json, model.dCostSeconds * 1000.0);
  writeJsonKey(json, "bandwidth_kb_per_s");
  writeJsonDouble(json, model.dBandwidthKBps);
  writeUintMember(json, "objects", model.nLogObjects);
  writeUintMember(json, "estimate_seconds", figures.nModelSeconds);
  if (figures.pModelWindow != nullptr) {
    writeJsonKey(json, "fits_window");
    writeJsonBool(json, figures.pModelWindow->bFits);
  }
  writeSessions(json, model, &figures);
  endJsonObject(json);
}

// The model as --rates-from reads it back: where it was learnt (a member
// szOriginKey, "log" or "target", naming szOrigin), the cost, the bandwidth,
// the objects it rests on and the four rates.
void writeRatesModel(JsonWriter& json, const CalibrationResult& result, const char* szOriginKey,
                     const char* szOrigin) {
  writeJsonKey(json, "model");
  beginJsonObject(json);
  writeJsonKey(json, szOriginKey);
  writeJsonString(json, szOrigin);
  writeJsonKey(json, "cost_ms_per_object");
  writeJsonDouble(json, result.dCostSeconds * 1000.0);
  writeJsonKey(json, "bandwidth_kb_per_s");
  writeJsonDouble(json, result.dBandwidthKBps);  // null when unbounded
  writeUintMember(json, "objects", result.nLogObjects);
  writeJsonKey(json, "rates");
  beginJsonArray(json);
  for (const CalibrationClassResult& c : result.aClasses) writeJsonUint(json, c.nRateKBps);
  endJsonArray(json);
  endJsonObject(json);
}

void writeMeasuredSets(JsonWriter& json, const MeasureResult& measured,
                       const CalibrationResult& result) {
  writeJsonKey(json, "classes");
  beginJsonArray(json);
  for (int k = 0; k < kMeasureSets; k++) {
    const MeasuredClass& set = measured.aClasses[k];
    const CalibrationClassResult& c = result.aClasses[k];
    beginJsonObject(json);
    writeClassBounds(json, k);
    writeUintMember(json, "file_bytes", kMeasureFileSizes[k]);
    writeUintMember(json, "objects", set.nObjects);
    writeUintMember(json, "bytes", set.nBytes);
    writeJsonKey(json, "seconds");
    writeJsonDouble(json, set.dSeconds);
    writeUintMember(json, "rounds", set.nRounds);
    writeJsonKey(json, "measured_kilobytes_per_second");
    if (c.bFilled) {
      writeJsonNull(json);
    } else {
      writeJsonDouble(json, c.dMeasuredKBps);
    }
    writeUintMember(json, "rate_kilobytes_per_second", c.nRateKBps);
    endJsonObject(json);
  }
  endJsonArray(json);
  writeJsonKey(json, "model_classes");
  writeJsonUint(json, static_cast<std::uint64_t>(result.nFitClasses));
}

}  // namespace

void writeJsonReport(const ReportFigures& figures) {
  JsonWriter json;
  beginJsonObject(json);
  writeInput(json, figures);
  writeClasses(json, figures);
  writeTotals(json, figures);
  writeOwnTotals(json, figures);
  if (figures.pSince != nullptr) writeSelection(json, *figures.pSince, figures.nFiles);
  if (figures.pWindow != nullptr) writeWindow(json, *figures.pWindow);
  if (figures.pFolders != nullptr) writeFolders(json, *figures.pFolders);
  if (figures.pModel != nullptr) writeModel(json, figures);
  writeWarnings(json);
  endJsonObject(json);
}

void writeJsonCalibration(const ReportFigures& figures, const CalibrationResult& result) {
  JsonWriter json;
  beginJsonObject(json);
  writeInput(json, figures);
  if (figures.pSince != nullptr) {
    writeSelection(json, *figures.pSince, selectedLines(*figures.pSince));
  }
  writeJsonKey(json, "calibration");
  beginJsonObject(json);
  writeCalibrationClasses(json, result);
  writeCalibrationSession(json, result);
  writeSessions(json, result, nullptr);
  endJsonObject(json);
  writeRatesModel(json, result, "log", figures.listing.c_str());
  writeWarnings(json);
  endJsonObject(json);
}

void writeJsonMeasurement(const MeasureSettings& settings, const MeasureResult& measured,
                          const CalibrationResult& result) {
  JsonWriter json;
  beginJsonObject(json);
  writeJsonKey(json, "format");
  writeJsonUint(json, 1);
  writeJsonKey(json, "input");
  beginJsonObject(json);
  writeJsonKey(json, "kind");
  writeJsonString(json, "measurement");
  writeJsonKey(json, "target");
  writeJsonString(json, settings.sTarget.c_str());
  writeJsonKey(json, "from");
  writeJsonString(json, measured.sFrom.c_str());
  writeJsonKey(json, "seconds_per_set");
  writeJsonDouble(json, settings.dSecondsPerClass);
  endJsonObject(json);
  writeJsonKey(json, "measurement");
  beginJsonObject(json);
  writeMeasuredSets(json, measured, result);
  endJsonObject(json);
  writeRatesModel(json, result, "target", settings.sTarget.c_str());
  writeWarnings(json);
  endJsonObject(json);
}

std::string rateNumberText(const char* szText) {
  const char* pC = szText;
  while (*pC == ' ' || *pC == '\t') pC++;
  std::string number;
  if (*pC == '-') number += '-';
  if (*pC == '+' || *pC == '-') pC++;
  while (*pC == '0' && isDigit(pC[1])) pC++;
  if (*pC == '.') number += '0';
  for (; isDigit(*pC) || *pC == '.'; pC++) {
    if (*pC != '.' || isDigit(pC[1])) number += *pC;
  }
  return number;
}
