// The backup window: reading its length, and whether the estimate fits in it.
#ifndef PLOMET_ESTIMATOR_WINDOW_H_
#define PLOMET_ESTIMATOR_WINDOW_H_

#include <cstdint>

/// Reads a duration such as 8h, 90m, 1h30m, 45s or 5400 (seconds). Returns false when
/// the text is not one.
///
/// A duration is either digits alone, a number of seconds, or one or more parts of
/// digits and a unit, h, m or s (or H, M, S), each unit at most once and in that
/// order: 1h30m15s, 2h15s and 1h90m are durations; 30m1h, 1h1h, 1h30 are not. The
/// parts are added. No blanks, signs, fractions or other units are accepted. The
/// whole must be 1 to 2^64 - 1 seconds: 0, 0h0m and anything past 2^64 - 1 seconds
/// give false. On false, nSeconds is left as it was, and *pbOutOfRange (when
/// given) says whether the text is a duration that passes 2^64 - 1 seconds.
bool parseDuration(const char* szText, std::uint64_t& nSeconds, bool* pbOutOfRange = nullptr);

/// Reads a window given by the clock, HH:MM-HH:MM (22:00-06:00), into its
/// length and the second of the day it starts. Returns false when the text is
/// not one: hours 00 to 23 and minutes 00 to 59, two digits each (the hour may
/// have one), nothing else. An end before the start is on the next day (across
/// midnight as written); an end equal to the start gives false, as no length
/// is meant. On false, nothing is changed.
bool parseClockWindow(const char* szText, std::uint64_t& nSeconds, int& nStartSecond);

/// How an estimate compares with the backup window, all in whole seconds.
struct WindowVerdict {
  std::uint64_t nWindowSeconds = 0;
  std::uint64_t nEstimateSeconds = 0;
  bool bFits = false;               // the estimate is at most the window
  std::uint64_t nSpareSeconds = 0;  // window - estimate when it fits, else 0
  std::uint64_t nOverSeconds = 0;   // estimate - window when it does not fit, else 0
  // The factor by which the rates must grow for the estimate to fit: estimate
  // divided by window, rounded up to hundredths, as its whole part and its
  // hundredths (0 to 99). Apart, as the whole may use all 64 bits.
  std::uint64_t nFactorWhole = 0;
  unsigned nFactorHundredths = 0;
};

/// Returns how an estimate of nEstimateSeconds compares with a window of
/// nWindowSeconds. The factor is exact for any two numbers (a window of 0 gives
/// the factor of a window of 1 second). An estimate that passed 2^64 - 1 and
/// stayed there (bPassedMax) fits no window.
WindowVerdict judgeWindow(std::uint64_t nWindowSeconds, std::uint64_t nEstimateSeconds,
                          bool bPassedMax = false);

#endif  // PLOMET_ESTIMATOR_WINDOW_H_
