// The command line of the two updater programs: help, version, what they refuse and that a
// refusal changes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/testing/testing.h"

namespace kr::app::test {
namespace {

namespace fs = std::filesystem;
using testing::BuiltProgram;
using testing::ProcessResult;

class CommandLineTest : public ::testing::Test {
 protected:
  ProcessResult Run(std::string_view program, std::vector<std::string> args) {
    args.insert(args.begin(), BuiltProgram("app/" + std::string(program)));
    return testing::RunProgram(args, {"QT_QPA_PLATFORM=offscreen"});
  }
  ProcessResult Cli(std::vector<std::string> args) { return Run("kr-updater-cli", args); }
  // Nothing of the updater's was created: no common data folder, no lock, no shortcut.
  void ExpectNothingChanged() {
    EXPECT_EQ(sandbox_.root().Files(), before_);
    EXPECT_FALSE(fs::exists(sandbox_.common_appdata() + "/Kelmora"));
  }

  testing::SandboxedFolders sandbox_;
  std::map<std::string, std::string> before_ = sandbox_.root().Files();
};

TEST_F(CommandLineTest, HelpIsJapaneseAndVersionIsTheProjectsBothEndingWithStatus0) {
  ProcessResult help = Cli({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("使い方: kr-updater-cli [オプション] [PACKAGE_FOLDER]"),
            std::string::npos)
      << help.out;
  EXPECT_NE(help.out.find("--install-folder DIR"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
  EXPECT_EQ(Cli({"-h"}).out, help.out);

  ProcessResult version = Cli({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "kr-updater-cli " KR_VERSION "\n");
  ExpectNothingChanged();
}

TEST_F(CommandLineTest, UnknownOrMisplacedOptionsEndWithStatus2AMessageAndNoChange) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  std::string package = sandbox_.root().path();
  const Case cases[] = {
      {{"--no-such-option"}, "不明なオプションです: --no-such-option"},
      {{package, "-x"}, "不明なオプションです: -x"},
      {{package, "--install-folder"}, "--install-folder には値を一つ指定してください。"},
      {{"--install-folder", "/a", "--install-folder", "/b", package},
       "--install-folder には値を一つ指定してください。"},
      {{package, "second"}, "更新パッケージのフォルダは一つだけ指定してください: second"},
  };
  for (const Case& c : cases) {
    ProcessResult result = Cli(c.args);
    EXPECT_EQ(result.exit_code, 2) << c.message;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "kr-updater-cli: " + c.message +
                              "\n詳しくは kr-updater-cli --help をご覧ください。\n");
  }
  ExpectNothingChanged();
}

TEST_F(CommandLineTest, AnOptionValueMayFollowAnEqualsSignAndDoubleDashEndsTheOptions) {
  // A package folder named like an option, after "--": refused as a missing folder, so it was
  // taken as the folder (named where it was looked for).
  ProcessResult result = Cli({"--install-folder=/nowhere", "--", "--odd"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "kr-updater-cli: 更新パッケージのフォルダが見つかりません: " +
                            std::filesystem::current_path().string() + "/--odd/\n");
}

TEST_F(CommandLineTest, AMissingPackageFolderOrOneWithoutKrInstIniIsRefusedWithNothingChanged) {
  std::string missing = sandbox_.root().Native("Pakage");
  ProcessResult result = Cli({missing, "--install-folder", sandbox_.root().Native("App")});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "kr-updater-cli: 更新パッケージのフォルダが見つかりません: " + missing + "/\n");

  sandbox_.root().Write("Package/Readme.txt", "no manifest here");
  before_ = sandbox_.root().Files();
  std::string package = sandbox_.root().Native("Package");
  result = Cli({package});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "kr-updater-cli: 更新パッケージのフォルダに KrInst.ini がありません: " +
                            package + "/\n");
  ExpectNothingChanged();

  // With the test redirection the manifest is looked for in TEST/.
  sandbox_.root().Write("Package/_Test", "");
  sandbox_.root().Write("Package/KrInst.ini", "[Bootstrap]\r\n");
  result = Cli({package});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err,
            "kr-updater-cli: 更新パッケージのフォルダが見つかりません: " + package + "/TEST/\n");
  sandbox_.root().Write("Package/TEST/KrInst.ini", "[Bootstrap]\r\n");
  result = Cli({package});
  EXPECT_EQ(result.err.find("KrInst.ini"), std::string::npos) << result.err;
}

TEST_F(CommandLineTest, TheDesktopProgramSharesHelpVersionAndRefusalsWithoutNeedingADisplay) {
  if (!fs::exists(BuiltProgram("app/kr-updater"))) GTEST_SKIP() << "built without Qt";
  ProcessResult help = Run("kr-updater", {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("使い方: kr-updater [オプション] [PACKAGE_FOLDER]"), std::string::npos)
      << help.out;
  EXPECT_EQ(help.out.find("--install-folder"), std::string::npos) << help.out;
  EXPECT_EQ(Run("kr-updater", {"--version"}).out, "kr-updater " KR_VERSION "\n");
  ProcessResult unknown = Run("kr-updater", {"--install-folder", "/x"});
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_EQ(unknown.err,
            "kr-updater: 不明なオプションです: --install-folder\n"
            "詳しくは kr-updater --help をご覧ください。\n");
  ExpectNothingChanged();
}

}  // namespace
}  // namespace kr::app::test
