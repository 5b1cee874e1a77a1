// The DAO/Jet error numbers the engine raises, with the descriptions a Japanese Access user
// sees: the one catalogue of the engine. Every engine failure is a kr::Failure made here, so
// number, Japanese description and English log text stay consistent. Internal to db/engine (callers
// above it see kr::Failure).
//
// Descriptions may hold the placeholders "|1" and "|2" (Jet's own notation), replaced by the
// arguments of DaoFailure.
//
// Errors raised inside SQLite by the engine's SQL functions travel as the SQLite error message
// "jet:<number>:<Japanese description>" (JetSqlErrorText builds it, sqlite3_result_error
// carries it); FailureFromSqliteMessage turns such a message back into the Failure.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace kr::db::engine {

enum DaoError : int {
  // Numbers below 3000 are the run-time's own, raised by expression functions.
  kJetInvalidCall = 5,  // Mid(x, 0), Left(x, -1)
  kJetOverflow = 6,     // CInt(40000)
  kJetDivisionByZero = 11,
  kJetInvalidPattern = 93,  // Like pattern with an unclosed "["
  kJetInvalidUseOfNull = 94,

  kDaoReservedError = 3000,
  kDaoInvalidArgument = 3001,
  kDaoTableExists = 3010,
  kDaoObjectNotFound = 3011,
  kDaoUpdateWithoutEdit = 3020,
  kDaoNoCurrentRecord = 3021,
  kDaoDuplicateValue = 3022,
  kDaoFileNotFound = 3024,
  kDaoDiskFull = 3026,
  kDaoReadOnly = 3027,
  kDaoNotValidPassword = 3031,
  kDaoCommitWithoutBegin = 3034,
  kDaoDiskOrNetworkError = 3043,
  kDaoNotValidPath = 3044,
  kDaoFileInUse = 3045,
  kDaoCannotOpenFile = 3051,
  kDaoNullInIndex = 3058,
  kDaoTooFewParameters = 3061,
  kDaoCannotExecuteSelect = 3065,
  kDaoUnknownFieldName = 3070,
  kDaoNotUpdatableQuery = 3073,
  kDaoQueryExpressionSyntax = 3075,
  kDaoInputTableNotFound = 3078,
  kDaoAmbiguousField = 3079,
  kDaoHavingWithoutGrouping = 3091,
  kDaoOrderByConflictsWithDistinct = 3093,
  kDaoAggregateInWhere = 3096,
  kDaoUndefinedFunction = 3085,
  kDaoNotInAggregate = 3122,
  kDaoInvalidName = 3125,
  kDaoInvalidBracketing = 3126,
  kDaoUnknownInsertField = 3127,
  kDaoInvalidStatement = 3129,
  kDaoFromClauseSyntax = 3131,
  kDaoParameterSyntax = 3132,
  kDaoInsertSyntax = 3134,
  kDaoJoinSyntax = 3135,
  kDaoMissingSemicolon = 3137,
  kDaoOrderBySyntax = 3138,
  kDaoSelectSyntax = 3141,
  kDaoCharactersAfterEnd = 3142,
  kDaoUnionSyntax = 3143,
  kDaoUpdateSyntax = 3144,
  kDaoWhereSyntax = 3145,
  kDaoFieldTooSmall = 3163,
  kDaoRecordDeleted = 3167,
  kDaoIsamNotFound = 3170,
  kDaoFieldDefinedTwice = 3191,
  kDaoOutputTableNotFound = 3192,
  kDaoRelatedRecordsExist = 3200,
  kDaoRelatedRecordRequired = 3201,
  kDaoDatabaseExists = 3204,
  kDaoTableLocked = 3211,
  kDaoInvalidOperation = 3219,
  kDaoNotInTransaction = 3246,
  kDaoOperationNotSupported = 3251,
  kDaoInvalidFieldType = 3259,
  kDaoNoFieldsDefined = 3264,
  kDaoItemNotFound = 3265,
  kDaoPropertyNotFound = 3270,
  kDaoPrimaryKeyExists = 3283,
  kDaoConstraintSyntax = 3289,
  kDaoCreateTableSyntax = 3290,
  kDaoCreateIndexSyntax = 3291,
  kDaoFieldDefinitionSyntax = 3292,
  kDaoAlterTableSyntax = 3293,
  kDaoDropSyntax = 3295,
  kDaoSubqueryManyFields = 3306,
  kDaoUnionColumnCount = 3307,
  kDaoFieldRequired = 3314,
  kDaoZeroLengthNotAllowed = 3315,
  kDaoValidationRule = 3316,
  kDaoValidationRuleField = 3317,
  kDaoUnrecognizedFormat = 3343,
  kDaoValueCountMismatch = 3346,
  kDaoSubqueryManyRecords = 3354,
  kDaoOpenedExclusively = 3356,
  kDaoQueryTooComplex = 3360,
  kDaoCannotAppendExisting = 3367,
  kDaoNoTableOrConstraint = 3371,
  kDaoIndexExists = 3375,
  kDaoTableDoesNotExist = 3376,
  kDaoFieldExists = 3380,
  kDaoObjectInvalid = 3420,
  kDaoConversionError = 3421,
  kDaoTypeMismatch = 3464,
  kDaoSharedPasswordChange = 3621,
  kDaoNotAnIndex = 3800,
};

// The Japanese description template of a number ("" when the catalogue lacks it).
std::string_view DaoDescriptionTemplate(int number);
// The English template, for the log ("" when unknown).
std::string_view DaoEnglishTemplate(int number);

// The description with "|1" and "|2" (a lone "|" counts as "|1") replaced by the arguments.
std::string DaoDescription(int number, std::string_view arg1 = {}, std::string_view arg2 = {});

// A failure with the catalogue's description. detail, when given, is appended to the English
// log text (for example the statement or a position). A number below 3000 the catalogue lacks
// takes the run-time's own description (91, 13, 7, ...); any other unknown number becomes 3000
// (reserved error) naming it.
Failure DaoFailure(int number, std::string_view arg1 = {}, std::string_view arg2 = {},
                   std::string_view detail = {});
// Throws DaoFailure(number, ...).
[[noreturn]] void Raise(int number, std::string_view arg1 = {}, std::string_view arg2 = {},
                        std::string_view detail = {});

// The variants of error 3075 ("... in query expression '|'"), all under the one number.
enum class ExpressionSyntax {
  kMissingOperator,   // a = = 1, a b, a =
  kString,            // unterminated '...' or "..."
  kDate,              // #2020/13/45#, unterminated #...
  kExtraParenthesis,  // a)
  kMissingBracket,    // (a, [a, f(a
  kComma,             // a, b where one expression is expected
  kArgumentCount,     // Left(a)
  kInvalidDot,        // a.b.c, a.(b)
  kPattern,           // Like '[a'
};

// Error 3075 for expression (the text of the query expression, as Jet quotes it); position is
// the 1-based character position in the statement where parsing stopped, for the log.
Failure ExpressionFailure(ExpressionSyntax kind, std::string_view expression, size_t position);

// "jet:<number>:<description>" for sqlite3_result_error inside an SQL function.
std::string JetSqlErrorText(int number, std::string_view arg1 = {});
// The failure carried by an SQLite error message made by JetSqlErrorText, or 3360 (query too
// complex) for SQLite's limits on a statement's shape (its parser's stack, expression depth,
// compound and join sizes), which deeply nested Jet SQL can reach; nothing for any other
// message.
std::optional<Failure> FailureFromSqliteMessage(std::string_view message);

// 1-based character position (UTF-8 code points) of a byte offset in text.
size_t CharacterPosition(std::string_view text, size_t byte_offset);

}  // namespace kr::db::engine
