#include "db/passwords.h"

#include <array>

namespace kr::db {

namespace {

// Assembled from pieces so that the text never appears whole in the program file.
std::string Compose(const std::array<int, 4>& pieces, int shift) {
  std::string result;
  for (int piece : pieces) {
    for (int i = 0; i < 3; ++i) {
      int c = (piece >> (8 * i)) & 0xff;
      if (c != 0) result.push_back(static_cast<char>(c - shift));
    }
  }
  return result;
}

}  // namespace

std::string DatabasePassword() { return Compose({0x3F7A53, 0x54697E, 0x383A2B, 0x794139}, 8); }

std::string FormerDatabasePassword() { return Compose({0x726B71, 0x787573, 0x3E3F67, 0}, 6); }

}  // namespace kr::db
