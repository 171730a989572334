// Writes a synthetic listing for benchmarks: a directory listing (dir) or a
// schedule log (log) of about the given number of lines, with file sizes
// drawn from a log-normal mix (median about 8 KB, a long tail of large
// files). The output depends only on the arguments.
//
//   genlisting dir|log LINES [SEED] > listing.txt
//
// The file count and byte total go to standard error, to check a report by.
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kExtensions[] = {".docx", ".pdf", ".jpg", ".txt", ".zip",
                                   ".csv",  ".msg", ".png", ".odt", ".log"};

uint64_t gState = 1;

uint64_t next() {  // splitmix64: the same sequence on every platform
  uint64_t z = (gState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double uniform() { return (static_cast<double>(next() >> 11) + 0.5) / 9007199254740992.0; }

uint64_t fileSize() {
  const double kPi = 3.14159265358979323846;
  double normal = std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * kPi * uniform());
  double size = std::exp(std::log(8000.0) + 2.2 * normal);
  return size > 4e12 ? 4000000000000ull : static_cast<uint64_t>(size);
}

// Digits grouped by commas, right-aligned in a field of the given width.
void putGrouped(char* szOut, int nWidth, uint64_t n) {
  char szDigits[32];
  int nDigits = std::snprintf(szDigits, sizeof szDigits, "%" PRIu64, n);
  char szGrouped[40];
  int j = 0;
  for (int i = 0; i < nDigits; i++) {
    if (i > 0 && (nDigits - i) % 3 == 0) szGrouped[j++] = ',';
    szGrouped[j++] = szDigits[i];
  }
  szGrouped[j] = '\0';
  std::snprintf(szOut, 48, "%*s", nWidth, szGrouped);
}

const char* const kNames[] = {
    "Quarterly report",     "invoice",      "IMG_", "meeting notes",  "backup",
    "customer data export", "mail archive", "scan", "draft contract", "server log"};
const char* const kWords[] = {" final",  " v2",  " (copy)",    " 2024",  " reviewed",
                              " signed", " old", " - summary", " draft", " new"};

// A file name of realistic length: a stem, a few words, a number, an extension.
void putName(char* szOut, unsigned nPick) {
  int n = std::snprintf(szOut, 40, "%s", kNames[nPick]);
  for (uint64_t nWords = next() % 4; nWords > 0; nWords--) {
    n += std::snprintf(szOut + n, 16, "%s", kWords[next() % 10]);
  }
  std::snprintf(szOut + n, 24, " %04u%s", static_cast<unsigned>(next() % 10000),
                kExtensions[nPick]);
}

void writeDirListing(uint64_t nLines, uint64_t& nFiles, uint64_t& nBytes) {
  std::printf(" Volume in drive D is Data\r\n Volume Serial Number is 2F1C-88A0\r\n");
  char szSize[48];
  uint64_t nLine = 2;
  for (uint64_t nDir = 0; nLine < nLines; nDir++) {
    std::printf("\r\n Directory of D:\\share\\dept%" PRIu64 "\\folder%" PRIu64 "\r\n\r\n",
                nDir % 97, nDir);
    std::printf("03/14/2024  09:12 AM    <DIR>          .\r\n");
    std::printf("03/14/2024  09:12 AM    <DIR>          ..\r\n");
    nLine += 5;
    uint64_t nDirFiles = 5 + next() % 60;
    uint64_t nDirBytes = 0;
    for (uint64_t i = 0; i < nDirFiles; i++, nLine++) {
      uint64_t nSize = fileSize();
      nDirBytes += nSize;
      putGrouped(szSize, 17, nSize);
      char szName[128];
      putName(szName, static_cast<unsigned>(next() % 10));
      std::printf("%02u/%02u/20%02u  %02u:%02u %s %s %s\r\n",
                  static_cast<unsigned>(1 + next() % 12), static_cast<unsigned>(1 + next() % 28),
                  static_cast<unsigned>(10 + next() % 15), static_cast<unsigned>(1 + next() % 12),
                  static_cast<unsigned>(next() % 60), next() % 2 ? "PM" : "AM", szSize, szName);
    }
    putGrouped(szSize, 14, nDirBytes);
    std::printf("%16" PRIu64 " File(s) %s bytes\r\n", nDirFiles, szSize);
    nLine++;
    nFiles += nDirFiles;
    nBytes += nDirBytes;
  }
}

void writeScheduleLog(uint64_t nLines, uint64_t& nFiles, uint64_t& nBytes) {
  char szSize[48];
  for (uint64_t nLine = 0; nLine < nLines; nLine++) {
    unsigned nSecond = static_cast<unsigned>(nLine % 86400);
    if (next() % 50 == 0) {
      std::printf("12/07/2026 %02u:%02u:%02u Retrying failed object, attempt 2 of 4\n",
                  nSecond / 3600, nSecond / 60 % 60, nSecond % 60);
      continue;
    }
    uint64_t nSize = fileSize();
    nFiles++;
    nBytes += nSize;
    putGrouped(szSize, 14, nSize);
    char szName[128];
    putName(szName, static_cast<unsigned>(next() % 10));
    std::printf(
        "12/07/2026 %02u:%02u:%02u Sending file-->%s /srv/share/dept%02u/projects/%s [done]\n",
        nSecond / 3600, nSecond / 60 % 60, nSecond % 60, szSize,
        static_cast<unsigned>(next() % 100), szName);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (std::strcmp(argv[1], "dir") != 0 && std::strcmp(argv[1], "log") != 0)) {
    std::fprintf(stderr, "usage: %s dir|log LINES [SEED]\n", argv[0]);
    return 2;
  }
  uint64_t nLines = std::strtoull(argv[2], nullptr, 10);
  gState = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  static char szBuffer[1 << 20];
  std::setvbuf(stdout, szBuffer, _IOFBF, sizeof szBuffer);
  uint64_t nFiles = 0;
  uint64_t nBytes = 0;
  if (argv[1][0] == 'd') {
    writeDirListing(nLines, nFiles, nBytes);
  } else {
    writeScheduleLog(nLines, nFiles, nBytes);
  }
  std::fprintf(stderr, "%" PRIu64 " files, %" PRIu64 " bytes\n", nFiles, nBytes);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
