// The output sink: file writes with their crc, text capture, progress texts, write failures and Cancel.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "archive/crc16.h"
#include "archive/sink.h"
#include "test_support.h"

namespace {

class SinkTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    BuildCrcTable(Work->CrcTable);
    Work->OutputFile = NoFile;
  }
  void OpenOutput() {
    std::strcpy(Work->OutputPath, (Folder / "out.bin").c_str());
    Work->OutputFile = CreateOutputFile(Work->OutputPath);
    ASSERT_TRUE(IsOpenFile(Work->OutputFile));
  }
  void Deliver(const Bytes& bytes) {
    std::memcpy(Work->Window, bytes.data(), bytes.size());
    WriteSink(Work->Window, static_cast<uint32_t>(bytes.size()));
  }
};

TEST_F(SinkTest, FileWritesKeepTheRunningCrc) {
  OpenOutput();
  Deliver({'1', '2', '3', '4'});
  Deliver({'5', '6', '7', '8', '9'});
  CloseOutputFile(Work->OutputFile);
  EXPECT_EQ(Work->RunningCrc, 0xBB3D);
  EXPECT_EQ(ReadFileBytes(Work->OutputPath), (Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'}));
}

TEST_F(SinkTest, CaptureKeepsTheLastChunkUpToItsZeroByteAndTheBufferSize) {
  Work->CaptureMode = CapturePrompt;
  Deliver(Bytes(2000, 'q'));
  EXPECT_EQ(std::string(Work->ScratchText), std::string(1023, 'q'));
  Deliver({'a', 'b', 0, 'c'});
  EXPECT_STREQ(Work->ScratchText, "ab");

  Work->CaptureMode = CaptureScript;
  Deliver(Bytes(5000, 's'));
  EXPECT_EQ(std::string(Work->ScriptText), std::string(4095, 's'));
  Deliver({'$'});
  EXPECT_STREQ(Work->ScriptText, "$");
  EXPECT_EQ(Work->RunningCrc, 0);

  Work->CaptureMode = CaptureNone;
  Deliver({'x'});
  EXPECT_STREQ(Work->ScratchText, "ab");
  EXPECT_STREQ(Work->ScriptText, "$");
}

TEST_F(SinkTest, ProgressPercentages) {
  struct Case {
    uint32_t done, total;
    const char* text;
  };
  const Case cases[] = {{0, 0, "Extract... 0%"},        {5, 0, "Extract... 0%"},
                        {0, 1, "Extract... 100%"},      {1, 99, "Extract... 100%"},
                        {65536, 100000, "Extract... 65%"}, {150, 199, "Extract... 100%"},
                        {0, 100, "Extract... 0%"},      {4000000000u, 4294967295u, "Extract... 93%"}};
  Work->DialogWindow = reinterpret_cast<WindowHandle>(0x42);
  for (const Case& c : cases) ShowProgress(c.done, c.total);
  ASSERT_EQ(host::Labels().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(host::Labels()[i].text, cases[i].text);
    EXPECT_EQ(host::Labels()[i].controlId, 102);
    EXPECT_EQ(host::Labels()[i].dialog, reinterpret_cast<WindowHandle>(0x42));
  }
  EXPECT_EQ(host::PumpCount(), std::size(cases));
}

TEST_F(SinkTest, ShortWriteIsAWriteErrorThatDeletesTheFile) {
  OpenOutput();
  std::strcpy(Work->WindowTitle, "T");
  EXPECT_EXIT(
      {
        host::LimitWrittenBytes(3);
        Deliver(Bytes(10, 'x'));
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_FALSE(std::filesystem::exists(Work->OutputPath));
}

TEST_F(SinkTest, CancelSeenAfterThePumpEndsTheProcessAndDeletesTheFile) {
  OpenOutput();
  EXPECT_EXIT(
      {
        host::SetPumpHook([](uint32_t index) {
          if (index == 2) Work->CancelRequested = 1;
        });
        for (int chunk = 0; chunk < 5; ++chunk) {
          Deliver(Bytes(100, 'x'));
          ShowProgress(100 * (chunk + 1), 500);
          if (chunk == 2) std::_Exit(7);  // not reached: the third progress call sees the Cancel
        }
        std::_Exit(8);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_FALSE(std::filesystem::exists(Work->OutputPath));
}

}  // namespace
