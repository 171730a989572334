#include "tallies/schedule.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>

namespace {

const double kInfinity = std::numeric_limits<double>::infinity();

// Ends closer than this share of the clock are one instant (see the header).
const double kSameInstant = 1e-12;

// Ends past the window by this share of it still fit: the simulation's sums
// round, and a plan that ends with the window by hand must fit.
const double kWindowSlack = 1e-9;

// Rates (and lengths) of stretches that differ by less than this share are
// one: a client that ends as another of the same demand starts breaks no
// stretch, whatever the sums' rounding.
const double kNearlyEqual = 1e-9;

// Estimates are taken as at most this many seconds, and demands as at most
// this many bytes per second, so that sums over any fleet stay finite.
const double kLongestSeconds = 1e30;
const double kMostDemand = 1e290;

/// Returns the client's estimate made sound: NaN and values below 0 are 0.
double secondsOf(const PlanClient& client) {
  if (!(client.dSeconds > 0)) return 0;
  return std::min(client.dSeconds, kLongestSeconds);
}

/// Returns the bytes per second a client demands, or 0 when it moves no
/// bytes or takes no time (it ends at its start).
double demandOf(double dSeconds, double dBytes) {
  if (dSeconds <= 0 || dBytes <= 0) return 0;
  return std::min(dBytes / dSeconds, kMostDemand);
}

/// Returns the bandwidth that caps the clients, or 0 for none (0, below 0,
/// NaN or infinite).
double capOf(double dBandwidth) {
  return dBandwidth > 0 && std::isfinite(dBandwidth) ? dBandwidth : 0;
}

// A sum of doubles that are added and taken away again, with what rounding
// loses kept aside (compensated), so that a huge demand that has ended
// leaves no trace in the sum of the small ones still running.
struct KeptSum {
  double dSum = 0;
  double dLost = 0;
};

void addTo(KeptSum& sum, double d) {
  double dNew = sum.dSum + d;
  if (std::fabs(sum.dSum) >= std::fabs(d)) {
    sum.dLost += (sum.dSum - dNew) + d;
  } else {
    sum.dLost += (d - dNew) + sum.dSum;
  }
  sum.dSum = dNew;
}

double valueOf(const KeptSum& sum) { return sum.dSum + sum.dLost; }

// A fleet's numbers in plan order, made once and shared by every simulation
// of the search.
struct Fleet {
  std::vector<double> seconds;  // T, made sound
  std::vector<double> bytes;    // B
  std::vector<double> demand;   // B / T
  double dBandwidth = 0;        // the cap, or 0
  // The clients that take time and demand at most the cap, ranked by demand
  // from 1: only they can run at their own speed beside others. The others
  // (rank 0) are slowed whenever they run.
  std::vector<int> rankOf;         // per client
  std::vector<int> byRank;         // the client of each rank ([0] unused)
  std::vector<double> rankDemand;  // the demand of each rank ([0] is 0)
  int nRanks = 0;
  int nTopStep = 0;  // the largest power of two up to nRanks, for descents
};

void rankByDemand(Fleet& fleet) {
  fleet.byRank.assign(1, -1);
  for (std::size_t i = 0; i < fleet.demand.size(); i++) {
    if (fleet.seconds[i] > 0 && fleet.demand[i] <= fleet.dBandwidth) {
      fleet.byRank.push_back(static_cast<int>(i));
    }
  }
  std::sort(fleet.byRank.begin() + 1, fleet.byRank.end(), [&fleet](int a, int b) {
    if (fleet.demand[a] != fleet.demand[b]) return fleet.demand[a] < fleet.demand[b];
    return a < b;
  });
  fleet.nRanks = static_cast<int>(fleet.byRank.size()) - 1;
  fleet.rankDemand.assign(fleet.byRank.size(), 0);
  for (int r = 1; r <= fleet.nRanks; r++) {
    fleet.rankOf[fleet.byRank[r]] = r;
    fleet.rankDemand[r] = fleet.demand[fleet.byRank[r]];
  }
  fleet.nTopStep = 0;
  while (fleet.nRanks > 0 && fleet.nTopStep <= fleet.nRanks / 2) {
    fleet.nTopStep = fleet.nTopStep == 0 ? 1 : fleet.nTopStep * 2;
  }
}

void makeFleet(Fleet& fleet, const std::vector<PlanClient>& clients, double dBandwidth) {
  std::size_t nClients = clients.size();
  fleet.seconds.resize(nClients);
  fleet.bytes.resize(nClients);
  fleet.demand.resize(nClients);
  fleet.rankOf.assign(nClients, 0);
  for (std::size_t i = 0; i < nClients; i++) {
    fleet.seconds[i] = secondsOf(clients[i]);
    fleet.bytes[i] = static_cast<double>(clients[i].nBytes);
    fleet.demand[i] = demandOf(fleet.seconds[i], fleet.bytes[i]);
  }
  fleet.dBandwidth = capOf(dBandwidth);
  if (fleet.dBandwidth > 0) rankByDemand(fleet);
}

/// Returns how long client i takes alone (see aloneSeconds).
double aloneOf(const Fleet& fleet, std::size_t i) {
  if (fleet.seconds[i] == 0 || fleet.dBandwidth == 0) return fleet.seconds[i];
  return std::max(fleet.seconds[i], fleet.bytes[i] / fleet.dBandwidth);
}

// The busiest stretch so far, and the stretch of one rate now running.
struct Busiest {
  bool bBest = false;
  double dBestStart = 0, dBestEnd = 0, dBestRate = 0;
  bool bRunning = false;
  double dStart = 0, dEnd = 0, dRate = 0;
};

bool nearlyEqual(double dA, double dB) {
  return std::fabs(dA - dB) <= kNearlyEqual * std::max(dA, dB);
}

/// Returns true when the stretch now running beats the best so far: a
/// higher rate, or as high and longer. The first of equals stays.
bool beatsBest(const Busiest& busiest) {
  if (!nearlyEqual(busiest.dRate, busiest.dBestRate)) return busiest.dRate > busiest.dBestRate;
  double dLength = busiest.dEnd - busiest.dStart;
  double dBestLength = busiest.dBestEnd - busiest.dBestStart;
  return dLength > dBestLength && !nearlyEqual(dLength, dBestLength);
}

void closeStretch(Busiest& busiest) {
  if (!busiest.bRunning) return;
  busiest.bRunning = false;
  if (busiest.bBest && !beatsBest(busiest)) return;
  busiest.bBest = true;
  busiest.dBestStart = busiest.dStart;
  busiest.dBestEnd = busiest.dEnd;
  busiest.dBestRate = busiest.dRate;
}

/// Notes that the clients together move dRate bytes per second from dFrom to
/// dTo, right after the stretch noted before.
void noteRate(Busiest& busiest, double dFrom, double dTo, double dRate) {
  if (!(dTo > dFrom)) return;
  if (busiest.bRunning && nearlyEqual(busiest.dRate, dRate)) {
    busiest.dEnd = dTo;
    return;
  }
  closeStretch(busiest);
  busiest.bRunning = true;
  busiest.dStart = dFrom;
  busiest.dEnd = dTo;
  busiest.dRate = dRate;
}

// A binary min-heap of clients by their key in the run, that can take out
// any client: the run keeps each client's place in its heap.
struct ClientHeap {
  std::vector<int> clients;
};

// One simulation of the night. The clients at their own speed are keyed by
// the time they end; the slowed ones all move bytes at the level's speed, so
// they are keyed by the reading of a byte clock at their end, a clock that
// runs at the level.
struct Run {
  bool bShare = false;  // the cap applies
  std::vector<double> key;
  std::vector<int> place;    // in its heap
  std::vector<int> session;  // 1-based
  ClientHeap own;
  ClientHeap slowed;
  std::vector<int> freeSessions;  // a min-heap
  // Binary indexed trees over the ranks: the running clients, and their demands.
  std::vector<int> rankCounts;
  std::vector<double> rankDemands;
  std::size_t nNext = 0;  // the next client to start
  int nRunning = 0;
  int nBoundary = 0;  // the running clients of ranks up to this run at their own speed
  double dTime = 0;
  double dClock = 0;  // the byte clock
  double dLevel = kInfinity;
  KeptSum runningDemand;
  Busiest busiest;
  std::vector<PlanClient>* pClients = nullptr;  // where starts and ends go, if anywhere
  double dLimit = kInfinity;                    // the time by which the plan must end
  bool bMissed = false;                         // a client cannot end by then
  std::uint64_t nSteps = 0;                     // taken with this memory, over every simulation
};

bool before(const Run& run, int a, int b) {
  if (run.key[a] != run.key[b]) return run.key[a] < run.key[b];
  return a < b;  // the earlier client first, the same every time
}

void putAt(Run& run, ClientHeap& heap, std::size_t n, int i) {
  heap.clients[n] = i;
  run.place[i] = static_cast<int>(n);
}

void siftUp(Run& run, ClientHeap& heap, std::size_t n) {
  int i = heap.clients[n];
  while (n > 0) {
    std::size_t nUp = (n - 1) / 2;
    if (!before(run, i, heap.clients[nUp])) break;
    putAt(run, heap, n, heap.clients[nUp]);
    n = nUp;
  }
  putAt(run, heap, n, i);
}

void siftDown(Run& run, ClientHeap& heap, std::size_t n) {
  int i = heap.clients[n];
  std::size_t nSize = heap.clients.size();
  for (;;) {
    std::size_t nChild = 2 * n + 1;
    if (nChild >= nSize) break;
    if (nChild + 1 < nSize && before(run, heap.clients[nChild + 1], heap.clients[nChild])) nChild++;
    if (!before(run, heap.clients[nChild], i)) break;
    putAt(run, heap, n, heap.clients[nChild]);
    n = nChild;
  }
  putAt(run, heap, n, i);
}

void pushClient(Run& run, ClientHeap& heap, int i) {
  heap.clients.push_back(i);
  siftUp(run, heap, heap.clients.size() - 1);
}

void removeClient(Run& run, ClientHeap& heap, int i) {
  std::size_t n = static_cast<std::size_t>(run.place[i]);
  int nLast = heap.clients.back();
  heap.clients.pop_back();
  if (n == heap.clients.size()) return;
  putAt(run, heap, n, nLast);
  siftUp(run, heap, n);
  siftDown(run, heap, static_cast<std::size_t>(run.place[nLast]));
}

void addAtRank(Run& run, int nRank, int nCount, double dDemand) {
  for (std::size_t r = static_cast<std::size_t>(nRank); r < run.rankCounts.size();
       r += r & (~r + 1)) {
    run.rankCounts[r] += nCount;
    run.rankDemands[r] += dDemand;
  }
}

/// Returns how many running clients have a rank up to nRank.
int runningUpTo(const Run& run, int nRank) {
  int nCount = 0;
  for (int r = nRank; r > 0; r -= r & -r) nCount += run.rankCounts[r];
  return nCount;
}

/// Returns the rank of the nth running client by rank (n from 1).
int nthRunningRank(const Run& run, const Fleet& fleet, int n) {
  int nRank = 0;
  for (int nStep = fleet.nTopStep; nStep > 0; nStep /= 2) {
    int q = nRank + nStep;
    if (q <= fleet.nRanks && run.rankCounts[q] < n) {
      nRank = q;
      n -= run.rankCounts[q];
    }
  }
  return nRank + 1;
}

void sizeRun(Run& run, const Fleet& fleet) {
  std::size_t nClients = fleet.seconds.size();
  run.key.assign(nClients, 0);
  run.place.assign(nClients, -1);
  run.session.assign(nClients, 0);
  run.own.clients.reserve(nClients);
  run.slowed.clients.reserve(nClients);
  run.freeSessions.reserve(nClients);
  run.rankCounts.reserve(fleet.byRank.size());
  run.rankDemands.reserve(fleet.byRank.size());
}

void resetRun(Run& run, const Fleet& fleet, int nSessions, bool bShare, double dLimit) {
  run.nSteps += fleet.seconds.size() / 16 + 1;
  run.bShare = bShare;
  run.dLimit = dLimit;
  run.bMissed = false;
  run.own.clients.clear();
  run.slowed.clients.clear();
  std::size_t nUsed =
      std::min(static_cast<std::size_t>(std::max(nSessions, 1)), fleet.seconds.size());
  run.freeSessions.resize(nUsed);
  for (std::size_t s = 0; s < nUsed; s++) run.freeSessions[s] = static_cast<int>(s) + 1;
  run.rankCounts.assign(bShare ? fleet.byRank.size() : 0, 0);
  run.rankDemands.assign(bShare ? fleet.byRank.size() : 0, 0);
  run.nNext = 0;
  run.nRunning = 0;
  run.nBoundary = 0;
  run.dTime = 0;
  run.dClock = 0;
  run.dLevel = kInfinity;
  run.runningDemand = KeptSum();
  run.busiest = Busiest();
}

/// Returns true when client i, running, is slowed now.
bool isSlowed(const Run& run, const Fleet& fleet, std::size_t i) {
  if (!run.bShare || fleet.demand[i] == 0) return false;  // demanding nothing, never slowed
  int nRank = fleet.rankOf[i];
  return nRank == 0 || nRank > run.nBoundary;
}

void enterClient(Run& run, const Fleet& fleet, std::size_t i) {
  int c = static_cast<int>(i);
  run.nSteps++;
  run.nRunning++;
  addTo(run.runningDemand, fleet.demand[i]);
  if (run.bShare && fleet.rankOf[i] > 0) addAtRank(run, fleet.rankOf[i], 1, fleet.demand[i]);
  if (isSlowed(run, fleet, i)) {
    run.key[i] = run.dClock + fleet.bytes[i];
    pushClient(run, run.slowed, c);
  } else {
    run.key[i] = run.dTime + fleet.seconds[i];
    pushClient(run, run.own, c);
  }
}

void freeSession(Run& run, int nSession) {
  run.freeSessions.push_back(nSession);
  std::push_heap(run.freeSessions.begin(), run.freeSessions.end(), std::greater<int>());
}

int takeSession(Run& run) {
  std::pop_heap(run.freeSessions.begin(), run.freeSessions.end(), std::greater<int>());
  int nSession = run.freeSessions.back();
  run.freeSessions.pop_back();
  return nSession;
}

void noteEnd(Run& run, std::size_t i) {
  if (run.pClients != nullptr) (*run.pClients)[i].dEnd = run.dTime;
  freeSession(run, run.session[i]);
}

/// Starts clients on free sessions, the lowest-numbered first, until none is
/// free or none is left. Returns false when one cannot end by the limit.
bool startClients(Run& run, const Fleet& fleet) {
  while (run.nNext < fleet.seconds.size() && !run.freeSessions.empty()) {
    std::size_t i = run.nNext++;
    run.session[i] = takeSession(run);
    if (run.pClients != nullptr) {
      (*run.pClients)[i].nSession = run.session[i];
      (*run.pClients)[i].dStart = run.dTime;
    }
    if (fleet.seconds[i] == 0) {
      noteEnd(run, i);  // and its session is free again at once
      continue;
    }
    if (run.dTime + aloneOf(fleet, i) > run.dLimit) return false;
    enterClient(run, fleet, i);
  }
  return true;
}

void endClient(Run& run, const Fleet& fleet, ClientHeap& heap, int c) {
  std::size_t i = static_cast<std::size_t>(c);
  removeClient(run, heap, c);
  run.nRunning--;
  addTo(run.runningDemand, -fleet.demand[i]);
  if (run.nRunning == 0) run.runningDemand = KeptSum();
  if (run.bShare && fleet.rankOf[i] > 0) addAtRank(run, fleet.rankOf[i], -1, -fleet.demand[i]);
  noteEnd(run, i);
}

/// Ends every client that ends now, in either heap.
void endClients(Run& run, const Fleet& fleet) {
  double dNear = kSameInstant * std::max(run.dTime, 1.0);
  while (!run.own.clients.empty() && run.key[run.own.clients[0]] <= run.dTime + dNear) {
    endClient(run, fleet, run.own, run.own.clients[0]);
  }
  while (!run.slowed.clients.empty() &&
         run.key[run.slowed.clients[0]] <= run.dClock + run.dLevel * dNear) {
    endClient(run, fleet, run.slowed, run.slowed.clients[0]);
  }
}

/// Moves running client c between the heaps as its speed changes, keeping
/// what it has left: seconds at its own speed, or bytes when slowed. Notes a
/// miss when it comes back to its own speed too late to end by the limit.
void moveClient(Run& run, const Fleet& fleet, int c, bool bToSlowed) {
  std::size_t i = static_cast<std::size_t>(c);
  if (fleet.demand[i] == 0) return;  // stays at its own speed, whatever the level
  run.nSteps++;
  if (bToSlowed) {
    removeClient(run, run.own, c);
    run.key[i] = run.dClock + (run.key[i] - run.dTime) * fleet.demand[i];
    pushClient(run, run.slowed, c);
  } else {
    removeClient(run, run.slowed, c);
    run.key[i] = run.dTime + (run.key[i] - run.dClock) / fleet.demand[i];
    pushClient(run, run.own, c);
    if (run.key[i] > run.dLimit) run.bMissed = true;  // it cannot end sooner
  }
}

// The water level: up to which rank the running clients get their demand.
struct Boundary {
  int nRank = 0;    // the last rank whose demand the level reaches
  int nCount = 0;   // the running clients up to it
  double dSum = 0;  // and their demands
};

/// Returns the last rank whose demand, given to every running client that
/// demands as much or more, with the others' demands, still fits in the
/// bandwidth. That total only grows with the rank, so a descent finds it.
Boundary findBoundary(const Run& run, const Fleet& fleet) {
  Boundary b;
  for (int nStep = fleet.nTopStep; nStep > 0; nStep /= 2) {
    int q = b.nRank + nStep;
    if (q > fleet.nRanks) continue;
    int nCount = b.nCount + run.rankCounts[q];
    double dSum = b.dSum + run.rankDemands[q];
    if (dSum + (run.nRunning - nCount) * fleet.rankDemand[q] <= fleet.dBandwidth) {
      b.nRank = q;
      b.nCount = nCount;
      b.dSum = dSum;
    }
  }
  return b;
}

/// Finds the level after clients started or ended, and moves the clients
/// whose speed it changes between the heaps.
void settleLevel(Run& run, const Fleet& fleet) {
  Boundary b = findBoundary(run, fleet);
  int nSlowed = run.nRunning - b.nCount;
  run.dLevel = kInfinity;
  if (nSlowed > 0) {
    // Never below the boundary's demand, as rounding could make it.
    run.dLevel = std::max((fleet.dBandwidth - b.dSum) / nSlowed, fleet.rankDemand[b.nRank]);
  }
  int nOld = runningUpTo(run, run.nBoundary);
  for (int n = nOld + 1; n <= b.nCount; n++) {
    moveClient(run, fleet, fleet.byRank[nthRunningRank(run, fleet, n)], false);
  }
  for (int n = b.nCount + 1; n <= nOld; n++) {
    moveClient(run, fleet, fleet.byRank[nthRunningRank(run, fleet, n)], true);
  }
  run.nBoundary = b.nRank;
}

/// Returns when the next client ends; bSlowedFirst tells whether a slowed
/// one does (then the byte clock is set to its key exactly).
double nextEnd(const Run& run, bool& bSlowedFirst) {
  double dOwn = run.own.clients.empty() ? kInfinity : run.key[run.own.clients[0]];
  double dSlowed = kInfinity;
  if (!run.slowed.clients.empty()) {
    dSlowed = run.dTime + (run.key[run.slowed.clients[0]] - run.dClock) / run.dLevel;
  }
  bSlowedFirst = dSlowed < dOwn;
  return bSlowedFirst ? dSlowed : dOwn;
}

void advanceTo(Run& run, const Fleet& fleet, double dNext, bool bSlowedFirst) {
  bool bSlowing = !run.slowed.clients.empty();
  noteRate(run.busiest, run.dTime, dNext,
           bSlowing ? fleet.dBandwidth : std::max(valueOf(run.runningDemand), 0.0));
  if (bSlowing) {
    run.dClock = bSlowedFirst ? run.key[run.slowed.clients[0]]
                              : run.dClock + run.dLevel * (dNext - run.dTime);
  }
  run.dTime = dNext;
}

/// Returns when the plan ends, or kInfinity as soon as it cannot end by
/// dLimit. Writes starts and ends to run.pClients when it is set.
double simulate(const Fleet& fleet, Run& run, int nSessions, bool bShare, double dLimit) {
  resetRun(run, fleet, nSessions, bShare, dLimit);
  if (!startClients(run, fleet)) return kInfinity;
  if (bShare) settleLevel(run, fleet);
  while (run.nRunning > 0) {
    run.nSteps++;
    bool bSlowedFirst = false;
    double dNext = nextEnd(run, bSlowedFirst);
    if (dNext > dLimit || run.bMissed) return kInfinity;
    advanceTo(run, fleet, dNext, bSlowedFirst);
    endClients(run, fleet);
    if (!startClients(run, fleet)) return kInfinity;
    if (bShare) settleLevel(run, fleet);
  }
  closeStretch(run.busiest);
  return run.dTime;
}

bool comesBefore(const PlanClient& a, const PlanClient& b, PlanOrder order) {
  double dA = secondsOf(a), dB = secondsOf(b);
  if (dA != dB) return order == PlanOrder::kLongest ? dA > dB : dA < dB;
  return a.sName < b.sName;  // compares as unsigned bytes
}

/// Returns the index of the client that takes the longest alone, the first
/// of equals.
std::size_t longestAlone(const Fleet& fleet) {
  std::size_t nLongest = 0;
  for (std::size_t i = 1; i < fleet.seconds.size(); i++) {
    if (aloneOf(fleet, i) > aloneOf(fleet, nLongest)) nLongest = i;
  }
  return nLongest;
}

/// Returns the fewest sessions the clients' times alone fill: no fewer can
/// fit, as a client slowed takes no less. A hair below, against rounding up
/// a whole number.
int fewestSessions(const Fleet& fleet, double dWindow, int nMost) {
  double dSum = 0;
  for (std::size_t i = 0; i < fleet.seconds.size(); i++) dSum += aloneOf(fleet, i);
  if (dSum == 0) return 1;
  double dFewest = std::ceil(dSum / dWindow * (1 - kWindowSlack));
  return static_cast<int>(std::min(std::max(dFewest, 1.0), static_cast<double>(nMost)));
}

bool fitsWith(const Fleet& fleet, Run& run, int nSessions, bool bShare, double dLimit) {
  return simulate(fleet, run, nSessions, bShare, dLimit) <= dLimit;
}

/// Returns the least number of sessions above nMiss and up to nFit (which
/// fits) with which the plan ends by dLimit, found by halving: the least if
/// the plan's end never grows with sessions between the two.
int halve(const Fleet& fleet, Run& run, int nMiss, int nFit, bool bShare, double dLimit) {
  while (nMiss + 1 < nFit) {
    int nMiddle = nMiss + (nFit - nMiss) / 2;
    if (fitsWith(fleet, run, nMiddle, bShare, dLimit)) {
      nFit = nMiddle;
    } else {
      nMiss = nMiddle;
    }
  }
  return nFit;
}

/// Returns the least number of sessions from nFrom to nMost with which the
/// plan with the cap ends by dLimit, or 0 when none does. The end with the
/// cap can grow with sessions (a client slowed by one more beside it), so
/// every number is tried, while the steps taken stay within nSteps.
/// Past them, it probes at steps that double and halves between
/// the last miss and the first fit: that number fits, but fewer might, or
/// with 0 an untried one; bEveryTried then turns false.
int leastWithCap(const Fleet& fleet, Run& run, int nFrom, int nMost, double dLimit,
                 std::uint64_t nSteps, bool& bEveryTried) {
  std::uint64_t nBudget = run.nSteps + nSteps;
  int nMiss = nFrom - 1;
  for (; nMiss < nMost && run.nSteps < nBudget; nMiss++) {
    if (fitsWith(fleet, run, nMiss + 1, true, dLimit)) return nMiss + 1;
  }
  if (nMiss == nMost) return 0;
  bEveryTried = false;
  for (std::int64_t nStep = 1; nMiss < nMost; nStep *= 2) {
    int nProbe = nMost - nMiss <= nStep ? nMost : nMiss + static_cast<int>(nStep);
    if (fitsWith(fleet, run, nProbe, true, dLimit)) {
      return halve(fleet, run, nMiss, nProbe, true, dLimit);
    }
    nMiss = nProbe;
  }
  return 0;
}

}  // namespace

void orderClients(std::vector<PlanClient>& clients, PlanOrder order) {
  std::stable_sort(
      clients.begin(), clients.end(),
      [order](const PlanClient& a, const PlanClient& b) { return comesBefore(a, b, order); });
}

double aloneSeconds(const PlanClient& client, double dBandwidth) {
  double dSeconds = secondsOf(client);
  double dCap = capOf(dBandwidth);
  if (dSeconds == 0 || dCap == 0) return dSeconds;
  return std::max(dSeconds, static_cast<double>(client.nBytes) / dCap);
}

PlanOutcome planSchedule(std::vector<PlanClient>& clients, const PlanSettings& settings) {
  Fleet fleet;
  makeFleet(fleet, clients, settings.dBandwidth);
  Run run;
  sizeRun(run, fleet);
  run.pClients = &clients;
  PlanOutcome outcome;
  outcome.dEnd = simulate(fleet, run, settings.nSessions, fleet.dBandwidth > 0, kInfinity);
  if (run.busiest.bBest) {
    outcome.dBusiestStart = run.busiest.dBestStart;
    outcome.dBusiestEnd = run.busiest.dBestEnd;
    outcome.dBusiestBytesPerSecond = run.busiest.dBestRate;
  }
  return outcome;
}

WindowFit fitWindow(const std::vector<PlanClient>& clients, const PlanSettings& settings,
                    double dWindow) {
  Fleet fleet;
  makeFleet(fleet, clients, settings.dBandwidth);
  Run run;
  sizeRun(run, fleet);
  bool bShare = fleet.dBandwidth > 0;
  dWindow = dWindow > 0 ? dWindow : 0;
  double dLimit = dWindow * (1 + kWindowSlack);
  WindowFit fit;
  fit.bFits = simulate(fleet, run, settings.nSessions, bShare, dLimit) <= dLimit;
  if (clients.empty()) {
    fit.nSessionsNeeded = 1;
    return fit;
  }
  std::size_t nLongest = longestAlone(fleet);
  if (aloneOf(fleet, nLongest) > dLimit) {
    fit.why = PlanMiss::kClientTooLong;
    fit.nLongClient = nLongest;
    return fit;
  }
  double dBytes = 0;  // of the clients that take time: the others pass no link
  for (std::size_t i = 0; i < fleet.bytes.size(); i++) {
    if (fleet.seconds[i] > 0) dBytes += fleet.bytes[i];
  }
  if (bShare && dBytes / fleet.dBandwidth > dLimit) {
    fit.why = PlanMiss::kBytesOverBandwidth;
    return fit;
  }
  // One session per client is as many as can help: every client starts at 0.
  int nMost = static_cast<int>(std::min(clients.size(), static_cast<std::size_t>(INT_MAX - 1)));
  // Without the cap, a client starts no later when sessions are added, so
  // that the end never grows with them and halving finds the least number
  // (nMost fits, as every client alone does). The cap only slows clients,
  // so that no client starts or ends earlier with it: no number that misses
  // without it fits with it.
  int nFewest = fewestSessions(fleet, dWindow, nMost);
  int nLeast = halve(fleet, run, nFewest - 1, nMost, false, dLimit);
  if (bShare) {
    nLeast =
        leastWithCap(fleet, run, nLeast, nMost, dLimit, settings.nSearchSteps, fit.bEveryTried);
  }
  if (nLeast == 0) fit.why = PlanMiss::kSharing;
  fit.nSessionsNeeded = nLeast;
  return fit;
}
