// The variant value and its conversions, as the language run-time makes them.
#include <strings.h>

#include <cmath>
#include <cstdio>

#include "db/engine/dao_errors.h"
#include "db/engine/engine.h"
#include "db/engine/jet_values.h"
#include "db/engine/text_collation.h"

namespace kr::db::engine {

namespace {

int64_t RoundHalfEven(double v) { return static_cast<int64_t>(BankersRound(v)); }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

DateTime SplitDate(double ole_days) {
  DateParts p = PartsFromOle(ole_days);
  return DateTime{p.year, p.month, p.day, p.hour, p.minute, p.second};
}

double MakeDate(const DateTime& t) {
  auto ole = OleFromParts(DateParts{t.year, t.month, t.day, t.hour, t.minute, t.second});
  if (!ole) Raise(kErrOverflow);
  return *ole;
}

Value Value::Byte(uint8_t number) { return Of(Kind::kByte, int64_t{number}); }
Value Value::Integer(int16_t number) { return Of(Kind::kInteger, int64_t{number}); }
Value Value::Long(int32_t number) { return Of(Kind::kLong, int64_t{number}); }
Value Value::Currency(int64_t scaled) { return Of(Kind::kCurrency, int64_t{scaled}); }
Value Value::CurrencyOf(double number) {
  double scaled = number * 10000.0;
  if (!(std::fabs(scaled) < 9.2233720368547758e18)) Raise(kErrOverflow);
  return Currency(RoundHalfEven(scaled));
}
Value Value::Single(float number) { return Of(Kind::kSingle, double{number}); }
Value Value::Double(double number) { return Of(Kind::kDouble, double{number}); }
Value Value::Date(double ole_days) { return Of(Kind::kDate, double{ole_days}); }
Value Value::DateOf(int year, int month, int day, int hour, int minute, int second) {
  return Date(MakeDate(DateTime{year, month, day, hour, minute, second}));
}
Value Value::Text(std::string text) { return Value(std::move(text)); }
Value Value::Binary(std::string bytes) {
  Value v;
  v.kind_ = Kind::kBinary;
  v.text_ = std::move(bytes);
  return v;
}

int Value::FieldTypeCode() const {
  switch (kind_) {
    case Kind::kNull:
      return kText;
    case Kind::kBoolean:
      return kBoolean;
    case Kind::kByte:
      return kByte;
    case Kind::kInteger:
      return kInteger;
    case Kind::kLong:
      return kLong;
    case Kind::kCurrency:
      return kCurrency;
    case Kind::kSingle:
      return kSingle;
    case Kind::kDouble:
      return kDouble;
    case Kind::kDate:
      return kDate;
    case Kind::kText:
      return kText;
    case Kind::kBinary:
      return kLongBinary;
  }
  return kText;
}

bool Value::IsNumeric() const {
  switch (kind_) {
    case Kind::kNull:
      return false;
    case Kind::kText:
      return ParseNumberText(text_).has_value();
    case Kind::kBinary:
      return false;
    default:
      return true;
  }
}

double Value::ToDouble() const {
  switch (kind_) {
    case Kind::kNull:
      Raise(kJetInvalidUseOfNull);
    case Kind::kBoolean:
    case Kind::kByte:
    case Kind::kInteger:
    case Kind::kLong:
      return static_cast<double>(int_);
    case Kind::kCurrency:
      return static_cast<double>(int_) / 10000.0;
    case Kind::kSingle:
    case Kind::kDouble:
    case Kind::kDate:
      return real_;
    case Kind::kText: {
      if (auto n = ParseNumberText(text_)) return *n;
      if (auto d = ParseDateText(text_)) return *d;
      Raise(kErrTypeMismatch);
    }
    case Kind::kBinary:
      Raise(kErrTypeMismatch);
  }
  Raise(kErrTypeMismatch);
}

bool Value::ToBoolean() const {
  if (kind_ == Kind::kText) {
    std::string_view t = TrimBlanks(text_);
    if (t.size() == 4 && strncasecmp(t.data(), "true", 4) == 0) return true;
    if (t.size() == 5 && strncasecmp(t.data(), "false", 5) == 0) return false;
    if (auto n = ParseNumberText(t)) return *n != 0;
    Raise(kErrTypeMismatch);
  }
  if (kind_ == Kind::kBoolean || kind_ == Kind::kByte || kind_ == Kind::kInteger ||
      kind_ == Kind::kLong || kind_ == Kind::kCurrency)
    return int_ != 0;
  return ToDouble() != 0;
}

int32_t Value::ToLong() const {
  if (kind_ == Kind::kBoolean || kind_ == Kind::kByte || kind_ == Kind::kInteger ||
      kind_ == Kind::kLong)
    return static_cast<int32_t>(int_);
  double v = ToDouble();
  double r = std::nearbyint(v);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) Raise(kErrOverflow);
  return static_cast<int32_t>(r);
}

int64_t Value::ToCurrency() const {
  if (kind_ == Kind::kCurrency) return int_;
  if (kind_ == Kind::kBoolean || kind_ == Kind::kByte || kind_ == Kind::kInteger ||
      kind_ == Kind::kLong)
    return int_ * 10000;
  return CurrencyOf(ToDouble()).int_;
}

double Value::ToDate() const {
  if (kind_ == Kind::kText) {
    if (auto d = ParseDateText(text_)) return *d;
    if (auto n = ParseNumberText(text_)) return *n;
    Raise(kErrTypeMismatch);
  }
  return ToDouble();
}

std::string Value::ToText() const {
  switch (kind_) {
    case Kind::kNull:
      Raise(kJetInvalidUseOfNull);
    case Kind::kBoolean:
      return int_ ? "True" : "False";
    case Kind::kByte:
    case Kind::kInteger:
    case Kind::kLong:
      return std::to_string(int_);
    case Kind::kCurrency: {
      int64_t whole = int_ / 10000, frac = int_ % 10000;
      std::string s = (int_ < 0 && whole == 0 ? "-" : "") + std::to_string(whole);
      if (frac != 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04lld", static_cast<long long>(std::llabs(frac)));
        std::string d = digits;
        while (d.back() == '0') d.pop_back();
        s += "." + d;
      }
      return s;
    }
    case Kind::kSingle:
      return FormatSingle(real_);
    case Kind::kDouble:
      return FormatDouble(real_);
    case Kind::kDate:
      return FormatDate(real_);
    case Kind::kText:
    case Kind::kBinary:
      return text_;
  }
  return text_;
}

bool Value::operator==(const Value& other) const {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case Kind::kNull:
      return true;
    case Kind::kSingle:
    case Kind::kDouble:
    case Kind::kDate:
      return real_ == other.real_;
    case Kind::kText:
    case Kind::kBinary:
      return text_ == other.text_;
    default:
      return int_ == other.int_;
  }
}

namespace {

// SQLite's storage classes in the order it sorts them.
int OrderClass(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kNull:
      return 0;
    case Value::Kind::kText:
      return 2;
    case Value::Kind::kBinary:
      return 3;
    default:
      return 1;
  }
}

double Number(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kSingle:
    case Value::Kind::kDouble:
    case Value::Kind::kDate:
      return v.real();
    case Value::Kind::kCurrency:
      return static_cast<double>(v.integer()) / 10000;
    default:
      return static_cast<double>(v.integer());
  }
}

}  // namespace

int CompareOrdered(const Value& a, const Value& b) {
  int ca = OrderClass(a), cb = OrderClass(b);
  if (ca != cb) return ca < cb ? -1 : 1;
  switch (ca) {
    case 0:
      return 0;
    case 1: {
      // Whole numbers compare exactly, as the wide currency values would not as doubles.
      bool whole = a.kind() != Value::Kind::kSingle && a.kind() != Value::Kind::kDouble &&
                   a.kind() != Value::Kind::kDate && b.kind() == a.kind();
      if (whole) return a.integer() < b.integer() ? -1 : a.integer() > b.integer() ? 1 : 0;
      double x = Number(a), y = Number(b);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case 2:
      return CompareText(a.text(), b.text());
    default:
      return a.text().compare(b.text()) < 0 ? -1 : a.text() == b.text() ? 0 : 1;
  }
}

}  // namespace kr::db::engine
