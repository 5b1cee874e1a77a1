#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

namespace fs = std::filesystem;

class ShortcutTest : public ManifestTest {
 protected:
  // Writes the list file (code page 932) into the install folder and returns its path.
  std::string List(std::string_view text) {
    install_.Write("InstList.ini", testing::ToCp932(text));
    return InstallPath("InstList.ini");
  }
  bool Programs(std::string_view relative) { return Exists("Programs/", relative); }
  bool Desktop(std::string_view relative) { return Exists("Desktop/", relative); }
  bool Exists(std::string folder, std::string_view relative) {
    return sandbox_.root().Exists(folder + std::string(relative));
  }
  static constexpr std::string_view kFailed = "ショートカットの作成に失敗しました";
};

std::string Fields(const ShellLinkEntry& e) {
  return std::to_string(e.kind) + "|" + std::to_string(e.number) + "|" +
         std::to_string(e.byte_value) + "|" + e.folder_name + "|" + e.link_name + "|" +
         e.link_path + "|" + e.link_arguments + "|" + std::to_string(e.is_private) + "|" +
         e.parent + "|" + std::to_string(e.flags);
}

TEST_F(ShortcutTest, OnlyExactShellLinkLinesCountAndCommentsAreCut) {
  std::string list = List(
      "' shortcuts of the application\r\n\r\n"
      "shelllink,1,0,0,Lower,,,,,$(Programs),0\r\n"
      "ShellLink,2,1.5,7,ケルモラ\\Tools,ケルモラ,#InstPath#Kr.exe,/a,x,$(Programs),3 ' note\r\n"
      "ShellLink,1,0,0,Ten,fields,,,,$(Programs)\r\n"
      "ShellLink,1,0,0,Cut'Here,,,,,$(Programs),0\r\n"
      "Other,1,0,0,X,,,,,$(Programs),0\r\n"
      "ShellLink, 2.5 ,0,0,F,L,P,A,,$(Programs), 1.5\r\n");
  std::vector<ShellLinkEntry> entries;
  ASSERT_TRUE(ReadShellLinkList(ui_, list, entries));
  // Ten fields, and a line the apostrophe cut to five, still take their places as empty entries.
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(Fields(entries[0]),
            "2|1.500000|7|ケルモラ\\Tools|ケルモラ|#InstPath#Kr.exe|/a|1|$(Programs)|3");
  EXPECT_EQ(Fields(entries[1]), Fields(ShellLinkEntry{}));
  EXPECT_EQ(Fields(entries[2]), Fields(ShellLinkEntry{}));
  EXPECT_EQ(entries[3].kind, 2);  // numbers round half to even, blanks allowed
  EXPECT_EQ(entries[3].flags, 2);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ShortcutTest, UnreadableListsShowTheirMessageAndFail) {
  std::vector<ShellLinkEntry> entries;
  EXPECT_FALSE(ReadShellLinkList(ui_, InstallPath("none.ini"), entries));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].title, "確認メッセージ");
  EXPECT_EQ(ui_.boxes[0].text, std::string(kFailed) + "。 InstList.ini\r\n\r\n" +
                                   std::string(RuntimeErrorDescription(kErrFileNotFound)));
  const std::pair<std::string, int> cases[] = {
      {"ShellLink,x,0,0,F,L,P,A,,$(Programs),1", kErrTypeMismatch},
      {"ShellLink,,0,0,F,L,P,A,,$(Programs),1", kErrTypeMismatch},
      {"ShellLink,2,0,256,F,L,P,A,,$(Programs),1", kErrOverflow},
      {"ShellLink,40000,0,0,F,L,P,A,,$(Programs),1", kErrOverflow},
      {"ShellLink,2,0,0,F,L,P,A,,$(Programs),-1", kErrOverflow},
  };
  for (const auto& [line, number] : cases) {
    ui_.boxes.clear();
    EXPECT_FALSE(ReadShellLinkList(ui_, List(line), entries)) << line;
    ASSERT_EQ(ui_.boxes.size(), 1u) << line;
    EXPECT_TRUE(ui_.boxes[0].text.ends_with(RuntimeErrorDescription(number))) << line;
  }
}

TEST_F(ShortcutTest, InstPathIsTheListFilesFolderAndWinPathTheWindowsFolder) {
  std::string list = InstallPath("Sub\\InstList.ini");
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#InstPath#a.exe #InstPath#b"),
            InstallPath("Sub\\a.exe ") + InstallPath("Sub\\b"));
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#WinPath#x"), support::GetWindowsFolder(run_) + "x");
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#instpath#"), "#instpath#");
}

TEST_F(ShortcutTest, FoldersGetEveryMissingLevelAndFlags2CopiesOnlyAnExistingShortcut) {
  fs::create_directories(fs::path(sandbox_.programs()) / "Kelm");
  sandbox_.root().Write("Programs/G/Old.desktop", "[Desktop Entry]\n");
  RepairShortcut(run_, ui_,
                 List("ShellLink,1,0,0,Kelm\\Tools\\Deep,,,,,$(Programs),0\r\n"
                      "ShellLink,2,0,0,G,Old,#InstPath#None.exe,,,$(Programs),2\r\n"
                      "ShellLink,2,0,0,G,Absent,#InstPath#None.exe,,,$(Programs),2\r\n"));
  EXPECT_TRUE(Programs("Kelm/Tools/Deep"));
  EXPECT_EQ(sandbox_.root().Read("Desktop/Old.desktop"), "[Desktop Entry]\n");
  EXPECT_FALSE(Desktop("Absent.desktop"));
  EXPECT_TRUE(ui_.boxes.empty());
}

// The CLI run covers model 50; the other editions get another folder or none.
TEST_F(ShortcutTest, UninstallShortcutFollowsTheEditionAndYear) {
  run_.exe_year = 2015;
  run_.inst_model = 150;
  RepairShortcut(run_, ui_, List("' nothing listed\r\n"));
  EXPECT_TRUE(fs::is_empty(sandbox_.programs()));
  run_.inst_model = 350;
  RepairShortcut(run_, ui_, List(""));
  EXPECT_TRUE(Programs("Kelm2015D/ユーティリティ/アンインストール.desktop"));
}

TEST_F(ShortcutTest, TheFirstFailureShowsTheMessageAndEndsTheRepair) {
  install_.Write("Kr.exe", "program");
  run_.inst_model = 50;
  RepairShortcut(run_, ui_,
                 List("ShellLink,2,0,0,G,Bad,#InstPath#Kr.exe,,,$(Nowhere),1\r\n"
                      "ShellLink,1,0,0,After,,,,,$(Programs),0\r\n"));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, std::string(kFailed) + "\r\n\r\n");
  EXPECT_EQ(ui_.boxes[0].title, "確認メッセージ");
  EXPECT_FALSE(Programs("After"));
  EXPECT_FALSE(Programs("Kelm0"));  // no uninstall shortcut either
  sandbox_.root().Write("Programs/Taken", "a file where the folder should go");
  RepairShortcut(run_, ui_, List("ShellLink,1,0,0,Taken\\Sub,,,,,$(Programs),0"));
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_TRUE(ui_.boxes[1].text.starts_with(std::string(kFailed) + "\r\n\r\n"));
  EXPECT_GT(ui_.boxes[1].text.size(), kFailed.size() + 4);  // with the failure's description
}

TEST_F(ShortcutTest, DesktopShortcutFailuresAreSilent) {
  std::filesystem::remove_all(sandbox_.desktop());
  CreateDesktopShortcut(InstallPath("Kr.exe"), "1", "X");
  EXPECT_FALSE(Desktop("X.desktop"));
  EXPECT_TRUE(ui_.boxes.empty());
}

}  // namespace
}  // namespace kr::manifest::test
