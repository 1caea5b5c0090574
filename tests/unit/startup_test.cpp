// Start-up: the settings block, the behaviour flags, the exit statuses, the error box and the fatal abort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "installer.h"
#include "startup/errors.h"
#include "startup/startup.h"
#include "test_support.h"

namespace {

class StartupTest : public CoreTest {
 protected:
  // An installer with the given block (ArchiveOffset filled in) and archive.
  std::string MakeInstaller(SettingsBlock block, const Bytes& archive) {
    Bytes image(1200 + archive.size(), 0x4D);
    block.ArchiveOffset = 1200;
    std::memcpy(image.data() + SettingsBlockOffset, &block, sizeof block);
    std::copy(archive.begin(), archive.end(), image.begin() + 1200);
    const std::string path = WriteFile("setup.exe", image);
    host::SetModulePath(path);
    return path;
  }
  static SettingsBlock Block(const char* title = "", const char* installDir = "") {
    SettingsBlock block{};
    std::strcpy(block.TitleField, title);
    std::strcpy(block.InstallDir, installDir);
    return block;
  }
  static Bytes SoundArchive() { return EncodeArchive({MakeFileEntry("", "a.txt", {'a'})}); }
};

// What the dialog saw when it was shown.
struct DialogView {
  std::string windowTitle, installTitle, installDir;
  bool autoStart, overwrite, skipNotOlder, keepEnabled;
  uint8_t restore;
};
DialogView Seen;
intptr_t ShownDialog() {
  Seen = {Work->WindowTitle, Work->InstallTitle, Work->Settings.InstallDir, AutoStart, OverwriteWithoutAsking,
          SkipNotOlder, KeepControlsEnabled, Work->Settings.RestoreAttributes};
  return 1;
}

TEST_F(StartupTest, SoundArchiveShowsTheDialogWithTheSettings) {
  SettingsBlock block = Block("My Setup", "C:\\Program Files\\App");
  std::strcpy(block.InstallTitleField, "Where to?");
  block.RestoreAttributes = 1;
  MakeInstaller(block, SoundArchive());
  host::SetDialogHook(ShownDialog);
  EXPECT_EQ(RunInstaller(nullptr), 1);
  EXPECT_EQ(host::DialogCount(), 1u);
  EXPECT_EQ(Seen.windowTitle, "My Setup");
  EXPECT_EQ(Seen.installTitle, "Where to?");
  EXPECT_EQ(Seen.installDir, "C:\\Program Files\\App");
  EXPECT_EQ(Seen.restore, 1);
  EXPECT_TRUE(host::Messages().empty());
}

TEST_F(StartupTest, EmptyTitleGivesTheDefaultAndEmptyDirectoryTheCurrentOne) {
  MakeInstaller(Block(), SoundArchive());
  host::SetCurrentDirectory("D:\\Here");
  host::SetDialogHook(ShownDialog);
  RunInstaller(nullptr);
  EXPECT_EQ(Seen.windowTitle, "Tarnwick V2.14.w32.0005");
  EXPECT_EQ(Seen.installDir, "D:\\Here");
}

TEST_F(StartupTest, DirectoryMacroIsExpandedBeforeTheDialog) {
  MakeInstaller(Block("", "%windir%/Fonts"), SoundArchive());
  host::SetDialogHook(ShownDialog);
  RunInstaller(nullptr);
  EXPECT_EQ(Seen.installDir, "C:\\WINDOWS\\Fonts");
}

TEST_F(StartupTest, FlagsFromTheSettingsBlock) {
  struct Case {
    uint8_t flags;
    bool autoStart, overwrite, skipNotOlder;
  };
  const Case cases[] = {{0x00, false, false, true}, {0x08, false, false, false}, {0x30, false, false, true},
                        {0x01, true, false, true},  {0x02, false, true, true},   {0x0F, true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.flags});
    SettingsBlock block = Block();
    block.SettingsFlags = c.flags;
    std::memset(block.Reserved, 0xA5, sizeof block.Reserved);
    // Bit 2 asks for a check word: give the archive one (0, and no entries XOR to 0).
    MakeInstaller(block, (c.flags & FlagCheckWord) ? Bytes{0, 0, 0} : SoundArchive());
    host::SetDialogHook(ShownDialog);
    EXPECT_EQ(RunInstaller(nullptr), 1);
    EXPECT_EQ(Seen.autoStart, c.autoStart);
    EXPECT_EQ(Seen.overwrite, c.overwrite);
    EXPECT_EQ(Seen.skipNotOlder, c.skipNotOlder);
    EXPECT_FALSE(Seen.keepEnabled);
  }
}

TEST_F(StartupTest, UnterminatedTextFieldsAreCutAtTheirWidth) {
  SettingsBlock block = Block();
  std::memset(block.TitleField, 'T', sizeof block.TitleField);
  std::memset(block.InstallTitleField, 'I', sizeof block.InstallTitleField);
  std::memset(block.InstallDir, 'D', sizeof block.InstallDir);
  std::memset(block.Command, 'C', sizeof block.Command);
  MakeInstaller(block, SoundArchive());
  host::SetDialogHook(ShownDialog);
  RunInstaller(nullptr);
  EXPECT_EQ(Seen.windowTitle, std::string(41, 'T'));
  EXPECT_EQ(Seen.installTitle, std::string(41, 'I'));
  EXPECT_EQ(Seen.installDir, std::string(255, 'D'));
}

TEST_F(StartupTest, ScanFailureEndsWithStatusZeroAndNoDialog) {
  LzhEntry broken = MakeFileEntry("", "a.txt", {'a'});
  broken.CorruptHeaderCrc = true;
  const std::string path = MakeInstaller(Block("Broken"), EncodeArchive({broken}));
  EXPECT_EQ(RunInstaller(nullptr), 0);
  EXPECT_EQ(host::DialogCount(), 0u);
  ASSERT_EQ(host::Messages().size(), 1u);
  EXPECT_EQ(host::Messages()[0].text, "\"" + path + "\" Bad header");
  EXPECT_EQ(host::Messages()[0].caption, "Broken");
}

TEST_F(StartupTest, UnreadableSettingsFailOnTheProgramsOwnBytes) {
  // A file shorter than the settings block: the block stays zero, the archive offset 0 points at the program.
  const std::string path = WriteFile("tiny.exe", Bytes{'M', 'Z', 0x90, 0x00, 3, 0});
  host::SetModulePath(path);
  EXPECT_EQ(RunInstaller(nullptr), 0);
  ASSERT_EQ(host::Messages().size(), 1u);
  EXPECT_EQ(host::Messages()[0].text, "\"" + path + "\" Bad header");
  EXPECT_EQ(host::Messages()[0].caption, "Tarnwick V2.14.w32.0005");
}

TEST_F(StartupTest, DialogResultBecomesTheStatus) {
  MakeInstaller(Block(), SoundArchive());
  host::SetDialogHook([]() -> intptr_t { return 0; });
  EXPECT_EQ(RunInstaller(nullptr), 0);
  host::SetDialogHook([]() -> intptr_t { return -1; });
  EXPECT_EQ(RunInstaller(nullptr), -1);
}

TEST_F(StartupTest, NoWorkAreaShowsNotEnoughMemory) {
  MakeInstaller(Block("Ignored"), SoundArchive());
  host::FailAllocationAfter(0);
  EXPECT_EQ(RunInstaller(nullptr), 0);
  ASSERT_EQ(host::Messages().size(), 1u);
  EXPECT_EQ(host::Messages()[0].text, "Not enough memory");
  EXPECT_EQ(host::Messages()[0].caption, "Tarnwick V2.14.w32.0005");
  EXPECT_EQ(host::Messages()[0].owner, nullptr);
}

TEST_F(StartupTest, ShowErrorQuotesThePathBeforeTheMessage) {
  std::strcpy(Work->WindowTitle, "Caption");
  Work->DialogWindow = reinterpret_cast<WindowHandle>(0x1234);
  ShowError("CRC ERROR", "C:\\x\\y.txt");
  ASSERT_EQ(host::Messages().size(), 1u);
  EXPECT_EQ(host::Messages()[0].text, "\"C:\\x\\y.txt\" CRC ERROR");
  EXPECT_EQ(host::Messages()[0].caption, "Caption");
  EXPECT_EQ(host::Messages()[0].owner, reinterpret_cast<WindowHandle>(0x1234));
}

TEST_F(StartupTest, FatalAbortDeletesThePartialFileAndExitsWithTheStatus) {
  const std::string partial = (Folder / "partial.bin").string();
  EXPECT_EXIT(
      {
        std::strcpy(Work->OutputPath, partial.c_str());
        Work->OutputFile = CreateOutputFile(partial.c_str());
        uint32_t written;
        WriteOutputFile(Work->OutputFile, "abc", 3, &written);
        FatalAbort(1);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_FALSE(std::filesystem::exists(partial));
}

}  // namespace
