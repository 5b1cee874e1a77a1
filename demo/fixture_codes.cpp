// Codes, prices and the Jet SQL pieces that write them, kept side by side so that what a test
// predicts and what the generator writes cannot drift apart.
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "demo/fixture_tables.h"

namespace kr::fixtures {
namespace internal {
namespace {

constexpr size_t kCodeWidth = 10;
constexpr double kInstalledBase = 1000;
constexpr double kSourceBase = 1005;
constexpr int kPriceStep = 10;

std::string Zeros(size_t count) { return std::string(count, '0'); }

}  // namespace

const std::vector<std::string>& PrefectureNames() {
  static const std::vector<std::string> names = {
      "北海道", "青森県", "岩手県", "宮城県", "秋田県", "山形県",   "福島県", "茨城県",
      "栃木県", "群馬県", "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県",
      "石川県", "福井県", "山梨県", "長野県", "岐阜県", "静岡県",   "愛知県", "三重県",
      "滋賀県", "京都府", "大阪府", "兵庫県", "奈良県", "和歌山県", "鳥取県", "島根県",
      "岡山県", "広島県", "山口県", "徳島県", "香川県", "愛媛県",   "高知県", "福岡県",
      "佐賀県", "長崎県", "熊本県", "大分県", "宮崎県", "鹿児島県", "沖縄県"};
  return names;
}

std::string Quote(std::string_view text) {
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
  return quoted + "'";
}

std::string Number(double number) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", number);
  return text;
}

std::string PadCode(std::string_view prefix, long long n) {
  std::string digits = std::to_string(n);
  size_t used = prefix.size() + digits.size();
  return std::string(prefix) + (used < kCodeWidth ? Zeros(kCodeWidth - used) : "") + digits;
}

// Right() pads; a number wider than the room left keeps all its digits, as PadCode does.
std::string CodeSql(std::string_view prefix) {
  size_t room = kCodeWidth > prefix.size() ? kCodeWidth - prefix.size() : 0;
  std::string limit = "1" + Zeros(room);
  return Quote(prefix) + " & IIf(N >= " + limit + ", '' & N, Right('" + Zeros(room) + "' & N, " +
         std::to_string(room) + "))";
}

double BasePrice(bool source, double offset) {
  return source ? kSourceBase + offset : kInstalledBase;
}

std::string PriceSql(const FillContext& c, double plus) {
  return "(" + Number(BasePrice(c.source, c.offset) + plus) + " + " + std::to_string(kPriceStep) +
         " * N)";
}

std::string SourceText(const FillContext& c, std::string_view text) {
  return c.source ? std::string(text) + " 新" + c.suffixes : std::string(text);
}

std::string TextSql(const FillContext& c, std::string_view label) {
  std::string sql = Quote(label) + " & N";
  return c.source ? sql + " & " + Quote(" 新" + c.suffixes) : sql;
}

std::string UserSql(const FillContext& c, const std::string& expression) {
  return c.source ? "Null" : "IIf(N Mod 5 = 0, " + expression + ", Null)";
}

}  // namespace internal

using internal::Resolve;

std::vector<std::string> DefaultDistricts() {
  return {"地区1,東京,", "地区2,大阪,", "単価1,×,105"};
}

std::string ItemCode(std::string_view table, int n) {
  internal::ResolvedTable resolved = Resolve(table);
  std::string prefix =
      resolved.digits.empty() ? std::string(resolved.layout->prefix) : resolved.digits;
  if (prefix.empty()) throw std::invalid_argument("no item codes in " + std::string(table));
  return internal::PadCode(prefix, n);
}

std::string SubItemCode(std::string_view table, int n) {
  internal::ResolvedTable resolved = Resolve(table);
  if (resolved.digits.empty()) throw std::invalid_argument("not a Val### table: " + resolved.name);
  return internal::PadCode("S" + resolved.digits, n);
}

std::string UserItemCode(std::string_view table, int k) {
  internal::ResolvedTable resolved = Resolve(table);
  std::string_view family = resolved.layout->name;
  std::string tail = "USER" + internal::PadCode("", k).substr(6);
  if (family == "Val###") return ItemCode(table, k) + tail;
  if (family == "Val###s") return SubItemCode(table, k) + tail;
  throw std::invalid_argument("no user rows in " + resolved.name);
}

NumberedKey NumberedKeyOf(int n) {
  return {1 + (n - 1) % 10, 1 + ((n - 1) / 10) % 10, 1 + (n - 1) / 100};
}

double InstalledPrice(std::string_view table, int n) {
  Resolve(table);
  return internal::BasePrice(false, 0) + internal::kPriceStep * n;
}

double SourcePrice(std::string_view table, int n) {
  Resolve(table);
  return internal::BasePrice(true, 0) + internal::kPriceStep * n;
}

double VariantPrice(std::string_view table, int n) {
  return internal::BasePrice(true, Resolve(table).offset) + internal::kPriceStep * n;
}

double PrefecturePrice(std::string_view table, std::string_view prefecture, int n) {
  const std::vector<std::string>& names = internal::PrefectureNames();
  auto found = std::find(names.begin(), names.end(), prefecture);
  if (found == names.end())
    throw std::invalid_argument("not a prefecture: " + std::string(prefecture));
  return VariantPrice(table, n) + 100.0 * static_cast<double>(found - names.begin() + 1);
}

UserValues InstalledUserValues(std::string_view table, int n) {
  double price = InstalledPrice(table, n);
  return {price + 1,
          price + 2,
          "U" + ItemCode(table, n),
          0.9,
          "ユーザー" + std::to_string(n),
          "よみ" + std::to_string(n),
          "2019/05/10"};
}

}  // namespace kr::fixtures
