// The four size classes: their bounds, their labels, the one rule that sorts
// a size into its class, and how their byte totals add up, shared by the
// estimate and the modules beside it.
#ifndef PLOMET_ESTIMATOR_CLASSES_H_
#define PLOMET_ESTIMATOR_CLASSES_H_

#include <cstdint>

const int kClasses = 4;

/// Upper bounds (exclusive) of size classes 0 to 2, in bytes: 5, 50 and 500
/// KiB, five times the size each rate is measured with.
const std::uint64_t kOneKbLimit = std::uint64_t{5} * 1024;
const std::uint64_t kTenKbLimit = std::uint64_t{50} * 1024;
const std::uint64_t kHundredKbLimit = std::uint64_t{500} * 1024;

/// The labels of the classes in the reports; they keep their traditional names.
const char* const kClassLabels[kClasses] = {"0..< 1KB", "1KB..< 10KB", "10KB..< 100KB",
                                            "100KB and up"};

/// The classes named by their bounds, as the page and the plan name them
/// ("0 – 5 KiB": from 0 to below 5 KiB).
const char* const kClassBoundLabels[kClasses] = {"0 \xE2\x80\x93 5 KiB", "5 \xE2\x80\x93 50 KiB",
                                                 "50 \xE2\x80\x93 500 KiB", "500 KiB and up"};

/// Returns a + b, or 2^64 - 1 when that would pass it: byte totals stay at
/// their largest value rather than wrap.
inline std::uint64_t addSaturating(std::uint64_t a, std::uint64_t b) {
  return a > ~std::uint64_t{0} - b ? ~std::uint64_t{0} : a + b;
}

/// Returns the class, 0 to 3, of a file of nSize bytes. A constant
/// expression, so that sizes fixed elsewhere can be checked against it.
constexpr int sizeClass(std::uint64_t nSize) {
  if (nSize < kOneKbLimit) return 0;
  if (nSize < kTenKbLimit) return 1;
  if (nSize < kHundredKbLimit) return 2;
  return 3;
}

/// The tallies of the four classes as counted on one thread, for another
/// to add to its own: files, bytes (staying at 2^64 - 1), whether the
/// bytes passed it, and the sizes that were no file's or had no digits.
struct ClassTally {
  std::uint64_t anFiles[kClasses] = {};
  std::uint64_t anBytes[kClasses] = {};
  bool abPassedMax[kClasses] = {};
  std::uint64_t nTooLarge = 0;
  std::uint64_t nNoDigitSizes = 0;
};

/// Counts a file of nSize bytes into the tally's class.
inline void countIntoTally(ClassTally& tally, std::uint64_t nSize) {
  const int k = sizeClass(nSize);
  tally.anFiles[k]++;
  if (tally.anBytes[k] > ~std::uint64_t{0} - nSize) tally.abPassedMax[k] = true;
  tally.anBytes[k] = addSaturating(tally.anBytes[k], nSize);
}

/// Adds another tally's counts to the tally's, the bytes staying at 2^64 - 1.
inline void addIntoTally(ClassTally& tally, const ClassTally& more) {
  for (int k = 0; k < kClasses; k++) {
    tally.anFiles[k] += more.anFiles[k];
    if (tally.anBytes[k] > ~std::uint64_t{0} - more.anBytes[k]) tally.abPassedMax[k] = true;
    tally.abPassedMax[k] = tally.abPassedMax[k] || more.abPassedMax[k];
    tally.anBytes[k] = addSaturating(tally.anBytes[k], more.anBytes[k]);
  }
  tally.nTooLarge += more.nTooLarge;
  tally.nNoDigitSizes += more.nNoDigitSizes;
}

#endif  // PLOMET_ESTIMATOR_CLASSES_H_
