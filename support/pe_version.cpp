// GetFileVersion: the fixed file-version record of a Windows program's version resource, read
// from the PE file itself. Every offset is checked against the file, so any other or damaged
// file gives "".
#include <cstdint>
#include <optional>
#include <string>

#include "platform/failure.h"
#include "platform/platform.h"
#include "support/support.h"

namespace kr::support {
namespace {

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;

class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  bool Has(uint64_t offset, uint64_t length) const {
    return offset <= data_.size() && length <= data_.size() - offset;
  }
  std::optional<uint16_t> U16(uint64_t offset) const {
    if (!Has(offset, 2)) return std::nullopt;
    return static_cast<uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
  }
  std::optional<uint32_t> U32(uint64_t offset) const {
    if (!Has(offset, 4)) return std::nullopt;
    return Byte(offset) | Byte(offset + 1) << 8 | Byte(offset + 2) << 16 |
           static_cast<uint32_t>(Byte(offset + 3)) << 24;
  }
  size_t size() const { return data_.size(); }

 private:
  uint32_t Byte(uint64_t offset) const { return static_cast<uint8_t>(data_[offset]); }
  std::string_view data_;
};

struct Section {
  uint32_t virtual_address, virtual_size, raw_size, raw_offset;
};

class PeImage {
 public:
  explicit PeImage(std::string_view data) : bytes_(data) {}

  // The file version as its two 32-bit halves (most significant first).
  std::optional<std::pair<uint32_t, uint32_t>> FileVersion() {
    if (!ReadHeaders()) return std::nullopt;
    std::optional<uint64_t> info = VersionResource();
    if (!info) return std::nullopt;
    return FixedFileInfo(*info);
  }

 private:
  bool ReadHeaders() {
    if (bytes_.U16(0) != 0x5A4D) return false;  // "MZ"
    std::optional<uint32_t> pe = bytes_.U32(0x3C);
    if (!pe || bytes_.U32(*pe) != 0x00004550) return false;  // "PE\0\0"
    const uint64_t coff = uint64_t{*pe} + 4;
    std::optional<uint16_t> section_count = bytes_.U16(coff + 2);
    std::optional<uint16_t> optional_size = bytes_.U16(coff + 16);
    if (!section_count || !optional_size) return false;
    const uint64_t optional = coff + 20;
    std::optional<uint16_t> magic = bytes_.U16(optional);
    uint64_t directories;
    if (magic == 0x10B) {
      directories = optional + 96;
    } else if (magic == 0x20B) {
      directories = optional + 112;
    } else {
      return false;
    }
    std::optional<uint32_t> directory_count = bytes_.U32(directories - 4);
    if (!directory_count || *directory_count < 3) return false;
    // Data directory 2: the resources.
    if (directories + 3 * 8 > optional + *optional_size) return false;
    std::optional<uint32_t> rva = bytes_.U32(directories + 2 * 8);
    if (!rva || *rva == 0) return false;
    resource_rva_ = *rva;
    const uint64_t table = optional + *optional_size;
    for (uint32_t i = 0; i < *section_count; ++i) {
      const uint64_t entry = table + uint64_t{i} * 40;
      std::optional<uint32_t> virtual_size = bytes_.U32(entry + 8);
      std::optional<uint32_t> virtual_address = bytes_.U32(entry + 12);
      std::optional<uint32_t> raw_size = bytes_.U32(entry + 16);
      std::optional<uint32_t> raw_offset = bytes_.U32(entry + 20);
      if (!virtual_size || !virtual_address || !raw_size || !raw_offset) return false;
      sections_.push_back({*virtual_address, *virtual_size, *raw_size, *raw_offset});
    }
    return true;
  }

  // The file offset of rva when length bytes from it lie in one section's raw data.
  std::optional<uint64_t> Offset(uint64_t rva, uint64_t length) const {
    for (const Section& section : sections_) {
      if (rva < section.virtual_address) continue;
      const uint64_t within = rva - section.virtual_address;
      if (within > section.raw_size || length > section.raw_size - within) continue;
      const uint64_t offset = uint64_t{section.raw_offset} + within;
      if (bytes_.Has(offset, length)) return offset;
    }
    return std::nullopt;
  }

  // The entry of a resource directory: by id, or the first one when id is empty. Returns the
  // entry's OffsetToData field.
  std::optional<uint32_t> DirectoryEntry(uint64_t directory_rva, std::optional<uint32_t> id) {
    std::optional<uint64_t> directory = Offset(directory_rva, 16);
    if (!directory) return std::nullopt;
    std::optional<uint16_t> named = bytes_.U16(*directory + 12);
    std::optional<uint16_t> ids = bytes_.U16(*directory + 14);
    if (!named || !ids) return std::nullopt;
    const uint32_t count = uint32_t{*named} + *ids;
    for (uint32_t i = 0; i < count; ++i) {
      std::optional<uint64_t> entry = Offset(directory_rva + 16 + uint64_t{i} * 8, 8);
      if (!entry) return std::nullopt;
      std::optional<uint32_t> name = bytes_.U32(*entry);
      std::optional<uint32_t> data = bytes_.U32(*entry + 4);
      if (!name || !data) return std::nullopt;
      if (!id || ((*name & kSubdirectoryBit) == 0 && *name == *id)) return data;
    }
    return std::nullopt;
  }

  // The file offset and size of the RT_VERSION resource: type 16, its first name, first
  // language.
  std::optional<uint64_t> VersionResource() {
    std::optional<uint32_t> type = DirectoryEntry(resource_rva_, kRtVersion);
    if (!type || (*type & kSubdirectoryBit) == 0) return std::nullopt;
    std::optional<uint32_t> name =
        DirectoryEntry(resource_rva_ + (*type & ~kSubdirectoryBit), std::nullopt);
    if (!name || (*name & kSubdirectoryBit) == 0) return std::nullopt;
    std::optional<uint32_t> language =
        DirectoryEntry(resource_rva_ + (*name & ~kSubdirectoryBit), std::nullopt);
    if (!language || (*language & kSubdirectoryBit) != 0) return std::nullopt;
    std::optional<uint64_t> data_entry = Offset(uint64_t{resource_rva_} + *language, 16);
    if (!data_entry) return std::nullopt;
    std::optional<uint32_t> data_rva = bytes_.U32(*data_entry);
    std::optional<uint32_t> data_size = bytes_.U32(*data_entry + 4);
    if (!data_rva || !data_size) return std::nullopt;
    std::optional<uint64_t> data = Offset(*data_rva, *data_size);
    if (!data) return std::nullopt;
    version_size_ = *data_size;
    return data;
  }

  // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO" in UTF-16 with its
  // NUL, padding to 32 bits, then VS_FIXEDFILEINFO.
  std::optional<std::pair<uint32_t, uint32_t>> FixedFileInfo(uint64_t info) const {
    std::optional<uint16_t> value_length = bytes_.U16(info + 2);
    if (!value_length || *value_length < 52) return std::nullopt;
    uint64_t key = info + 6;
    const uint64_t end = info + version_size_;
    while (key + 2 <= end && bytes_.U16(key).value_or(0) != 0) key += 2;
    uint64_t value = key + 2;
    value = info + ((value - info + 3) & ~uint64_t{3});
    if (value + 52 > end || !bytes_.Has(value, 52)) return std::nullopt;
    if (bytes_.U32(value) != kFixedFileInfoSignature) return std::nullopt;
    return std::make_pair(*bytes_.U32(value + 8), *bytes_.U32(value + 12));
  }

  Bytes bytes_;
  uint32_t resource_rva_ = 0;
  uint64_t version_size_ = 0;
  std::vector<Section> sections_;
};

}  // namespace

// Leave-on-error: an unreadable file gives "".
std::string GetFileVersion(std::string_view path, bool four_part) {
  return LeaveOnError("GetFileVersion", std::string(), [&] {
    platform::FileAttributes attributes = platform::Attributes(path);
    if (!attributes.exists || attributes.is_directory) return std::string();
    std::string data = platform::ReadFile(path);
    std::optional<std::pair<uint32_t, uint32_t>> version = PeImage(data).FileVersion();
    if (!version) return std::string();
    const uint32_t a = version->first >> 16, b = version->first & 0xFFFF;
    const uint32_t c = version->second >> 16, d = version->second & 0xFFFF;
    std::string text = std::to_string(a) + "." + std::to_string(b) + ".";
    if (four_part) text += std::to_string(c) + ".";
    return text + std::to_string(d);
  });
}

}  // namespace kr::support
