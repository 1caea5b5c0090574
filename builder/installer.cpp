// Makes an installer file: the stub copied, its settings block filled in, the archive appended, all or nothing.
#include "installer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

constexpr size_t TitleMax = sizeof(SettingsBlock::TitleField) - 1;
constexpr size_t InstallTitleMax = sizeof(SettingsBlock::InstallTitleField) - 1;
constexpr size_t InstallDirMax = sizeof(SettingsBlock::InstallDir) - 1;
constexpr size_t CommandMax = sizeof(SettingsBlock::Command) - 1;
constexpr uint64_t StubMinimumLength = SettingsBlockOffset + SettingsBlockSize;
constexpr size_t CopyChunk = 1 << 16;

[[noreturn]] void FailOn(const std::string& path, const std::string& what) {
  throw std::runtime_error(path + ": " + what + ": " + std::strerror(errno));
}

template <size_t N>
void PutText(char (&field)[N], const std::string& value, const char* name) {
  if (value.size() > N - 1)
    throw std::invalid_argument(std::string(name) + " is " + std::to_string(value.size()) + " bytes, at most " +
                                std::to_string(N - 1) + " fit");
  if (value.find('\0') != std::string::npos) throw std::invalid_argument(std::string(name) + " holds a zero byte");
  std::memcpy(field, value.data(), value.size());
}

void WriteAll(int file, const uint8_t* data, size_t length, const std::string& path) {
  while (length > 0) {
    const ssize_t done = write(file, data, length);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) FailOn(path, "cannot write");
    data += done;
    length -= static_cast<size_t>(done);
  }
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

SettingsBlock MakeSettingsBlock(const InstallerSettings& settings, int32_t archiveOffset) {
  static_assert(TitleMax == 40 && InstallTitleMax == 40 && InstallDirMax == 255 && CommandMax == 255);
  SettingsBlock block{};
  block.ArchiveOffset = archiveOffset;
  PutText(block.TitleField, settings.Title, "title");
  PutText(block.InstallTitleField, settings.InstallTitle, "install title");
  PutText(block.InstallDir, settings.InstallDir, "install directory");
  PutText(block.Command, settings.Command, "command");
  block.SettingsFlags = settings.SettingsFlags;
  block.RestoreAttributes = settings.RestoreAttributes;
  return block;
}

Bytes EncodeSettingsBlock(const SettingsBlock& block) {
  Bytes out(SettingsBlockSize);
  std::memcpy(out.data(), &block, SettingsBlockSize);
  WriteU32(out.data(), static_cast<uint32_t>(block.ArchiveOffset));  // little-endian whatever the host's order
  return out;
}

InstallerWriter::InstallerWriter(const std::string& stubPath, const std::string& outputPath,
                                 const InstallerSettings& settings)
    : OutputPath(outputPath) {
  const int stub = open(stubPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (stub < 0) FailOn(stubPath, "cannot open the stub");
  struct stat stubStat {};
  if (fstat(stub, &stubStat) != 0 || !S_ISREG(stubStat.st_mode)) {
    close(stub);
    errno = EINVAL;
    FailOn(stubPath, "the stub is not a regular file");
  }
  StubLength = static_cast<uint64_t>(stubStat.st_size);
  if (StubLength < StubMinimumLength || StubLength > INT32_MAX) {
    close(stub);
    throw std::runtime_error(stubPath + ": the stub is " + std::to_string(StubLength) + " bytes; it must hold the " +
                             "settings block (at least " + std::to_string(StubMinimumLength) +
                             " bytes) and its length must fit a signed 32-bit archive offset");
  }

  // Settings first: a field that does not fit must fail before any file is created.
  SettingsBlock block{};
  try {
    block = MakeSettingsBlock(settings, static_cast<int32_t>(StubLength));
  } catch (...) {
    close(stub);
    throw;
  }

  TempPath = FolderOf(outputPath) + "/.mksfx-XXXXXX";
  File = mkstemp(TempPath.data());
  if (File < 0) {
    close(stub);
    FailOn(outputPath, "cannot create a temporary file beside it");
  }
  try {
    // mkstemp creates the file private; give it the permissions an ordinary new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(File, 0666 & ~mask) != 0) FailOn(TempPath, "cannot set permissions");

    const Bytes encoded = EncodeSettingsBlock(block);
    Bytes chunk(CopyChunk);
    uint64_t copied = 0;
    while (copied < StubLength) {
      const ssize_t got = read(stub, chunk.data(), chunk.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) FailOn(stubPath, "cannot read the stub");
      if (got == 0) break;
      const size_t kept = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(got), StubLength - copied));
      // The block replaces the stub's bytes at offset 512 wherever the chunk overlaps it.
      for (size_t i = 0; i < kept; ++i) {
        const uint64_t at = copied + i;
        if (at >= SettingsBlockOffset && at < StubMinimumLength) chunk[i] = encoded[at - SettingsBlockOffset];
      }
      WriteAll(File, chunk.data(), kept, TempPath);
      copied += kept;
    }
    if (copied != StubLength) throw std::runtime_error(stubPath + ": the stub changed while it was copied");
    Written = StubLength;
  } catch (...) {
    close(stub);
    close(File);
    unlink(TempPath.c_str());
    throw;
  }
  close(stub);
}

InstallerWriter::~InstallerWriter() {
  if (File >= 0) close(File);
  if (!Committed) unlink(TempPath.c_str());
}

void InstallerWriter::Append(const uint8_t* data, size_t length) {
  WriteAll(File, data, length, TempPath);
  Written += length;
}

void InstallerWriter::PatchArchive(uint64_t archivePosition, const Bytes& data) {
  const uint64_t at = StubLength + archivePosition;
  if (at + data.size() > Written) throw std::logic_error("patch beyond what was written");
  if (pwrite(File, data.data(), data.size(), static_cast<off_t>(at)) != static_cast<ssize_t>(data.size()))
    FailOn(TempPath, "cannot write");
}

void InstallerWriter::Commit() {
  if (fsync(File) != 0) FailOn(TempPath, "cannot flush");
  const int file = File;
  File = -1;
  if (close(file) != 0) FailOn(TempPath, "cannot close");
  if (rename(TempPath.c_str(), OutputPath.c_str()) != 0) FailOn(OutputPath, "cannot replace");
  Committed = true;
}

void WriteInstaller(const std::string& stubPath, const std::string& outputPath, const InstallerSettings& settings,
                    const Bytes& archive) {
  InstallerWriter writer(stubPath, outputPath, settings);
  writer.Append(archive);
  writer.Commit();
}
