// The catalogue as a reader of the release notes would check it: every routine name with its
// kind, source, targets, guard, record, backup and source check.
#include <set>

#include "routines/catalogue.h"
#include "routines/routines.h"
#include "tests/routines/routines_fixture.h"

namespace kr::routines::test {
namespace {

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : std::string(separator)) + part;
  return text;
}

std::string Render(const Targets& t) {
  switch (t.selection) {
    case Selection::kFixed:
      return Join(t.places, " ; ");
    case Selection::kYearFolderList:
      return Join(t.places, " / ") + " (" + t.file + ")";
    case Selection::kEveryYearFolder:
      return "every year folder (" + t.file + ")";
    case Selection::kOwn:
      return t.description;
  }
  return "";
}

std::string Render(const std::vector<Guard>& guards) {
  std::vector<std::string> parts;
  for (const Guard& g : guards) {
    if (g.at_least) parts.push_back(g.at_least->Text());
    if (!g.comment_contains.empty()) parts.push_back("comment \"" + g.comment_contains + "\"");
    std::string tags;
    for (const std::string& tag : g.with_any_tag)
      tags += (tags.empty() ? "with \"" : " \"") + tag + "\"";
    if (!g.without_tag.empty())
      tags += (tags.empty() ? "" : " ") + ("without \"" + g.without_tag + "\"");
    if (!tags.empty()) parts.push_back(tags);
  }
  return parts.empty() ? "-" : Join(parts, ", ");
}

std::string Render(const std::vector<Record>& record) {
  constexpr const char* kKinds[] = {"stamp",   "copy",    "Version rows", "tag",
                                    "comment", "set Ver", "marker"};
  std::vector<std::string> parts;
  for (const Record& r : record) {
    std::string part = kKinds[static_cast<int>(r.kind)];
    if (r.kind != RecordKind::kCopy && r.kind != RecordKind::kVersionRows)
      part += " \"" + r.text + "\"";
    if (!r.comment.empty()) part += " comment \"" + r.comment + "\"";
    parts.push_back(part);
  }
  return parts.empty() ? "-" : Join(parts, " + ");
}

std::string Render(const Routine& r) {
  std::string check = r.check == SourceCheck::kLate    ? "late"
                      : r.check == SourceCheck::kEarly ? "early"
                                                       : "none";
  return r.name + " | " + std::string(KindName(r.kind)) + " | " +
         (r.sources.empty() ? "-" : Join(r.sources, ", ")) + " | " + Render(r.targets) + " | " +
         Render(r.guards) + " | " + Render(r.record) + " | " + (r.backup ? "yes" : "no") + " | " +
         check;
}

// One row a line, in catalogue order.
constexpr std::string_view kExpected = R"(
UpdateSpeExeH20 | other | KrValH20SpeExe.mdb | File\平成20年度\KrVal.mdb | - | - | no | early
UpdateCriBaseYamanashiH21 | prices | KrCriUp.mdb | File\平成21年度\KrCri.mdb | - | - | no | early
Update200910Exp | expenses | KrExpH20.mdb | File\平成20年度\KrExp.mdb | 2009,1,1 | copy | yes | early
Update200910Exp | expenses | KrExpH21.mdb | File\平成21年度\KrExp.mdb ; File\平成22年度(一部更新)\KrExp.mdb | 2009,1,1 | copy | yes | early
Update200910Exp | settings | - | File\KrSet.mdb | 2009,1,2, 2009,1,1 | copy | yes | none
Update200910Exp | settings | KrNumber.ini | KrNumber.ini of the install folder | - | - | yes | early
Update200910Val | unit prices | KrVal200910.mdb | File\平成21年度\KrVal.mdb ; File\平成22年度(一部更新)\KrVal.mdb | 2009,1,3 | copy | yes | early
Update200910Cri | prices | KrCri200910.mdb | File\平成21年度\KrCri.mdb ; File\平成22年度(一部更新)\KrCri.mdb | 2009,1,3 | copy | yes | early
Delete2009SetOpenChk | settings | - | File\KrSet.mdb | - | - | no | none
Update2009Exp_Naigai | expenses | - | every year folder (KrExp.mdb) | - | set Ver "2009,1,1" | no | none
Update2009Val_Obikane | unit prices | KrValObi.mdb | File\平成21年度\KrVal.mdb ; File\平成22年度(一部更新)\KrVal.mdb | - | - | no | early
Update2010SetPrintWidth | settings | - | File\KrSet.mdb | - | - | no | none
Update2010Val07 | unit prices | KrVal201007.mdb | File\平成22年度\KrVal.mdb ; File\平成23年度(一部更新)\KrVal.mdb | 2010,1,2 | Version rows | no | early
Update2010Cri10 | prices | KrCri201010.mdb | File\平成22年度\KrCri.mdb ; File\平成23年度(一部更新)\KrCri.mdb | 2010,1,3 | Version rows | no | early
Update2010Val10 | unit prices | KrVal201010.mdb | 平成22年度 / 平成23年度(一部更新) (KrVal.mdb) | 2010,1,3 | copy | yes | early
Update2010Exp10 | expenses | KrExp201010.mdb | File\平成22年度\KrExp.mdb ; File\平成23年度(一部更新)\KrExp.mdb | 2010,1,1 | Version rows | no | early
Update2011Cri10 | prices | KrCri201110.mdb | File\平成23年度\KrCri.mdb ; File\平成24年度(一部更新)\KrCri.mdb | 2011,1,4 | Version rows | no | early
Update2011Val10 | unit prices | KrVal201110.mdb | 平成23年度 / 平成24年度(一部更新) (KrVal.mdb) | 2011,1,4 | copy | yes | early
Update2011UserCode | other | UserCode2011.mdb | 平成23年度 / 平成24年度(一部更新) (KrVal.mdb) | - | - | no | early
Update2011CriTikuName | prices | KrCriTikuName.mdb | 平成23年度 / 平成24年度(一部更新) (KrCri.mdb) | - | - | no | early
Update2011Exp | expenses | KrExp201204.mdb | 平成23年度 / 平成24年度(一部更新) (KrExp.mdb) | 2011,1,1 | copy | no | early
Update2012CriTohoku | prices | KrData201208.mdb | 平成24年度 / 平成25年度(一部更新) (KrCri.mdb) | 2012,1,2 | Version rows | no | early
Update2012Exp10 | expenses | KrExp201210.mdb | 平成24年度 / 平成25年度(一部更新) (KrExp.mdb) | 2012,1,1 | Version rows | no | early
Update2012Cri10 | prices | KrCri201210.mdb | 平成24年度 / 平成25年度(一部更新) (KrCri.mdb) | 2012,1,5 | Version rows | no | early
Update2012Val10 | unit prices | KrVal201210.mdb | 平成24年度 / 平成25年度(一部更新) (KrVal.mdb) | 2012,1,3 | copy | yes | early
Update2012Box10 | other | KrBox.mdb | 平成23年度 / 平成24年度 / 平成25年度(一部更新) (KrBox.mdb) | 2012,1,1 | - | no | early
Update2013Exp02 | expenses | KrExp201302.mdb | 平成24年度 / 平成25年度(一部更新) (KrExp.mdb) | 2012,1,2 | Version rows | no | early
Update2013Cri02 | prices | KrCri201302.mdb | 平成24年度 / 平成25年度(一部更新) (KrCri.mdb) | 2012,1,6 | Version rows | no | early
Update2013Val02 | unit prices | KrVal201302.mdb | 平成24年度 / 平成25年度(一部更新) (KrVal.mdb) | 2012,1,4 | copy | yes | early
Update2013Exp06 | expenses | KrExp201306.mdb | 平成24年度 / 平成25年度(一部更新) (KrExp.mdb) | 2012,1,3 | Version rows | no | early
Update2013Cri08 | prices | KrData201308.mdb | 平成25年度 (KrCri.mdb) | 2013,1,1 | stamp "2013,1,1" | yes | early
Update2013Cri10 | prices | KrCri201310.mdb | 平成25年度 (KrCri.mdb) | 2013,1,2 | stamp "2013,1,2" | yes | early
Update2013Val10 | unit prices | KrVal201310.mdb | 平成25年度 (KrVal.mdb) | 2013,1,1 | stamp "2013,1,1" | yes | early
Update2013CriH2511 | prices | KrCri201311.mdb | 平成25年度 (KrCri.mdb) | 2013,1,3 | stamp "2013,1,3" | yes | early
Update2013ValH2511 | unit prices | KrVal201311.mdb | 平成25年度 (KrVal.mdb) | 2013,1,2 | stamp "2013,1,2" | yes | early
Update2013CriH2602 | prices | KrData2013H2602.mdb | 平成25年度 (KrCri.mdb) | 2013,1,5 | stamp "2013,1,5" | yes | early
Update2013ValH2602 | unit prices | KrData2013H2602.mdb | 平成25年度 (KrVal.mdb) | 2013,1,4 | stamp "2013,1,4" | yes | early
Update2013ExpH2603 | expenses | KrExp201403.mdb | 平成25年度 (KrExp.mdb) | 2013,1,1 | Version rows | yes | early
Update2013ValH2603 | unit prices | KrVal201403.mdb | 平成25年度 (KrVal.mdb) | 2013,1,6 | Version rows | yes | early
Update2013H2604Syouhizei | settings | - | the settings database, then KrExp.mdb of 平成25年度 and 平成26年度(一部更新) | 2013,1,1, 2013,1,2 | stamp "2013,1,1" + stamp "2013,1,2" | yes | none
Update2014CriInsertKB | KB | KrCri2014KB.mdb | File\平成26年度\KrCri.mdb | - | - | no | early
Update2014CriH2611 | prices | KrCri201411_V10.mdb, KrCri201411_V11.mdb | 平成26年度 (KrCri.mdb) | 2014,1,1, 2014,1,2 | stamp "2014,1,2" | yes | late
Update2014ValH2611 | unit prices | KrVal201411_V10.mdb, KrVal201411_V11.mdb | 平成26年度 (KrVal.mdb) | 2014,1,1, 2014,1,2 | stamp "2014,1,2" | yes | late
Update2014ValKoube | unit prices | KrVal2014K.mdb | 平成26年度 (KrVal.mdb) | 2014,1,3 | - | yes | late
Update2014FixedFileOpenColWidth | settings | - | File\KrSet.mdb | - | - | no | none
Update2014CriH2702 | labour-rate | KrData2014H2702.mdb | the labour-rate refresh folder | 2014,1,4 | stamp "2014,1,4" | yes | early
Update2015CriH2707 | prices | KrData2015H2707.mdb | every year folder (KrCri.mdb) | - | - | no | early
Update2015CriH2711 | prices | KrCri201511.mdb | 平成27年度 (KrCri.mdb) | 2015,1,2 | stamp "2015,1,2" | yes | late
Update2015ValH2711 | unit prices | KrVal201511.mdb | 平成27年度 (KrVal.mdb) | 2015,1,2 | stamp "2015,1,2" | yes | late
Update2015ExpH2711 | expenses | KrExp201511.mdb | 平成27年度 (KrExp.mdb) | 2015,1,1 | stamp "2015,1,1" | yes | early
Update2015CriH2802 | labour-rate | KrData2015H2802.mdb | the labour-rate refresh folder | - | - | yes | early
Update2015CriInsertKB | KB | KrCri2015KB.mdb | every year folder (KrCri.mdb) | - | - | no | early
Update2016CriH2811 | prices | KrCri201611.mdb | 平成28年度 (KrCri.mdb) | 2016,1,1 | stamp "2016,1,2" | yes | late
Update2016ValH2811 | unit prices | KrVal201611.mdb | 平成28年度 (KrVal.mdb) | 2016,1,1 | stamp "2016,1,2" | yes | late
Update2016ExpH2811 | expenses | KrExp201611.mdb | 平成28年度 (KrExp.mdb) | 2016,1,1 | stamp "2016,1,1" | yes | early
Update2016CriH2902 | prices | KrCri201702.mdb | 平成28年度 (KrCri.mdb) | 2016,1,3 | stamp "2016,1,4" | yes | late
Update2016ValH2902 | unit prices | KrVal201702.mdb | 平成28年度 (KrVal.mdb) | 2016,1,3 | stamp "2016,1,4" | yes | late
Update2016ExpH2902 | expenses | KrExp201702.mdb | 平成28年度 (KrExp.mdb) | 2016,1,2 | stamp "2016,1,2" | yes | early
Update2016CriH2903 | labour-rate | KrData2016H2903.mdb | the labour-rate refresh folder | - | - | yes | early
Update2016ValH2903Kumamoto | unit prices | KrVal201703K.mdb | 平成28年度 / 平成28年度(H29年3月労務更新) (KrVal.mdb) | 2016,1,5 | stamp "2016,1,5" | yes | early
Update2016ExpH2903Kumamoto | expenses | KrExp201703K.mdb | 平成28年度 / 平成28年度(H29年3月労務更新) (KrExp.mdb) | 2016,1,3 | stamp "2016,1,3" | yes | early
Update2016CriH2903Sijyo | prices | KrData2016H2903_2.mdb | 平成28年度 / 平成28年度(H29年3月労務更新) (KrCri.mdb) | - | - | yes | early
Update2016ValH2904 | unit prices | KrVal201704.mdb | 平成28年度 / 平成28年度(H29年3月労務更新) (KrVal.mdb) | 2016,1,5 | stamp "2016,1,5" | yes | early
Update2016ExpH2904 | expenses | KrExp201704.mdb | 平成28年度 / 平成28年度(H29年3月労務更新) (KrExp.mdb) | 2016,1,4 | stamp "2016,1,4" | yes | early
Update2016ExpH2904A | expenses | KrExp201704.mdb | 平成28年度 / 平成28年度(H29年3月労務更新) (KrExp.mdb) | - | - | yes | early
Update2016ExpH2904M | expenses | KrExp201704M.mdb | 平成29年度(一部更新) (KrExp.mdb) | - | - | yes | early
Update2017CriH2911 | prices | KrCri201711.mdb | 平成29年度 (KrCri.mdb) | 2017,1,1 | stamp "2017,1,1" comment "2017_07" | yes | late
Update2017ValH2911 | unit prices | KrVal201711.mdb | 平成29年度 (KrVal.mdb) | 2017,1,1 | stamp "2017,1,1" | yes | late
Update2017ExpH2911 | expenses | KrExp201711.mdb | 平成29年度 (KrExp.mdb) | 2017,1,1 | stamp "2017,1,1" | yes | early
Update2017SetH2911 | settings | KrSet201711.mdb | File\KrSet.mdb | 2017,1,1 | stamp "2017,1,1" | yes | early
Update2017CriH2911Ken | prices | KrCriH2911Ken.mdb | 平成29年度 (KrCri.mdb) | comment "2017_10" | marker "KrUpdatedH2911Ken.ini" | yes | late
Update2017CriH3003 | labour-rate | KrData2017H3003.mdb | the labour-rate refresh folder | - | - | yes | early
Update2017ValH3004K | unit prices | KrVal2017H3004K.mdb | File\平成30年度(一部更新)\KrVal.mdb | 2017,1,3 | stamp "2017,1,3" + marker "KrUpdatedH3004K.ini" | yes | late
Update2017ValH3006 | unit prices | KrVal2017H3006.mdb | every year folder (KrVal.mdb) | 2017,1,4 | stamp "2017,1,4" | yes | late
Update2018CriH3011 | prices | KrCri201811.mdb | 平成30年度 (KrCri.mdb) | 2018,1,1 | stamp "2018,1,1" | yes | late
Update2018ValH3011 | unit prices | KrVal201811.mdb | 平成30年度 (KrVal.mdb) | 2018,1,1 | stamp "2018,1,1" | yes | early
Update2018ExpH3011 | expenses | KrExp201811.mdb | 平成30年度 (KrExp.mdb) | 2018,1,2 | stamp "2018,1,2" | yes | early
Update2018SetH3011 | settings | KrSet201811.mdb | File\KrSet.mdb | 2018,1,1 | stamp "2018,1,1" | yes | early
Update2018CriH3103 | labour-rate | KrData2018H3103.mdb | the labour-rate refresh folder | - | tag ",労務更新" + tag ",労務更新H3104" | yes | early
Update2018CriInsertKB | KB | KrCri2018KB.mdb | every year folder (KrCri.mdb) | - | - | yes | early
Update2018CriH3104 | labour-rate | KrCri2018H3104.mdb | every year folder (KrCri.mdb) | with ",労務更新" ",メンテナンス" without ",労務更新H3104" | tag ",労務更新H3104" | yes | early
Update2018ExpH3104A | expenses | KrExp2018H3104A.mdb | every year folder (KrExp.mdb) | without ",メンテナンスH3104A" | stamp "2018,1,4" + tag ",メンテナンスH3104A" | yes | early
Update2018ExpH3104B | expenses | KrExp2018H3104B.mdb | every year folder (KrExp.mdb) | with ",メンテナンス" without ",メンテナンスH3104B" | tag ",メンテナンスH3104B" | yes | early
Update2018KelmoraSettingH3104 | settings | - | KelmoraSetting.xml of the install folder | - | - | no | none
Update2019ValR0108 | unit prices | KrVal2019R0108.mdb, KrVal2019R0108_Hiroshima.mdb | every year folder (KrVal.mdb) | 2019,1,1 | stamp "2019,1,1" | yes | early
Update2019ExpR0108 | expenses | KrExp2019R0108.mdb | every year folder (KrExp.mdb) | 2019,1,1 | stamp "2019,1,1" | yes | early
Update2019SetR0108 | settings | KrSet2019R0108.mdb | File\KrSet.mdb | 2019,1,1 | stamp "2019,1,1" | yes | early
Update2019SetR0109 | settings | KrSet2019R0109.mdb | File\KrSet.mdb ; File\KrSetMinPrice.mdb | 2019,1,2, 2019,1,1 | stamp "2019,1,2" + stamp "2019,1,1" | yes | early
Update2019ValR0109 | unit prices | KrVal2019R0109.mdb | every year folder (KrVal.mdb) | 2019,1,2 | stamp "2019,1,2" | yes | early
Update2019CriR0111 | prices | KrCri2019R0111.mdb | every year folder (KrCri.mdb) | 2019,1,2 | stamp "2019,1,2" | yes | early
Update2019ExpR0111 | expenses | KrExp2019R0111.mdb | every year folder (KrExp.mdb) | 2019,1,2 | stamp "2019,1,2" | yes | early
Update2019ValR0111 | unit prices | KrVal2019R0111.mdb | every year folder (KrVal.mdb) | 2019,1,4 | stamp "2019,1,4" | yes | early
Update2019CopyCriValR0110 | other | KrCri.mdb, KrExp.mdb, KrVal.mdb | KrCri.mdb, KrExp.mdb and KrVal.mdb of File\2019年度\ | - | marker "KrUpdatedR0110.ini" | no | early
Update2019CriR0203 | labour-rate | KrData2019R0203.mdb | the labour-rate refresh folder | - | tag ",労務更新R0203" | yes | early
Update2019ValR0203 | unit prices | KrVal2019R0203.mdb | every year folder (KrVal.mdb) | 2019,1,5 | stamp "2019,1,5" | yes | early
Update2019CriInsertKB | KB | KrCri2019KB.mdb | every year folder (KrCri.mdb) | - | - | yes | early
Update2019CriR0204 | labour-rate | KrCri2019R0204.mdb | every year folder (KrCri.mdb) | with ",労務更新R0203" without ",労務更新R0204" | tag ",労務更新R0204" | yes | early
UpdateFeldin3MastaH2912 | settings | - | File\KrMasta.mdb | 2015,1,1 | stamp "2015,1,1" | yes | none
UpdateFeldin3SetH2912 | settings | KrSetH2912.mdb | File\KrSet.mdb | 2015,1,1 | stamp "2015,1,1" | yes | early
UpdateFeldin3MitDeleteRecodeH3004 | settings | - | File\KrUke.mdb ; File\KrFile.mdb | - | - | yes | none
ResetSetEnvironStartDirectory | settings | - | File\KrSet.mdb | - | - | yes | none
UpdateCover_114Zavuzize | settings | - | Cover\KrCover.mdb | - | - | yes | none
UpdateCover_114Zavuzize2 | settings | - | Cover\KrCover.mdb | - | - | yes | none
)";

// The rows pass the same check the programs make when they start (what it refuses is below).
TEST(CatalogueTest, EveryRoutineIsRegisteredWithItsRowInOrderAndEveryRowIsAccepted) {
  EXPECT_EQ(CatalogueErrors(), std::vector<std::string>{});
  std::vector<std::string> expected;
  for (size_t at = 1, end; (end = kExpected.find('\n', at)) != std::string_view::npos; at = end + 1)
    expected.emplace_back(kExpected.substr(at, end - at));
  const std::vector<Routine>& catalogue = Catalogue();
  ASSERT_EQ(catalogue.size(), expected.size());
  std::set<std::string> names;
  for (size_t i = 0; i < catalogue.size(); ++i) {
    EXPECT_EQ(Render(catalogue[i]), expected[i]) << "row " << i;
    names.insert(catalogue[i].name);
  }
  EXPECT_EQ(names.size(), 100u);
}

// A slip in a row is found when the catalogue is built, with what is wrong, and never becomes a
// quiet "false" or a procedure that fails at a customer's site.
TEST(CatalogueTest, ARowThatNamesWhatNobodyKnowsIsRefusedWithTheReason) {
  auto error_of = [](CatalogueRow row) {
    row.name = "UpdateTest";
    if (row.targets.empty()) row.targets = "every year folder (KrVal.mdb)";
    std::vector<std::string> errors = CheckRows({row}).errors;
    return errors.empty() ? std::string() : errors.front();
  };
  EXPECT_EQ(error_of({.steps = "T Val120 [Code] ; ‹HasTohokuDistrict›"}),
            "routine UpdateTest: steps: no test is called HasTohokuDistrict");
  EXPECT_EQ(error_of({.steps = "‹DistrictCommentContains›"}),
            "routine UpdateTest: steps: DistrictCommentContains takes 1 arguments");
  EXPECT_EQ(error_of({.steps = "T Val120 ; Tx Val130"}),
            "routine UpdateTest: steps: \"Tx\" is neither a step word nor a procedure");
  EXPECT_EQ(error_of({.condition = "‹EnvironFlag6›", .steps = "T A"}),
            "routine UpdateTest: condition: no test is called EnvironFlag6");
  EXPECT_EQ(error_of({.steps = "T A", .extra_steps = "NameRefresh ; IndexCopi"}),
            "routine UpdateTest: extra steps: \"IndexCopi\" is neither a step word nor a "
            "procedure");
  EXPECT_EQ(error_of({.steps = "T one of Val700_Ind / Val700_Ind_HisaiK → Val700_Ind"}),
            "routine UpdateTest: Val700_Ind_HisaiK is a variant of HasKumamotoDistrict, which the "
            "row does not name");
  EXPECT_EQ(error_of({.guard = "2014,1,1", .steps = "T A", .second_stage = "T B"}),
            "routine UpdateTest: a second stage needs two guards and two sources");
  EXPECT_EQ(error_of({.steps = "‹HasKumamotoDistrict› ; T Val700_HisaiK → Val700"}), "");

  CatalogueRow a{.name = "UpdateA", .targets = "every year folder (KrVal.mdb)", .steps = "T A"};
  CatalogueRow b = a;
  b.name = "UpdateB";
  EXPECT_EQ(CheckRows({a, b, a}).errors,
            std::vector<std::string>{"routine UpdateA: its rows are not together"});
}

}  // namespace
}  // namespace kr::routines::test
