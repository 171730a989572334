// Times the schedule model of --plan on 10,000 made-up clients: ordering,
// planning and the search for the least number of sessions that fit the
// window, with and without a bandwidth cap, for several numbers of sessions.
// Each run goes in a child process of its own, so that its peak memory is
// its own; the growth of that peak over the child's start is printed too.
//
//   planbench [CLIENTS]
//
// The fleets are the same on every run: estimates log-normal around an hour
// (a minute to seven hours), demands log-normal around 20 MB/s, a window of
// 8 hours; caps at which all bytes take half, nine tenths and 99 % of the
// window. A last fleet is made so that no number of sessions fits by the
// sharing alone: the search would have to try every number up to one per
// client, and goes past its budget.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "tallies/schedule.h"

namespace {

const double kWindow = 8 * 3600;

struct Random {
  std::uint64_t nState;
};

std::uint64_t nextBits(Random& random) {  // splitmix64: the same everywhere
  std::uint64_t z = (random.nState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double uniform(Random& random) {
  return (static_cast<double>(nextBits(random) >> 11) + 0.5) / 9007199254740992.0;
}

double logNormal(Random& random, double dMedian, double dSigma) {
  const double kPi = 3.14159265358979323846;
  double dNormal =
      std::sqrt(-2.0 * std::log(uniform(random))) * std::cos(2.0 * kPi * uniform(random));
  return dMedian * std::exp(dSigma * dNormal);
}

std::vector<PlanClient> makeFleet(std::size_t nClients) {
  Random random{42};
  std::vector<PlanClient> clients(nClients);
  for (std::size_t i = 0; i < nClients; i++) {
    char szName[32];
    std::snprintf(szName, sizeof szName, "client%05zu", i);
    clients[i].sName = szName;
    clients[i].dSeconds =
        std::floor(std::min(std::max(logNormal(random, 3600, 0.8), 60.0), 25200.0));
    clients[i].nBytes =
        static_cast<std::uint64_t>(clients[i].dSeconds * logNormal(random, 20e6, 1.0));
  }
  return clients;
}

// One client that fits the window exactly at its own speed, and many short
// ones of the same demand: whenever one of them runs beside it, it is slowed
// past the window, and one session alone takes too long.
std::vector<PlanClient> makeSharingFleet(std::size_t nClients, double& dBandwidth) {
  dBandwidth = 1e9;
  std::vector<PlanClient> clients(nClients);
  for (std::size_t i = 0; i < nClients; i++) {
    char szName[32];
    std::snprintf(szName, sizeof szName, "client%05zu", i);
    clients[i].sName = szName;
    clients[i].dSeconds = i == 0 ? kWindow : 1;
    clients[i].nBytes = static_cast<std::uint64_t>(clients[i].dSeconds * 0.6 * dBandwidth);
  }
  return clients;
}

double totalBytes(const std::vector<PlanClient>& clients) {
  return std::accumulate(clients.begin(), clients.end(), 0.0, [](double d, const PlanClient& c) {
    return d + static_cast<double>(c.nBytes);
  });
}

long peakKilobytes() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

const char* missText(PlanMiss why) {
  switch (why) {
    case PlanMiss::kClientTooLong:
      return "a client";
    case PlanMiss::kBytesOverBandwidth:
      return "bytes";
    case PlanMiss::kSharing:
      return "sharing";
    default:
      return "-";
  }
}

// Orders, plans and searches one copy of the fleet, and prints the times.
void runOnce(const char* szFleet, std::vector<PlanClient> clients, const PlanSettings& settings) {
  long nStartPeak = peakKilobytes();
  auto start = std::chrono::steady_clock::now();
  orderClients(clients, settings.order);
  double dOrder = millisecondsSince(start);
  start = std::chrono::steady_clock::now();
  PlanOutcome outcome = planSchedule(clients, settings);
  double dPlan = millisecondsSince(start);
  start = std::chrono::steady_clock::now();
  WindowFit fit = fitWindow(clients, settings, kWindow);
  double dFit = millisecondsSince(start);
  std::printf("%-9s %8.3g %8d %8.2f %8.2f %9.2f %8.2f %8.2f %6d %-5s %-14s %7ld %6ld\n", szFleet,
              settings.dBandwidth, settings.nSessions, dOrder, dPlan, dFit, dOrder + dPlan + dFit,
              outcome.dEnd / 3600, fit.nSessionsNeeded, fit.bEveryTried ? "yes" : "no",
              missText(fit.why), peakKilobytes(), peakKilobytes() - nStartPeak);
  std::fflush(stdout);
}

void runInChild(const char* szFleet, const std::vector<PlanClient>& clients,
                const PlanSettings& settings) {
  std::fflush(stdout);  // or the child prints it again
  pid_t child = fork();
  if (child == 0) {
    runOnce(szFleet, clients, settings);
    std::_Exit(0);
  }
  int nStatus = 0;
  waitpid(child, &nStatus, 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t nClients = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
  std::vector<PlanClient> fleet = makeFleet(nClients);
  double dBytes = totalBytes(fleet);
  std::printf("%zu clients, window %.0f h, %.3g bytes in all\n", nClients, kWindow / 3600, dBytes);
  std::printf("%-9s %8s %8s %8s %8s %9s %8s %8s %6s %-5s %-14s %7s %6s\n", "fleet", "cap B/s",
              "sessions", "order ms", "plan ms", "search ms", "total ms", "end h", "needed",
              "least", "none fits by", "peak KB", "+KB");
  // Caps at which all bytes take half, and nine tenths, of the window.
  const double adCaps[] = {0, dBytes / (0.5 * kWindow), dBytes / (0.9 * kWindow)};
  const int anSessions[] = {1, 64, 1024, 4096};
  for (double dCap : adCaps) {
    for (int nSessions : anSessions) {
      PlanSettings settings;
      settings.nSessions = nSessions;
      settings.dBandwidth = dCap;
      runInChild("lognormal", fleet, settings);
    }
  }
  // The bytes take 99 % of the window: the cap decides the sessions needed.
  PlanSettings tight;
  tight.nSessions = 1024;
  tight.dBandwidth = dBytes / (0.99 * kWindow);
  runInChild("tight", fleet, tight);
  PlanSettings sharing;
  std::vector<PlanClient> sharingFleet = makeSharingFleet(nClients, sharing.dBandwidth);
  for (int nSessions : {1, 64}) {
    sharing.nSessions = nSessions;
    runInChild("sharing", sharingFleet, sharing);
  }
  return 0;
}
