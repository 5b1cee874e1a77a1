#include <filesystem>

#include "tests/manifest/manifest_fixture.h"

namespace kr::manifest::test {
namespace {

namespace fs = std::filesystem;

class ShortcutTest : public ManifestTest {
 protected:
  // Writes the list file (code page 932) into the install folder and returns its path.
  std::string List(std::string_view text) {
    install().Write("InstList.ini", testing::ToCp932(text));
    return InstallPath("InstList.ini");
  }
  bool Programs(std::string_view relative) {
    return fs::exists(fs::path(sandbox_.programs()) / fs::path(std::string(relative)));
  }
  bool Desktop(std::string_view relative) {
    return fs::exists(fs::path(sandbox_.desktop()) / fs::path(std::string(relative)));
  }
  std::string ReadPrograms(std::string_view relative) {
    return sandbox_.root().Read("Programs/" + std::string(relative));
  }
};

// --- ReadShellLinkList --------------------------------------------------------------------------

TEST_F(ShortcutTest, OnlyExactShellLinkLinesCountAndCommentsAreCut) {
  std::string list = List(
      "' shortcuts of the application\r\n"
      "\r\n"
      "shelllink,1,0,0,Lower,,,,,$(Programs),0\r\n"
      "ShellLink,2,1.5,7,ケルモラ\\Tools,ケルモラ,#InstPath#Kr.exe,/a,x,$(Programs),3 ' note\r\n"
      "ShellLink,1,0,0,Ten,fields,,,,$(Programs)\r\n"
      "ShellLink,1,0,0,Cut'Here,,,,,$(Programs),0\r\n"
      "Other,1,0,0,X,,,,,$(Programs),0\r\n");
  std::vector<ShellLinkEntry> entries;
  ASSERT_TRUE(ReadShellLinkList(ui_, list, entries));
  // Ten fields, and a line the apostrophe cut to five, still take their places as empty entries.
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].kind, 2);
  EXPECT_EQ(entries[0].number, 1.5);
  EXPECT_EQ(entries[0].byte_value, 7);
  EXPECT_EQ(entries[0].folder_name, "ケルモラ\\Tools");
  EXPECT_EQ(entries[0].link_name, "ケルモラ");
  EXPECT_EQ(entries[0].link_path, "#InstPath#Kr.exe");
  EXPECT_EQ(entries[0].link_arguments, "/a");
  EXPECT_TRUE(entries[0].is_private);
  EXPECT_EQ(entries[0].parent, "$(Programs)");
  EXPECT_EQ(entries[0].flags, 3);
  EXPECT_EQ(entries[1].kind, 0);
  EXPECT_EQ(entries[1].folder_name, "");
  EXPECT_EQ(entries[2].kind, 0);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ShortcutTest, MissingListFileShowsTheListMessage) {
  std::vector<ShellLinkEntry> entries;
  EXPECT_FALSE(ReadShellLinkList(ui_, InstallPath("none.ini"), entries));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].title, "確認メッセージ");
  EXPECT_EQ(ui_.boxes[0].text, "ショートカットの作成に失敗しました。 InstList.ini\r\n\r\n" +
                                   std::string(RuntimeErrorDescription(kErrFileNotFound)));
}

TEST_F(ShortcutTest, NumericFieldsThatDoNotConvertFailTheList) {
  const std::pair<std::string, int> cases[] = {
      {"ShellLink,x,0,0,F,L,P,A,,$(Programs),1", kErrTypeMismatch},
      {"ShellLink,,0,0,F,L,P,A,,$(Programs),1", kErrTypeMismatch},
      {"ShellLink,2,0,256,F,L,P,A,,$(Programs),1", kErrOverflow},
      {"ShellLink,40000,0,0,F,L,P,A,,$(Programs),1", kErrOverflow},
      {"ShellLink,2,0,0,F,L,P,A,,$(Programs),-1", kErrOverflow},
  };
  for (const auto& [line, number] : cases) {
    ui_.boxes.clear();
    std::vector<ShellLinkEntry> entries;
    EXPECT_FALSE(ReadShellLinkList(ui_, List(line), entries)) << line;
    ASSERT_EQ(ui_.boxes.size(), 1u) << line;
    EXPECT_TRUE(ui_.boxes[0].text.ends_with(RuntimeErrorDescription(number))) << line;
  }
}

TEST_F(ShortcutTest, NumbersAreRoundedHalfToEvenWithBlanksAllowed) {
  std::vector<ShellLinkEntry> entries;
  ASSERT_TRUE(
      ReadShellLinkList(ui_, List("ShellLink, 2.5 ,0,0,F,L,P,A,,$(Programs), 1.5"), entries));
  EXPECT_EQ(entries[0].kind, 2);
  EXPECT_EQ(entries[0].flags, 2);
}

TEST_F(ShortcutTest, InstPathIsTheListFilesFolderAndWinPathTheWindowsFolder) {
  std::string list = InstallPath("Sub\\InstList.ini");
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#InstPath#a.exe #InstPath#b"),
            InstallPath("Sub\\a.exe ") + InstallPath("Sub\\b"));
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#WinPath#x"), support::GetWindowsFolder(run_) + "x");
  EXPECT_EQ(ExpandLinkMacros(run_, list, "#instpath#"), "#instpath#");
}

// --- RepairShortcut -----------------------------------------------------------------------------

TEST_F(ShortcutTest, FolderEntryCreatesEveryMissingLevel) {
  fs::create_directories(fs::path(sandbox_.programs()) / "Kelm");
  RepairShortcut(run_, ui_, List("ShellLink,1,0,0,Kelm\\Tools\\Deep,,,,,$(Programs),0"));
  EXPECT_TRUE(Programs("Kelm/Tools/Deep"));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ShortcutTest, ShortcutWithFlags3GoesToTheStartMenuAndTheDesktop) {
  install().Write("Kr.exe", "program");
  RepairShortcut(run_, ui_,
                 List("ShellLink,2,0,0,ケルモラ,ケルモラ積算,#InstPath#Kr.exe,/x,,$(Programs),3"));
  ASSERT_TRUE(Programs("ケルモラ/ケルモラ積算.desktop"));
  EXPECT_NE(ReadPrograms("ケルモラ/ケルモラ積算.desktop").find(install().Native("Kr.exe")),
            std::string::npos);
  EXPECT_TRUE(Desktop("ケルモラ積算.desktop"));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ShortcutTest, MissingTargetCreatesNothingAndSaysNothing) {
  RepairShortcut(run_, ui_, List("ShellLink,2,0,0,G,Link,#InstPath#None.exe,,,$(Programs),3"));
  EXPECT_FALSE(Programs("G/Link.desktop"));
  EXPECT_FALSE(Desktop("Link.desktop"));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ShortcutTest, Flags2OnlyCopiesAnExistingStartMenuShortcut) {
  sandbox_.root().Write("Programs/G/Old.desktop", "[Desktop Entry]\n");
  RepairShortcut(run_, ui_,
                 List("ShellLink,2,0,0,G,Old,#InstPath#None.exe,,,$(Programs),2\r\n"
                      "ShellLink,2,0,0,G,Absent,#InstPath#None.exe,,,$(Programs),2\r\n"));
  EXPECT_EQ(sandbox_.root().Read("Desktop/Old.desktop"), "[Desktop Entry]\n");
  EXPECT_FALSE(Desktop("Absent.desktop"));
}

TEST_F(ShortcutTest, UninstallShortcutFollowsTheEditionAndYear) {
  run_.exe_year = 2015;
  run_.inst_model = 50;
  RepairShortcut(run_, ui_, List("' nothing listed\r\n"));
  EXPECT_TRUE(Programs("Kelm2015/ユーティリティ/アンインストール.desktop"));

  run_.inst_model = 350;
  RepairShortcut(run_, ui_, List(""));
  EXPECT_TRUE(Programs("Kelm2015D/ユーティリティ/アンインストール.desktop"));
}

TEST_F(ShortcutTest, ModelOutsideTheUninstallRangesGetsNoUninstallShortcut) {
  run_.exe_year = 2015;
  run_.inst_model = 150;
  RepairShortcut(run_, ui_, List(""));
  EXPECT_TRUE(fs::is_empty(sandbox_.programs()));
}

TEST_F(ShortcutTest, FailedLinkShowsTheMessageAndStopsTheRemainingEntries) {
  install().Write("Kr.exe", "program");
  run_.inst_model = 50;
  RepairShortcut(run_, ui_,
                 List("ShellLink,2,0,0,G,Bad,#InstPath#Kr.exe,,,$(Nowhere),1\r\n"
                      "ShellLink,1,0,0,After,,,,,$(Programs),0\r\n"));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "ショートカットの作成に失敗しました\r\n\r\n");
  EXPECT_EQ(ui_.boxes[0].title, "確認メッセージ");
  EXPECT_FALSE(Programs("After"));
  EXPECT_FALSE(Programs("Kelm0"));  // no uninstall shortcut either
}

TEST_F(ShortcutTest, FolderThatCannotBeCreatedShowsTheErrorDescription) {
  sandbox_.root().Write("Programs/Taken", "a file where the folder should go");
  RepairShortcut(run_, ui_, List("ShellLink,1,0,0,Taken\\Sub,,,,,$(Programs),0"));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_TRUE(ui_.boxes[0].text.starts_with("ショートカットの作成に失敗しました\r\n\r\n"));
  EXPECT_GT(ui_.boxes[0].text.size(),
            std::string("ショートカットの作成に失敗しました\r\n\r\n").size());
}

// --- CreateDesktopShortcut ----------------------------------------------------------------------

TEST_F(ShortcutTest, DesktopShortcutIsNamedAfterTheTitle) {
  CreateDesktopShortcut(InstallPath("Kr.exe"), "1", "ケルモラ積算");
  std::string entry = sandbox_.root().Read("Desktop/ケルモラ積算.desktop");
  EXPECT_NE(entry.find(install().Native("Kr.exe")), std::string::npos);
}

TEST_F(ShortcutTest, DesktopShortcutFailuresAreSilent) {
  env_.Fail("WriteFile", ".desktop");
  CreateDesktopShortcut(InstallPath("Kr.exe"), "1", "X");
  EXPECT_FALSE(Desktop("X.desktop"));
  EXPECT_TRUE(ui_.boxes.empty());
}

}  // namespace
}  // namespace kr::manifest::test
