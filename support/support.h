// The support library: the run-wide values, path and string utilities, the INI file class, the
// XML settings store and version strings. Every operation here is total unless its comment
// says otherwise: a failure inside leaves the result at what was computed so far and is not
// reported.
//
// Strings are UTF-8. Where the original counted characters (Left, Len, Mid, "the first 10
// characters"), the Char* helpers count code points, never bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

// --- Run-wide values --------------------------------------------------------------------------

// System and Windows folders, looked up on first successful use and then kept for the run.
class FolderCache {
 public:
  std::string SystemFolder();   // trailing "\", or "" when the platform has none
  std::string WindowsFolder();  // trailing "\", or "" when the platform has none
 private:
  std::string system_;
  std::string windows_;
};

// The values start-up sets and every other part reads. One instance per run, owned by the
// program's main and handed down by reference; nothing else keeps run-wide state.
struct RunContext {
  std::string package_folder;      // PackageFolder: the update package, ending in "\"
  std::string install_folder;      // InstallFolder: empty until determined
  std::string title;               // the updater title (DispDlgCaption)
  int16_t exe_year = 0;            // ExeYear
  int32_t inst_model = 0;          // InstModel
  std::string run_stamp;           // RunStamp: start time as yyyyMMddhhnn
  std::string common_data_folder;  // CommonDataFolder, ending in "\"
  FolderCache folders;
  // The databases (paths) an update routine of this run had to leave as they were: the later
  // routines leave them alone too, so that the next run migrates them in order, and the end
  // message counts them.
  std::set<std::string> unfinished;
  // The wait dialog's progress: steps done and expected (file lines, routine lines and the
  // databases the routines visit).
  size_t progress_done = 0;
  size_t progress_total = 0;
};

namespace support {

// --- Characters -------------------------------------------------------------------------------
size_t CharLength(std::string_view text);                    // Len
std::string CharLeft(std::string_view text, size_t count);   // Left
std::string CharRight(std::string_view text, size_t count);  // Right
std::string CharMid(std::string_view text, size_t start1, size_t count = std::string::npos);
std::string UpperCase(std::string_view text);  // UCase: every cased letter, full-width included
std::string LowerCase(std::string_view text);  // LCase
std::string TrimRightSpaces(std::string_view text);  // RTrim: trailing " " only
std::string Trim(std::string_view text);             // Trim: leading and trailing " "
// Narrow-and-lower-case folding of the Japanese code page: full-width Latin letters, digits and
// katakana become half-width, then everything lower case.
std::string NarrowLowerCase(std::string_view text);

// --- Paths and strings ------------------------------------------------------------------------
std::string TrimAtNull(std::string_view text);
// Removes trailing spaces from path itself, then returns it with a "\" added unless it is empty
// or already ends in "\" or "/".
std::string AddTrailingSeparator(std::string& path);
// Removes trailing spaces from path itself, then returns it without one trailing "\" or "/".
std::string RemoveTrailingSeparator(std::string& path);
std::string GetParentPath(std::string_view path);
std::string GetFileNamePart(std::string_view path);
// The dated backup name of a file (a name, no folder): the name up to its first ".", stamp and
// ".old"; copy n > 0 is a further backup of the same stamp, "-n" put before ".old".
std::string BackupFileName(std::string_view file_name, std::string_view stamp, int copy = 0);
// Every occurrence of searched replaced, left to right, never rescanning a replacement.
std::string ReplaceAll(std::string_view text, std::string_view searched,
                       std::string_view replacement);
// The updater's command-line splitter (quotes group, spaces split); an empty list when a
// character other than a quote comes before the first quote of a quoted line.
std::vector<std::string> SplitCommandLine(std::string_view command_line);
// Text split at every occurrence of separator (an empty text gives one empty part).
std::vector<std::string> Split(std::string_view text, std::string_view separator);

// --- Folders ----------------------------------------------------------------------------------
std::string GetSystemFolder(RunContext& run);
std::string GetWindowsFolder(RunContext& run);
// The product's data folder below the common application data folder ("...\Kelmora\"),
// created level by level when missing; the Windows folder when the platform has none.
std::string GetCommonDataFolder(RunContext& run);

// --- INI file class ---------------------------------------------------------------------------
// One INI file and one current section. Every call goes to the profile functions: nothing is
// cached, each write is visible to the next read. Reports no errors: a missing file reads as
// empty. Arrays filled by the enumerations keep their old content when the list is empty.
class clsIniFile {
 public:
  int32_t EmnumSection(std::vector<std::string>& strSection);
  int32_t EnumSectionString(std::vector<std::string>& strSectionString);
  void FileName(std::string strNewFileName) { file_name_ = std::move(strNewFileName); }
  void Section(std::string strNewValue) { section_ = std::move(strNewValue); }
  const std::string& Section() const { return section_; }
  const std::string& FileName() const { return file_name_; }
  void DeleteKeyName(std::string_view strKey);
  // An empty strSection means the current section, and strSection is set to its name.
  void DeleteSection(std::string& strSection);
  bool SetString(std::string_view strKey, std::string_view strValue);
  // The value, or strDefault when the key is missing or its value is empty.
  std::string GetString(std::string_view strKey, std::string_view strDefault);
  int32_t GetInteger(std::string_view strKey, int16_t lngDefault);
  int32_t EnumKeyString(std::vector<std::string>& sKey);

 private:
  std::string file_name_;
  std::string section_;
};

// The lines of section (key=value as written, in file order), switching ini to that section.
// Unlike the enumeration, a missing or empty section gives an empty list.
std::vector<std::string> SectionLines(clsIniFile& ini, std::string_view section);

// Copies every key of every section of source into destination (both must exist).
void MergeIniFile(std::string_view source, std::string_view destination);

// --- XML settings store -----------------------------------------------------------------------
// Values addressed as Root/section/key. The file's own encoding declaration is honoured; a file
// that cannot be parsed is never rewritten.
std::string GetXmlSetting(std::string_view file, std::string_view section, std::string_view key);
void PutXmlSetting(std::string_view file, std::string_view section, std::string_view key,
                   std::string_view value);
// Writes value into the install folder's KelmoraSetting.xml only where it still equals the
// package's KelmoraSetting.xml (the user has not changed it).
void CarryXmlSetting(const RunContext& run, std::string_view section, std::string_view key,
                     std::string_view value);

// --- Version strings --------------------------------------------------------------------------
// The file version of a Windows program's version resource: "a.b.d" (three-part) or "a.b.c.d";
// "" for any file without one.
std::string GetFileVersion(std::string_view path, bool four_part);
int32_t VersionToNumber(std::string_view text);
// 2 (the NT family) on this platform.
int32_t GetPlatformId();

}  // namespace support
}  // namespace kr
