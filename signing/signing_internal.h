// Helpers shared by the files of signing/. Not for use outside this folder.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kr::signing::internal {

std::string Hex(std::span<const uint8_t> bytes);
std::string Base64(std::span<const uint8_t> bytes);
// The bytes of canonical base64 text (padding as Base64 writes it); nothing for anything else.
std::optional<std::vector<uint8_t>> FromBase64(std::string_view text);

}  // namespace kr::signing::internal
