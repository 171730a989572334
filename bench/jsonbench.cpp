// How fast the JSON pull tokenizer (estimator/sources/jsonpull.h) reads a
// disk-usage export: it generates one in memory, shaped as such exports are
// (a header array, then nested arrays of small objects with name, asize,
// dsize and ino, some names escaped or not ASCII), and tokenizes it in blocks
// of 1 MiB, as a reader of a file would, three times.
//
//   jsonbench [MEGABYTES]      (default 200)
//
// Prints the document's size, its tokens and the files' bytes it summed (so
// the work cannot be left out), and MB/s for each pass and the best.
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sources/jsonpull.h"

namespace {

const std::size_t kBlock = std::size_t{1} << 20;

// Appends one folder of nFiles files, and a sub-folder every so often.
void appendFolder(std::string& sDoc, std::uint64_t& nSeed, int nLevel) {
  char aLine[256];
  auto next = [&nSeed]() {
    nSeed = nSeed * 6364136223846793005u + 1442695040888963407u;
    return nSeed >> 33;
  };
  std::snprintf(aLine, sizeof aLine, ",\n[{\"name\":\"folder %06u\",\"asize\":4096,\"dsize\":4096}",
                static_cast<unsigned>(next() % 1000000));
  sDoc += aLine;
  int nFiles = 20 + static_cast<int>(next() % 40);
  for (int n = 0; n < nFiles; n++) {
    std::uint64_t nSize = next() % 4 == 0 ? next() % 100000000 : next() % 20000;
    const char* szName = n % 17 == 0   ? "r\\u00e9sum\\u00e9 %u.pdf"
                         : n % 13 == 0 ? "\xE6\x97\xA5\xE6\x9C\xAC %u.txt"
                         : n % 11 == 0 ? "tab\\there %u.log"
                                       : "IMG_%u.JPG";
    char aName[64];
    std::snprintf(aName, sizeof aName, szName, static_cast<unsigned>(next() % 100000));
    if (n % 29 == 0) {
      std::snprintf(aLine, sizeof aLine,
                    ",\n{\"name\":\"%s\",\"asize\":%" PRIu64 ",\"dsize\":%" PRIu64
                    ",\"ino\":%u,\"hlnkc\":true,\"nlink\":2}",
                    aName, nSize, (nSize + 4095) / 4096 * 4096, static_cast<unsigned>(next()));
    } else {
      std::snprintf(aLine, sizeof aLine,
                    ",\n{\"name\":\"%s\",\"asize\":%" PRIu64 ",\"dsize\":%" PRIu64 "}", aName,
                    nSize, (nSize + 4095) / 4096 * 4096);
    }
    sDoc += aLine;
  }
  if (nLevel < 6 && next() % 3 == 0) appendFolder(sDoc, nSeed, nLevel + 1);
  sDoc += "]";
}

std::string makeExport(std::size_t nBytes) {
  std::string sDoc;
  sDoc.reserve(nBytes + (std::size_t{1} << 16));
  sDoc += "[1,2,{\"progname\":\"bench\",\"progver\":\"1.0\",\"timestamp\":1796801068},\n";
  sDoc += "[{\"name\":\"/srv/share\",\"asize\":4096,\"dsize\":4096,\"dev\":65024}";
  std::uint64_t nSeed = 42;
  while (sDoc.size() < nBytes) appendFolder(sDoc, nSeed, 0);
  sDoc += "]]\n";
  return sDoc;
}

struct Tally {
  std::uint64_t nTokens = 0;
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;
  bool bOk = false;
};

// Tokenizes the document in blocks and sums every "asize".
Tally tokenize(const std::string& sDoc) {
  JsonPull json;
  JsonToken token;
  Tally tally;
  std::size_t nFed = 0;
  bool bSizeNext = false;
  for (;;) {
    JsonKind kind = nextJsonToken(json, token);
    if (kind == JsonKind::kNeedMore) {
      std::size_t n = sDoc.size() - nFed < kBlock ? sDoc.size() - nFed : kBlock;
      if (n == 0) endJsonInput(json);
      feedJson(json, sDoc.data() + nFed, n);
      nFed += n;
      continue;
    }
    if (kind == JsonKind::kEnd || kind == JsonKind::kError || kind == JsonKind::kEndedEarly) {
      tally.bOk = kind == JsonKind::kEnd;
      return tally;
    }
    tally.nTokens++;
    if (kind == JsonKind::kKey) {
      bSizeNext = token.nLength == 5 && std::memcmp(token.pText, "asize", 5) == 0;
    } else if (kind == JsonKind::kNumber && bSizeNext) {
      tally.nFiles++;
      tally.nBytes += token.nUint;
      bSizeNext = false;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t nMegabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  std::string sDoc = makeExport(nMegabytes * 1000000);
  std::printf("document: %zu bytes, ncdu-shaped export\n", sDoc.size());
  double dBest = 0;
  for (int nPass = 1; nPass <= 3; nPass++) {
    auto start = std::chrono::steady_clock::now();
    Tally tally = tokenize(sDoc);
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    double dRate = static_cast<double>(sDoc.size()) / 1e6 / seconds.count();
    if (dRate > dBest) dBest = dRate;
    std::printf("pass %d: %s, %" PRIu64 " tokens, %" PRIu64 " sizes summing to %" PRIu64
                " bytes, %.3f s, %.1f MB/s\n",
                nPass, tally.bOk ? "read whole" : "FAILED", tally.nTokens, tally.nFiles,
                tally.nBytes, seconds.count(), dRate);
    if (!tally.bOk) return 1;
  }
  std::printf("best: %.1f MB/s\n", dBest);
  return 0;
}
