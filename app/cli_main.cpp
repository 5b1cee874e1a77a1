// kr-updater-cli: the updater with the console user interface.
//
//   kr-updater-cli [PACKAGE_FOLDER] [--install-folder DIR]
//
// When start-up opens the install-folder dialog, DIR is typed into it and OK pressed: the folder
// is normalised and validated, and the update runs only when every check passes. The message
// boxes (a refusal among them) go to standard error as "[title] text".
//
// Exit status: 0 finished without file-action errors, 1 finished with errors, 2 refused by the
// validation or cancelled (nothing changed), 3 already running.
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "routines/routines.h"
#include "startup/startup.h"
#include "ui/console_ui.h"

namespace {

constexpr int kExitFinished = 0;
constexpr int kExitErrors = 1;
constexpr int kExitNotRun = 2;
constexpr int kExitAlreadyRunning = 3;

constexpr std::string_view kUsage =
    "使い方: kr-updater-cli [更新パッケージのフォルダ] [--install-folder インストール先フォルダ]\n"
    "  更新パッケージのフォルダを省略すると、このプログラムのフォルダを使います。\n"
    "  --install-folder  インストール先の確認画面で、このフォルダを指定して実行します。\n"
    "  --help            この説明を表示します。\n"
    "終了コード: 0 完了, 1 エラーあり, 2 中止またはインストール先の確認で拒否（変更なし）,\n"
    "            3 既に起動中\n";

struct Options {
  std::optional<std::string> package_folder;
  std::optional<std::string> install_folder;
  bool help = false;
};

// Parses argv; nothing when it is malformed (the message is already written).
std::optional<Options> ParseOptions(const std::vector<std::string_view>& args) {
  Options options;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (!options_ended && (arg == "--help" || arg == "-h")) {
      options.help = true;
    } else if (!options_ended && arg == "--install-folder") {
      if (i + 1 >= args.size() || options.install_folder) {
        std::cerr << "--install-folder にはフォルダを一つ指定してください。\n" << kUsage;
        return std::nullopt;
      }
      options.install_folder = std::string(args[++i]);
    } else if (!options_ended && arg.starts_with("--install-folder=")) {
      if (options.install_folder) {
        std::cerr << "--install-folder にはフォルダを一つ指定してください。\n" << kUsage;
        return std::nullopt;
      }
      options.install_folder =
          std::string(arg.substr(std::string_view("--install-folder=").size()));
    } else if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
      std::cerr << "不明なオプションです: " << arg << "\n" << kUsage;
      return std::nullopt;
    } else if (!options.package_folder) {
      options.package_folder = std::string(arg);
    } else {
      std::cerr << "更新パッケージのフォルダは一つだけ指定してください: " << arg << "\n" << kUsage;
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  std::optional<Options> options = ParseOptions(args);
  if (!options) return kExitNotRun;
  if (options->help) {
    std::cout << kUsage;
    return kExitFinished;
  }

  // The updater takes its package folder as the first token of its command line; quoting keeps
  // a folder with spaces one token.
  std::string command_line;
  if (options->package_folder) command_line = "\"" + *options->package_folder + "\"";

  kr::ui::ConsoleUi ui(options->install_folder, std::cout, std::cerr,
                       kr::platform::StandardErrorIsTerminal());
  kr::routines::Registry routines;
  kr::startup::Updater updater(ui, routines);
  updater.Main(command_line);

  switch (updater.outcome()) {
    case kr::startup::Outcome::kFinished:
      return kExitFinished;
    case kr::startup::Outcome::kFinishedWithErrors:
      return kExitErrors;
    case kr::startup::Outcome::kAlreadyRunning:
      return kExitAlreadyRunning;
    case kr::startup::Outcome::kNotRun:
    case kr::startup::Outcome::kPending:  // the validation refused: the dialog is still open
      return kExitNotRun;
  }
  return kExitNotRun;
}
