// Helpers shared by the builder's tests: a scratch folder, file I/O, a reference crc16 and running other tools.
#pragma once
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace builder_test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mksfx-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) Root = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Root, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string Path(const std::string& relative = "") const { return relative.empty() ? Root : Root + "/" + relative; }

 private:
  std::string Root;
};

inline void WriteFile(const std::string& path, const Bytes& data) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                               static_cast<std::streamsize>(data.size()));
}
inline void WriteFile(const std::string& path, const std::string& text) { WriteFile(path, Bytes(text.begin(), text.end())); }

inline Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// CRC-16/ARC bit by bit, independent of the table-driven code under test.
inline uint16_t ReferenceCrc16(const Bytes& data) {
  uint16_t crc = 0;
  for (uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command; returns its exit status (-1 when it did not exit normally).
inline int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool ToolAvailable(const std::string& tool) { return RunShell("command -v " + tool + " >/dev/null 2>&1") == 0; }

// Every regular file below root, by relative path, with its bytes.
inline std::vector<std::pair<std::string, Bytes>> FilesBelow(const std::string& root) {
  std::vector<std::pair<std::string, Bytes>> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files.emplace_back(std::filesystem::relative(entry.path(), root).string(), ReadFile(entry.path().string()));
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace builder_test
