// The command line of the two updater programs, read with CLI11: the same Japanese help, the
// same --version and the same messages for a command line that cannot be read, which ends the
// program with status 2 before anything is done.
#pragma once

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kr::app {

inline constexpr int kExitBadCommandLine = 2;
inline constexpr int kExitBrokenBuild = 70;

// A routine catalogue that does not check out is a broken build, and nothing may run on it: says
// so (the rows' faults in English) and gives the exit status; nothing when errors is empty.
inline std::optional<int> RefuseBrokenBuild(std::string_view program,
                                            const std::vector<std::string>& errors) {
  if (errors.empty()) return std::nullopt;
  std::cerr << program << ": 更新ルーチンの定義に誤りがあるため、実行できません。\n";
  for (const std::string& error : errors) std::cerr << "  " << error << "\n";
  return kExitBrokenBuild;
}

class CommandLine {
 public:
  // program: the name help and messages give; summary: the first line of --help.
  CommandLine(std::string program, std::string summary) : program_(std::move(program)) {
    auto formatter = std::make_shared<CLI::Formatter>();
    formatter->label("Usage", "使い方");
    formatter->label("OPTIONS", "オプション");
    formatter->label("Positionals", "引数");
    formatter->column_width(30);
    app_.formatter(formatter);
    app_.option_defaults()->group("オプション");
    app_.name(program_);
    app_.description(std::move(summary));
    app_.set_help_flag("-h,--help", "この説明を表示して終わります。");
    app_.set_version_flag("--version", program_ + " " + KR_VERSION,
                          "バージョンを表示して終わります。");
    app_.add_option("PACKAGE_FOLDER", package_folder_,
                    "更新パッケージのフォルダ（KrInst.ini のあるフォルダ）。\n"
                    "省略すると、このプログラムのフォルダです。")
        ->type_name("");
  }

  CLI::App& app() { return app_; }
  const std::optional<std::string>& package_folder() const { return package_folder_; }

  // Reads argv. Returns the exit status when the program ends here (help and version: 0, a
  // command line that cannot be read: 2, its message on standard error); nothing to go on.
  std::optional<int> Parse(int argc, char** argv) {
    try {
      app_.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
      std::cout << app_.help();
      return 0;
    } catch (const CLI::CallForVersion&) {
      std::cout << app_.version() << "\n";
      return 0;
    } catch (const CLI::ParseError& error) {
      std::cerr << program_ << ": " << Message(error) << "\n"
                << "詳しくは " << program_ << " --help をご覧ください。\n";
      return kExitBadCommandLine;
    }
    return std::nullopt;
  }

 private:
  std::string Message(const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
      std::vector<std::string> extras = app_.remaining();
      for (const std::string& extra : extras) {
        if (extra.size() > 1 && extra.front() == '-') return "不明なオプションです: " + extra;
      }
      return "更新パッケージのフォルダは一つだけ指定してください: " +
             (extras.empty() ? std::string() : extras.front());
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
      // A value missing, or an option given twice: name the option the message is about.
      for (const CLI::Option* option : app_.get_options()) {
        if (!option->get_lnames().empty() &&
            std::string(error.what()).find("--" + option->get_lnames().front()) !=
                std::string::npos) {
          return option->get_name() + " には値を一つ指定してください。";
        }
      }
    }
    return std::string("コマンドラインを解釈できません（") + error.what() + "）。";
  }

  std::string program_;
  CLI::App app_;
  std::optional<std::string> package_folder_;
};

}  // namespace kr::app
