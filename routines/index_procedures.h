// The index structures of a year folder's price tables brought in line after a routine has
// transferred new items: the ranges of Cri_Ind / Cri_IndKB, the item names, the expense and
// unit-price group lists. Internal to routines/; reached through the procedure table.
//
// Each has the signature of procedures.h and the arguments of its notation step. Regime:
// step-and-continue inside (a missing table or row skips the steps that need it), nothing
// escapes.
#pragma once

#include "routines/procedures.h"

namespace kr::routines {

// BigIndexRefresh "caption": the target's block of Cri_Ind rows for that big-index caption (the
// 10,000 IDs from its first row on) replaced by the source's block, renumbered into the target's.
// A caption missing on either side changes nothing.
void BigIndexRefresh(RoutineRun& run, const Step& step, Database& source, Database& target,
                     VariantChooser& variants);

// ExpenseGroupInsertion: the source's expense group 34 takes the place just before group 11 of
// the target's Exp_Ind (the groups from there on move up by one). Runs once per database only
// because its routine's guard says so.
void ExpenseGroupInsertion(RoutineRun& run, const Step& step, Database& source, Database& target,
                           VariantChooser& variants);

// UnitPriceGroupRemoval: group 880 leaves Val_Ind and Val_IndD (the groups after it move down by
// one) and group 890 takes the caption of the construction packages.
void UnitPriceGroupRemoval(RoutineRun& run, const Step& step, Database& source, Database& target,
                           VariantChooser& variants);

// IndexRowInsertion: the source's range 1001910000 takes the ID of the target's range
// 1001990000, which moves one up; no other ID changes.
void IndexRowInsertion(RoutineRun& run, const Step& step, Database& source, Database& target,
                       VariantChooser& variants);

// NameRefresh ["KB"]: cName, cStand and cUnit of the target's Cri (Cri_KB) taken from the
// source's Cri_NameStand (Cri_NameStand_KB), row by row on Code.
void NameRefresh(RoutineRun& run, const Step& step, Database& source, Database& target,
                 VariantChooser& variants);

// IndexCopy ["KB"]: the source's Cri_Ind (Cri_IndKB) rows whose ID the target lacks are added;
// then the small captions of the source's Cri_Ind_SmlIndex (Cri_IndKB_SmlIndex) are set on the
// target's ranges, found by StrtCode.
void IndexCopy(RoutineRun& run, const Step& step, Database& source, Database& target,
               VariantChooser& variants);

}  // namespace kr::routines
