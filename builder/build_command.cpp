// `mksfx build`: packs the chosen paths (or an existing archive) behind a copy of the stub.
#include "build_command.h"

#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "archive_reader.h"
#include "lzh_writer.h"

namespace {

// The stub seeks with signed 32-bit positions, so no byte of the installer may lie beyond 2 GiB - 1.
constexpr uint64_t MaxInstallerSize = INT32_MAX;
constexpr size_t CheckWordSize = 2;

[[noreturn]] void Fail(const std::string& problem) { throw std::runtime_error(problem); }

Bytes ReadWholeFile(const std::string& path, uint64_t expectedSize) {
  std::ifstream file(path, std::ios::binary);
  if (!file) Fail(path + ": cannot open");
  Bytes data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) Fail(path + ": cannot read");
  if (data.size() != expectedSize) Fail(path + ": the file changed while it was read");
  return data;
}

struct stat StatRegularFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) Fail(path + ": not a readable regular file");
  return info;
}

Bytes ReadWholeFile(const std::string& path) {
  return ReadWholeFile(path, static_cast<uint64_t>(StatRegularFile(path).st_size));
}

void SetWindowsTimes(LzhEntry& entry, const SourceItem& item) {
  const uint64_t modified = UnixToFileTime(item.ModifiedSeconds, item.ModifiedFraction);
  // POSIX keeps no creation time; the modification time is the closest honest value.
  entry.WindowsTimes = WindowsFileTimes{modified, modified, UnixToFileTime(item.AccessSeconds, item.AccessFraction)};
}

LzhEntry EntryFor(const SourceItem& item) {
  LzhEntry entry = item.IsDirectory
                       ? MakeDirectoryEntry(item.DirName, item.ModifiedSeconds, item.Attributes)
                       : MakeFileEntry(item.DirName, item.FileName, ReadWholeFile(item.SourcePath, item.Size),
                                       item.ModifiedSeconds, item.Attributes);
  SetWindowsTimes(entry, item);
  return entry;
}

// The "$" and "!" entries, in that order, so that the script may change the question's caption.
std::vector<LzhEntry> ReservedEntries(const BuildRequest& request) {
  std::vector<LzhEntry> entries;
  if (request.ScriptPath) {
    const struct stat info = StatRegularFile(*request.ScriptPath);
    if (static_cast<uint64_t>(info.st_size) > MaxScriptLength)
      Fail(*request.ScriptPath + ": script is " + std::to_string(info.st_size) + " bytes, at most " +
           std::to_string(MaxScriptLength) + " are read by the installer");
    const Bytes script = ReadWholeFile(*request.ScriptPath, static_cast<uint64_t>(info.st_size));
    for (uint8_t byte : script)
      if (byte == 0) Fail(*request.ScriptPath + ": script holds a zero byte, which would end it early");
    entries.push_back(MakeFileEntry("", "$", script, static_cast<uint32_t>(info.st_mtim.tv_sec)));
  }
  if (request.Question) {
    if (request.Question->size() > MaxQuestionLength)
      Fail("question is " + std::to_string(request.Question->size()) + " bytes, at most " +
           std::to_string(MaxQuestionLength) + " are shown by the installer");
    entries.push_back(MakeFileEntry("", "!", Bytes(request.Question->begin(), request.Question->end()),
                                    static_cast<uint32_t>(std::time(nullptr))));
  }
  return entries;
}

void CheckRequest(const BuildRequest& request) {
  if (request.OutputPath.empty()) Fail("no output file: give -o FILE");
  if (request.ArchivePath && !request.Paths.empty()) Fail("--archive and paths to pack exclude each other");
  if (request.ArchivePath && (request.Question || request.ScriptPath))
    Fail("--archive appends an archive as it is; --question and --script cannot be added to it");
  if (!request.ArchivePath && request.Paths.empty()) Fail("nothing to pack: name paths or give --archive");
  MakeSettingsBlock(request.Settings, 0);  // a field that does not fit fails before any work
}

InstallerSettings SettingsFor(const BuildRequest& request) {
  InstallerSettings settings = request.Settings;
  if (request.CheckWord) settings.SettingsFlags |= FlagCheckWord;
  return settings;
}

void CheckInstallerSize(uint64_t size) {
  if (size > MaxInstallerSize)
    Fail("the installer would be " + std::to_string(size) + " bytes; the installer reads at most " +
         std::to_string(MaxInstallerSize));
}

Bytes CheckWordBytes(uint16_t word) { return Bytes{static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8)}; }

// An archive given with --archive, read whole and checked header by header.
std::vector<ParsedEntry> ReadExistingArchive(const std::string& path, Bytes& archive) {
  archive = ReadWholeFile(path);
  try {
    return ReadArchiveHeaders(archive);
  } catch (const std::runtime_error& error) {
    Fail(path + ": " + error.what());
  }
}

BuildSummary AppendExistingArchive(const Bytes& archive, const std::vector<ParsedEntry>& entries, bool checkWord,
                                   InstallerWriter& writer) {
  BuildSummary summary;
  summary.Entries = entries.size();
  summary.CheckWord = CheckWordOf(entries);
  CheckInstallerSize(writer.Size() + (checkWord ? CheckWordSize : 0) + archive.size());
  if (checkWord) writer.Append(CheckWordBytes(summary.CheckWord));
  writer.Append(archive);
  return summary;
}

BuildSummary AppendNewArchive(const std::vector<LzhEntry>& reserved, const std::vector<SourceItem>& items,
                              bool checkWord, InstallerWriter& writer) {
  uint64_t dataBytes = 0;
  for (const SourceItem& item : items) dataBytes += item.Size;
  CheckInstallerSize(writer.Size() + dataBytes);  // before reading gigabytes that could not fit anyway

  BuildSummary summary;
  if (checkWord) writer.Append(Bytes(CheckWordSize, 0));  // patched once every data CRC is known
  auto append = [&](const LzhEntry& entry) {
    const Bytes encoded = EncodeEntry(entry);
    CheckInstallerSize(writer.Size() + encoded.size() + 1);
    writer.Append(encoded);
    summary.CheckWord ^= EntryDataCrc(entry);
    ++summary.Entries;
  };
  for (const LzhEntry& entry : reserved) append(entry);
  for (const SourceItem& item : items) append(EntryFor(item));
  writer.Append(Bytes{0});  // end marker
  if (checkWord) writer.PatchArchive(0, CheckWordBytes(summary.CheckWord));
  return summary;
}

BuildSummary Finish(InstallerWriter& writer, BuildSummary summary) {
  summary.ArchiveOffset = writer.ArchiveOffset();
  summary.InstallerBytes = writer.Size();
  summary.ArchiveBytes = writer.Size() - writer.ArchiveOffset();
  writer.Commit();
  return summary;
}

}  // namespace

BuildSummary RunBuild(const BuildRequest& request) {
  CheckRequest(request);
  // Inputs are read and checked before the temporary file appears beside the output, which may lie inside a
  // folder being packed: the scan must never see it.
  if (request.ArchivePath) {
    Bytes archive;
    const std::vector<ParsedEntry> entries = ReadExistingArchive(*request.ArchivePath, archive);
    InstallerWriter writer(request.StubPath, request.OutputPath, SettingsFor(request));
    return Finish(writer, AppendExistingArchive(archive, entries, request.CheckWord, writer));
  }
  const std::vector<LzhEntry> reserved = ReservedEntries(request);
  const std::vector<SourceItem> items = ScanPaths(request.Paths);
  InstallerWriter writer(request.StubPath, request.OutputPath, SettingsFor(request));
  return Finish(writer, AppendNewArchive(reserved, items, request.CheckWord, writer));
}
