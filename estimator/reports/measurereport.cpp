#include "reports/measurereport.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

#include "reports/calibrationreport.h"
#include "reports/output.h"
#include "reports/warnings.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRefresh(250);

// The sets' file sizes as people say them, in the sets' order.
const char* const kFileSizeNames[kMeasureSets] = {"1 KiB", "10 KiB", "100 KiB", "10 MiB"};

void printSetTable(const MeasureResult& measured, const CalibrationResult& result) {
  const char szRule[] = "=======================================================================\n";
  outText("\n");
  outText(szRule);
  outFormat("%-20s%-10s%-15s%-10s%-10s%s\n", "Range", "#", "#", "Copying", "Measured", "Rate");
  outFormat("%-20s%-10s%-15s%-10s%-10s%s\n", "Bytes", "Objects", "Bytes", "(sec)", "(KB/s)",
            "(KB/s)");
  outText(szRule);
  outText("\n");
  for (int k = 0; k < kMeasureSets; k++) {
    const MeasuredClass& set = measured.aClasses[k];
    const CalibrationClassResult& c = result.aClasses[k];
    char szSeconds[32];
    char szMeasured[32] = "-";
    std::snprintf(szSeconds, sizeof szSeconds, "%.2f", set.dSeconds);
    if (!c.bFilled) std::snprintf(szMeasured, sizeof szMeasured, "%.1f", c.dMeasuredKBps);
    outFormat("%-20s%-10" PRIu64 "%-15" PRIu64 "%-10s%-10s%" PRIu64 "%s\n", kClassLabels[k],
              set.nObjects, set.nBytes, szSeconds, szMeasured, c.nRateKBps, c.bFilled ? " *" : "");
  }
}

}  // namespace

void showMeasureProgress(Progress& progress, int nSet, const MeasuredClass& soFar,
                         double dSecondsPerSet) {
  if (!progress.bEnabled) return;
  Clock::time_point now = Clock::now();
  if (now.time_since_epoch().count() < progress.nNextTick) return;
  progress.nNextTick = (now + kRefresh).time_since_epoch().count();
  char szText[160];
  int nWidth = std::snprintf(szText, sizeof szText,
                             "measuring set %d of %d, %s files: %" PRIu64 " copied, %.1f of %g sec",
                             nSet + 1, kMeasureSets, kFileSizeNames[nSet % kMeasureSets],
                             soFar.nObjects, soFar.dSeconds, dSecondsPerSet);
  if (nWidth < 0) return;
  // Blanks over whatever was longer before.
  std::fprintf(stderr, "\r%s%*s", szText, progress.nWidth > nWidth ? progress.nWidth - nWidth : 0,
               "");
  std::fflush(stderr);
  if (nWidth > progress.nWidth) progress.nWidth = nWidth;
  progress.bShown = true;
}

void printMeasurement(const MeasureSettings& settings, const MeasureResult& measured,
                      const CalibrationResult& result) {
  outFormat("Measured %s, copying from %s, %g sec a set\n",
            printable(settings.sTarget.c_str()).c_str(), printable(measured.sFrom.c_str()).c_str(),
            settings.dSecondsPerClass);
  printSetTable(measured, result);
  std::uint64_t nObjects = 0;
  std::uint64_t nBytes = 0;
  double dSeconds = 0;
  for (const MeasuredClass& set : measured.aClasses) {
    nObjects += set.nObjects;
    nBytes = addSaturating(nBytes, set.nBytes);
    dSeconds += set.dSeconds;
  }
  outFormat("\nFiles of %s, %s, %s and %s, each written whole and flushed to the device\n",
            kFileSizeNames[0], kFileSizeNames[1], kFileSizeNames[2], kFileSizeNames[3]);
  outFormat("Total for all %" PRIu64 " objects copied: %" PRIu64 " bytes in %.2f sec\n", nObjects,
            nBytes, dSeconds);
  printFittedModel(result);
  outFormat("\nrates: %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 "\n",
            result.aClasses[0].nRateKBps, result.aClasses[1].nRateKBps,
            result.aClasses[2].nRateKBps, result.aClasses[3].nRateKBps);
}

void warnMeasurement(const MeasureResult& measured) {
  for (int k = 0; k < kMeasureSets; k++) {
    const MeasuredClass& set = measured.aClasses[k];
    if (set.nObjects >= kFewMeasuredFiles) continue;
    warn("the set of %s files copied only %" PRIu64
         " in %.2f sec; its rate is rough (a longer "
         "--measure-seconds measures it better)",
         kFileSizeNames[k], set.nObjects, set.dSeconds);
  }
}
