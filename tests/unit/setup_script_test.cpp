// The "$" setup script: keys, values, flags and the lines it passes over.
#include <gtest/gtest.h>

#include <cstring>

#include "startup/setup_script.h"
#include "test_support.h"

namespace {

struct Settings {
  std::string windowTitle, installTitle, installDir, command;
  bool autoStart, overwrite, skipNotOlder, keepEnabled;
  uint8_t restore;
  bool operator==(const Settings&) const = default;
};

void PrintTo(const Settings& s, std::ostream* os) {
  *os << "{title=" << s.windowTitle << " install=" << s.installTitle << " dir=" << s.installDir
      << " cmd=" << s.command << " auto=" << s.autoStart << " over=" << s.overwrite << " skip=" << s.skipNotOlder
      << " keep=" << s.keepEnabled << " restore=" << int{s.restore} << "}";
}

class SetupScriptTest : public CoreTest {
 protected:
  // Runs script over a known start state and returns what it left.
  Settings Run(const std::string& script, const std::string& startDir = "") {
    std::strcpy(Work->WindowTitle, "Start");
    std::strcpy(Work->InstallTitle, "");
    std::strcpy(Work->Settings.InstallDir, startDir.c_str());
    std::strcpy(Work->Settings.Command, "");
    AutoStart = OverwriteWithoutAsking = KeepControlsEnabled = false;
    SkipNotOlder = true;
    Work->Settings.RestoreAttributes = 0;
    std::memset(Work->ScriptText, 0, sizeof Work->ScriptText);
    std::memcpy(Work->ScriptText, script.data(), std::min(script.size(), sizeof Work->ScriptText - 1));
    RunSetupScript();
    return {Work->WindowTitle, Work->InstallTitle, Work->Settings.InstallDir, Work->Settings.Command, AutoStart,
            OverwriteWithoutAsking, SkipNotOlder, KeepControlsEnabled, Work->Settings.RestoreAttributes};
  }
  static Settings Start() { return {"Start", "", "", "", false, false, true, false, 0}; }
};

TEST_F(SetupScriptTest, TextKeys) {
  struct Case {
    const char* script;
    Settings (*expected)();
  };
  const Case cases[] = {
      {"$windowtitle=Setup", [] { Settings s = Start(); s.windowTitle = "Setup"; return s; }},
      {"\t$Command=x", [] { Settings s = Start(); s.command = "x"; return s; }},
      {" $Command=x", [] { return Start(); }},
      {"$Command=  a b  \r\n", [] { Settings s = Start(); s.command = "  a b  "; return s; }},
      {"$Command=a\tb", [] { Settings s = Start(); s.command = "a"; return s; }},
      {"$COMMAND=\"q\" x", [] { Settings s = Start(); s.command = "\"q\" x"; return s; }},
      {"$InstallTitle=Here\n$WindowTitle=One\n$WindowTitle=Two",
       [] { Settings s = Start(); s.installTitle = "Here"; s.windowTitle = "Two"; return s; }},
      {"$WindowTitle=", [] { Settings s = Start(); s.windowTitle = ""; return s; }},
      {"\r\n\r\n\n", [] { return Start(); }},
      {"comment\n$Title=x\n$Command x", [] { return Start(); }},
      {"$InstallDir=\n$InstallDir=C:\\A\n$InstallDir=C:\\B", [] { Settings s = Start(); s.installDir = "C:\\A"; return s; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(Run(c.script), c.expected());
  }
}

TEST_F(SetupScriptTest, InstallDirFromTheSettingsBlockWins) {
  EXPECT_EQ(Run("$InstallDir=C:\\Script", "C:\\Block").installDir, "C:\\Block");
}

TEST_F(SetupScriptTest, LongValuesAreCut) {
  const Settings s = Run("$Command=" + std::string(300, 'c') + "\n$WindowTitle=" + std::string(200, 't'));
  EXPECT_EQ(s.command, std::string(255, 'c'));
  EXPECT_EQ(s.windowTitle, std::string(79, 't'));
}

TEST_F(SetupScriptTest, Flags) {
  struct Case {
    const char* script;
    bool autoStart, overwrite, skipNotOlder, keepEnabled;
    uint8_t restore;
  };
  const Case cases[] = {
      {"$Flag=1", true, false, true, false, 0},
      {"$Flag = 1", false, false, true, false, 0},
      {"$Flag= 1", true, false, true, false, 0},
      {"$Flag=257", false, false, true, false, 0},
      {"$Flag=-1", false, false, true, true, 0},
      {"$Flag=0x10", false, false, true, false, 0},
      {"$Flag=1\n$Flag=256", false, false, true, false, 0},
      {"$Flag=8", false, false, false, false, 0},
      {"$Flag=8\n$Flag=2048", false, false, true, false, 0},
      {"$Flag=18", false, true, true, false, '/'},
      {"$Flag=16\n$Flag=4096", false, false, true, false, 0},
      {"$Flag=+8195", true, true, true, true, 0},
      {"$Flag=65537", true, false, true, false, 0},
      {"$Flag=99999999999", false, false, false, true, '/'},
      {"$Flag=abc", false, false, true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Settings expected = Start();
    expected.autoStart = c.autoStart;
    expected.overwrite = c.overwrite;
    expected.skipNotOlder = c.skipNotOlder;
    expected.keepEnabled = c.keepEnabled;
    expected.restore = c.restore;
    EXPECT_EQ(Run(c.script), expected);
  }
}

}  // namespace
