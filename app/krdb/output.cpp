// Row output: TSV, CSV and JSON.
#include <charconv>
#include <cstdio>

#include "app/krdb/krdb_internal.h"

namespace kr::krdb {

namespace {

using K = Value::Kind;

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out.push_back(c);
  }
  return out;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
size_t Utf8Length(std::string_view text, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = byte(i);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  if (n == 2 && c < 0xC2) return 0;
  if (n == 3 && ((c == 0xE0 && byte(i + 1) < 0xA0) || (c == 0xED && byte(i + 1) >= 0xA0))) return 0;
  if (n == 4 &&
      ((c == 0xF0 && byte(i + 1) < 0x90) || c > 0xF4 || (c == 0xF4 && byte(i + 1) >= 0x90)))
    return 0;
  return n;
}

}  // namespace

// A JSON string; bytes that are no UTF-8 become U+FFFD.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out + "\"";
}

std::string JsonValue(const Value& v) {
  switch (v.kind()) {
    case K::kNull:
      return "null";
    case K::kBoolean:
      return v.integer() ? "true" : "false";
    case K::kByte:
    case K::kInteger:
    case K::kLong:
    case K::kCurrency:
      return DisplayText(v);
    case K::kSingle:
    case K::kDouble: {
      // JSON has no infinities or NaN.
      double d = v.real();
      return d - d == 0 ? DisplayText(v) : "null";
    }
    case K::kDate: {
      engine::DateTime t = engine::SplitDate(v.real());
      char buffer[48];
      std::snprintf(buffer, sizeof buffer, "\"%04d-%02d-%02dT%02d:%02d:%02d\"", t.year, t.month,
                    t.day, t.hour, t.minute, t.second);
      return buffer;
    }
    case K::kText:
      return JsonString(v.text());
    case K::kBinary:
      return JsonString(Hex(v.text()));
  }
  return "null";
}

std::string ShortestDouble(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::to_string(value);
}

std::string ShortestSingle(float value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::to_string(value);
}

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out = "0x";
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string DisplayText(const Value& v) {
  switch (v.kind()) {
    case K::kNull:
      return "";
    case K::kBoolean:
    case K::kByte:
    case K::kInteger:
    case K::kLong:
      return JetLiteral(v);  // True/False and the digits, as a literal has them
    case K::kCurrency:
      return v.ToText();
    case K::kSingle:
      return ShortestSingle(static_cast<float>(v.real()));
    case K::kDouble:
      return ShortestDouble(v.real());
    case K::kDate: {
      engine::DateTime t = engine::SplitDate(v.real());
      char buffer[48];
      std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                    t.hour, t.minute, t.second);
      return buffer;
    }
    case K::kText:
      return v.text();
    case K::kBinary:
      return Hex(v.text());
  }
  return {};
}

void RowWriter::Begin(std::vector<std::string> names) {
  names_ = std::move(names);
  first_row_ = true;
  switch (format_) {
    case Format::kTsv:
      for (size_t i = 0; i < names_.size(); ++i) out_ << (i ? "\t" : "") << Escaped(names_[i]);
      out_ << '\n';
      break;
    case Format::kCsv:
      for (size_t i = 0; i < names_.size(); ++i) out_ << (i ? "," : "") << CsvField(names_[i]);
      out_ << "\r\n";
      break;
    case Format::kJson:
      out_ << '[';
      break;
  }
}

void RowWriter::Row(const std::vector<Value>& values) {
  switch (format_) {
    case Format::kTsv:
      for (size_t i = 0; i < values.size(); ++i)
        out_ << (i ? "\t" : "") << (values[i].IsNull() ? "\\N" : Escaped(DisplayText(values[i])));
      out_ << '\n';
      break;
    case Format::kCsv:
      for (size_t i = 0; i < values.size(); ++i) {
        out_ << (i ? "," : "");
        if (values[i].kind() == K::kText && values[i].text().empty())
          out_ << "\"\"";
        else
          out_ << CsvField(DisplayText(values[i]));
      }
      out_ << "\r\n";
      break;
    case Format::kJson:
      out_ << (first_row_ ? "\n{" : ",\n{");
      for (size_t i = 0; i < values.size() && i < names_.size(); ++i)
        out_ << (i ? "," : "") << JsonString(names_[i]) << ':' << JsonValue(values[i]);
      out_ << '}';
      break;
  }
  first_row_ = false;
}

void RowWriter::End() {
  if (format_ == Format::kJson) out_ << (first_row_ ? "]\n" : "\n]\n");
  out_.flush();
}

void RunStatement(engine::Database& db, std::string_view sql, const ScriptOptions& options,
                  std::ostream& out) {
  if (IsKrdbStatement(sql)) {
    RunKrdbStatement(db, sql, options);
    return;
  }
  if (!engine::ReturnsRows(sql)) {
    db.Execute(sql, options.execute_options);
    return;
  }
  engine::Recordset rs = db.OpenRecordset(sql, engine::kOpenSnapshot);
  engine::FieldCollection fields = rs.Fields();
  std::vector<std::string> names;
  for (int i = 0; i < fields.Count(); ++i) names.push_back(fields[i].Name());
  RowWriter writer(out, options.format);
  writer.Begin(names);
  std::vector<Value> values(names.size());
  while (!rs.Eof()) {
    for (int i = 0; i < fields.Count(); ++i) values[static_cast<size_t>(i)] = fields[i].GetValue();
    writer.Row(values);
    rs.MoveNext();
  }
  writer.End();
  rs.Close();
}

}  // namespace kr::krdb
