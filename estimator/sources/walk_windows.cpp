// The walk on Windows: FindFirstFileExW and FindNextFileW return each
// entry's size, attributes and times with the folder's listing, so no entry
// is opened. Paths carry the \\?\ prefix, which lifts the limit on their
// length; names are kept in UTF-8.
#ifdef _WIN32

#include <windows.h>

#include <cerrno>
#include <cstring>

#include "sources/walk.h"
#include "sources/walk_internal.h"
#include "sources/widepath_windows.h"

namespace {

// The error number that the C library would give for a system error.
int errorNumber(DWORD nError) {
  switch (nError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    default:
      return EIO;
  }
}

void setTime(WalkObject& object, const FILETIME& written) {
  SYSTEMTIME utc;
  SYSTEMTIME local;
  if (!FileTimeToSystemTime(&written, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return;
  }
  object.nYear = local.wYear;
  object.nMonth = local.wMonth;
  object.nDay = local.wDay;
  object.nSecondOfDay = local.wHour * 3600 + local.wMinute * 60 + local.wSecond;
}

// Sets the object from a folder entry's attributes: a reparse point (a
// junction, a symbolic link) is an object of 0 bytes, never followed.
void setFromEntry(WalkObject& object, DWORD nAttributes, DWORD nSizeHigh, DWORD nSizeLow,
                  const FILETIME& written, bool bTimes) {
  if ((nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    object.nType = kEntryLink;
    object.nSize = 0;
  } else {
    object.nType = (nAttributes & FILE_ATTRIBUTE_DEVICE) != 0 ? kEntrySpecial : kEntryFile;
    object.nSize = (static_cast<std::uint64_t>(nSizeHigh) << 32) | nSizeLow;
  }
  if (bTimes) setTime(object, written);
}

bool isFolder(DWORD nAttributes) {
  return (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace

std::string absoluteWalkPath(const char* szPath) {
  std::string sOut = wholePath(szPath);
  // A final separator goes, but not the one of a drive's root (C:\).
  while (sOut.size() > 1 && (sOut.back() == '\\' || sOut.back() == '/') &&
         sOut[sOut.size() - 2] != ':' && sOut[sOut.size() - 2] != '\\') {
    sOut.pop_back();
  }
  return sOut;
}

std::string walkErrorText(int nError) { return std::strerror(nError); }

// The full path already has its ".." parts resolved; links stay.
std::string resolvedWalkPath(const char* szPath) { return absoluteWalkPath(szPath); }

int walkRootError(const char* szPath) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(longPath(absoluteWalkPath(szPath)).c_str(), GetFileExInfoStandard,
                            &data)) {
    return errorNumber(GetLastError());
  }
  return 0;
}

// The POSIX walk changes the state and the folder; this one need not.
// cppcheck-suppress constParameter
int openWalkRoot(WalkState& state, WalkWorker& worker, const std::string& sPath,
                 PendingFolder& root, bool& bFolder) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(longPath(sPath).c_str(), GetFileExInfoStandard, &data)) {
    return errorNumber(GetLastError());
  }
  // The root is followed even when it is a junction or a link to a folder.
  bFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (bFolder) {
    root.sName = sPath;
    return 0;
  }
  std::size_t nSeparator = sPath.find_last_of("\\/");
  std::string sFolder =
      nSeparator == std::string::npos ? std::string() : sPath.substr(0, nSeparator);
  if (!sFolder.empty() && sFolder.back() == ':') sFolder += '\\';
  std::string sName = nSeparator == std::string::npos ? sPath : sPath.substr(nSeparator + 1);
  WalkObject object;
  setFromEntry(object, data.dwFileAttributes & ~FILE_ATTRIBUTE_REPARSE_POINT, data.nFileSizeHigh,
               data.nFileSizeLow, data.ftLastWriteTime, state.options.bTimes);
  NodeRef folder = NodeRef::make(NodeRef(), FolderId(), sFolder.data(), sFolder.size(), '\\');
  startFolder(worker, folder.get());
  addObject(worker, object, sName.data(), sName.size());
  flushObjects(worker);
  return 0;
}

// cppcheck-suppress constParameter
void walkFolder(WalkWorker& worker, PendingFolder& folder) {
  WalkState& state = *worker.pState;
  const std::string& sPath =
      childPath(worker, folder.parent.get(), folder.sName.data(), folder.sName.size());
  int nInjected = folder.parent ? injectedFailure(state.options, folder.sName) : 0;
  if (nInjected != 0) {
    noteUnreadable(state, sPath, nInjected);
    return;
  }
  std::wstring pattern = longPath(sPath);
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    DWORD nError = GetLastError();
    // A drive's root has no "." and "..": an empty one has no entries at all.
    if (nError != ERROR_FILE_NOT_FOUND) noteUnreadable(state, sPath, errorNumber(nError));
    return;
  }
  // Reparse points are not followed, so no folder is reached twice: the
  // ancestors need no identity here.
  NodeRef node =
      NodeRef::make(folder.parent, FolderId(), folder.sName.data(), folder.sName.size(), '\\');
  folder.parent.reset();
  startFolder(worker, node.get());
  const bool bTimes = state.options.bTimes;
  std::string sName;
  do {
    const wchar_t* szName = data.cFileName;
    if (szName[0] == L'.' && (szName[1] == L'\0' || (szName[1] == L'.' && szName[2] == L'\0'))) {
      continue;
    }
    narrowText(szName, sName);
    if (isFolder(data.dwFileAttributes)) {
      addChild(worker, sName.data(), sName.size(), node);
      continue;
    }
    WalkObject object;
    setFromEntry(object, data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                 data.ftLastWriteTime, bTimes);
    addObject(worker, object, sName.data(), sName.size());
  } while (FindNextFileW(find, &data));
  DWORD nError = GetLastError();
  flushObjects(worker);
  FindClose(find);
  if (nError != ERROR_NO_MORE_FILES) {
    noteUnreadable(state, nodePath(worker, node.get()), errorNumber(nError));
  }
}

#endif  // _WIN32
