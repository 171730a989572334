// Tests of the measurement of a target: what it counts, that the copies are
// the source files, that it refuses the folders it must, and that it leaves
// nothing behind when it ends, fails or is interrupted.
#include "measure.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kTempPrefix[] = "plomet-measure-";

// The files of one round of each set.
const std::uint64_t kSetFiles[kMeasureSets] = {1000, 1000, 327, 3};

// Every path below sRoot, links not followed.
std::vector<fs::path> listTree(const std::string& sRoot) {
  std::vector<fs::path> paths;
  std::error_code error;
  for (fs::recursive_directory_iterator it(sRoot, error), end; !error && it != end;
       it.increment(error)) {
    paths.push_back(it->path());
  }
  return paths;
}

// The paths below sRoot that the measurement made.
std::vector<std::string> leftBehind(const std::string& sRoot) {
  std::vector<std::string> left;
  for (const fs::path& path : listTree(sRoot)) {
    if (path.string().find(kTempPrefix) != std::string::npos) left.push_back(path.string());
  }
  return left;
}

std::vector<fs::path> regularFiles(const std::string& sRoot) {
  std::vector<fs::path> files;
  for (const fs::path& path : listTree(sRoot)) {
    if (fs::is_regular_file(fs::symlink_status(path))) files.push_back(path);
  }
  return files;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of its own for each test, with a source folder and a target in it.
class MeasureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char szTemplate[] = "/tmp/measure_test_XXXXXX";
    ASSERT_NE(mkdtemp(szTemplate), nullptr);
    sRoot = szTemplate;
    sSource = sRoot + "/src";
    sTarget = sRoot + "/dst";
    ASSERT_EQ(mkdir(sSource.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(sTarget.c_str(), 0755), 0);
  }
  void TearDown() override {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
    std::system(("chmod -R u+rwx " + sRoot + " 2>/dev/null; rm -rf " + sRoot).c_str());
  }
  // Mounts a file system at sPath; false when this process may not.
  bool mountAt(const char* szSource, const std::string& sPath, const char* szType,
               unsigned long nFlags, const char* szOptions) {
    if (mount(szSource, sPath.c_str(), szType, nFlags, szOptions) != 0) return false;
    mounts.push_back(sPath);
    return true;
  }
  MeasureSettings settings(double dSeconds) const {
    MeasureSettings s;
    s.sTarget = sTarget;
    s.sFrom = sSource;
    s.dSecondsPerClass = dSeconds;
    return s;
  }
  void expectNothingLeft() { EXPECT_EQ(leftBehind(sRoot), std::vector<std::string>()); }
  std::string sRoot;
  std::string sSource;
  std::string sTarget;
  std::vector<std::string> mounts;
};

// What the progress callback saw, and the checks it made on the first copy
// of each set while the copy and its source were still there.
struct Watch {
  std::string sSource;
  std::string sTarget;
  std::vector<MeasuredClass> aCalls[kMeasureSets];
};

void checkFirstCopy(const Watch& watch, int nSet) {
  const std::uint64_t nSize = kMeasureFileSizes[nSet];
  // One temporary folder on each side, for the owner alone.
  for (const std::string& sSide : {watch.sSource, watch.sTarget}) {
    std::vector<fs::path> top;
    for (const auto& entry : fs::directory_iterator(sSide)) top.push_back(entry.path());
    ASSERT_EQ(top.size(), 1u) << sSide;
    EXPECT_EQ(top[0].filename().string().rfind(kTempPrefix, 0), 0u) << top[0];
    struct stat st;
    ASSERT_EQ(stat(top[0].c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << top[0];
  }
  std::vector<fs::path> sources = regularFiles(watch.sSource);
  EXPECT_EQ(sources.size(), kSetFiles[nSet]) << "set " << nSet;
  for (const fs::path& source : sources) EXPECT_EQ(fs::file_size(source), nSize) << source;
  std::vector<fs::path> copies = regularFiles(watch.sTarget);
  ASSERT_EQ(copies.size(), 1u) << "set " << nSet;
  std::string sCopy = readFile(copies[0]);
  EXPECT_EQ(sCopy.size(), nSize);
  // Not zeros, which a file system might store as nothing.
  EXPECT_NE(sCopy.find_first_not_of('\0'), std::string::npos);
  bool bFound = false;
  for (const fs::path& source : sources) {
    if (source.filename() != copies[0].filename()) continue;
    bFound = true;
    EXPECT_TRUE(readFile(source) == sCopy) << "the copy differs from " << source;
  }
  EXPECT_TRUE(bFound) << copies[0];
  // Every file its own content, which no file system can share.
  if (sources.size() > 1) {
    EXPECT_FALSE(readFile(sources[0]) == readFile(sources[1]));
  }
}

void watchProgress(void* pContext, int nSet, const MeasuredClass& soFar) {
  Watch& watch = *static_cast<Watch*>(pContext);
  ASSERT_GE(nSet, 0);
  ASSERT_LT(nSet, kMeasureSets);
  watch.aCalls[nSet].push_back(soFar);
  if (soFar.nObjects == 1) checkFirstCopy(watch, nSet);
}

// Every set measured, to the seconds asked and not a file past them; bytes
// are the objects' full sizes; the copies are the source files; nothing is
// left behind.
TEST_F(MeasureTest, MeasuresEverySetAndLeavesNothing) {
  const double dLimit = 0.05;
  Watch watch;
  watch.sSource = sSource;
  watch.sTarget = sTarget;
  MeasureProgress progress;
  progress.pShow = watchProgress;
  progress.pContext = &watch;
  MeasureResult result;
  ASSERT_TRUE(measureTarget(settings(dLimit), result, &progress)) << result.sWhy;
  EXPECT_EQ(result.failure, MeasureFailure::kNone);
  EXPECT_EQ(result.sWhy, "");
  for (int nSet = 0; nSet < kMeasureSets; nSet++) {
    SCOPED_TRACE(nSet);
    const MeasuredClass& measured = result.aClasses[nSet];
    ASSERT_GE(measured.nObjects, 1u);
    EXPECT_EQ(measured.nBytes, measured.nObjects * kMeasureFileSizes[nSet]);
    EXPECT_GE(measured.dSeconds, dLimit);
    EXPECT_GT(measured.nBytes / 1024.0 / measured.dSeconds, 0);
    // Rounds are whole sets but for the last.
    ASSERT_GE(measured.nRounds, 1u);
    EXPECT_GT(measured.nObjects, (measured.nRounds - 1) * kSetFiles[nSet]);
    EXPECT_LE(measured.nObjects, measured.nRounds * kSetFiles[nSet]);
    // One call a file; only the last reaches the seconds, and it is the result.
    const std::vector<MeasuredClass>& calls = watch.aCalls[nSet];
    ASSERT_EQ(calls.size(), measured.nObjects);
    for (std::size_t i = 0; i < calls.size(); i++) {
      EXPECT_EQ(calls[i].nObjects, i + 1);
      EXPECT_EQ(calls[i].nBytes, (i + 1) * kMeasureFileSizes[nSet]);
      if (i + 1 < calls.size()) {
        EXPECT_LT(calls[i].dSeconds, dLimit) << i;
      }
    }
    EXPECT_EQ(calls.back().dSeconds, measured.dSeconds);
  }
  EXPECT_EQ(listTree(sSource), std::vector<fs::path>());
  EXPECT_EQ(listTree(sTarget), std::vector<fs::path>());
}

// Settings and folders refused before anything is made, and look-alikes
// that must not be.
TEST_F(MeasureTest, RefusesSettingsAndFoldersThatOverlap) {
  ASSERT_EQ(mkdir((sSource + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((sTarget + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((sRoot + "/src2").c_str(), 0755), 0);
  ASSERT_EQ(symlink(sSource.c_str(), (sRoot + "/link").c_str()), 0);
  std::ofstream(sRoot + "/file") << "x";
  ASSERT_EQ(mkdir((sTarget + "/bind").c_str(), 0755), 0);
  bool bBound = mountAt(sSource.c_str(), sTarget + "/bind", nullptr, MS_BIND, nullptr);

  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInfinity = std::numeric_limits<double>::infinity();
  struct Case {
    const char* szName;
    std::string sTarget;
    std::string sFrom;
    double dSeconds;
    MeasureFailure failure;
    int nError;
    bool bNeedsBind;
  };
  const Case cases[] = {
      {"no seconds", sTarget, sSource, 0, MeasureFailure::kSettings, 0, false},
      {"negative seconds", sTarget, sSource, -1, MeasureFailure::kSettings, 0, false},
      {"seconds not a number", sTarget, sSource, kNaN, MeasureFailure::kSettings, 0, false},
      {"endless seconds", sTarget, sSource, kInfinity, MeasureFailure::kSettings, 0, false},
      {"missing target", sRoot + "/none", sSource, 1, MeasureFailure::kNoFolder, ENOENT, false},
      {"target a file", sRoot + "/file", sSource, 1, MeasureFailure::kNoFolder, ENOTDIR, false},
      {"target under a file", sRoot + "/file/x", sSource, 1, MeasureFailure::kNoFolder, ENOTDIR,
       false},
      {"missing source", sTarget, sRoot + "/none", 1, MeasureFailure::kNoFolder, ENOENT, false},
      {"same folder", sSource, sSource, 1, MeasureFailure::kOverlap, 0, false},
      {"same folder, other spelling", sSource + "/sub/..//", sSource, 1, MeasureFailure::kOverlap,
       0, false},
      {"target inside the source", sSource + "/sub", sSource, 1, MeasureFailure::kOverlap, 0,
       false},
      {"source inside the target", sTarget, sTarget + "/sub", 1, MeasureFailure::kOverlap, 0,
       false},
      {"target a link to the source", sRoot + "/link", sSource, 1, MeasureFailure::kOverlap, 0,
       false},
      {"target inside a link to the source", sRoot + "/link/sub", sSource, 1,
       MeasureFailure::kOverlap, 0, false},
      {"target two levels inside the source", sTarget + "/sub", sRoot, 1, MeasureFailure::kOverlap,
       0, false},
      {"target a bind mount of the source", sTarget + "/bind", sSource, 1, MeasureFailure::kOverlap,
       0, true},
      {"target inside a bind mount of the source", sTarget + "/bind/sub", sSource, 1,
       MeasureFailure::kOverlap, 0, true},
      // A name that begins like the other's is no folder inside it.
      {"sibling with a longer name", sRoot + "/src2", sSource, 0.001, MeasureFailure::kNone, 0,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    if (c.bNeedsBind && !bBound) continue;
    MeasureSettings s;
    s.sTarget = c.sTarget;
    s.sFrom = c.sFrom;
    s.dSecondsPerClass = c.dSeconds;
    MeasureResult result;
    EXPECT_EQ(measureTarget(s, result), c.failure == MeasureFailure::kNone);
    EXPECT_EQ(result.failure, c.failure) << result.sWhy;
    EXPECT_EQ(result.nError, c.nError) << result.sWhy;
    EXPECT_EQ(result.sWhy.empty(), c.failure == MeasureFailure::kNone) << result.sWhy;
    if (c.failure == MeasureFailure::kNoFolder || c.failure == MeasureFailure::kOverlap) {
      EXPECT_TRUE(result.sWhy.find("'" + c.sTarget + "'") != std::string::npos ||
                  result.sWhy.find("'" + c.sFrom + "'") != std::string::npos)
          << result.sWhy;
    }
    expectNothingLeft();
  }
  if (!bBound) std::printf("(the bind mounts were left out: this process may not mount)\n");
}

// Runs the measurement as the user nobody in a child process. Returns its
// failure and error number, or false when the child cannot become nobody.
bool measureAsNobody(const MeasureSettings& s, MeasureResult& result) {
  int aPipe[2];
  if (pipe(aPipe) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    close(aPipe[0]);
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(77);
    MeasureResult child;
    measureTarget(s, child);
    int aOut[2] = {static_cast<int>(child.failure), child.nError};
    _exit(write(aPipe[1], aOut, sizeof aOut) == sizeof aOut ? 0 : 1);
  }
  close(aPipe[1]);
  int aOut[2] = {0, 0};
  bool bRead = read(aPipe[0], aOut, sizeof aOut) == sizeof aOut;
  close(aPipe[0]);
  int nStatus = 0;
  waitpid(pid, &nStatus, 0);
  result.failure = static_cast<MeasureFailure>(aOut[0]);
  result.nError = aOut[1];
  return bRead && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

// A target that cannot be written: an error that says so, and nothing left
// behind in the source folder. As root, a folder's mode binds only the user
// nobody, who measures in a child process.
TEST_F(MeasureTest, UnwritableTargetLeavesNothing) {
  ASSERT_EQ(chmod(sRoot.c_str(), 0755), 0);
  ASSERT_EQ(chmod(sSource.c_str(), 0777), 0);
  ASSERT_EQ(chmod(sTarget.c_str(), 0500), 0);
  MeasureResult result;
  if (geteuid() == 0) {
    if (!measureAsNobody(settings(1), result)) GTEST_SKIP() << "cannot become nobody";
  } else {
    EXPECT_FALSE(measureTarget(settings(1), result));
  }
  EXPECT_EQ(result.failure, MeasureFailure::kUnwritable);
  EXPECT_EQ(result.nError, EACCES);
  expectNothingLeft();

  ASSERT_EQ(chmod(sTarget.c_str(), 0755), 0);
  if (!mountAt("tmpfs", sTarget, "tmpfs", MS_RDONLY, "size=1m")) {
    GTEST_SKIP() << "cannot mount a read-only file system here";
  }
  EXPECT_FALSE(measureTarget(settings(1), result));
  EXPECT_EQ(result.failure, MeasureFailure::kUnwritable);
  EXPECT_EQ(result.nError, EROFS);
  EXPECT_NE(result.sWhy.find("cannot write to the target '" + sTarget + "'"), std::string::npos)
      << result.sWhy;
  expectNothingLeft();
}

// A full target, and a full source folder, halfway through a set: the
// failure tells which, and both sides are emptied.
TEST_F(MeasureTest, FullFolderLeavesNothing) {
  const std::string sSmall = sRoot + "/small";
  ASSERT_EQ(mkdir(sSmall.c_str(), 0755), 0);
  if (!mountAt("tmpfs", sSmall, "tmpfs", 0, "size=1m")) {
    GTEST_SKIP() << "cannot mount a small file system here";
  }
  struct Case {
    const char* szName;
    std::string sTarget;
    std::string sFrom;
    MeasureFailure failure;
  };
  const Case cases[] = {
      {"full target", sSmall, sSource, MeasureFailure::kFull},
      {"full source folder", sTarget, sSmall, MeasureFailure::kSource},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    MeasureSettings s;
    s.sTarget = c.sTarget;
    s.sFrom = c.sFrom;
    s.dSecondsPerClass = 1;
    MeasureResult result;
    EXPECT_FALSE(measureTarget(s, result));
    EXPECT_EQ(result.failure, c.failure) << result.sWhy;
    EXPECT_EQ(result.nError, ENOSPC) << result.sWhy;
    EXPECT_EQ(listTree(sSmall), std::vector<fs::path>());
    expectNothingLeft();
  }
}

// Writes one byte to the descriptor at pContext on the first file copied,
// to tell the parent that the measurement is under way.
void tellStarted(void* pContext, int, const MeasuredClass&) {
  int& fd = *static_cast<int*>(pContext);
  if (fd < 0) return;
  if (write(fd, "s", 1) != 1) _exit(3);
  close(fd);
  fd = -1;
}

void returningHandler(int) {}

bool handlerIs(int nSignal, void (*pHandler)(int)) {
  struct sigaction now;
  return sigaction(nSignal, nullptr, &now) == 0 && now.sa_handler == pHandler;
}

// A signal in the middle of the copies: everything made is removed, and
// then the signal does what the handler found makes of it.
TEST_F(MeasureTest, SignalRemovesEverythingAndIsRaisedAgain) {
  enum Before { kDefault, kOwnHandler, kIgnored };
  struct Case {
    const char* szName;
    int nSignal;
    Before before;
    double dSeconds;
  };
  const Case cases[] = {
      {"SIGINT", SIGINT, kDefault, 60},
      {"SIGTERM", SIGTERM, kDefault, 60},
      {"SIGHUP", SIGHUP, kDefault, 60},
      // The caller's handler is put back, runs, and returns: so does the measurement.
      {"SIGINT to a handler that returns", SIGINT, kOwnHandler, 60},
      // An ignored signal stays ignored: the measurement goes on to its end.
      {"SIGINT ignored", SIGINT, kIgnored, 0.05},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    int aPipe[2];
    ASSERT_EQ(pipe(aPipe), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(aPipe[0]);
      if (c.before == kOwnHandler) signal(c.nSignal, returningHandler);
      if (c.before == kIgnored) signal(c.nSignal, SIG_IGN);
      int fd = aPipe[1];
      MeasureProgress progress;
      progress.pShow = tellStarted;
      progress.pContext = &fd;
      MeasureResult result;
      bool bMeasured = measureTarget(settings(c.dSeconds), result, &progress);
      // 0: what the case expects of a measurement that returns.
      bool bExpected = c.before == kOwnHandler
                           ? !bMeasured && result.failure == MeasureFailure::kInterrupted &&
                                 result.nSignal == c.nSignal &&
                                 handlerIs(c.nSignal, returningHandler)
                           : c.before == kIgnored && bMeasured && handlerIs(c.nSignal, SIG_IGN);
      _exit(bExpected ? 0 : 1);
    }
    close(aPipe[1]);
    char cStarted = 0;
    EXPECT_EQ(read(aPipe[0], &cStarted, 1), 1) << "the child never copied a file";
    close(aPipe[0]);
    kill(pid, c.nSignal);
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    if (c.before == kDefault) {
      bool bBySignal = (WIFSIGNALED(nStatus) && WTERMSIG(nStatus) == c.nSignal) ||
                       (WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 128 + c.nSignal);
      EXPECT_TRUE(bBySignal) << "status " << nStatus;
    } else {
      EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << "status " << nStatus;
    }
    EXPECT_EQ(listTree(sSource), std::vector<fs::path>());
    EXPECT_EQ(listTree(sTarget), std::vector<fs::path>());
  }
}

}  // namespace
