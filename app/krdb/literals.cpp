// Literals for dumps: Jet SQL ones where Jet SQL gives the value back exactly, KRDB ones for the
// rest (binaries, texts with NUL, currency beyond what a decimal literal keeps).
#include <cmath>
#include <cstdio>

#include "app/krdb/krdb_internal.h"

namespace kr::krdb {

namespace {

using K = Value::Kind;

// A decimal literal goes through a double: four decimals survive below 1e11.
constexpr int64_t kExactCurrencyLimit = int64_t{100000000000} * 10000;

bool ValidUtf8WithoutNul(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0) return false;
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

std::string CurrencyText(int64_t scaled) {
  bool negative = scaled < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string text = std::to_string(magnitude / 10000);
  uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(fraction));
    std::string f = digits;
    while (f.back() == '0') f.pop_back();
    text += "." + f;
  }
  return negative ? "-" + text : text;
}

std::string DateLiteral(double ole_days) {
  engine::DateTime t = engine::SplitDate(ole_days);
  if (engine::MakeDate(t) != ole_days) return "CDate(" + ShortestDouble(ole_days) + ")";
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "#%04d/%02d/%02d %02d:%02d:%02d#", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buffer;
}

bool Finite(double d) { return std::isfinite(d); }

}  // namespace

std::string JetLiteral(const Value& v) {
  switch (v.kind()) {
    case K::kNull:
      return "Null";
    case K::kBoolean:
      return v.integer() ? "True" : "False";
    case K::kByte:
    case K::kInteger:
    case K::kLong:
      return std::to_string(v.integer());
    case K::kCurrency:
      if (v.integer() <= -kExactCurrencyLimit || v.integer() >= kExactCurrencyLimit) return "";
      return CurrencyText(v.integer());
    case K::kSingle:
      return Finite(v.real()) ? ShortestSingle(static_cast<float>(v.real())) : "";
    case K::kDouble:
      return Finite(v.real()) ? ShortestDouble(v.real()) : "";
    case K::kDate:
      return Finite(v.real()) ? DateLiteral(v.real()) : "";
    case K::kText:
      return ValidUtf8WithoutNul(v.text()) ? engine::QuoteJetText(v.text()) : "";
    case K::kBinary:
      return "";
  }
  return "";
}

std::string KrdbLiteral(const Value& v) {
  switch (v.kind()) {
    case K::kCurrency:
      return "CCur(" + engine::QuoteJetText(CurrencyText(v.integer())) + ")";
    case K::kText:
      return engine::QuoteJetText(v.text());
    case K::kBinary:
      return Hex(v.text());
    default:
      return JetLiteral(v);
  }
}

}  // namespace kr::krdb
