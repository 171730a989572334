#include "reports/calibrationreport.h"

#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <numeric>

#include "reports/output.h"
#include "reports/warnings.h"

namespace {

void printClassTable(const CalibrationResult& result) {
  const char szRule[] = "=======================================================================\n";
  outText("\n");
  outText(szRule);
  outFormat("%-20s%-10s%-15s%-10s%-10s%s\n", "Range", "#", "#", "Busy", "Measured", "Rate");
  outFormat("%-20s%-10s%-15s%-10s%-10s%s\n", "Bytes", "Objects", "Bytes", "(sec)", "(KB/s)",
            "(KB/s)");
  outText(szRule);
  outText("\n");
  for (int k = 0; k < kClasses; k++) {
    const CalibrationClassResult& c = result.aClasses[k];
    char szMeasured[32] = "-";
    if (c.nSeconds > 0) std::snprintf(szMeasured, sizeof szMeasured, "%.1f", c.dMeasuredKBps);
    outFormat("%-20s%-10" PRIu64 "%-15" PRIu64 "%-10" PRIu64 "%-10s%" PRIu64 "%s\n",
              kClassLabels[k], c.nObjects, c.nBytes, c.nSeconds, szMeasured, c.nRateKBps,
              c.bFilled ? " *" : "");
  }
}

void printSession(const CalibrationResult& result) {
  char szDuration[kDurationTextSize];
  std::uint64_t nObjects = 0;
  std::uint64_t nBytes = 0;
  for (const CalibrationClassResult& c : result.aClasses) {
    nObjects += c.nObjects;
    nBytes = addSaturating(nBytes, c.nBytes);
  }
  formatDuration(result.nObjectSeconds, szDuration);
  outFormat("\nTotal for all %" PRIu64 " objects measured: %" PRIu64 " bytes in %s\n", nObjects,
            nBytes, szDuration);
  if (result.nLeftOut > 0) {
    outFormat("Objects left out: %" PRIu64
              " (first in the log, after an idle gap, or without a time of day)\n",
              result.nLeftOut);
  }
  formatDuration(result.nSpanSeconds, szDuration);
  int nFirst = result.nFirstSecond;
  int nLast = result.nLastSecond;
  outFormat("Session: %02d:%02d:%02d to %02d:%02d:%02d", nFirst / 3600, nFirst % 3600 / 60,
            nFirst % 60, nLast / 3600, nLast % 3600 / 60, nLast % 60);
  if (result.nDayTurns > 0) {
    outFormat(" (+%" PRIu64 " day%s)", result.nDayTurns, result.nDayTurns == 1 ? "" : "s");
  }
  outFormat(", %s\n", szDuration);
  formatDuration(result.nBusySeconds, szDuration);
  outFormat("Busy time: %s", szDuration);
  formatDuration(result.nOtherSeconds, szDuration);
  outFormat(", of which charged to no class %s\n", szDuration);
  if (result.nGaps == 0) {
    outFormat("Idle gaps over %" PRIu64 " sec: none\n", result.nGapSeconds);
  } else {
    formatDuration(result.nGapTotal, szDuration);
    outFormat("Idle gaps over %" PRIu64 " sec: %" PRIu64 ", left out, %s in all\n",
              result.nGapSeconds, result.nGaps, szDuration);
  }
}

void printModel(const CalibrationResult& result) {
  outFormat("Cost per object: %.3f ms\n", result.dCostSeconds * 1000.0);
  if (result.dSecondsPerByte > 0) {
    outFormat("Bandwidth: %.1f KB/s\n", result.dBandwidthKBps);
  } else {
    outText("Bandwidth: unbounded (bytes took no measurable time)\n");
  }
  if (result.nFitClasses == 1) {
    outFormat(
        "Model fitted to: 1 class (cost and bandwidth cannot be told apart; its time "
        "counts as %s)\n",
        result.dSecondsPerByte > 0 ? "bandwidth" : "cost");
  } else {
    outFormat("Model fitted to: %d classes\n", result.nFitClasses);
  }
  bool bAnyFilled = false;
  for (const CalibrationClassResult& c : result.aClasses) bAnyFilled = bAnyFilled || c.bFilled;
  if (!bAnyFilled) return;
  outFormat("* from the model (fewer than %" PRIu64 " objects or %" PRIu64
            " sec measured in the class):\n",
            kWellMeasuredObjects, kWellMeasuredSeconds);
  for (int k = 0; k < kClasses; k++) {
    const CalibrationClassResult& c = result.aClasses[k];
    if (!c.bFilled) continue;
    outFormat("  %s at %s size, %.0f bytes\n", kClassLabels[k],
              c.bNominalSize ? "its nominal" : "the log's average", c.dModelSize);
  }
}

// Writes the date and time a session starts: "2026-12-07 22:00:01", or the
// time of day alone for a line without a date.
void formatStart(const LineTime& start, char* szText) {
  if (start.bDated) {
    formatMoment(start.nMoment, szText);
    return;
  }
  int n = start.nSecondOfDay;
  std::snprintf(szText, kMomentTextSize, "%02d:%02d:%02d", n / 3600, n % 3600 / 60, n % 60);
}

void printSessions(const CalibrationResult& result) {
  char szDuration[kDurationTextSize];
  formatDuration(result.nSessionGapSeconds, szDuration);
  outFormat("Sessions: %" PRIu64 " (a step over %s starts one)\n", result.nSessions, szDuration);
  for (const SessionResult& session : result.sessions) {
    char szStart[kMomentTextSize];
    formatStart(session.start, szStart);
    formatDuration(session.nBusySeconds, szDuration);
    outFormat("  %s  %" PRIu64 " objects, busy %s", szStart, session.nObjects, szDuration);
    if (!session.bFitted) {
      outText(", too small to fit alone\n");
    } else if (session.dSecondsPerByte > 0) {
      outFormat(", cost %.3f ms, bandwidth %.1f KB/s\n", session.dCostSeconds * 1000.0,
                session.dBandwidthKBps);
    } else {
      outFormat(", cost %.3f ms, bandwidth unbounded\n", session.dCostSeconds * 1000.0);
    }
  }
  std::uint64_t nUnlisted = result.nSessions - result.sessions.size();
  if (nUnlisted > 0) {
    outFormat("  and %" PRIu64 " more too small to fit alone, not listed\n", nUnlisted);
  }
}
}  // namespace

void printCalibration(const CalibrationResult& result) {
  printClassTable(result);
  printSession(result);
  printModel(result);
  printSessions(result);
  outFormat("\nrates: %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 "\n",
            result.aClasses[0].nRateKBps, result.aClasses[1].nRateKBps,
            result.aClasses[2].nRateKBps, result.aClasses[3].nRateKBps);
}

void warnCalibration(const CalibrationResult& result) {
  if (result.nBackSteps > 0) {
    warn("%" PRIu64 " step%s went back in time and %s not charged", result.nBackSteps,
         result.nBackSteps == 1 ? "" : "s", result.nBackSteps == 1 ? "was" : "were");
  }
  if (result.nTooLarge > 0) {
    warn(
        "%" PRIu64 " object line%s of the log had sizes too large to be file sizes and %s left out",
        result.nTooLarge, result.nTooLarge == 1 ? "" : "s", result.nTooLarge == 1 ? "was" : "were");
  }
}

void warnFewObjects(const CalibrationResult& result, const bool abUsed[kClasses]) {
  std::uint64_t nMeasured = std::accumulate(
      std::begin(result.aClasses), std::end(result.aClasses), std::uint64_t{0},
      [](std::uint64_t n, const CalibrationClassResult& c) { return n + c.nObjects; });
  if (nMeasured < kTrustedLogObjects) {
    warn("the log measured %" PRIu64 " object%s, fewer than %" PRIu64
         ": the rates learnt from it cannot be trusted",
         nMeasured, nMeasured == 1 ? "" : "s", kTrustedLogObjects);
    return;
  }
  for (int k = 0; k < kClasses; k++) {
    const CalibrationClassResult& c = result.aClasses[k];
    if (!abUsed[k] || c.nObjects >= kWellMeasuredObjects) continue;
    warn("the log measured %" PRIu64 " object%s of %s, fewer than %" PRIu64
         ": the class's rate learnt from it cannot be trusted",
         c.nObjects, c.nObjects == 1 ? "" : "s", kClassLabels[k], kWellMeasuredObjects);
  }
}

void printRatesSource(const char* szLog, const CalibrationResult& result) {
  outFormat("Rates learnt from %s: cost %.3f ms per object, ", szLog, result.dCostSeconds * 1000.0);
  if (result.dSecondsPerByte > 0) {
    outFormat("bandwidth %.1f KB/s", result.dBandwidthKBps);
  } else {
    outText("bandwidth unbounded");
  }
  outFormat(", %" PRIu64 " objects, %" PRIu64 " session%s\n", result.nLogObjects, result.nSessions,
            result.nSessions == 1 ? "" : "s");
}
