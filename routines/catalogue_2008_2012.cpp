// Catalogue rows: The releases of 2008 to 2012.
#include "routines/catalogue.h"

namespace kr::routines {

void AddRows2008To2012(std::vector<CatalogueRow>& rows) {
  rows.insert(
      rows.end(),
      {
          // 1
          {.name = "UpdateSpeExeH20",
           .kind = Kind::kOther,
           .sources = "KrValH20SpeExe.mdb",
           .targets = R"~(File\平成20年度\KrVal.mdb)~",
           .body = UpdateSpeExeH20},
          // 2
          {.name = "UpdateCriBaseYamanashiH21",
           .kind = Kind::kPrices,
           .sources = "KrCriUp.mdb",
           .targets = R"~(File\平成21年度\KrCri.mdb)~",
           .body = UpdateCriBaseYamanashiH21},
          // 3a
          {.name = "Update200910Exp",
           .kind = Kind::kExpenses,
           .sources = "KrExpH20.mdb",
           .targets = R"~(File\平成20年度\KrExp.mdb)~",
           .guard = "2009,1,1",
           .record = "copy",
           .backup = true,
           .steps = "T Exp_Marume [Mdl,Sml]"},
          // 3b
          {.name = "Update200910Exp",
           .kind = Kind::kExpenses,
           .sources = "KrExpH21.mdb",
           .targets = R"~(File\平成21年度\KrExp.mdb ; File\平成22年度(一部更新)\KrExp.mdb)~",
           .guard = "2009,1,1",
           .record = "copy",
           .backup = true,
           .steps = R"~(T Exp_Marume [Mdl,Sml] ; T Expenses [Big,Mdl,Sml])~"
                    R"~( ; T ExpOption [Big,Mdl])~"},
          // 3c
          {.name = "Update200910Exp",
           .kind = Kind::kSettings,
           .targets = R"~(File\KrSet.mdb)~",
           .guard = "2009,1,2, 2009,1,1",
           .record = "copy",
           .backup = true,
           .body = Update200910SetTables},
          // 3d
          {.name = "Update200910Exp",
           .kind = Kind::kSettings,
           .sources = "KrNumber.ini",
           .targets = "KrNumber.ini of the install folder",
           .backup = true,
           .body = Update200910NumberIni},
          // 4
          {.name = "Update200910Val",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal200910.mdb",
           .targets = R"~(File\平成21年度\KrVal.mdb ; File\平成22年度(一部更新)\KrVal.mdb)~",
           .guard = "2009,1,3",
           .record = "copy",
           .backup = true,
           .steps =
               R"~(X "DELETE FROM SpeExe WHERE LEFT(Special,3)='710' OR LEFT(Special,3)='720' OR LEFT(Special,3)='850'")~"
               R"~( ; ExecuteWithLink "SpeExe" "INSERT INTO SpeExe SELECT * FROM LinkHikitugi;")~"
               R"~( ; K Val710 ; T Val710 [Code] ; C Val710 ; K Val710s)~"
               R"~( ; T Val710s [ValCode] ; C Val710s ; T Val710_Ind ; K Val720)~"
               R"~( ; T Val720 [Code] ; C Val720 ; K Val720s ; T Val720s [ValCode])~"
               R"~( ; C Val720s ; T Val720_Ind ; K Val850 ; T Val850 [Code] ; C Val850)~"
               R"~( ; K Val850s ; T Val850s [ValCode] ; C Val850s ; T Val850_Ind)~"
               R"~( ; IndexTextsFromSource)~"},
          // 5
          {.name = "Update200910Cri",
           .kind = Kind::kPrices,
           .sources = "KrCri200910.mdb",
           .targets = R"~(File\平成21年度\KrCri.mdb ; File\平成22年度(一部更新)\KrCri.mdb)~",
           .guard = "2009,1,3",
           .record = "copy",
           .backup = true,
           .steps = "T Cri [Code]"},
          // 6
          {.name = "Delete2009SetOpenChk",
           .kind = Kind::kSettings,
           .targets = R"~(File\KrSet.mdb)~",
           .steps = "OpenChkVersion"},
          // 7
          {.name = "Update2009Exp_Naigai",
           .kind = Kind::kExpenses,
           .targets = "every year folder (KrExp.mdb)",
           .record = R"~(set Ver "2009,1,1")~"},
          // 8
          {.name = "Update2009Val_Obikane",
           .kind = Kind::kUnitPrices,
           .sources = "KrValObi.mdb",
           .targets = R"~(File\平成21年度\KrVal.mdb ; File\平成22年度(一部更新)\KrVal.mdb)~",
           .steps = "T Val160 [Code] ; T Val160_Ind [ID] ; T Val160s [ValCode]"},
          // 9
          {.name = "Update2010SetPrintWidth",
           .kind = Kind::kSettings,
           .targets = R"~(File\KrSet.mdb)~",
           .steps = "PrintWidthUpdate"},
          // 10
          {.name = "Update2010Val07",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201007.mdb",
           .targets = R"~(File\平成22年度\KrVal.mdb ; File\平成23年度(一部更新)\KrVal.mdb)~",
           .guard = "2010,1,2",
           .record = "Version rows",
           .steps = "T SpeExe [Special] ; T Val810_Ind ; T Val810s [ValCode]"},
          // 11
          {.name = "Update2010Cri10",
           .kind = Kind::kPrices,
           .sources = "KrCri201010.mdb",
           .targets = R"~(File\平成22年度\KrCri.mdb ; File\平成23年度(一部更新)\KrCri.mdb)~",
           .guard = "2010,1,3",
           .record = "Version rows",
           .steps = "T Cri [Code]"},
          // 12
          {.name = "Update2010Val10",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201010.mdb",
           .targets = "平成22年度 / 平成23年度(一部更新) (KrVal.mdb)",
           .guard = "2010,1,3",
           .record = "copy",
           .backup = true,
           .steps =
               R"~(X "DELETE FROM SpeExe WHERE LEFT(Special,3)='820'" ; T SpeExe [Special])~"
               R"~( ; » "   (植栽関連　1/10)" ; K Val120)~"
               R"~( ; X "DELETE FROM Val120 WHERE LEFT(Code,9)='120000007';")~"
               R"~( ; X "DELETE FROM Val120 WHERE LEFT(Code,5)='12006';" ; T Val120 [Code])~"
               R"~( ; C Val120 ; K Val120s)~"
               R"~( ; X "DELETE FROM Val120s WHERE LEFT(Code,9)='120000007';")~"
               R"~( ; T Val120s [ValCode] ; C Val120s ; » "   (機械運転関連　 2/10)")~"
               R"~( ; T Val150 [Code] ; T Val150s [ValCode] ; » "   (市場単価関連　3/10)")~"
               R"~( ; T Val190 [Code] ; T Val190s [ValCode] ; » "   (ＮＥＸＣＯ関連　4/10)")~"
               R"~( ; K Val450 ; T Val450 ; C Val450 ; T Val450_Ind ; K Val450s ; T Val450s)~"
               R"~( ; C Val450s ; » "   (林道事業関連　5/10)" ; K Val710 ; T Val710 ; C Val710)~"
               R"~( ; T Val710_Ind ; K Val710s ; T Val710s ; C Val710s)~"
               R"~( ; » "   (治山事業関連　6/10)" ; K Val720 ; T Val720 ; C Val720 ; T Val720_Ind)~"
               R"~( ; K Val720s ; T Val720s ; C Val720s ; » "   (公園緑地関連　7/10)" ; K Val800)~"
               R"~( ; T Val800 [Code] ; C Val800 ; K Val800s ; T Val800s [ValCode])~"
               R"~( ; C Val800s ; » "   (一般土木関連　8/10)" ; T Val810_Ind ; T Val810s [ValCode])~"
               R"~( ; » "   (開削工法関連　9/10)" ; K Val820 ; T Val820 ; C Val820 ; T Val820_Ind)~"
               R"~( ; K Val820s ; T Val820s ; C Val820s ; » "   (推進工法関連　10/10)" ; K Val830)~"
               R"~( ; T Val830 ; C Val830 ; K Val830s ; T Val830s ; C Val830s ; T Book)~"},
          // 13
          {.name = "Update2010Exp10",
           .kind = Kind::kExpenses,
           .sources = "KrExp201010.mdb",
           .targets = R"~(File\平成22年度\KrExp.mdb ; File\平成23年度(一部更新)\KrExp.mdb)~",
           .guard = "2010,1,1",
           .record = "Version rows",
           .steps = "T Expenses [Big,Mdl,Sml] ; T ExpOption [Big,Mdl]"},
          // 14
          {.name = "Update2011Cri10",
           .kind = Kind::kPrices,
           .sources = "KrCri201110.mdb",
           .targets = R"~(File\平成23年度\KrCri.mdb ; File\平成24年度(一部更新)\KrCri.mdb)~",
           .guard = "2011,1,4",
           .record = "Version rows",
           .steps = "T Cri [Code]"},
          // 15
          {.name = "Update2011Val10",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201110.mdb",
           .targets = "平成23年度 / 平成24年度(一部更新) (KrVal.mdb)",
           .guard = "2011,1,4",
           .record = "copy",
           .backup = true,
           .steps =
               R"~(T SpeExe [Special] ; » "   (植栽関連　1/12)" ; T Val120 [Code])~"
               R"~( ; » "   (市場単価関連　2/12)" ; T Val190 [Code] ; » "   (ＮＥＸＣＯ関連　3/12)")~"
               R"~( ; T Val450 [Code] ; » "   (水道事業関連　4/12)" ; K Val600 ; T Val600)~"
               R"~( ; C Val600 ; T Val600_Ind ; K Val600s ; T Val600s ; C Val600s)~"
               R"~( ; » "   (土地改良関連　5/12)")~"
               R"~( ; X "DELETE FROM Val700 WHERE Code='70001600200100100';")~"
               R"~( ; T Val700 [Code])~"
               R"~( ; X "DELETE FROM Val700s WHERE ValCode='70001600200100100';")~"
               R"~( ; » "   (林道事業関連　6/12)" ; K Val710 ; T Val710 ; C Val710 ; T Val710_Ind)~"
               R"~( ; K Val710s ; T Val710s ; C Val710s ; » "   (治山事業関連　7/12)" ; K Val720)~"
               R"~( ; T Val720 ; C Val720 ; T Val720_Ind ; K Val720s ; T Val720s)~"
               R"~( ; C Val720s ; » "   (公園緑地関連　8/12)" ; T Val800s [ValCode])~"
               R"~( ; » "   (一般土木関連　9/12)" ; K Val810 ; T Val810 ; C Val810 ; T Val810_Ind)~"
               R"~( ; K Val810s ; T Val810s ; C Val810s ; » "   (開削工法関連　10/12)" ; K Val820)~"
               R"~( ; T Val820 ; C Val820 ; T Val820_Ind ; K Val820s ; T Val820s)~"
               R"~( ; C Val820s ; » "   (推進工法関連　11/12)" ; K Val830 ; T Val830 ; C Val830)~"
               R"~( ; » "   (電気通信関連　12/12)" ; K Val850 ; T Val850 ; C Val850 ; T Book)~"},
          // 16
          {.name = "Update2011UserCode",
           .kind = Kind::kOther,
           .sources = "UserCode2011.mdb",
           .targets = "平成23年度 / 平成24年度(一部更新) (KrVal.mdb)",
           .body = Update2011UserCode},
          // 17
          {.name = "Update2011CriTikuName",
           .kind = Kind::kPrices,
           .sources = "KrCriTikuName.mdb",
           .targets = "平成23年度 / 平成24年度(一部更新) (KrCri.mdb)",
           .steps = "T 地区名"},
          // 18
          {.name = "Update2011Exp",
           .kind = Kind::kExpenses,
           .sources = "KrExp201204.mdb",
           .targets = "平成23年度 / 平成24年度(一部更新) (KrExp.mdb)",
           .guard = "2011,1,1",
           .record = "copy",
           .steps = "T Expenses [Big,Mdl,Sml]"},
          // 19
          {.name = "Update2012CriTohoku",
           .kind = Kind::kPrices,
           .sources = "KrData201208.mdb",
           .targets = "平成24年度 / 平成25年度(一部更新) (KrCri.mdb)",
           .guard = "2012,1,2",
           .record = "Version rows",
           .steps = "TohokuDistrictPrices"},
          // 20
          {.name = "Update2012Exp10",
           .kind = Kind::kExpenses,
           .sources = "KrExp201210.mdb",
           .targets = "平成24年度 / 平成25年度(一部更新) (KrExp.mdb)",
           .guard = "2012,1,1",
           .record = "Version rows",
           .steps = "T Expenses [Big,Mdl,Sml]"},
          // 21
          {.name = "Update2012Cri10",
           .kind = Kind::kPrices,
           .sources = "KrCri201210.mdb",
           .targets = "平成24年度 / 平成25年度(一部更新) (KrCri.mdb)",
           .guard = "2012,1,5",
           .record = "Version rows",
           .steps = R"~(T Cri [Code] ; RDP Cri ; ‹HasHyogoDistrict› { T Cri_Base [Code] })~"
                    R"~( ; TT Cri_PackageStand)~"},
          // 22
          {.name = "Update2012Val10",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201210.mdb",
           .targets = "平成24年度 / 平成25年度(一部更新) (KrVal.mdb)",
           .guard = "2012,1,3",
           .record = "copy",
           .backup = true,
           .steps =
               R"~(‹EnvironFlag60› ; T Book ; T Pole_Ind ; TT Special_Package)~"
               R"~( ; T SpeExe [Special] ; IndexVariantTransfer ; » "   (植栽関連　1/17)")~"
               R"~( ; K Val120 ; T Val120 [Code] ; C Val120 ; T Val120s [ValCode])~"
               R"~( ; X "DELETE FROM Val120 WHERE Code='1200000070301000';")~"
               R"~( ; X "DELETE FROM Val120s WHERE Code='1200000070301000';")~"
               R"~( ; » "   (都市機構関連　2/17)" ; K Val130 ; T Val130 ; C Val130 ; T Val130_Ind)~"
               R"~( ; T Val130s [ValCode] ; » "   (地域歩掛関連　3/17)" ; K Val200 ; T Val200)~"
               R"~( ; C Val200 ; T Val200_Ind ; T Val200s [ValCode] ; » "   (都市機構関連　4/17)")~"
               R"~( ; K Val400 ; T Val400 ; C Val400 ; » "   (都市機構関連　5/17)" ; K Val430)~"
               R"~( ; T Val430 ; C Val430 ; T Val430_Ind ; T Val430s [ValCode])~"
               R"~( ; » "   (ＮＥＸＣＯ関連　6/17)" ; K Val450 ; T Val450 ; C Val450 ; T Val450_Ind)~"
               R"~( ; T Val450s [ValCode] ; » "   (水道事業関連　7/17)" ; K Val600 ; T Val600)~"
               R"~( ; C Val600 ; T Val600_Ind ; K Val600s ; T Val600s ; C Val600s)~"
               R"~( ; » "   (林道事業関連　8/17)" ; K Val710 ; T Val710 ; C Val710 ; T Val710_Ind)~"
               R"~( ; K Val710s ; T Val710s ; C Val710s ; » "   (治山事業関連　9/17)" ; K Val720)~"
               R"~( ; T Val720 ; C Val720 ; T Val720_Ind ; K Val720s ; T Val720s)~"
               R"~( ; C Val720s ; » "   (公園緑地関連　10/17)" ; K Val800 ; T Val800 ; C Val800)~"
               R"~( ; T Val800_Ind ; T Val800s [ValCode] ; » "   (一般土木関連　11/17)" ; K Val810)~"
               R"~( ; T Val810 ; C Val810 ; T Val810_Ind ; T Val810s [ValCode])~"
               R"~( ; » "   (開削工法関連　12/17)" ; K Val820 ; T Val820 ; C Val820 ; T Val820_Ind)~"
               R"~( ; K Val820s ; T Val820s ; C Val820s ; » "   (推進工法関連　13/17)" ; K Val830)~"
               R"~( ; T Val830 ; C Val830 ; T Val830_Ind ; K Val830s ; T Val830s)~"
               R"~( ; C Val830s ; » "   (電気通信関連　14/17)" ; K Val850 ; T Val850 ; C Val850)~"
               R"~( ; » "   (施工パッケージ関連1　15/17)" ; TT Val870 ; TT Val870_Ind ; TT Val870s)~"
               R"~( ; » "   (施工パッケージ関連2　16/17)" ; TT Val880 ; TT Val880_Ind ; TT Val880s)~"
               R"~( ; » "   (施工パッケージ関連3　17/17)" ; TT Val890 ; TT Val890_Ind ; TT Val890s)~"},
          // 23
          {.name = "Update2012Box10",
           .kind = Kind::kOther,
           .sources = "KrBox.mdb",
           .targets = "平成23年度 / 平成24年度 / 平成25年度(一部更新) (KrBox.mdb)",
           .guard = "2012,1,1",
           .body = Update2012Box10},
      });
}

}  // namespace kr::routines
