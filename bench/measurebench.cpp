// The measuring engine of --measure on a real target: what each set measured,
// the rates it gives, the run's wall time and the process's peak memory,
// which stays at the engine's one block buffer whatever the seconds.
//
//   measurebench TARGET [FROM [SECONDS]]
//
// FROM defaults to the system's temporary folder, SECONDS to 10 a set. Built
// with the benchmark tools (target bench_tools, or measurebench alone).
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sources/measure.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s TARGET [FROM [SECONDS]]\n", argv[0]);
    return 2;
  }
  MeasureSettings settings;
  settings.sTarget = argv[1];
  if (argc > 2) settings.sFrom = argv[2];
  if (argc > 3) settings.dSecondsPerClass = std::atof(argv[3]);
  MeasureResult result;
  auto start = std::chrono::steady_clock::now();
  bool bMeasured = measureTarget(settings, result);
  double dWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!bMeasured) {
    std::fprintf(stderr, "error: %s\n", result.sWhy.c_str());
    return 1;
  }
  std::printf("%10s %7s %9s %13s %9s %11s %11s\n", "file size", "rounds", "objects", "bytes",
              "seconds", "KB/s", "objects/s");
  double adRates[kMeasureSets];
  for (int nSet = 0; nSet < kMeasureSets; nSet++) {
    const MeasuredClass& measured = result.aClasses[nSet];
    adRates[nSet] = static_cast<double>(measured.nBytes) / 1024 / measured.dSeconds;
    std::printf("%10llu %7llu %9llu %13llu %9.3f %11.1f %11.1f\n",
                static_cast<unsigned long long>(kMeasureFileSizes[nSet]),
                static_cast<unsigned long long>(measured.nRounds),
                static_cast<unsigned long long>(measured.nObjects),
                static_cast<unsigned long long>(measured.nBytes), measured.dSeconds, adRates[nSet],
                static_cast<double>(measured.nObjects) / measured.dSeconds);
  }
  // Whole KB/s, at least 1, as the estimate takes them.
  std::printf("rates:");
  for (double dRate : adRates) std::printf(" %.0f", dRate < 1 ? 1 : std::floor(dRate + 0.5));
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  std::printf("\nwall time %.1f s, peak memory %ld KiB\n", dWall, usage.ru_maxrss);
  return 0;
}
