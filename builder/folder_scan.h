// Turns the paths named on the command line into the ordered list of entries an archive will hold.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A path as given, with the folder that -C had chosen when it was given ("" = the current folder).
struct PathArgument {
  std::string BaseDir;
  std::string Path;
};

struct SourceItem {
  std::string SourcePath;   // where to read it
  std::string DirName;      // the entry's directory part: components each followed by 0xFF; "" at the top
  std::string FileName;     // "" for a directory
  bool IsDirectory = false;
  uint64_t Size = 0;
  uint32_t ModifiedSeconds = 0;   // UnixSeconds
  uint32_t ModifiedFraction = 0;  // 100 ns units
  uint32_t AccessSeconds = 0;
  uint32_t AccessFraction = 0;
  uint8_t Attributes = 0;         // MS-DOS attribute byte
};

inline constexpr uint32_t MaxEntryNameLength = 259;      // what the stub's name buffer holds
inline constexpr uint64_t MaxEntryFileSize = 0xFFFFFFFF; // the header's size fields are 32 bits

// Each path under its base name; a folder as a directory entry followed by everything below it, in byte order of
// the names. A path whose base name is "." or ".." (or "/") contributes its contents at the top. Throws
// std::runtime_error naming the path for anything an archive entry cannot carry.
std::vector<SourceItem> ScanPaths(const std::vector<PathArgument>& paths);

// A -C folder joined to the one before it, as tar does.
std::string JoinPath(const std::string& base, const std::string& path);
