// mksfx: the installer's layout (stub, settings block, archive), entry order, names, times and attributes,
// the check word, appended archives, refusals that leave no output behind, and the command line end to end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "archive/format.h"
#include "archive_reader.h"
#include "builder_fixtures.h"
#include "cli.h"

using builder_test::Quote;
using builder_test::ReadFile;
using builder_test::ReferenceCrc16;
using builder_test::RunShell;
using builder_test::WriteFile;

namespace {

constexpr size_t StubSize = 2048;
constexpr uint32_t ModifiedSeconds = 1500000000;
constexpr uint32_t AccessSeconds = 1600000000;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

uint64_t FileTime(uint64_t unixSeconds, uint64_t hundredNanoseconds = 0) {
  return (unixSeconds + 11644473600ull) * 10000000ull + hundredNanoseconds;
}

void SetTimes(const std::string& path) {
  const timespec times[2] = {{AccessSeconds, 0}, {ModifiedSeconds, 500000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// A file of the given length without writing its bytes.
void MakeSparseFile(const std::string& path, off_t length) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const int file = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  ASSERT_EQ(ftruncate(file, length), 0);
  close(file);
}

const RawExtendedHeader* FindExtension(const ParsedEntry& entry, uint8_t type) {
  for (const RawExtendedHeader& extension : entry.Extensions)
    if (extension.Type == type) return &extension;
  return nullptr;
}

struct Outcome {
  int Status;
  std::string Out;
  std::string Err;
};

class MksfxTest : public ::testing::Test {
 protected:
  builder_test::TempFolder Folder;
  Bytes Stub;

  void SetUp() override {
    Stub.resize(StubSize);
    for (size_t i = 0; i < Stub.size(); ++i) Stub[i] = static_cast<uint8_t>(i * 7 + 3);
    WriteFile(Path("stub.exe"), Stub);
    WriteFile(Path("src/readme.txt"), "read me\n");
    WriteFile(Path("src/docs/b.txt"), "bee");
    WriteFile(Path("src/docs/a.txt"), "ay");
    Bytes binary(3000);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<uint8_t>(255 - i % 251);
    WriteFile(Path("src/docs/sub/c.bin"), binary);
    ASSERT_EQ(chmod(Path("src/docs/a.txt").c_str(), 0444), 0);
    for (const char* name : {"src/readme.txt", "src/docs/b.txt", "src/docs/a.txt", "src/docs/sub/c.bin",
                             "src/docs/sub", "src/docs"})
      SetTimes(Path(name));
    std::filesystem::create_directory(Path("out"));
  }

  std::string Path(const std::string& relative) const { return Folder.Path(relative); }

  Outcome Mksfx(std::vector<std::string> arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunMksfx(arguments, Path("no-such-folder"), out, err);
    return {status, out.str(), err.str()};
  }

  // Builds out/setup.exe from the given options and paths with the fake stub.
  Outcome Build(const std::vector<std::string>& rest) {
    std::vector<std::string> arguments = {"build", "-o", Path("out/setup.exe"), "--stub", Path("stub.exe")};
    arguments.insert(arguments.end(), rest.begin(), rest.end());
    return Mksfx(arguments);
  }

  Bytes ArchiveOf(const std::string& installer) {
    const Bytes image = ReadFile(installer);
    return Bytes(image.begin() + static_cast<long>(StubSize), image.end());
  }
};

std::string Names(const std::vector<ParsedEntry>& entries) {
  std::string names;
  for (const ParsedEntry& entry : entries) {
    std::string name = entry.DirName + entry.FileName;
    for (char& c : name)
      if (c == '\xFF') c = '|';
    names += name + " ";
  }
  return names;
}

}  // namespace

TEST_F(MksfxTest, InstallerIsStubWithEverySettingsFieldThenTheArchive) {
  const Outcome outcome = Build({"--title", "My title", "--install-title", "Install to", "--dir", "%WinDir%\\app",
                                 "--command", "readme.txt", "--auto-start", "--overwrite", "--no-skip-not-older",
                                 "--restore-attributes", "--check-word", Path("src/readme.txt")});
  ASSERT_EQ(outcome.Status, 0) << outcome.Err;
  EXPECT_NE(outcome.Out.find("1 entry,"), std::string::npos) << outcome.Out;

  const Bytes image = ReadFile(Path("out/setup.exe"));
  ASSERT_GT(image.size(), StubSize);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 512), Bytes(Stub.begin(), Stub.begin() + 512));
  EXPECT_EQ(Bytes(image.begin() + 1115, image.begin() + StubSize), Bytes(Stub.begin() + 1115, Stub.end()));

  const uint8_t* block = &image[512];
  auto text = [&](size_t offset, size_t width) {
    EXPECT_EQ(block[offset + width - 1], 0) << "field at " << offset << " not terminated";
    return std::string(reinterpret_cast<const char*>(block + offset));
  };
  EXPECT_EQ(ReadU32(block), StubSize);
  EXPECT_EQ(text(4, 41), "My title");
  EXPECT_EQ(text(45, 41), "Install to");
  EXPECT_EQ(text(86, 256), "%WinDir%\\app");
  EXPECT_EQ(text(342, 256), "readme.txt");
  EXPECT_EQ(Bytes(block + 598, block + 601), Bytes(3, 0));
  EXPECT_EQ(block[601], 0x0F);
  EXPECT_NE(block[602], 0);

  const Bytes archive = ArchiveOf(Path("out/setup.exe"));
  EXPECT_EQ(ReadU16(archive.data()), ReferenceCrc16(Text("read me\n")));
  const std::vector<ParsedEntry> entries = ReadArchiveHeaders(archive, 2);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].FileName, "readme.txt");
  EXPECT_EQ(archive.back(), 0);
}

TEST_F(MksfxTest, FlagsDefaultToZeroAndEmptyTextFields) {
  ASSERT_EQ(Build({Path("src/readme.txt")}).Status, 0);
  const Bytes image = ReadFile(Path("out/setup.exe"));
  EXPECT_EQ(Bytes(image.begin() + 516, image.begin() + 1115), Bytes(599, 0));
  // No check word: the first header starts right at the archive offset.
  EXPECT_EQ(ReadArchiveHeaders(ArchiveOf(Path("out/setup.exe"))).size(), 1u);
}

TEST_F(MksfxTest, EntriesComeInOrderWithNamesTimesAndAttributes) {
  WriteFile(Path("setup.script"), "$WindowTitle=Scripted\r\n");
  const Outcome outcome = Build({"--question", "Install?", "--script", Path("setup.script"), "-C", Path("src"),
                                 "readme.txt", "docs/"});
  ASSERT_EQ(outcome.Status, 0) << outcome.Err;
  const Bytes archive = ArchiveOf(Path("out/setup.exe"));
  const std::vector<ParsedEntry> entries = ReadArchiveHeaders(archive);
  EXPECT_EQ(Names(entries), "$ ! readme.txt docs| docs|a.txt docs|b.txt docs|sub| docs|sub|c.bin ");
  ASSERT_EQ(entries.size(), 8u);

  struct Expected {
    size_t Index;
    const char* Method;
    uint8_t Attributes;
    Bytes Data;
  };
  const Expected expected[] = {
      {0, "-lh0-", 0x20, Text("$WindowTitle=Scripted\r\n")},
      {1, "-lh0-", 0x20, Text("Install?")},
      {2, "-lh0-", 0x20, Text("read me\n")},
      {3, "-lhd-", 0x10, {}},
      {4, "-lh0-", 0x21, Text("ay")},  // read-only
      {5, "-lh0-", 0x20, Text("bee")},
      {6, "-lhd-", 0x10, {}},
      {7, "-lh0-", 0x20, ReadFile(Path("src/docs/sub/c.bin"))},
  };
  for (const Expected& e : expected) {
    const ParsedEntry& entry = entries[e.Index];
    SCOPED_TRACE(entry.FileName);
    EXPECT_EQ(entry.MethodId, e.Method);
    EXPECT_EQ(entry.OsId, 'W');
    EXPECT_EQ(entry.Attributes, e.Attributes);
    const RawExtendedHeader* attributes = FindExtension(entry, 0x40);
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(attributes->Data, (Bytes{e.Attributes, 0}));
    EXPECT_EQ(entry.CompressedSize, e.Data.size());
    EXPECT_EQ(entry.UncompressedSize, e.Data.size());
    EXPECT_EQ(entry.DataCrc, ReferenceCrc16(e.Data));
    const size_t dataAt = entry.Offset + entry.HeaderSize;
    EXPECT_EQ(Bytes(archive.begin() + static_cast<long>(dataAt), archive.begin() + static_cast<long>(dataAt + e.Data.size())),
              e.Data);
    ASSERT_NE(FindExtension(entry, 0x41), nullptr);
    EXPECT_EQ(entry.Extensions.front().Type, 0x00);
  }
  // Files and folders carry their modification time; 0x41 adds the access time and sub-second precision.
  for (size_t i = 2; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].TimeStamp, ModifiedSeconds) << i;
    const Bytes& times = FindExtension(entries[i], 0x41)->Data;
    ASSERT_EQ(times.size(), 24u);
    EXPECT_EQ(ReadU64(&times[0]), FileTime(ModifiedSeconds, 5000000)) << i;
    EXPECT_EQ(ReadU64(&times[8]), FileTime(ModifiedSeconds, 5000000)) << i;
    EXPECT_EQ(ReadU64(&times[16]), FileTime(AccessSeconds)) << i;
  }
}

TEST_F(MksfxTest, DotPacksAFoldersContentsAtTheTopAndMinusCChains) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-C", Path("src"), "."}, "docs| docs|a.txt docs|b.txt docs|sub| docs|sub|c.bin readme.txt "},
      {{"-C", Path("src/docs"), "-C", "sub", "c.bin"}, "c.bin "},
      {{"-C", Path("src"), "docs/sub/.", "readme.txt"}, "c.bin readme.txt "},
  };
  for (const auto& [arguments, names] : cases) {
    const Outcome outcome = Build(arguments);
    ASSERT_EQ(outcome.Status, 0) << outcome.Err;
    EXPECT_EQ(Names(ReadArchiveHeaders(ArchiveOf(Path("out/setup.exe")))), names);
  }
}

TEST_F(MksfxTest, OutputInsideAPackedFolderIsNotPackedIntoItself) {
  const Outcome outcome = Mksfx({"build", "-o", Path("src/setup.exe"), "--stub", Path("stub.exe"), Path("src")});
  ASSERT_EQ(outcome.Status, 0) << outcome.Err;
  const Bytes image = ReadFile(Path("src/setup.exe"));
  const std::vector<ParsedEntry> entries =
      ReadArchiveHeaders(Bytes(image.begin() + static_cast<long>(StubSize), image.end()));
  EXPECT_EQ(Names(entries), "src| src|docs| src|docs|a.txt src|docs|b.txt src|docs|sub| src|docs|sub|c.bin "
                            "src|readme.txt ");
}

TEST_F(MksfxTest, CheckWordIsTheXorOfEveryDataCrc) {
  WriteFile(Path("setup.script"), "$Flag=1");
  ASSERT_EQ(Build({"--check-word", "--script", Path("setup.script"), "--question", "Sure?", Path("src")}).Status, 0);
  uint16_t expected = ReferenceCrc16(Text("$Flag=1")) ^ ReferenceCrc16(Text("Sure?"));
  for (const char* file : {"src/readme.txt", "src/docs/a.txt", "src/docs/b.txt", "src/docs/sub/c.bin"})
    expected ^= ReferenceCrc16(ReadFile(Path(file)));
  const Bytes image = ReadFile(Path("out/setup.exe"));
  EXPECT_EQ(image[512 + 601] & 0x04, 0x04);
  EXPECT_EQ(ReadU16(&image[StubSize]), expected);
  EXPECT_EQ(ReadArchiveHeaders(ArchiveOf(Path("out/setup.exe")), 2).size(), 9u);
}

TEST_F(MksfxTest, AppendsAnExistingArchiveAsItIs) {
  if (!builder_test::ToolAvailable("jlha")) GTEST_SKIP() << "jlha is not installed";
  ASSERT_EQ(RunShell("cd " + Quote(Path("src")) + " && jlha c2q " + Quote(Path("jlha.lzh")) + " readme.txt docs >/dev/null"), 0);
  const Bytes made = ReadFile(Path("jlha.lzh"));

  ASSERT_EQ(Build({"--archive", Path("jlha.lzh")}).Status, 0);
  EXPECT_EQ(ArchiveOf(Path("out/setup.exe")), made);

  ASSERT_EQ(Build({"--check-word", "--archive", Path("jlha.lzh")}).Status, 0);
  const Bytes archive = ArchiveOf(Path("out/setup.exe"));
  uint16_t expected = 0;
  for (const char* file : {"src/readme.txt", "src/docs/a.txt", "src/docs/b.txt", "src/docs/sub/c.bin"})
    expected ^= ReferenceCrc16(ReadFile(Path(file)));
  EXPECT_EQ(ReadU16(archive.data()), expected);
  EXPECT_EQ(Bytes(archive.begin() + 2, archive.end()), made);

  Bytes broken = made;
  broken[10] ^= 0x40;
  WriteFile(Path("broken.lzh"), broken);
  const Outcome refused = Build({"--archive", Path("broken.lzh")});
  EXPECT_NE(refused.Status, 0);
  EXPECT_NE(refused.Err.find("broken.lzh"), std::string::npos) << refused.Err;
}

TEST_F(MksfxTest, OurInstallersArchiveExtractsByteIdenticalWithLhasaAnd7Zip) {
  ASSERT_EQ(Build({"--check-word", Path("src"), Path("src/readme.txt")}).Status, 0);
  const Bytes archive = ArchiveOf(Path("out/setup.exe"));
  WriteFile(Path("plain.lzh"), Bytes(archive.begin() + 2, archive.end()));
  const auto expected = builder_test::FilesBelow(Path("src"));
  int checked = 0;
  if (builder_test::ToolAvailable("lhasa")) {
    std::filesystem::create_directory(Path("lhasa"));
    ASSERT_EQ(RunShell("lhasa xqw=" + Quote(Path("lhasa")) + " " + Quote(Path("plain.lzh"))), 0);
    auto files = builder_test::FilesBelow(Path("lhasa/src"));
    EXPECT_EQ(files, expected);
    EXPECT_EQ(ReadFile(Path("lhasa/readme.txt")), Text("read me\n"));
    ++checked;
  }
  if (builder_test::ToolAvailable("7zz")) {
    ASSERT_EQ(RunShell("7zz x -y -o" + Quote(Path("7z")) + " " + Quote(Path("plain.lzh")) + " >/dev/null"), 0);
    EXPECT_EQ(builder_test::FilesBelow(Path("7z/src")), expected);
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "neither lhasa nor 7zz is installed";
}

TEST_F(MksfxTest, ValuesThatJustFitAreAccepted) {
  const std::string name259(259 - 5, 'n');  // behind "long" and its separator
  WriteFile(Path("long/" + name259), "x");
  WriteFile(Path("script4095"), std::string(4095, 's'));
  const Outcome outcome =
      Build({"--title", std::string(40, 't'), "--install-title", std::string(40, 'i'), "--dir", std::string(255, 'd'),
             "--command", std::string(255, 'c'), "--question", std::string(1023, 'q'), "--script",
             Path("script4095"), Path("long")});
  ASSERT_EQ(outcome.Status, 0) << outcome.Err;
  const Bytes image = ReadFile(Path("out/setup.exe"));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[516])), std::string(40, 't'));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[854])), std::string(255, 'c'));
  const std::vector<ParsedEntry> entries = ReadArchiveHeaders(ArchiveOf(Path("out/setup.exe")));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[3].DirName.size() + entries[3].FileName.size(), 259u);
}

TEST_F(MksfxTest, RefusesBadRequestsAndLeavesTheOutputAsItWas) {
  WriteFile(Path("short-stub.exe"), Bytes(1000, 1));
  WriteFile(Path("script4096"), std::string(4096, 's'));
  WriteFile(Path("reserved/!"), "not a question");
  WriteFile(Path("odd/back\\slash"), "x");
  WriteFile(Path("deep/" + std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(60, 'c')), "x");
  std::filesystem::create_directory(Path("loop"));
  std::filesystem::create_directory_symlink(Path("loop"), Path("loop/again"));
  MakeSparseFile(Path("huge/4GiB"), 0x100000000);
  MakeSparseFile(Path("big/3GiB"), 0xC0000000);
  MakeSparseFile(Path("big-stub.exe"), 0x80000000);
  WriteFile(Path("broken.lzh"), Bytes{30, 0, '-', 'l', 'h'});

  const std::string out = Path("out/setup.exe");
  const std::string stub = Path("stub.exe");
  const std::string readme = Path("src/readme.txt");
  struct Case {
    std::vector<std::string> Arguments;
    const char* Message;
  };
  const Case cases[] = {
      {{}, "no subcommand"},
      {{"frobnicate"}, "unknown subcommand 'frobnicate'"},
      {{"build", "-o", out, "--stub", stub, "--bogus", readme}, "unknown option --bogus"},
      {{"build", "-o", out, "--stub", stub, "-x", readme}, "unknown option -x"},
      {{"build", "-o", out, "--stub", stub, readme, "--title"}, "option --title needs a value"},
      {{"build", "-o", out, "--stub", stub, "--auto-start=1", readme}, "option --auto-start takes no value"},
      {{"build", "-o", "", "--stub", stub, readme}, "option -o needs a non-empty path"},
      {{"build", "--stub", stub, readme}, "no output file"},
      {{"build", "-o", out, "--stub", stub}, "nothing to pack"},
      {{"build", "-o", out, "--stub", stub, "--title", std::string(41, 't'), readme}, "title is 41 bytes"},
      {{"build", "-o", out, "--stub", stub, "--install-title", std::string(41, 'i'), readme}, "install title is 41"},
      {{"build", "-o", out, "--stub", stub, "--dir", std::string(256, 'd'), readme}, "install directory is 256"},
      {{"build", "-o", out, "--stub", stub, "--command", std::string(256, 'c'), readme}, "command is 256"},
      {{"build", "-o", out, "--stub", stub, "--question", std::string(1024, 'q'), readme}, "question is 1024"},
      {{"build", "-o", out, "--stub", stub, "--script", Path("script4096"), readme}, "script is 4096"},
      {{"build", "-o", out, "--stub", stub, "--archive", Path("broken.lzh"), readme}, "exclude each other"},
      {{"build", "-o", out, "--stub", stub, "--archive", Path("broken.lzh"), "--question", "q"}, "cannot be added"},
      {{"build", "-o", out, "--stub", stub, "--archive", Path("broken.lzh")}, "broken.lzh"},
      {{"build", "-o", out, "--stub", stub, Path("missing")}, "No such file"},
      {{"build", "-o", out, "--stub", Path("missing.exe"), readme}, "cannot open the stub"},
      {{"build", "-o", out, "--stub", Path("short-stub.exe"), readme}, "the stub is 1000 bytes"},
      {{"build", "-o", out, "--stub", Path("big-stub.exe"), readme}, "signed 32-bit"},
      {{"build", "-o", out, "--stub", stub, Path("deep")}, "longer than 259 bytes"},
      {{"build", "-o", out, "--stub", stub, Path("reserved/!")}, "reserved"},
      {{"build", "-o", out, "--stub", stub, "-C", Path("reserved"), "."}, "reserved"},
      {{"build", "-o", out, "--stub", stub, Path("odd")}, "backslash"},
      {{"build", "-o", out, "--stub", stub, Path("src"), readme, Path("src")}, "same name"},
      {{"build", "-o", out, "--stub", stub, Path("loop")}, "leads back"},
      {{"build", "-o", out, "--stub", stub, Path("huge")}, "larger than 4 GiB"},
      {{"build", "-o", out, "--stub", stub, Path("big")}, "at most 2147483647"},
  };
  for (const Case& c : cases) {
    WriteFile(out, "previous installer");
    const Outcome outcome = Mksfx(c.Arguments);
    SCOPED_TRACE(c.Message);
    EXPECT_NE(outcome.Status, 0);
    EXPECT_NE(outcome.Err.find(c.Message), std::string::npos) << outcome.Err;
    EXPECT_EQ(ReadFile(out), Text("previous installer"));
    size_t filesInOut = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Path("out"))) ++filesInOut;
    EXPECT_EQ(filesInOut, 1u) << "a temporary file was left behind";
  }
}

TEST(MksfxArguments, OptionsMixWithPathsAndMinusCAppliesToLaterPaths) {
  const BuildRequest request = ParseBuildArguments(
      {"a", "-C", "x", "b", "--title=T=1", "-C", "y", "-o", "o.exe", "--", "--c", "-C"}, "default.exe");
  EXPECT_EQ(request.OutputPath, "o.exe");
  EXPECT_EQ(request.StubPath, "default.exe");
  EXPECT_EQ(request.Settings.Title, "T=1");
  ASSERT_EQ(request.Paths.size(), 4u);
  const std::pair<std::string, std::string> expected[] = {{"", "a"}, {"x", "b"}, {"x/y", "--c"}, {"x/y", "-C"}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(request.Paths[i].BaseDir, expected[i].first);
    EXPECT_EQ(request.Paths[i].Path, expected[i].second);
  }
  EXPECT_EQ(ParseBuildArguments({"-C", "x", "-C", "/abs", "p"}, "").Paths[0].BaseDir, "/abs");
}

TEST(MksfxArguments, StubIsFoundBesideTheProgramElseInTheWin32BuildFolder) {
  builder_test::TempFolder folder;
  EXPECT_EQ(DefaultStubPath(folder.Path()), folder.Path("../win32/sfx.exe"));
  WriteFile(folder.Path("sfx.exe"), "stub");
  EXPECT_EQ(DefaultStubPath(folder.Path()), folder.Path("sfx.exe"));
}

// A few runs of the real program: status, summary line and messages.
TEST_F(MksfxTest, ProgramRunsEndToEnd) {
  const std::string mksfx = Quote(std::string(SFX_BUILD_DIR) + "/mksfx");
  if (!std::filesystem::exists(std::string(SFX_BUILD_DIR) + "/mksfx")) GTEST_SKIP() << "mksfx is not built";
  EXPECT_EQ(RunShell(mksfx + " help | grep -q 'usage: mksfx build'"), 0);
  EXPECT_EQ(RunShell(mksfx + " --help >/dev/null"), 0);
  EXPECT_EQ(RunShell(mksfx + " frobnicate 2>" + Quote(Path("err")) + " >/dev/null"), 2);
  const Bytes err = ReadFile(Path("err"));
  EXPECT_NE(std::string(err.begin(), err.end()).find("unknown subcommand"), std::string::npos);
  EXPECT_EQ(RunShell(mksfx + " build -o " + Quote(Path("out/cli.exe")) + " --stub " + Quote(Path("stub.exe")) + " -C " +
                Quote(Path("src")) + " readme.txt docs >" + Quote(Path("summary"))),
            0);
  const Bytes summary = ReadFile(Path("summary"));
  const std::string line(summary.begin(), summary.end());
  EXPECT_NE(line.find("6 entries"), std::string::npos) << line;
  EXPECT_NE(line.find(std::to_string(std::filesystem::file_size(Path("out/cli.exe"))) + " bytes"), std::string::npos)
      << line;
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
}
