#include "runfiles.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A file as the system tells it from others.
struct FileId {
  bool bExists = false;
  bool bDevice = false;  // a character device, or on Windows anything but a file on a disk
  std::uint64_t nDevice = 0;
  std::uint64_t nNumber = 0;
};

#ifdef _WIN32
FileId idOfHandle(HANDLE handle) {
  FileId id;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return id;
  id.bExists = true;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
    id.bDevice = true;
    return id;
  }
  id.nDevice = info.dwVolumeSerialNumber;
  id.nNumber = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return id;
}

FileId idOfPath(const fs::path& path) {
  // Backup semantics open a folder too; no access is asked for, only identity.
  HANDLE handle =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FileId();
  FileId id = idOfHandle(handle);
  CloseHandle(handle);
  return id;
}

FileId idOfStandard(bool bOutput) {
  return idOfHandle(GetStdHandle(bOutput ? STD_OUTPUT_HANDLE : STD_INPUT_HANDLE));
}
#else
FileId idOfStat(const struct stat& st) {
  FileId id;
  id.bExists = true;
  id.bDevice = S_ISCHR(st.st_mode);
  id.nDevice = static_cast<std::uint64_t>(st.st_dev);
  id.nNumber = static_cast<std::uint64_t>(st.st_ino);
  return id;
}

FileId idOfPath(const fs::path& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? idOfStat(st) : FileId();
}

FileId idOfStandard(bool bOutput) {
  struct stat st;
  return fstat(bOutput ? STDOUT_FILENO : STDIN_FILENO, &st) == 0 ? idOfStat(st) : FileId();
}
#endif

bool isSameFile(const FileId& a, const FileId& b) {
  return a.bExists && b.bExists && !a.bDevice && !b.bDevice && a.nDevice == b.nDevice &&
         a.nNumber == b.nNumber;
}

// Where a file named on the command line is, or would be made.
struct Place {
  FileId id;
  FileId folder;
  fs::path name;
};

// The file that writing to a path would make, when the path is a link to a
// file yet to be made: each link's target in its folder, at most kMaxLinks
// of them. A path to a file that exists is left as it is, its identity tells
// (and the system's own links, such as /dev/stdout, name no path).
const int kMaxLinks = 40;
fs::path followLinks(fs::path path) {
  std::error_code error;
  if (fs::exists(fs::status(path, error))) return path;
  for (int i = 0; i < kMaxLinks && fs::is_symlink(fs::symlink_status(path, error)); i++) {
    fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

Place placeOf(const fs::path& path) {
  Place place;
  place.id = idOfPath(path);
  fs::path folder = path.parent_path();
  place.folder = idOfPath(folder.empty() ? fs::path(".") : folder);
  place.name = path.filename();
  return place;
}

// Two files are one when either exists and both are the same file, or when
// neither does and both would be made under the same name in one folder.
bool isSamePlace(const Place& a, const Place& b) {
  if (a.id.bExists || b.id.bExists) return isSameFile(a.id, b.id);
  return !a.name.empty() && a.name == b.name && isSameFile(a.folder, b.folder);
}

// True when the output at path would be written in the tree tree: in its
// root folder or a folder below it (by the folders above the output's own,
// through any link), or over the root itself when it is a file.
bool liesInTree(const fs::path& path, const Place& output, const FileId& tree) {
  if (isSameFile(output.id, tree)) return true;
  std::error_code error;
  fs::path folder =
      output.id.bExists
          ? fs::canonical(path, error).parent_path()
          : fs::canonical(path.parent_path().empty() ? fs::path(".") : path.parent_path(), error);
  if (error) return false;  // a folder that does not exist: nothing can be written there
  // Each step takes one name off a canonical path: the walk ends at its root.
  for (;;) {
    if (isSameFile(idOfPath(folder), tree)) return true;
    fs::path up = folder.parent_path();
    if (up.empty() || up == folder) return false;
    folder = up;
  }
}

std::string optionText(const RunFile& file) { return file.sWhat + "=" + file.sPath; }

}  // namespace

std::string findFileClash(const RunFiles& files) {
  std::vector<fs::path> paths;
  std::vector<Place> outputs;
  for (const RunFile& output : files.outputs) {
    paths.push_back(followLinks(fs::path(output.sPath)));
    outputs.push_back(placeOf(paths.back()));
  }
  const FileId standardOutput = idOfStandard(true);
  for (std::size_t i = 0; i < outputs.size(); i++) {
    const RunFile& output = files.outputs[i];
    for (const RunFile& input : files.inputs) {
      bool bStandard = input.sPath == "-";
      FileId id = bStandard ? idOfStandard(false) : idOfPath(fs::path(input.sPath));
      if (!isSameFile(outputs[i].id, id)) continue;
      return optionText(output) + " would overwrite " + input.sWhat +
             (bStandard ? ", read from standard input" : " '" + input.sPath + "'");
    }
    for (std::size_t j = 0; j < i; j++) {
      if (isSamePlace(outputs[j], outputs[i])) {
        return optionText(files.outputs[j]) + " and " + optionText(output) +
               " would write the same file";
      }
    }
    if (isSameFile(outputs[i].id, standardOutput)) {
      return optionText(output) + " would write to standard output, which holds the report";
    }
    for (const RunFile& tree : files.trees) {
      if (liesInTree(paths[i], outputs[i], idOfPath(fs::path(tree.sPath)))) {
        return optionText(output) + " would be written inside '" + tree.sPath +
               "', which the scan counts";
      }
    }
  }
  return "";
}
