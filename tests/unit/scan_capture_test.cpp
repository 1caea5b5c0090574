// The scan's own entries: the "!" question and the "$" script, acted on where they stand in the archive.
#include <gtest/gtest.h>

#include "archive/walk.h"
#include "test_support.h"

namespace {

class ScanCaptureTest : public CoreTest {
 protected:
  bool Scan(const std::vector<LzhEntry>& entries) {
    UseAsModule(WriteInstallerImage(EncodeArchive(entries)));
    return WalkArchive(nullptr, Pass::Scan);
  }
};

LzhEntry Text(const std::string& name, const std::string& text) {
  return MakeFileEntry("", name, Bytes(text.begin(), text.end()));
}

TEST_F(ScanCaptureTest, QuestionAnsweredYesLetsTheScanSucceed) {
  host::QueueAnswer(MessageAnswer::Yes);
  EXPECT_TRUE(Scan({Text("!", "Install the demo?"), Text("a.txt", "a")}));
  ASSERT_EQ(host::Messages().size(), 1u);
  EXPECT_EQ(host::Messages()[0].text, "Install the demo?");
  EXPECT_EQ(host::Messages()[0].caption, "Setup");
  EXPECT_EQ(host::Messages()[0].style, MessageStyle::QuestionYesNo);
  EXPECT_EQ(host::Messages()[0].owner, nullptr);
}

TEST_F(ScanCaptureTest, NoFailsTheScanAtTheNextOwnEntryWithoutActingOnIt) {
  host::QueueAnswer(MessageAnswer::No);
  EXPECT_FALSE(Scan({Text("!", "First?"), Text("a.txt", "a"), Text("!", "Second?"), Text("$", "$WindowTitle=X")}));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"First?"});
  EXPECT_STREQ(Work->WindowTitle, "Setup");
  EXPECT_EQ(Work->CaptureMode, CaptureNone);
}

TEST_F(ScanCaptureTest, NoWithoutAFurtherOwnEntryFailsAtTheEnd) {
  host::QueueAnswer(MessageAnswer::No);
  EXPECT_FALSE(Scan({Text("!", "Go?"), Text("a.txt", "a")}));
}

TEST_F(ScanCaptureTest, ScriptBeforeTheQuestionChangesItsCaptionAfterItDoesNot) {
  EXPECT_TRUE(Scan({Text("$", "$WindowTitle=Scripted\r\n"), Text("!", "Q1"), Text("$", "$WindowTitle=Later")}));
  ASSERT_EQ(host::Messages().size(), 1u);
  EXPECT_EQ(host::Messages()[0].caption, "Scripted");
  EXPECT_STREQ(Work->WindowTitle, "Later");
}

TEST_F(ScanCaptureTest, SeveralQuestionsAreAskedInTurn) {
  EXPECT_TRUE(Scan({Text("!", "One"), Text("!", "Two")}));
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"One", "Two"}));
}

TEST_F(ScanCaptureTest, OnlyTheExactNamesAreOwnEntries) {
  EXPECT_TRUE(Scan({MakeFileEntry("sub\xFF", "!", {'x'}), Text("!x", "no"), Text("$$", "$WindowTitle=No")}));
  EXPECT_TRUE(host::Messages().empty());
  EXPECT_STREQ(Work->WindowTitle, "Setup");
}

TEST_F(ScanCaptureTest, CompressedSizeDifferentFromStoredSizeMisplacesTheNextHeader) {
  // A stored "!" is read for its uncompressed size; a larger compressed size leaves its tail as the next header.
  LzhEntry question = Text("!", "Ask");
  question.PackedData = Bytes{'A', 's', 'k', 0x10, 0x00};
  EXPECT_FALSE(Scan({question, Text("a.txt", "a")}));
  EXPECT_EQ(MessageTexts().back(), "\"" + std::string(Work->ModulePath) + "\" Bad header");
}

}  // namespace
