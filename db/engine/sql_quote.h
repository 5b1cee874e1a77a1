// Quoting for the SQLite statements the engine writes. Internal to db/engine; the Jet quoters
// for callers are in engine.h.
#pragma once

#include <string>
#include <string_view>

namespace kr::db::engine {

// SQLite literal for a text value ('...' with quotes doubled; a text holding NUL characters is
// written as a cast blob, since SQLite ends a statement's text at the first NUL).
std::string SqlTextLiteral(std::string_view text);
// SQLite quoted identifier ("..." with quotes doubled).
std::string SqlIdentifier(std::string_view name);

}  // namespace kr::db::engine
