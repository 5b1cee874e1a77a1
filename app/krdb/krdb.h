// krdb: the database engine on the command line, for administrators and for building test
// fixtures. The program's whole behaviour is Main; the script runner is exposed as well, so that
// a test or fuzz target can drive it on a database it opened itself.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "db/engine/engine.h"

namespace kr::krdb {

// The program: parses the command line (--help tells it), runs, returns the exit status
// (0 done, 1 a database or statement error, 2 a malformed command line).
int Main(int argc, char** argv);

enum class Format { kTsv, kCsv, kJson };

struct ScriptOptions {
  int execute_options = 0;  // engine::kFailOnError, ...
  std::string password{};   // the database's own, given to the sources of KRDB LINK
  Format format = Format::kTsv;
};

// Runs a krdb script (Jet SQL statements, each ending with ";" at a line end outside quotes and
// brackets; "--" lines outside them are comments; KRDB statements for what Jet SQL cannot say)
// in one transaction: the first failure rolls everything back and raises kr::Failure naming
// the line of its statement. Rows of SELECT statements go to out.
void RunScript(db::engine::Database& db, std::string_view text, const ScriptOptions& options,
               std::ostream& out);

}  // namespace kr::krdb
