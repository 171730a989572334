// The measurement's calls into the platform, shared by measure.cpp and its
// platform files: folders, files, their flushing, and the signals that stop
// a measurement. Every call returns 0 or an error number as errno gives them
// (the Windows file maps the system's errors onto those).
#ifndef PLOMET_ESTIMATOR_SOURCES_MEASURE_INTERNAL_H_
#define PLOMET_ESTIMATOR_SOURCES_MEASURE_INTERNAL_H_

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>

/// An open file: a descriptor, or a Windows HANDLE.
using MeasureHandle = std::intptr_t;
const MeasureHandle kNoMeasureHandle = -1;

/// What tells one folder from another: its device (volume) and file number.
struct MeasureFolderId {
  std::uint64_t nDevice = 0;
  std::uint64_t nNumber = 0;
};

/// The signals a measurement catches, and the handlers found before.
#ifdef _WIN32
const int kMeasureSignals[] = {SIGINT, SIGTERM};
#else
const int kMeasureSignals[] = {SIGINT, SIGTERM, SIGHUP};
#endif
const int kMeasureSignalCount =
    static_cast<int>(sizeof kMeasureSignals / sizeof kMeasureSignals[0]);
struct SavedSignals {
  bool abCaught[kMeasureSignalCount] = {};  // a handler of ours was installed for it
#ifdef _WIN32
  void (*apOld[kMeasureSignalCount])(int) = {};
#else
  struct sigaction aOld[kMeasureSignalCount];
#endif
};

// measure.cpp's part.

/// The signal handler: notes the signal and does nothing else.
void noteMeasureSignal(int nSignal);

// The platform's part.

/// Returns the system's temporary folder, without a final separator.
std::string systemTempFolder();

/// Sets sReal to the folder at sPath as an absolute path with its links
/// resolved. Returns 0, ENOTDIR when it is no folder, or another error number.
int resolveFolder(const std::string& sPath, std::string& sReal);

/// Sets id to the identity of the folder or file at sPath (links followed).
int identifyFolder(const std::string& sPath, MeasureFolderId& id);

/// Takes the last part off an absolute path that resolveFolder made. Returns
/// false, leaving it, at the root.
bool parentFolder(std::string& sPath);

/// Makes a folder plomet-measure-XXXXXX, readable by its owner alone, in the
/// folder sParent, and sets sMade to its path.
int makeTempFolder(const std::string& sParent, std::string& sMade);

/// Makes the folder sPath, readable by its owner alone.
int makeFolder(const std::string& sPath);

/// Removes the folder sPath and everything in it, links not followed. Returns
/// 0, also when it is already gone, or the first error number met.
int removeTree(const std::string& sPath);

/// Makes the new file sPath (it must not exist) for writing.
int createFile(const std::string& sPath, MeasureHandle& handle);

/// Opens the file sPath for reading.
int openFile(const std::string& sPath, MeasureHandle& handle);

/// Reads up to nSize bytes; nRead is 0 at the end of the file.
int readBlock(MeasureHandle handle, void* pBuffer, std::size_t nSize, std::size_t& nRead);

/// Writes all nSize bytes.
int writeBlock(MeasureHandle handle, const void* pBuffer, std::size_t nSize);

/// Writes the file's data and metadata to the device.
int flushFile(MeasureHandle handle);

/// Closes the file; the close's own error (a network share may report a
/// failed write only then) is returned.
int closeFile(MeasureHandle handle);

/// Writes what was written to the files of the folder sPath to the device,
/// in one call where the system has one.
int settleFolder(const std::string& sPath);

/// Installs noteMeasureSignal for each signal not ignored, keeping the
/// handlers found.
void catchSignals(SavedSignals& saved);

/// Puts the handlers found back.
void restoreSignals(const SavedSignals& saved);

/// The path separator the platform writes.
#ifdef _WIN32
const char kMeasureSeparator = '\\';
#else
const char kMeasureSeparator = '/';
#endif

#endif  // PLOMET_ESTIMATOR_SOURCES_MEASURE_INTERNAL_H_
