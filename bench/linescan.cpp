// The floor for any tool that looks at a listing line by line: it reads the
// file in 1 MiB blocks, as plomet does, finds each line end with memchr and
// does nothing else. bench/run.py times it beside plomet and wc -l.
//
//   linescan FILE
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) return 1;
  static char szBlock[1 << 20];
  std::size_t nKept = 0;  // a line cut by the block's end, moved to its start
  std::size_t nRead;
  unsigned long long nLines = 0;
  while ((nRead = std::fread(szBlock + nKept, 1, sizeof szBlock - nKept, file)) > 0) {
    const char* pC = szBlock;
    const char* pEnd = szBlock + nKept + nRead;
    while (const char* pLineFeed = static_cast<const char*>(std::memchr(pC, '\n', pEnd - pC))) {
      nLines++;
      pC = pLineFeed + 1;
    }
    nKept = static_cast<std::size_t>(pEnd - pC);
    std::memmove(szBlock, pC, nKept);
    if (nKept == sizeof szBlock) nKept = 0;  // a line longer than a block: not counted
  }
  std::printf("%llu\n", nLines);
  std::fclose(file);
  return 0;
}
