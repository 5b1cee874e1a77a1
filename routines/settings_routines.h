// The settings-database work: single settings of KrSet.mdb, KrMasta.mdb, KrUke.mdb, KrFile.mdb,
// the consumption-tax formulas of KrExp.mdb and KelmoraSetting.xml. Internal to routines/.
//
// The procedures have the notation's signature and are pass-through, with their independent
// statements each a step of the routine. The bodies (catalogue.h) are step-and-continue.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "routines/interpreter.h"

namespace kr::routines {

// --- Print widths and words of KrSet.mdb (2009, 2010) -------------------------------------------

// The print layout gains the prefecture-price column 県単価 as pData13, right after the standard
// price (pData12): in the rows 61 to 64 of PrintWidth and PrintWidths, pData13 to pData15 move one
// column up into pData14 to pData16.
inline constexpr int kPrefecturePriceColumn = 13;

// The 2010 release, without a package database: only a layout whose captions (row 61 of
// PrintWidth) are still those of the old four price columns is changed, so a second run, or a
// layout the 2009 release already changed, is left alone. The new column takes the caption
// 県単価 in row 61 and, in the other rows, the settings of the standard-price column.
void UpdatePrintWidths(RoutineRun& run, Database& target);
// The 2009 release: the tables first gain the package's columns, and the new column takes the
// value of the package's row of the same ID (a row the package lacks is left alone). Runs only
// under the caller's Version guard.
void UpdatePrintWidthsFromPackage(RoutineRun& run, Database& source, Database& target);

// Word and WordIndex gain the package's columns and are refilled from their old rows (kept in
// WordOld and WordIndexOld meanwhile), so the new columns take their default values. A table the
// target lacks is created from the package with its rows. An old table whose rows did not all
// come back stays, and a later run refills from it.
void UpdateWordTables(RoutineRun& run, Database& source, Database& target);

// The notation's "PrintWidthUpdate" (UpdatePrintWidths) and "WordTableUpdate".
void PrintWidthUpdate(RoutineRun& run, const Step& step, Database& source, Database& target,
                      VariantChooser& variants);
void WordTableUpdate(RoutineRun& run, const Step& step, Database& source, Database& target,
                     VariantChooser& variants);

// --- KrMasta.mdb and KrSet.mdb of the 2017 release (Feldin3) ------------------------------------

// The map service of the address links in SetWord; the application replaces [ADRS].
inline constexpr std::string_view kMapPlaceUrl = "https://www.google.co.jp/maps/place/[ADRS]/";
inline constexpr std::string_view kMapSearchUrl = "https://www.google.co.jp/maps/search/[ADRS]";
inline constexpr std::string_view kMountainDay = "山の日;08/11;;No;Yes;Yes";

// Mountain Day added to Holidays unless present; the place link of SetWord (IDs 231 to 239)
// becomes a search link.
void HolidaysAndMaps(RoutineRun& run, const Step& step, Database& source, Database& target,
                     VariantChooser& variants);
// Every user entry of list kind 205 is duplicated as kind 206, and the explained kinds from 206's
// order on (orders of 1000 and more excepted) move one place down.
void UserListRows(RoutineRun& run, const Step& step, Database& source, Database& target,
                  VariantChooser& variants);

// --- Consumption tax (2014) ---------------------------------------------------------------------

// The name a MinPrice formula uses for the consumption-tax factor instead of the literal 1.05.
inline constexpr std::string_view kTaxFactorName = "消費税係数";
// Passes of one formula's rewrite before it is given up.
inline constexpr int kFormulaPassLimit = 1000;

// text with every whole-token "1.05" replaced by the factor name, or nothing when nothing is to
// be written: no whole token, or the pass limit reached (then the formula keeps its old text).
std::optional<std::string> RewriteTaxFormula(std::string_view text);

}  // namespace kr::routines
