// Part of the engine's public interface (include "db/engine/engine.h"): the DAO constants and
// the values fields hold.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace kr::db::engine {

// --- DAO constants ------------------------------------------------------------------------------

// Field.Type codes.
enum FieldType : int {
  kBoolean = 1,
  kByte = 2,
  kInteger = 3,
  kLong = 4,
  kCurrency = 5,
  kSingle = 6,
  kDouble = 7,
  kDate = 8,
  kBinary = 9,
  kText = 10,
  kLongBinary = 11,
  kMemo = 12,
};

// OpenRecordset types (0 lets the engine choose as DAO does: a local table name opens the table
// itself, a linked table or a statement opens a dynaset).
enum RecordsetType : int {
  kOpenDefault = 0,
  kOpenTable = 1,
  kOpenDynaset = 2,
  kOpenSnapshot = 4,
  kOpenForwardOnly = 8,
};

// Options of Execute and OpenRecordset (bit flags, DAO values).
enum Option : int {
  kDenyWrite = 1,
  kReadOnly = 4,
  kAppendOnly = 8,
  kFailOnError = 128,  // Execute: raise on the first row that cannot change, undo the statement
  kSeeChanges = 512,
};

// TableDef.Attributes bits.
constexpr int32_t kSystemObject = static_cast<int32_t>(0x80000002u);
constexpr int32_t kAttachedTable = 0x40000000;
// Relation attributes.
constexpr int32_t kRelationUpdateCascade = 256;
constexpr int32_t kRelationDeleteCascade = 4096;
// Field.Attributes bits.
constexpr int32_t kFixedField = 1;
constexpr int32_t kVariableField = 2;
constexpr int32_t kAutoIncrField = 16;
constexpr int32_t kUpdatableField = 32;

// --- Values -------------------------------------------------------------------------------------

// A variant as DAO hands it out: Null or one typed value.
class Value {
 public:
  enum class Kind : uint8_t {
    kNull,
    kBoolean,
    kByte,
    kInteger,   // 16-bit
    kLong,      // 32-bit
    kCurrency,  // 64-bit integer scaled by 10,000
    kSingle,
    kDouble,
    kDate,  // OLE automation date: days since 1899-12-30, time as the fraction
    kText,
    kBinary,
  };

  Value() = default;  // Null
  Value(bool b) : kind_(Kind::kBoolean), int_(b ? -1 : 0) {}
  Value(int number) : kind_(Kind::kLong), int_(number) {}
  // Wider integers: a Long when they fit, else a Double (Jet has no 64-bit integer type).
  Value(long number) { SetWide(number); }
  Value(long long number) { SetWide(number); }
  Value(unsigned number) { SetWide(number); }
  Value(unsigned long number) { SetWide(static_cast<long long>(number)); }
  Value(unsigned long long number) { SetWide(static_cast<long long>(number)); }
  Value(double number) : kind_(Kind::kDouble), real_(number) {}
  Value(const char* text) : kind_(Kind::kText), text_(text) {}
  Value(std::string text) : kind_(Kind::kText), text_(std::move(text)) {}
  Value(std::string_view text) : kind_(Kind::kText), text_(text) {}

  static Value Null() { return Value(); }
  static Value Boolean(bool b) { return Value(b); }
  static Value Byte(uint8_t number);
  static Value Integer(int16_t number);
  static Value Long(int32_t number);
  static Value Currency(int64_t scaled);   // scaled by 10,000
  static Value CurrencyOf(double number);  // rounded half-even to four decimals
  static Value Single(float number);
  static Value Double(double number);
  static Value Date(double ole_days);
  static Value DateOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
  static Value Text(std::string text);
  static Value Binary(std::string bytes);

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  // The DAO type code a field of this value's kind has (kText for Null).
  int FieldTypeCode() const;
  // True for numbers, Booleans, dates and texts that read as a number ("12.5", " 2009 ").
  bool IsNumeric() const;

  // Conversions as the language run-time makes them (CBool, CLng, CCur, CDbl, CDate, CStr).
  // Null raises 94 (invalid use of Null); a text that is not a number or date raises 13
  // (type mismatch); out of range raises 6 (overflow). Texts read "." as the decimal point.
  bool ToBoolean() const;
  int32_t ToLong() const;      // rounds half to even
  int64_t ToCurrency() const;  // scaled by 10,000, rounded half to even
  double ToDouble() const;
  double ToDate() const;       // OLE days
  std::string ToText() const;  // CStr: "True"/"False", 15 significant digits, yyyy/mm/dd

  // Raw parts, for formatting: the integer of Boolean/Byte/Integer/Long/Currency (scaled), the
  // number of Single/Double/Date, the bytes of Text/Binary.
  int64_t integer() const { return int_; }
  double real() const { return real_; }
  const std::string& text() const { return text_; }

  // Same kind and same content.
  bool operator==(const Value& other) const;

 private:
  static Value Of(Kind kind, int64_t number) {
    Value v;
    v.kind_ = kind;
    v.int_ = number;
    return v;
  }
  static Value Of(Kind kind, double number) {
    Value v;
    v.kind_ = kind;
    v.real_ = number;
    return v;
  }
  void SetWide(long long number) {
    if (number >= INT32_MIN && number <= INT32_MAX) {
      kind_ = Kind::kLong;
      int_ = number;
    } else {
      kind_ = Kind::kDouble;
      real_ = static_cast<double>(number);
    }
  }

  Kind kind_ = Kind::kNull;
  int64_t int_ = 0;
  double real_ = 0;
  std::string text_;
};

// The order ORDER BY gives two values of one column: Null first, then numbers (Booleans, dates
// and currency among them) by value, then texts as the database compares them (letter case and
// width folded, so texts that differ only so compare 0), then binaries by their bytes. <0, 0
// or >0. Lets a caller merge two ordered reads.
int CompareOrdered(const Value& a, const Value& b);

// Calendar parts of an OLE date (seconds rounded), and back.
struct DateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
DateTime SplitDate(double ole_days);
double MakeDate(const DateTime& parts);

}  // namespace kr::db::engine
