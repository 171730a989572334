#include "tallies/htmltally.h"

#include <cstddef>

namespace {

const int kSecondsPerDay = 86400;

// Halves a session's resolution: each pair of bins becomes one.
void mergeBins(TimelineSession& session) {
  for (std::size_t i = 0; i < kTimelineBins / 2; i++) {
    const TimelineBin& a = session.aBins[2 * i];
    const TimelineBin& b = session.aBins[2 * i + 1];
    TimelineBin merged;
    merged.nObjects = a.nObjects + b.nObjects;
    merged.nBytes = addSaturating(a.nBytes, b.nBytes);
    merged.nIdleSeconds = a.nIdleSeconds + b.nIdleSeconds;
    session.aBins[i] = merged;
  }
  for (int i = kTimelineBins / 2; i < kTimelineBins; i++) session.aBins[i] = TimelineBin();
  session.nBinSeconds *= 2;
}

// Marks the seconds [nFrom, nTo) of a session as idle, bin by bin.
void markIdle(TimelineSession& session, std::uint64_t nFrom, std::uint64_t nTo) {
  while (nFrom < nTo) {
    std::uint64_t nBin = nFrom / session.nBinSeconds;
    std::uint64_t nBinEnd = (nBin + 1) * session.nBinSeconds;
    std::uint64_t nEnd = nTo < nBinEnd ? nTo : nBinEnd;
    session.aBins[nBin].nIdleSeconds += nEnd - nFrom;
    nFrom = nEnd;
  }
}

void countObject(LogTimeline& t, std::uint64_t nSize) {
  TimelineSession& session = t.aSessions[t.nSessions - 1];
  TimelineBin& bin = session.aBins[session.nElapsed / session.nBinSeconds];
  bin.nObjects++;
  bin.nBytes = addSaturating(bin.nBytes, nSize);
}

}  // namespace

void countSize(SizeHistogram& h, std::uint64_t nSize) {
  int b = sizeBucket(nSize);
  h.anFiles[b]++;
  h.anBytes[b] = addSaturating(h.anBytes[b], nSize);
}

void addHistogram(SizeHistogram& into, const SizeHistogram& from) {
  for (int b = 0; b < kSizeBuckets; b++) {
    into.anFiles[b] += from.anFiles[b];
    into.anBytes[b] = addSaturating(into.anBytes[b], from.anBytes[b]);
  }
}

void countPageFile(PageTallies& tallies, std::uint64_t nSize, int nGroup) {
  if (nGroup >= 0 && nGroup < 3) countSize(tallies.aGroups[nGroup], nSize);
  if (!tallies.bAll) return;
  countSize(tallies.all, nSize);
  int k = sizeClass(nSize);
  tallies.anAllFiles[k]++;
  tallies.anAllBytes[k] = addSaturating(tallies.anAllBytes[k], nSize);
}

SizeHistogram countedFiles(const PageTallies& tallies, int nAsideGroup) {
  SizeHistogram h = tallies.aGroups[0];
  if (nAsideGroup == 1 || nAsideGroup == 2) addHistogram(h, tallies.aGroups[nAsideGroup]);
  return h;
}

void startTimeline(LogTimeline& t, std::uint64_t nGapSeconds, std::uint64_t nSessionGapSeconds) {
  t = LogTimeline();
  t.nGapSeconds = nGapSeconds;
  t.nSessionGapSeconds = nSessionGapSeconds;
}

void timelineLine(LogTimeline& t, bool bTimed, int nSecondOfDay, bool bObject,
                  std::uint64_t nSize) {
  if (bObject) countSize(t.objects, nSize);
  if (!bTimed || nSecondOfDay < 0 || nSecondOfDay >= kSecondsPerDay) {
    if (bObject) {
      countObject(t, nSize);
      t.bUntimedPending = true;
    }
    return;
  }
  if (!t.bStarted) {
    t.bStarted = true;
    t.bUntimedPending = false;
    t.aSessions[0].nStartSecond = t.nLastSecond = nSecondOfDay;
    if (bObject) countObject(t, nSize);
    return;
  }
  int nDay = nSecondOfDay >= t.nLastSecond ? 0 : kSecondsPerDay;
  std::uint64_t nStep = static_cast<std::uint64_t>(nSecondOfDay + nDay - t.nLastSecond);
  t.nLastSecond = nSecondOfDay;
  bool bUntimedPending = t.bUntimedPending;
  t.bUntimedPending = false;
  std::uint64_t nSessionGap =
      t.nGapSeconds > t.nSessionGapSeconds ? t.nGapSeconds : t.nSessionGapSeconds;
  if (nStep > nSessionGap && t.nSessions < kMaxSessions) {
    t.aSessions[t.nSessions++].nStartSecond = nSecondOfDay;
    if (bObject) countObject(t, nSize);
    return;
  }
  TimelineSession& session = t.aSessions[t.nSessions - 1];
  std::uint64_t nFrom = session.nElapsed;
  session.nElapsed += nStep;
  while (session.nElapsed / session.nBinSeconds >= static_cast<std::uint64_t>(kTimelineBins)) {
    mergeBins(session);
  }
  if (nStep > t.nGapSeconds) {
    markIdle(session, nFrom, session.nElapsed);
  } else if (bObject && !bUntimedPending) {
    FitBin& fit = t.aFit[sizeBucket(nSize)];
    fit.nObjects++;
    fit.nBytes = addSaturating(fit.nBytes, nSize);
    fit.nSeconds += nStep;
  }
  if (bObject) countObject(t, nSize);
}

int sessionBinsUsed(const LogTimeline& t, int s) {
  if (!t.bStarted || s < 0 || s >= t.nSessions) return 0;
  const TimelineSession& session = t.aSessions[s];
  return static_cast<int>(session.nElapsed / session.nBinSeconds) + 1;
}
