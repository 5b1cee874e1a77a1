#include <gtest/gtest.h>

#include <random>

#include "platform/platform.h"
#include "support/support.h"
#include "tests/testing/testing.h"

namespace kr::support {
namespace {

using kr::testing::BuiltProgram;
using kr::testing::TempDir;

TEST(VersionToNumberTest, WorkedValuesAndOddInput) {
  EXPECT_EQ(VersionToNumber("2.0.83"), 2008300);
  EXPECT_EQ(VersionToNumber("2015.2.0.83"), 2015020083);
  EXPECT_EQ(VersionToNumber("2015.2.0.0.83"), 2015020000);
  EXPECT_EQ(VersionToNumber("2009,1,1"), 2009010100);
  EXPECT_EQ(VersionToNumber("1..3"), 1000300);
  EXPECT_EQ(VersionToNumber("1.2;3"), 1020000);
  EXPECT_EQ(VersionToNumber(""), 0);
  // Other characters are skipped without separating parts; full-width digits are not digits.
  EXPECT_EQ(VersionToNumber("rel 2.0 build 83"), 2830000);
  EXPECT_EQ(VersionToNumber("２.0"), 0);
  // Wide parts carry into the next; oversized ones give 0.
  EXPECT_EQ(VersionToNumber("1.100.0"), 11000000);
  EXPECT_EQ(VersionToNumber("2015.2.0.100"), 0);  // too large for 32 bits
  EXPECT_EQ(VersionToNumber("40000.1"), 10000);   // part too large for 16 bits stays 0
  EXPECT_EQ(GetPlatformId(), 2);
}

std::string Fixture(std::string_view name) {
  return BuiltProgram("tests/fixtures/pe/" + std::string(name));
}

class FileVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::Attributes(Fixture("app-2.0.0.83.exe")).exists) {
      GTEST_SKIP() << "PE test programs were not built (no MinGW-w64)";
    }
  }
  TempDir dir_;
};

TEST_F(FileVersionTest, ReadsTheFileVersionInThreeAndFourPartsAndEmptyTextWithoutOne) {
  EXPECT_EQ(GetFileVersion(Fixture("app-2.0.0.83.exe"), false), "2.0.83");
  EXPECT_EQ(GetFileVersion(Fixture("app-2.0.0.83.exe"), true), "2.0.0.83");
  EXPECT_EQ(GetFileVersion(Fixture("app-2.0.1.0.exe"), false), "2.0.0");
  EXPECT_EQ(GetFileVersion(Fixture("app-2.0.1.0.exe"), true), "2.0.1.0");
  dir_.Write("text.exe", "MZ not really a program");
  for (const std::string& file : {Fixture("noversion.exe"), dir_.folder() + "missing.exe",
                                  dir_.folder() + "text.exe", dir_.folder()}) {
    EXPECT_EQ(GetFileVersion(file, true), "") << file;
  }
}

TEST_F(FileVersionTest, DamagedCopiesNeverCrash) {
  const std::string program = platform::ReadFile(Fixture("app-2.0.0.84.exe"));
  const std::string copy = dir_.folder() + "copy.exe";
  for (size_t length = 0; length < program.size(); length += 97) {
    platform::WriteFile(copy, program.substr(0, length));
    std::string version = GetFileVersion(copy, true);
    EXPECT_TRUE(version.empty() || version == "2.0.0.84") << length;
  }
  std::mt19937 random(1234);
  for (int round = 0; round < 300; ++round) {
    std::string garbled = program;
    for (int flips = 0; flips < 8; ++flips) {
      garbled[random() % garbled.size()] = static_cast<char>(random());
    }
    platform::WriteFile(copy, garbled);
    GetFileVersion(copy, round % 2 == 0);  // any result, but no crash or hang
  }
}

}  // namespace
}  // namespace kr::support
