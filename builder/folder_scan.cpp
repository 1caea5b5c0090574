// Turns the paths named on the command line into the ordered list of entries an archive will hold.
#include "folder_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <stdexcept>
#include <utility>

namespace {

constexpr char Separator = static_cast<char>(0xFF);
constexpr uint8_t AttributeReadOnly = 0x01;
constexpr uint8_t AttributeDirectory = 0x10;
constexpr uint8_t AttributeArchive = 0x20;

[[noreturn]] void Fail(const std::string& path, const std::string& problem) {
  throw std::runtime_error(path + ": " + problem);
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) Fail(path, std::strerror(errno));
  return info;
}

uint32_t UnixSecondsOf(const std::string& path, const timespec& time) {
  if (time.tv_sec < 0 || time.tv_sec > static_cast<time_t>(UINT32_MAX))
    Fail(path, "time stamp outside 1970-01-01 to 2106-02-07, which an entry header cannot hold");
  return static_cast<uint32_t>(time.tv_sec);
}

// Names become archive bytes unchanged; bytes the stub reads as separators would split them.
void CheckName(const std::string& path, const std::string& name) {
  if (name.find(Separator) != std::string::npos || name.find('\\') != std::string::npos)
    Fail(path, "name holds a backslash or the byte 0xFF, which the archive uses as separators");
}

class Scanner {
 public:
  std::vector<SourceItem> Items;

  void AddPath(const PathArgument& argument) {
    const std::string source = JoinPath(argument.BaseDir, argument.Path);
    std::string trimmed = argument.Path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    const std::string baseName = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    const struct stat info = StatOf(source);
    if (baseName.empty() || baseName == "." || baseName == "..") {
      if (!S_ISDIR(info.st_mode)) Fail(source, "not a folder");
      AddContents(source, "", info);
      return;
    }
    AddItem(source, "", baseName, info);
  }

 private:
  std::set<std::string> Names;
  std::vector<std::pair<dev_t, ino_t>> OpenFolders;  // the folders being walked, to refuse a link loop

  void AddItem(const std::string& source, const std::string& dirName, const std::string& name,
               const struct stat& info) {
    CheckName(source, name);
    // "!" and "$" at the top are read by the stub as the question and the setup script.
    if (dirName.empty() && !S_ISDIR(info.st_mode) && (name == "!" || name == "$"))
      Fail(source, "the names \"!\" and \"$\" are reserved for --question and --script");
    SourceItem item;
    item.SourcePath = source;
    item.IsDirectory = S_ISDIR(info.st_mode);
    if (!item.IsDirectory && !S_ISREG(info.st_mode)) Fail(source, "neither a regular file nor a folder");
    item.DirName = item.IsDirectory ? dirName + name + Separator : dirName;
    item.FileName = item.IsDirectory ? "" : name;
    if (item.DirName.size() + item.FileName.size() > MaxEntryNameLength)
      Fail(source, "entry name longer than " + std::to_string(MaxEntryNameLength) + " bytes");
    if (!Names.insert(item.DirName + item.FileName).second) Fail(source, "a second entry with the same name");
    if (!item.IsDirectory) item.Size = static_cast<uint64_t>(info.st_size);
    if (item.Size > MaxEntryFileSize) Fail(source, "file larger than 4 GiB - 1 bytes, which an entry cannot hold");
    item.ModifiedSeconds = UnixSecondsOf(source, info.st_mtim);
    item.ModifiedFraction = static_cast<uint32_t>(info.st_mtim.tv_nsec / 100);
    item.AccessSeconds = UnixSecondsOf(source, info.st_atim);
    item.AccessFraction = static_cast<uint32_t>(info.st_atim.tv_nsec / 100);
    item.Attributes = item.IsDirectory ? AttributeDirectory : AttributeArchive;
    if ((info.st_mode & S_IWUSR) == 0) item.Attributes |= AttributeReadOnly;
    const std::string below = item.DirName;
    Items.push_back(std::move(item));
    if (S_ISDIR(info.st_mode)) AddContents(source, below, info);
  }

  void AddContents(const std::string& folder, const std::string& dirName, const struct stat& info) {
    const std::pair<dev_t, ino_t> identity{info.st_dev, info.st_ino};
    if (std::find(OpenFolders.begin(), OpenFolders.end(), identity) != OpenFolders.end())
      Fail(folder, "a link leads back into a folder that holds it");
    OpenFolders.push_back(identity);
    for (const std::string& name : SortedNames(folder)) {
      const std::string source = JoinPath(folder, name);
      AddItem(source, dirName, name, StatOf(source));
    }
    OpenFolders.pop_back();
  }

  static std::vector<std::string> SortedNames(const std::string& folder) {
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) Fail(folder, std::strerror(errno));
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    const int readError = errno;
    closedir(listing);
    if (readError != 0) Fail(folder, std::strerror(readError));
    std::sort(names.begin(), names.end());  // std::string orders by unsigned byte value
    return names;
  }
};

}  // namespace

std::string JoinPath(const std::string& base, const std::string& path) {
  if (base.empty() || (!path.empty() && path.front() == '/')) return path;
  if (base.back() == '/') return base + path;
  return base + "/" + path;
}

std::vector<SourceItem> ScanPaths(const std::vector<PathArgument>& paths) {
  Scanner scanner;
  for (const PathArgument& argument : paths) scanner.AddPath(argument);
  return std::move(scanner.Items);
}
