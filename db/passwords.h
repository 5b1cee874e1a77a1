// The two database passwords of the application's databases. No other code holds them.
#pragma once

#include <string>

namespace kr::db {

// The password every current application database carries.
std::string DatabasePassword();
// The password databases of older releases carried; used only to re-key them.
std::string FormerDatabasePassword();

}  // namespace kr::db
