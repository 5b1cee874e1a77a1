// The district-price refresh after new labour rates or new items: prices of the districts read
// from the source's prefecture columns, derived districts recomputed from their base district,
// and new items numbered within their index range. Internal to routines/.
//
// Regime: step-and-continue through run.steps; every statement is its own step, so one that
// fails (a missing table or column) is skipped and the others still run. The attached table
// LinkHikitugi is dropped at the end whatever happened.
#pragma once

#include <string_view>
#include <vector>

#include "routines/interpreter.h"

namespace kr::routines {

// Which steps of the labour-rate refresh run.
enum class NameSteps {
  kWith,     // new items added; names, standards and units of known ones replaced
  kWithout,  // prices only
};

// The target table's district prices from the source table of the same name (attached as
// LinkHikitugi): direct districts from the prefecture columns their 地区名 comment names,
// derived districts ("単価<base>,×,<percent>") as INT(base price * percent / 100) after those,
// then Null prices 0. Only items present in the source are touched. comment_column: the column
// of 地区名 describing the districts for this table.
void RefreshLabourPrices(RoutineRun& run, Database& source, Database& target,
                         std::string_view table, NameSteps names,
                         std::string_view comment_column = "コメント");

// RefreshLabourPrices without the name steps, reading the comment column of the table's kind
// (the name compared upper-cased: CRI, CRI_KB), then every item whose Index is 0 numbered after
// the highest Index of its index range (left at 0 when the range has none). Another table name:
// the comment and range steps are skipped, the Null prices still become 0.
void RefreshDistrictPrices(RoutineRun& run, Database& source, Database& target,
                           std::string_view table);

// Only the direct districts of the given prefectures (full names) of the table: their price
// columns from the source's prefecture columns.
void RefreshDirectDistricts(RoutineRun& run, Database& source, Database& target,
                            std::string_view table, const std::vector<std::string>& prefectures);

// The notation's procedures. RefreshLabourPrices: no argument or "a" full, "b" without the name
// steps, "c" "<table>" without them on that table. RefreshDistrictPrices: the step's table.
void RefreshLabourPricesStep(RoutineRun& run, const Step& step, Database& source, Database& target,
                             VariantChooser& variants);
void RefreshDistrictPricesStep(RoutineRun& run, const Step& step, Database& source,
                               Database& target, VariantChooser& variants);

}  // namespace kr::routines
