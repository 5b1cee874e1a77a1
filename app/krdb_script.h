// krdb's statement and script runner, apart from its command line so that a script can be run
// from memory (the fuzzer does). Output goes to out in krdb's format (see krdb_main.cpp).
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "db/engine/engine.h"

namespace kr::app {

// A text with tab, line feed and carriage return written as \t, \n, \r.
std::string Escaped(std::string_view text);

// One Jet SQL statement; a SELECT prints its header and rows. Raises the engine's failures.
void RunStatement(db::engine::Database& db, const std::string& sql, int options, std::ostream& out);

// A script: statements end with ";" at a line end, "--" lines are comments, a UTF-8 byte-order
// mark is skipped. All or nothing: one transaction, undone at the first failure, which is
// raised again with the line of its statement added to its description.
void RunScript(db::engine::Database& db, std::string_view text, int options, std::ostream& out);

}  // namespace kr::app
