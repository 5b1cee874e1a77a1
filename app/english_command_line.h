// The command line of the English tools (krdb, kr-package), read with CLI11: help and version
// end the program with status 0, a command line that cannot be read with status 2 and a hint.
#pragma once

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string_view>

namespace kr::app {

// Parses argv into app; the exit status when the program ends here, nothing when it goes on.
inline std::optional<int> ParseEnglish(CLI::App& app, int argc, char** argv,
                                       std::string_view program) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << program << ": " << e.what() << "\nRun with --help for more information.\n";
    return 2;
  }
  return std::nullopt;
}

}  // namespace kr::app
