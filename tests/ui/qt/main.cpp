// The forms need a QApplication before the first test; it runs offscreen unless the caller
// chose another platform.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  std::string runtime_dir = (std::filesystem::temp_directory_path() / "kr-ui-qt-XXXXXX").string();
  if (mkdtemp(runtime_dir.data()) != nullptr) setenv("XDG_RUNTIME_DIR", runtime_dir.c_str(), 1);

  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  std::filesystem::remove_all(runtime_dir);
  return status;
}
