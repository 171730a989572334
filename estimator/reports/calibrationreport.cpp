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

// Writes when a timed line was written: its date and time, or its time of
// day alone (bDate false), to the minute, or to the second with bSeconds.
void formatWhen(const LineTime& time, bool bDate, bool bSeconds, char* szText) {
  if (bDate) {
    formatMoment(time.nMoment, szText);  // YYYY-MM-DD HH:MM:SS
    if (!bSeconds) szText[16] = '\0';
    return;
  }
  int n = time.nSecondOfDay;
  if (bSeconds) {
    std::snprintf(szText, kMomentTextSize, "%02d:%02d:%02d", n / 3600, n % 3600 / 60, n % 60);
  } else {
    std::snprintf(szText, kMomentTextSize, "%02d:%02d", n / 3600, n % 3600 / 60);
  }
}

// Writes a span in the units that suit it, to the nearest: seconds under a
// minute, minutes under an hour, hours and minutes under ten hours, else
// whole hours ("49 hours").
void formatSpan(std::uint64_t nSeconds, char* szText, std::size_t nSize) {
  std::uint64_t nMinutes = nSeconds / 60 + (nSeconds % 60 >= 30 ? 1 : 0);
  if (nSeconds < 60) {
    std::snprintf(szText, nSize, "%" PRIu64 " sec", nSeconds);
  } else if (nMinutes < 60) {
    std::snprintf(szText, nSize, "%" PRIu64 " min%s", nMinutes, nMinutes == 1 ? "" : "s");
  } else if (nMinutes < 600) {
    std::uint64_t nHours = nMinutes / 60;
    int nLength =
        std::snprintf(szText, nSize, "%" PRIu64 " hour%s", nHours, nHours == 1 ? "" : "s");
    if (nMinutes % 60 != 0 && nLength > 0 && static_cast<std::size_t>(nLength) < nSize) {
      std::snprintf(szText + nLength, nSize - static_cast<std::size_t>(nLength),
                    " %" PRIu64 " min%s", nMinutes % 60, nMinutes % 60 == 1 ? "" : "s");
    }
  } else {
    std::uint64_t nHours = nSeconds / 3600 + (nSeconds % 3600 >= 1800 ? 1 : 0);
    std::snprintf(szText, nSize, "%" PRIu64 " hours", nHours);
  }
}

// "3 sessions from 2026-12-05 22:00 to 2026-12-07 23:01 (49 hours)": the
// first and the last timed line, with dates where both carry one; without,
// the days turned between them. A span under an hour shows the seconds.
void printSessionSpan(const CalibrationResult& result) {
  const bool bDates = result.first.bDated && result.last.bDated;
  const bool bSeconds = result.nSpanSeconds < 3600;
  char szFirst[kMomentTextSize];
  char szLast[kMomentTextSize];
  char szSpan[32];
  formatWhen(result.first, bDates, bSeconds, szFirst);
  formatWhen(result.last, bDates, bSeconds, szLast);
  formatSpan(result.nSpanSeconds, szSpan, sizeof szSpan);
  outFormat("%" PRIu64 " session%s from %s to %s (", result.nSessions,
            result.nSessions == 1 ? "" : "s", szFirst, szLast);
  if (!bDates && result.nDayTurns > 0) {
    outFormat("+%" PRIu64 " day%s, ", result.nDayTurns, result.nDayTurns == 1 ? "" : "s");
  }
  outFormat("%s)\n", szSpan);
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
  printSessionSpan(result);
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
  printFittedModel(result);
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
  outFormat("Sessions (a step over %s starts one):\n", szDuration);
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
// "cost 1.234 ms per object, bandwidth 567.8 KB/s", for the line above an estimate.
void printCostAndBandwidth(const CalibrationResult& result) {
  outFormat("cost %.3f ms per object, ", result.dCostSeconds * 1000.0);
  if (result.dSecondsPerByte > 0) {
    outFormat("bandwidth %.1f KB/s", result.dBandwidthKBps);
  } else {
    outText("bandwidth unbounded");
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

void printFittedModel(const CalibrationResult& result) {
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

void warnFewReportObjects(const CalibrationResult& result) {
  if (result.nLogObjects >= kTrustedLogObjects) return;
  warn("the report's rates rest on %" PRIu64 " object%s, fewer than %" PRIu64
       ": the rates taken from it cannot be trusted",
       result.nLogObjects, result.nLogObjects == 1 ? "" : "s", kTrustedLogObjects);
}

void printRatesSource(const char* szLog, const CalibrationResult& result) {
  outFormat("Rates learnt from %s: ", szLog);
  printCostAndBandwidth(result);
  outFormat(", %" PRIu64 " objects, %" PRIu64 " session%s\n", result.nLogObjects, result.nSessions,
            result.nSessions == 1 ? "" : "s");
}

void printRatesReport(const char* szReport, bool bMeasured, const char* szOrigin,
                      const CalibrationResult& result) {
  outFormat("Rates from %s", szReport);
  if (*szOrigin != '\0') outFormat(", %s %s", bMeasured ? "measured on" : "learnt from", szOrigin);
  outText(": ");
  printCostAndBandwidth(result);
  outFormat(", %" PRIu64 " objects\n", result.nLogObjects);
}
