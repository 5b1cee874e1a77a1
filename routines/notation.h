// The catalogue's notation: step lists, target lists, guards and records as the rows write them.
// Internal to routines/.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "routines/routines.h"

namespace kr::routines::notation {

// Each parser returns nothing when the text does not follow the notation; error then says why.
std::optional<std::vector<Step>> ParseSteps(std::string_view text, std::string& error);
// "every year folder (KrVal.mdb)", "平成23年度 / 平成24年度(一部更新) (KrVal.mdb)",
// "File\平成21年度\KrCri.mdb ; File\平成22年度(一部更新)\KrCri.mdb"; anything else is a
// description of what a hand-written body visits.
Targets ParseTargets(std::string_view text);
// "-", "2018,1,1", "2009,1,2, 2009,1,1", 'with ",労務更新" ",メンテナンス" without
// ",労務更新H3104"'.
std::optional<std::vector<Guard>> ParseGuards(std::string_view text, std::string& error);
// "-", 'stamp "2018,1,1"', 'stamp "2017,1,1" comment "2017_07"', "copy", "Version rows",
// 'tag ",労務更新"', 'comment "201907_標準"', 'set Ver "2009,1,1"', 'marker "x.ini"', joined by
// "+".
std::optional<std::vector<Record>> ParseRecord(std::string_view text, std::string& error);
// "-" or file names separated by ", ".
std::vector<std::string> ParseSources(std::string_view text);

}  // namespace kr::routines::notation
