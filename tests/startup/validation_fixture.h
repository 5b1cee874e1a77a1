// An update package (Pkg) and an install folder (App) in a sandbox, and frmMlDir with its
// validation reachable: the fixture types a folder into txtDir and runs CheckInstallFolder.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/engine/engine.h"
#include "db/passwords.h"
#include "tests/startup/startup_fixture.h"

namespace kr::startup::test {

class ValidatingDialog : public frmMlDir {
 public:
  using frmMlDir::CheckInstallFolder;
  using frmMlDir::frmMlDir;
};

// Path -> content and modification time.
using FolderSnapshot =
    std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>>;

inline constexpr const char* kTitle = "ケルモラ積算 2015 アップデート";
inline constexpr const char* kProgram = "ExeName=KrMain.exe\r\nExeTitle=ケルモラ積算\r\n";

class ValidationTest : public StartupTest {
 protected:
  ValidationTest() : dialog_(run_, ui_, routines_) {
    run_.package_folder = Folder("Pkg");
    run_.title = kTitle;
    run_.exe_year = 2015;
    run_.inst_model = 50;
    sandbox_.root().MakeDirs("App");
    sandbox_.root().MakeDirs("Pkg");
  }

  // KrInst.ini: the title, the Bootstrap keys given (kProgram names the program), the manifest
  // lines and any further sections.
  void Package(std::string_view bootstrap, std::string_view files = "",
               std::string_view more = "") {
    Ini("Pkg/KrInst.ini", "[Bootstrap]\r\nDispDlgCaption=" + std::string(kTitle) + "\r\n" +
                              std::string(bootstrap) + "\r\n[Bootstrap Files]\r\n" +
                              std::string(files) + "\r\n" + std::string(more));
  }

  // Types folder (default: App) into txtDir as the OK handler leaves it and runs the validation.
  bool Check(std::string folder = {}) {
    if (folder.empty()) folder = Folder("App");
    if (!ui_.dialog) dialog_.Show();
    ui_.dialog->folder_text = folder;
    run_.install_folder = folder;
    ui_.boxes.clear();
    ui_.dialog->browse_focused = false;
    return dialog_.CheckInstallFolder();
  }

  // The validation refused with exactly this one message box.
  ::testing::AssertionResult RefusedWith(const std::string& text) {
    if (!Check()) return ::testing::AssertionFailure() << "the folder passed";
    if (ui_.boxes.size() != 1) {
      return ::testing::AssertionFailure() << ui_.boxes.size() << " message boxes";
    }
    const testing::MessageBoxCall& box = ui_.boxes[0];
    if (box.title != kTitle || box.icon != ui::Icon::kCritical) {
      return ::testing::AssertionFailure() << "title or icon wrong: " << box.title;
    }
    if (box.text != text) return ::testing::AssertionFailure() << "message: " << box.text;
    return ::testing::AssertionSuccess();
  }
  ::testing::AssertionResult Passes() {
    if (Check()) return ::testing::AssertionFailure() << "refused: " << ui_.boxes.at(0).text;
    if (!ui_.boxes.empty()) return ::testing::AssertionFailure() << "a message was shown";
    return ::testing::AssertionSuccess();
  }

  // Every file and folder below a sandbox folder with its content and modification time.
  FolderSnapshot Snapshot(std::string_view relative) const {
    FolderSnapshot snapshot;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(sandbox_.root().Native(relative))) {
      std::string content = entry.is_directory() ? "<folder>" : "";
      if (entry.is_regular_file()) {
        content = sandbox_.root().Read(
            std::filesystem::relative(entry.path(), sandbox_.root().path()).string());
      }
      snapshot[entry.path().string()] = {content, entry.last_write_time()};
    }
    return snapshot;
  }

  // A copy of a PE test program; false (the test skips) when the fixtures were not built.
  bool Program(std::string_view relative, std::string_view fixture) {
    std::string source = testing::BuiltProgram("tests/fixtures/pe/" + std::string(fixture));
    if (!std::filesystem::exists(source)) return false;
    std::filesystem::path target = sandbox_.root().Native(relative);
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    return true;
  }

  // App\File\KrSet.mdb with the application's password and an Environ table; set_name "" means
  // no row 61, "NULL" a Null SetName.
  void SettingsDatabase(std::string_view set_name, std::string_view password = "") {
    sandbox_.root().MakeDirs("App/File");
    db::engine::Database db = db::engine::CreateDatabase(
        Folder("App") + "File\\KrSet.mdb",
        password.empty() ? db::DatabasePassword() : std::string(password));
    db.Execute("CREATE TABLE Environ (ID LONG, SetName TEXT(255))");
    db.Execute("INSERT INTO Environ (ID, SetName) VALUES (60, '1999')");
    if (set_name == "NULL") {
      db.Execute("INSERT INTO Environ (ID, SetName) VALUES (61, Null)");
    } else if (!set_name.empty()) {
      db.Execute("INSERT INTO Environ (ID, SetName) VALUES (61, '" + std::string(set_name) + "')");
    }
    db.Close();
  }

  RunContext run_;
  ValidatingDialog dialog_;
};

}  // namespace kr::startup::test
