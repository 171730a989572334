// The measurement's course, the same on every platform: the checks of the
// two folders, the sets made and copied round after round, the clock, and
// the clean-up on every way out. The file work is the platform's
// (measure_posix.cpp, measure_windows.cpp).
#include "measure.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "measure_internal.h"

namespace {

// The signal that arrived during the measurement, 0 when none. The one
// variable here that the whole program shares: a signal handler can reach
// no struct passed along, and may only set a volatile sig_atomic_t.
volatile std::sig_atomic_t gnSignal = 0;

using Clock = std::chrono::steady_clock;

/// The names of the sets' folders, in the source folder and on the target.
const char* const kSetNames[kMeasureSets] = {"1k", "10k", "100k", "10m"};

/// Where a copy failed: reading the source, or writing the target.
enum class Side { kSource, kTarget };

/// The state of one measurement, from its checks to its clean-up.
struct Measurement {
  const MeasureSettings* pSettings = nullptr;
  MeasureResult* pResult = nullptr;
  const MeasureProgress* pProgress = nullptr;
  std::string sTarget;  // both folders as resolveFolder made them
  std::string sFrom;
  std::string sTargetRoot;   // plomet-measure-XXXXXX on the target, once made
  std::string sSourceRoot;   // and in the source folder
  std::string sSetFolder;    // the current set's source files
  std::string sRoundFolder;  // the current round's copies
  std::string sSourceFile;   // the file being copied, and its copy: reused,
  std::string sTargetFile;   // so that no file costs an allocation
  std::vector<unsigned char> block;
  std::string sLeft;  // what could not be removed, and why
  int nLeftError = 0;
};

/// Returns the number of files of a round of set nSet: about
/// kMeasureSetBytes, at most kMeasureSetFiles, at least 1.
std::uint64_t setFiles(int nSet) {
  std::uint64_t nFiles = kMeasureSetBytes / kMeasureFileSizes[nSet];
  if (nFiles > kMeasureSetFiles) return kMeasureSetFiles;
  return nFiles == 0 ? 1 : nFiles;
}

double seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

std::string quoted(const std::string& sPath) { return "'" + sPath + "'"; }

/// Notes the first failure. Returns false, for the caller to return.
bool fail(Measurement& m, MeasureFailure failure, int nError, const std::string& sWhy) {
  MeasureResult& result = *m.pResult;
  if (result.failure != MeasureFailure::kNone) return false;
  result.failure = failure;
  result.nError = nError;
  result.sWhy = sWhy;
  return false;
}

std::string withError(const std::string& sText, int nError) {
  return sText + ": " + std::strerror(nError);
}

/// Notes the failure of a step on one side: a pending signal comes first, as
/// it may be what broke the step; a full target is told apart from one that
/// cannot be written.
bool failOn(Measurement& m, Side side, int nError) {
  if (gnSignal != 0) return fail(m, MeasureFailure::kInterrupted, 0, "interrupted");
  const std::string& sTarget = m.pSettings->sTarget;
  if (side == Side::kSource) {
    return fail(
        m, MeasureFailure::kSource, nError,
        withError("cannot make or read the test files in " + quoted(m.pResult->sFrom), nError));
  }
  bool bFull = nError == ENOSPC;
#ifdef EDQUOT
  bFull = bFull || nError == EDQUOT;
#endif
  if (bFull) {
    return fail(m, MeasureFailure::kFull, nError,
                withError("the target " + quoted(sTarget) + " is full", nError));
  }
  return fail(m, MeasureFailure::kUnwritable, nError,
              withError("cannot write to the target " + quoted(sTarget), nError));
}

/// Returns true, with the failure noted, once a signal has arrived.
bool interrupted(Measurement& m) {
  if (gnSignal == 0) return false;
  failOn(m, Side::kTarget, EINTR);
  return true;
}

/// Returns true when a folder above the folder at sPath (a path resolveFolder
/// made) is the folder id. An ancestor that cannot be looked at is passed
/// over: the folders below it were reached, so it is one only in name.
bool liesInside(std::string sPath, const MeasureFolderId& id) {
  MeasureFolderId above;
  while (parentFolder(sPath)) {
    if (identifyFolder(sPath, above) == 0 && above.nDevice == id.nDevice &&
        above.nNumber == id.nNumber) {
      return true;
    }
  }
  return false;
}

/// Returns true when both folders exist, are folders and neither is or holds
/// the other; otherwise notes why not.
bool checkFolders(Measurement& m) {
  const std::string& sTarget = m.pSettings->sTarget;
  const std::string& sFrom = m.pResult->sFrom;
  int nError = resolveFolder(sTarget, m.sTarget);
  if (nError == ENOTDIR) {
    return fail(m, MeasureFailure::kNoFolder, nError,
                "the target " + quoted(sTarget) + " is no folder");
  }
  if (nError != 0) {
    return fail(m, MeasureFailure::kNoFolder, nError,
                withError("cannot open the target " + quoted(sTarget), nError));
  }
  nError = resolveFolder(sFrom, m.sFrom);
  if (nError == ENOTDIR) {
    return fail(m, MeasureFailure::kNoFolder, nError,
                "the source folder " + quoted(sFrom) + " is no folder");
  }
  if (nError != 0) {
    return fail(m, MeasureFailure::kNoFolder, nError,
                withError("cannot open the source folder " + quoted(sFrom), nError));
  }
  MeasureFolderId target;
  MeasureFolderId from;
  if ((nError = identifyFolder(m.sTarget, target)) != 0 ||
      (nError = identifyFolder(m.sFrom, from)) != 0) {
    return fail(m, MeasureFailure::kNoFolder, nError,
                withError("cannot look at the target or the source folder", nError));
  }
  // The same folder under two names (a link, a bind mount) has one identity.
  std::string sWhy;
  if (target.nDevice == from.nDevice && target.nNumber == from.nNumber) {
    sWhy = "the target " + quoted(sTarget) + " is the source folder";
  } else if (liesInside(m.sTarget, from)) {
    sWhy = "the target " + quoted(sTarget) + " lies inside the source folder " + quoted(sFrom);
  } else if (liesInside(m.sFrom, target)) {
    sWhy = "the source folder " + quoted(sFrom) + " lies inside the target " + quoted(sTarget);
  } else {
    return true;
  }
  return fail(m, MeasureFailure::kOverlap, 0,
              sWhy + "; the test files must be copied from another folder");
}

/// Returns the next value of a splitmix64 sequence: content that no file
/// system compresses or finds twice, cheap to make.
std::uint64_t nextRandom(std::uint64_t& nState) {
  std::uint64_t n = (nState += 0x9E3779B97F4A7C15u);
  n = (n ^ (n >> 30)) * 0xBF58476D1CE4E5B9u;
  n = (n ^ (n >> 27)) * 0x94D049BB133111EBu;
  return n ^ (n >> 31);
}

void fillBlock(unsigned char* pBlock, std::size_t nSize, std::uint64_t& nState) {
  for (std::size_t i = 0; i < nSize; i += 8) {
    std::uint64_t n = nextRandom(nState);
    std::memcpy(pBlock + i, &n, nSize - i < 8 ? nSize - i : 8);
  }
}

/// Sets sPath to sFolder, a separator and the name of file nFile.
void filePath(std::string& sPath, const std::string& sFolder, std::uint64_t nFile) {
  char szName[32];
  std::snprintf(szName, sizeof szName, "%cf%05llu", kMeasureSeparator,
                static_cast<unsigned long long>(nFile));
  sPath.assign(sFolder);
  sPath.append(szName);
}

/// Writes source file nFile of set nSet, of its own content. Returns 0 or the
/// error number.
int makeSourceFile(Measurement& m, int nSet, std::uint64_t nFile) {
  filePath(m.sSourceFile, m.sSetFolder, nFile);
  MeasureHandle file;
  int nError = createFile(m.sSourceFile, file);
  if (nError != 0) return nError;
  std::uint64_t nState = (static_cast<std::uint64_t>(nSet) << 32) ^ nFile;
  std::uint64_t nLeft = kMeasureFileSizes[nSet];
  while (nLeft > 0 && nError == 0) {
    std::size_t nSize = nLeft < kMeasureBlock ? static_cast<std::size_t>(nLeft) : kMeasureBlock;
    fillBlock(m.block.data(), nSize, nState);
    nError = writeBlock(file, m.block.data(), nSize);
    nLeft -= nSize;
  }
  int nClose = closeFile(file);
  return nError != 0 ? nError : nClose;
}

/// Makes the source files of set nSet in a folder of their own and writes
/// them to the device, so that the copies that follow are not slowed by
/// their being written back; their content stays in the page cache.
bool makeSet(Measurement& m, int nSet) {
  m.sSetFolder = m.sSourceRoot + kMeasureSeparator + kSetNames[nSet];
  int nError = makeFolder(m.sSetFolder);
  for (std::uint64_t nFile = 0; nError == 0 && nFile < setFiles(nSet); nFile++) {
    if (interrupted(m)) return false;
    nError = makeSourceFile(m, nSet, nFile);
  }
  if (nError == 0) nError = settleFolder(m.sSetFolder);
  return nError == 0 || failOn(m, Side::kSource, nError);
}

/// Copies source file nFile as a backup writes it: opened, written in large
/// blocks, flushed to the device and closed. Sets nBytes to the bytes
/// written. Returns true, or false with the failure noted.
bool copyFile(Measurement& m, std::uint64_t nFile, std::uint64_t& nBytes) {
  nBytes = 0;
  filePath(m.sSourceFile, m.sSetFolder, nFile);
  filePath(m.sTargetFile, m.sRoundFolder, nFile);
  MeasureHandle source;
  MeasureHandle copy;
  int nError = openFile(m.sSourceFile, source);
  if (nError != 0) return failOn(m, Side::kSource, nError);
  nError = createFile(m.sTargetFile, copy);
  if (nError != 0) {
    closeFile(source);
    return failOn(m, Side::kTarget, nError);
  }
  Side side = Side::kTarget;
  std::size_t nRead = 0;
  // Checked between blocks as well: a large file on a slow share may take
  // longer than anyone waits after Ctrl-C.
  while (nError == 0 && gnSignal == 0) {
    nError = readBlock(source, m.block.data(), m.block.size(), nRead);
    if (nError != 0) {
      side = Side::kSource;
    } else if (nRead == 0) {
      nError = flushFile(copy);
      break;
    } else {
      nError = writeBlock(copy, m.block.data(), nRead);
      nBytes += nRead;
    }
  }
  closeFile(source);
  int nClose = closeFile(copy);
  if (nError == 0) nError = nClose;
  if (nError == 0 && gnSignal != 0) nError = EINTR;
  return nError == 0 || failOn(m, side, nError);
}

/// Copies set nSet round after round into fresh folders on the target until
/// its seconds are reached; a round may end after any file once they are.
/// Each round's folder is removed once it is timed.
bool copyRounds(Measurement& m, int nSet) {
  MeasuredClass& measured = m.pResult->aClasses[nSet];
  const double dLimit = m.pSettings->dSecondsPerClass;
  while (measured.dSeconds < dLimit) {
    measured.nRounds++;
    m.sRoundFolder = m.sTargetRoot + kMeasureSeparator + kSetNames[nSet] + "-" +
                     std::to_string(measured.nRounds);
    int nError = makeFolder(m.sRoundFolder);
    if (nError != 0) return failOn(m, Side::kTarget, nError);
    const Clock::time_point start = Clock::now();
    Clock::time_point end = start;
    for (std::uint64_t nFile = 0; nFile < setFiles(nSet); nFile++) {
      std::uint64_t nBytes = 0;
      if (!copyFile(m, nFile, nBytes)) return false;
      end = Clock::now();
      measured.nObjects++;
      measured.nBytes += nBytes;
      MeasuredClass soFar = measured;
      soFar.dSeconds += seconds(end - start);
      if (m.pProgress != nullptr && m.pProgress->pShow != nullptr) {
        m.pProgress->pShow(m.pProgress->pContext, nSet, soFar);
      }
      if (soFar.dSeconds >= dLimit) break;
    }
    measured.dSeconds += seconds(end - start);
    nError = removeTree(m.sRoundFolder);
    if (nError != 0) return failOn(m, Side::kTarget, nError);
    if (interrupted(m)) return false;
  }
  return true;
}

/// Measures the sets one after the other, each in a folder of its own.
bool measureSets(Measurement& m) {
  int nError = makeTempFolder(m.sFrom, m.sSourceRoot);
  if (nError != 0) return failOn(m, Side::kSource, nError);
  nError = makeTempFolder(m.sTarget, m.sTargetRoot);
  if (nError != 0) return failOn(m, Side::kTarget, nError);
  for (int nSet = 0; nSet < kMeasureSets; nSet++) {
    if (!makeSet(m, nSet) || !copyRounds(m, nSet)) return false;
    // Only one set's source files at a time.
    nError = removeTree(m.sSetFolder);
    if (nError != 0) return failOn(m, Side::kSource, nError);
  }
  return true;
}

/// Removes the temporary folder sRoot, if it was made; what cannot be
/// removed is noted in m.sLeft.
void removeRoot(Measurement& m, const std::string& sRoot) {
  if (sRoot.empty()) return;
  int nError = removeTree(sRoot);
  if (nError == 0) return;
  if (!m.sLeft.empty()) m.sLeft += "; ";
  m.sLeft += withError("cannot remove " + quoted(sRoot), nError);
  m.nLeftError = nError;
}

/// Completes the result once everything made is removed, or left behind: an
/// interruption is told before any other failure, and what was left behind
/// after it.
void finishResult(Measurement& m, int nSignal) {
  MeasureResult& result = *m.pResult;
  if (nSignal != 0) {
    result.failure = MeasureFailure::kInterrupted;
    result.nError = 0;
    result.nSignal = nSignal;
    result.sWhy = m.sLeft.empty() ? "interrupted; everything made was removed" : "interrupted";
  }
  if (m.sLeft.empty()) return;
  if (result.failure == MeasureFailure::kNone) {
    fail(m, MeasureFailure::kLeftBehind, m.nLeftError, m.sLeft);
  } else {
    result.sWhy += "; " + m.sLeft;
  }
}

}  // namespace

void noteMeasureSignal(int nSignal) { gnSignal = nSignal; }

bool measureTarget(const MeasureSettings& settings, MeasureResult& result,
                   const MeasureProgress* pProgress) {
  result = MeasureResult();
  result.sFrom = settings.sFrom.empty() ? systemTempFolder() : settings.sFrom;
  Measurement m;
  m.pSettings = &settings;
  m.pResult = &result;
  m.pProgress = pProgress;
  if (!(settings.dSecondsPerClass > 0) || !std::isfinite(settings.dSecondsPerClass)) {
    return fail(m, MeasureFailure::kSettings, 0,
                "the seconds of each set must be a number more than 0");
  }
  if (!checkFolders(m)) return false;
  m.block.resize(kMeasureBlock);
  // Room for the longest file path, so that the files' paths are never
  // allocated again.
  m.sSourceFile.reserve(m.sFrom.size() + 64);
  m.sTargetFile.reserve(m.sTarget.size() + 64);

  // The handlers go in before anything is made, so that everything made is
  // removed whenever a signal arrives.
  gnSignal = 0;
  SavedSignals saved;
  catchSignals(saved);
  measureSets(m);
  removeRoot(m, m.sTargetRoot);
  removeRoot(m, m.sSourceRoot);
  restoreSignals(saved);
  const int nSignal = gnSignal;
  gnSignal = 0;
  finishResult(m, nSignal);
  // Under the handler found, the signal does what it would have done: the
  // default one ends the process by it.
  if (nSignal != 0) std::raise(nSignal);
  return result.failure == MeasureFailure::kNone;
}
