// The mksfx command line: subcommands, options and their checks, messages and exit status.
#include "cli.h"

#include <sys/stat.h>

#include <stdexcept>

namespace {

constexpr const char* HelpText =
    "usage: mksfx build -o FILE [options] [-C DIR] PATH...\n"
    "       mksfx build -o FILE [options] --archive FILE.lzh\n"
    "       mksfx help\n"
    "\n"
    "build: makes an installer from a copy of the stub, a settings block and an archive of the PATHs.\n"
    "  Each PATH is stored under its base name, a folder with everything below it; a PATH\n"
    "  ending in \".\" contributes its contents at the top of the archive.\n"
    "\n"
    "  -o, --output FILE       the installer to write (replaced only when everything succeeded)\n"
    "  --stub FILE             the stub to copy (default: sfx.exe beside mksfx, or ../win32/sfx.exe)\n"
    "  -C DIR                  change to DIR before reading the PATHs that follow\n"
    "  --archive FILE.lzh      append this level-2 archive as it is instead of PATHs\n"
    "  --title TEXT            window title, at most 40 bytes\n"
    "  --install-title TEXT    text above the directory field, at most 40 bytes\n"
    "  --dir DIR               proposed destination, at most 255 bytes (may begin with a macro)\n"
    "  --command CMD           command started after extraction, at most 255 bytes\n"
    "  --auto-start            press OK by itself after 700 ms\n"
    "  --overwrite             replace existing files without asking\n"
    "  --no-skip-not-older     replace existing files even when they are not older\n"
    "  --restore-attributes    give extracted files the entries' attributes\n"
    "  --check-word            begin the archive with a check word the installer verifies\n"
    "  --question TEXT         ask TEXT (Yes/No) before the dialog opens\n"
    "  --script FILE           setup script run before the dialog opens\n";

struct OptionRule {
  const char* LongName;   // without the leading "--"; nullptr for a short-only option
  char ShortName;         // 0 when there is none
  bool TakesValue;
  bool ValueIsPath;       // a path may not be empty
  void (*Apply)(BuildRequest& request, const std::string& value);
};

constexpr OptionRule BuildOptions[] = {
    {"output", 'o', true, true, [](BuildRequest& r, const std::string& v) { r.OutputPath = v; }},
    {"stub", 0, true, true, [](BuildRequest& r, const std::string& v) { r.StubPath = v; }},
    {"archive", 0, true, true, [](BuildRequest& r, const std::string& v) { r.ArchivePath = v; }},
    {"script", 0, true, true, [](BuildRequest& r, const std::string& v) { r.ScriptPath = v; }},
    {"question", 0, true, false, [](BuildRequest& r, const std::string& v) { r.Question = v; }},
    {"title", 0, true, false, [](BuildRequest& r, const std::string& v) { r.Settings.Title = v; }},
    {"install-title", 0, true, false, [](BuildRequest& r, const std::string& v) { r.Settings.InstallTitle = v; }},
    {"dir", 0, true, false, [](BuildRequest& r, const std::string& v) { r.Settings.InstallDir = v; }},
    {"command", 0, true, false, [](BuildRequest& r, const std::string& v) { r.Settings.Command = v; }},
    {"auto-start", 0, false, false,
     [](BuildRequest& r, const std::string&) { r.Settings.SettingsFlags |= FlagAutoStart; }},
    {"overwrite", 0, false, false,
     [](BuildRequest& r, const std::string&) { r.Settings.SettingsFlags |= FlagOverwriteWithoutAsking; }},
    {"no-skip-not-older", 0, false, false,
     [](BuildRequest& r, const std::string&) { r.Settings.SettingsFlags |= FlagNoSkipNotOlder; }},
    {"restore-attributes", 0, false, false,
     [](BuildRequest& r, const std::string&) { r.Settings.RestoreAttributes = 1; }},
    {"check-word", 0, false, false, [](BuildRequest& r, const std::string&) { r.CheckWord = true; }},
};

[[noreturn]] void Refuse(const std::string& problem) { throw std::invalid_argument(problem); }

const OptionRule* FindLong(const std::string& name) {
  for (const OptionRule& rule : BuildOptions)
    if (rule.LongName != nullptr && name == rule.LongName) return &rule;
  return nullptr;
}

const OptionRule* FindShort(char name) {
  for (const OptionRule& rule : BuildOptions)
    if (rule.ShortName == name) return &rule;
  return nullptr;
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

BuildRequest ParseBuildArguments(const std::vector<std::string>& arguments, const std::string& defaultStub) {
  BuildRequest request;
  request.StubPath = defaultStub;
  std::string changedFolder;
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      request.Paths.push_back({changedFolder, argument});
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    // -C is the one option that acts on the arguments after it rather than on the request.
    const bool isLong = argument.compare(0, 2, "--") == 0;
    const size_t equals = isLong ? argument.find('=') : std::string::npos;
    const std::string name = isLong ? argument.substr(2, equals - 2) : argument.substr(1);
    const std::string shown = isLong ? "--" + name : argument;
    const OptionRule* rule = isLong ? FindLong(name) : (name.size() == 1 ? FindShort(name[0]) : nullptr);
    const bool isChangeFolder = !isLong && name == "C";
    if (rule == nullptr && !isChangeFolder) Refuse("unknown option " + shown + " (see mksfx help)");
    const bool takesValue = isChangeFolder || rule->TakesValue;
    std::string value;
    if (equals != std::string::npos) {
      if (!takesValue) Refuse("option " + shown + " takes no value");
      value = argument.substr(equals + 1);
    } else if (takesValue) {
      if (i + 1 >= arguments.size()) Refuse("option " + shown + " needs a value");
      value = arguments[++i];
    }
    if ((isChangeFolder || rule->ValueIsPath) && value.empty()) Refuse("option " + shown + " needs a non-empty path");
    if (isChangeFolder)
      changedFolder = JoinPath(changedFolder, value);
    else
      rule->Apply(request, value);
  }
  return request;
}

std::string DefaultStubPath(const std::string& programFolder) {
  const std::string beside = programFolder + "/sfx.exe";
  if (IsFile(beside)) return beside;
  return programFolder + "/../win32/sfx.exe";
}

int RunMksfx(const std::vector<std::string>& arguments, const std::string& programFolder, std::ostream& out,
             std::ostream& err) {
  if (arguments.empty()) {
    err << "mksfx: no subcommand given\n" << HelpText;
    return 2;
  }
  const std::string& command = arguments[0];
  if (command == "help" || command == "--help" || command == "-h") {
    out << HelpText;
    return 0;
  }
  if (command != "build") {
    err << "mksfx: unknown subcommand '" << command << "' (see mksfx help)\n";
    return 2;
  }
  try {
    const BuildRequest request =
        ParseBuildArguments({arguments.begin() + 1, arguments.end()}, DefaultStubPath(programFolder));
    const BuildSummary summary = RunBuild(request);
    out << "mksfx: wrote " << request.OutputPath << ": " << summary.Entries << (summary.Entries == 1 ? " entry, " : " entries, ") << summary.InstallerBytes
        << " bytes (archive of " << summary.ArchiveBytes << " bytes at offset " << summary.ArchiveOffset << ")\n";
    return 0;
  } catch (const std::invalid_argument& error) {
    err << "mksfx build: " << error.what() << "\n";
    return 2;
  } catch (const std::exception& error) {
    err << "mksfx build: " << error.what() << "\n";
    return 1;
  }
}
