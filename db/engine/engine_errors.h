// Raising engine failures. The numbers the object model needs beyond the shared catalogue of
// dao_errors.h live here with their descriptions; everything goes out as a kr::Failure.
#pragma once

#include <string_view>

#include "db/engine/dao_errors.h"
#include "platform/failure.h"

namespace kr::db::engine {

enum EngineError : int {
  kEngReservedError = 3000,
  kEngNullInIndex = 3058,
  kEngUnknownFieldName = 3070,
  kEngCannotExecuteSelect = 3065,
  kEngUnknownInsertField = 3127,
  kEngOutputTableNotFound = 3192,
  kEngRecordDeleted = 3167,
  kEngNoFieldsDefined = 3264,
  kEngValidationRuleField = 3317,
  kEngOpenedExclusively = 3356,
  kEngConversionError = 3421,
  kEngSharedPasswordChange = 3621,
  kEngNotAnIndex = 3800,
};

// The failure for a number: the run-time's numbers below 3000, the shared catalogue, then the
// numbers above. "|1" and "|2" in a description take arg1 and arg2.
Failure EngineFailure(int number, std::string_view arg1 = {}, std::string_view arg2 = {},
                      std::string_view detail = {});
[[noreturn]] void Raise(int number, std::string_view arg1 = {}, std::string_view arg2 = {},
                        std::string_view detail = {});

}  // namespace kr::db::engine
