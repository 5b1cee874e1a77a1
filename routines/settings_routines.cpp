// Settings routines and procedures: single settings of the shared databases, the
// consumption-tax formulas and the cover-sheet settings of KelmoraSetting.xml.
#include "routines/settings_routines.h"

#include <array>
#include <vector>

#include "routines/catalogue.h"
#include "routines/procedures.h"

namespace kr::routines {

namespace {

// A number as Jet SQL reads it back: 12, -1, 2.5.
std::string Number(const db::Value& value) {
  return db::NzString(db::Value::Currency(db::NzNumber(value).scaled()));
}

// --- Consumption tax -----------------------------------------------------------------------------

constexpr std::array<std::string_view, 14> kFormulaDelimiters = {" ", "(", ")", ",", "<", ">", "=",
                                                                 "+", "-", "*", "/", "×", "÷", "^"};
constexpr std::string_view kOldFactor = "1.05";

// Whether the character is a delimiter once narrowed ("（" counts as "(").
bool IsDelimiter(std::string_view character) {
  std::string narrow = support::NarrowLowerCase(character);
  for (std::string_view delimiter : kFormulaDelimiters) {
    if (narrow == delimiter) return true;
  }
  return false;
}

// Stage two: the MinPrice formulas of one expenses database, row by row.
void TaxFormulas(RoutineRun& run, Database& target) {
  db::Recordset rs;
  if (!run.steps.Step([&] { rs = target.OpenRecordset("SELECT * FROM MinPrice;"); })) return;
  while (run.steps.Value(false, [&] { return !rs.Eof(); })) {
    run.steps.Step([&] {
      std::string text = db::NzString(rs["Text1"].GetValue());
      if (text.empty()) return;
      std::optional<std::string> rewritten = RewriteTaxFormula(text);
      if (!rewritten) return;
      rs.Edit();
      rs["Text1"].SetValue(db::Value(*rewritten));
      rs.Update();
    });
    if (!run.steps.Step([&] { rs.MoveNext(); })) break;
  }
  run.steps.Step([&] { rs.Close(); });
}

// --- Cover-sheet settings ------------------------------------------------------------------------

struct XmlSetting {
  std::string_view section;
  std::string_view key;
  std::string_view value;
};

// The set for a cover sheet dated in the Western calendar (the era changes in May 2019), amounts
// shown with their tax stated apart. Written only where the user kept the shipped value.
constexpr std::array<XmlSetting, 22> kCoverSettings = {{
    {"表紙", "日付元号表示", "西暦"},
    {"表紙", "消費税表示", "True"},
    {"表紙", "消費税表示含まず", "( 消費税別途 )"},
    {"表紙", "税込表示", "True"},
    {"表紙", "金額表示", "True"},
    {"表紙", "金額表示1", "金 ;円也"},
    {"表紙", "金額表示2", "\\ ; －"},
    {"表紙", "金額表示3", ";円也"},
    {"表紙", "金額表示4", ";"},
    {"表紙", "金額表示5", "金 ;円也"},
    {"表紙", "金額表示6", "\\ ; －"},
    {"表紙", "消費税表示1", "(消費税額 \\ ; - )"},
    {"表紙", "消費税表示2", "(内消費税額 \\ ; －)"},
    {"表紙", "消費税表示3", "(消費税額 \\ ; - )"},
    {"表紙", "消費税表示4", "(内消費税額 \\ ; －)"},
    {"表紙", "消費税表示5", "(消費税額 \\ ; - )"},
    {"表紙", "消費税表示6", "(内消費税額 \\ ; －)"},
    {"表紙", "印刷物補正XY", "1.044"},
    {"表紙", "印刷物補正FONT", "1.02"},
    {"代価表", "名称規格の下線不要", "True"},
    {"明細書", "名称規格の下線不要", "True"},
    {"Other", "NotUseXlsFilePath", "True"},
}};

// --- Re-codes ------------------------------------------------------------------------------------

// Recode of each row of the query emptied where it is a four-digit number.
void ClearFourDigitRecodes(RoutineRun& run, Database& db, const std::string& select) {
  db::Recordset rs;
  if (!run.steps.Step([&] { rs = db.OpenRecordset(select); })) return;
  while (run.steps.Value(false, [&] { return !rs.Eof(); })) {
    run.steps.Step([&] {
      db::Currency recode = db::NzNumber(rs["Recode"].GetValue());
      if (recode < db::Currency::FromInteger(1000) || recode > db::Currency::FromInteger(9999)) {
        return;
      }
      rs.Edit();
      rs["Recode"].SetValue(db::Value(""));
      rs.Update();
    });
    if (!run.steps.Step([&] { rs.MoveNext(); })) break;
  }
  run.steps.Step([&] { rs.Close(); });
}

constexpr std::string_view kRecodedSlips =
    "SELECT UkeCode FROM Uke WHERE (((Val([UkeCode])) In (SELECT Ukes.UkeCode From Ukes WHERE "
    "(((Ukes.[NowCode])<>'') AND ((Ukes.[Recode])<>'')) GROUP BY Ukes.UkeCode)) AND "
    "((Uke.KelmoraFile)=False));";

}  // namespace

std::optional<std::string> RewriteTaxFormula(std::string_view formula) {
  std::string text(formula);
  bool changed = false;
  int passes = 1;
  size_t p = text.find(kOldFactor);
  while (p != std::string::npos) {
    bool before = p == 0 || IsDelimiter(support::CharRight(text.substr(0, p), 1));
    size_t next = p + kOldFactor.size();
    bool after = next >= text.size() ||
                 IsDelimiter(support::CharLeft(std::string_view(text).substr(next), 1));
    if (before && after) {
      text = text.substr(0, p) + std::string(kTaxFactorName) + text.substr(next);
      changed = true;
    }
    if (++passes > kFormulaPassLimit) {
      // Given up: a "1.05" inside a longer number is found again in every pass.
      changed = false;
      break;
    }
    p = text.find(kOldFactor);
  }
  if (!changed) return std::nullopt;
  return text;
}

// Stage one, option 7 of the settings database; stage two, the MinPrice formulas of the
// expenses databases. Each stage has its guard and stamp in the row.
void Update2013H2604Syouhizei(RoutineRun& run) {
  Database none;
  Hooks settings;
  settings.work = [&](EntryContext& e) {
    run.steps.Step([&] {
      db::Recordset rs = e.target.OpenRecordset("SELECT * FROM SetOption WHERE [ID]=7;");
      if (!rs.Eof()) {
        rs.Edit();
        rs["Result"].SetValue(db::Value::Integer(8));
        rs.Update();
      }
      rs.Close();
    });
  };
  MigrateTarget(run, {run.InstallFile("File\\KrSet.mdb"), ""}, none, 0, settings);
  Hooks formulas;
  formulas.work = [&](EntryContext& e) { TaxFormulas(run, e.target); };
  for (std::string_view folder : {"平成25年度", "平成26年度(一部更新)"}) {
    std::string year = run.InstallFile("File\\" + std::string(folder) + "\\");
    MigrateTarget(run, {year + "KrExp.mdb", year}, none, 1, formulas);
  }
}

void Update2018KelmoraSettingH3104(RoutineRun& run) {
  for (const XmlSetting& setting : kCoverSettings) {
    run.steps.Call([&] {
      support::CarryXmlSetting(run.context, setting.section, setting.key, setting.value);
    });
  }
}

void HolidaysAndMaps(RoutineRun& run, const Step&, Database&, Database& target, VariantChooser&) {
  run.steps.Step([&] {
    db::Recordset rs = target.OpenRecordset("SELECT * FROM Holidays WHERE HolidayString=" +
                                            db::QuoteJetText(kMountainDay));
    if (rs.Eof()) {
      rs.AddNew();
      rs["HolidayString"].SetValue(db::Value(kMountainDay));
      rs.Update();
    }
    rs.Close();
  });
  run.steps.Step([&] {
    db::Recordset rs = target.OpenRecordset(
        "SELECT * FROM SetWord WHERE Comment=" + db::QuoteJetText(kMapPlaceUrl) +
        " AND [ID]>=231 AND [ID]<=239");
    if (!rs.Eof()) {
      rs.Edit();
      rs["Comment"].SetValue(db::Value(kMapSearchUrl));
      rs.Update();
    }
    rs.Close();
  });
}

void UserListRows(RoutineRun& run, const Step&, Database&, Database& target, VariantChooser&) {
  std::vector<std::string> copies;
  run.steps.Step([&] {
    db::Recordset rs =
        target.OpenRecordset("SELECT * FROM UserList WHERE UserCode>=-1 AND UserKind=205;");
    for (; !rs.Eof(); rs.MoveNext()) {
      copies.push_back(
          "INSERT INTO [UserList] (UserCode, UserKind, UserConfigWord, UserConfig1, UserConfig2, "
          "UserConfig3) VALUES (" +
          Number(rs["UserCode"].GetValue()) + ",206," +
          db::QuoteJetText(db::NzString(rs["UserConfigWord"].GetValue())) + "," +
          Number(rs["UserConfig1"].GetValue()) + "," + Number(rs["UserConfig2"].GetValue()) + "," +
          Number(rs["UserConfig3"].GetValue()) + ")");
    }
    rs.Close();
  });
  for (const std::string& insert : copies) run.steps.Step([&] { target.Execute(insert); });
  // Kind 206 takes its place in the explained list: the kinds from its order on move down.
  run.steps.Step([&] {
    db::Recordset rs = target.OpenRecordset("SELECT * FROM UserListExplain WHERE UserKind=206;");
    std::string order = Number(rs["UserConfigOrder"].GetValue());
    rs.Close();
    target.Execute(
        "UPDATE UserListExplain SET UserConfigOrder=UserConfigOrder+1 WHERE UserConfigOrder>=" +
        order + " AND UserConfigOrder<1000 AND UserKind<>206");
  });
}

// The slips whose re-codes were renumbered, and their four-digit re-codes emptied in both
// databases; nothing at all when the slips database has none.
void UpdateFeldin3MitDeleteRecodeH3004(RoutineRun& run) {
  std::string uke_path = run.InstallFile("File\\KrUke.mdb");
  std::vector<db::Value> codes;
  Database uke = run.OpenIfPresent(uke_path);
  if (!uke.IsOpen()) return;
  run.steps.Step([&] {
    db::Recordset rs = uke.OpenRecordset(kRecodedSlips);
    for (; !rs.Eof(); rs.MoveNext()) codes.push_back(rs["UkeCode"].GetValue());
    rs.Close();
  });
  run.Close(uke);
  if (codes.empty()) return;
  Hooks hooks;
  hooks.work = [&](EntryContext& e) {
    bool slips = e.place.path == uke_path;
    for (const db::Value& code : codes) {
      ClearFourDigitRecodes(
          run, e.target,
          slips ? "SELECT * FROM Ukes WHERE NowCode<>'' AND Recode<>'' AND UkeCode=" +
                      Number(code) + ";"
                : "SELECT * FROM Nou_s WHERE NowCode<>'' AND Recode<>'' AND NouCode IN "
                  "(SELECT NouCode From Nou WHERE UkeCode=" +
                      db::QuoteJetText(db::NzString(code)) + ");");
    }
  };
  RunSkeleton(run, hooks);
}

}  // namespace kr::routines
