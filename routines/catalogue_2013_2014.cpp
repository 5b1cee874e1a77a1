// Catalogue rows: The releases of 2013 and 2014.
#include "routines/catalogue.h"

namespace kr::routines {

void AddRows2013To2014(std::vector<CatalogueRow>& rows) {
  rows.insert(
      rows.end(),
      {
          // 24
          {.name = "Update2013Exp02",
           .kind = Kind::kExpenses,
           .sources = "KrExp201302.mdb",
           .targets = "平成24年度 / 平成25年度(一部更新) (KrExp.mdb)",
           .guard = "2012,1,2",
           .record = "Version rows",
           .steps =
               R"~(T Expenses [Big,Mdl,Sml] ; T ExpOption [Big,Mdl] ; ExpenseGroupInsertion)~"},
          // 25
          {.name = "Update2013Cri02",
           .kind = Kind::kPrices,
           .sources = "KrCri201302.mdb",
           .targets = "平成24年度 / 平成25年度(一部更新) (KrCri.mdb)",
           .guard = "2012,1,6",
           .record = "Version rows",
           .steps =
               R"~(T Cri [Code] ; RDP Cri ; BigIndexRefresh "労務単価" ; BigIndexRefresh "その他")~"},
          // 26
          {.name = "Update2013Val02",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201302.mdb",
           .targets = "平成24年度 / 平成25年度(一部更新) (KrVal.mdb)",
           .guard = "2012,1,4",
           .record = "copy",
           .backup = true,
           .steps = R"~(T Book ; T SpeExe [Special] ; IndexVariantTransfer ; TT Val620)~"
                    R"~( ; TT Val620_Ind ; TT Val620s)~"},
          // 27
          {.name = "Update2013Exp06",
           .kind = Kind::kExpenses,
           .sources = "KrExp201306.mdb",
           .targets = "平成24年度 / 平成25年度(一部更新) (KrExp.mdb)",
           .guard = "2012,1,3",
           .record = "Version rows",
           .steps = "T MinPrice [Big,Mdl,Sml]"},
          // 28
          {.name = "Update2013Cri08",
           .kind = Kind::kPrices,
           .sources = "KrData201308.mdb",
           .targets = "平成25年度 (KrCri.mdb)",
           .guard = "2013,1,1",
           .record = R"~(stamp "2013,1,1")~",
           .backup = true,
           .steps = "RDP Cri"},
          // 29
          {.name = "Update2013Cri10",
           .kind = Kind::kPrices,
           .sources = "KrCri201310.mdb",
           .targets = "平成25年度 (KrCri.mdb)",
           .guard = "2013,1,2",
           .record = R"~(stamp "2013,1,2")~",
           .backup = true,
           .steps = R"~(T Cri [Code] ; RDP Cri ; BigIndexRefresh "鋼材" ; BigIndexRefresh "道路")~"
                    R"~( ; BigIndexRefresh "その他" ; T Cri_PackageStand)~"},
          // 30
          {.name = "Update2013Val10",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201310.mdb",
           .targets = "平成25年度 (KrVal.mdb)",
           .guard = "2013,1,1",
           .record = R"~(stamp "2013,1,1")~",
           .backup = true,
           .steps = R"~(‹HasTohokuDistricts› ; UnitPriceGroupRemoval ; T Special_Package)~"
                    R"~( ; T SpeExe [Special] ; TT Val770 ; TT Val770_Ind ; TT Val770s)~"
                    R"~( ; TT Val790 ; TT Val790_Ind ; TT Val790s ; T Val870 ; T Val870_Ind)~"
                    R"~( ; T Val870s ; TT Val_IndExplain ; T Val800_Ind ; T Val810_Ind)~"
                    R"~( ; T Val890_Ind ; TA Val_IndExplain(被災)→Val_IndExplain)~"
                    R"~( ; T Val800_Ind(被災) → Val800_Ind ; T Val810_Ind(被災) → Val810_Ind)~"
                    R"~( ; T Val890_Ind(被災) → Val890_Ind)~"},
          // 31
          {.name = "Update2013CriH2511",
           .kind = Kind::kPrices,
           .sources = "KrCri201311.mdb",
           .targets = "平成25年度 (KrCri.mdb)",
           .guard = "2013,1,3",
           .record = R"~(stamp "2013,1,3")~",
           .backup = true,
           .steps = R"~(T Cri [Code] ; RDP Cri ; ‹HasValIndex200› ; T Cri(神戸) → Cri [Code])~"
                    R"~( ; RDP Cri ; T Cri_Base ; T Cri_Base_Ind)~"},
          // 32
          {.name = "Update2013ValH2511",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201311.mdb",
           .targets = "平成25年度 (KrVal.mdb)",
           .guard = "2013,1,2",
           .record = R"~(stamp "2013,1,2")~",
           .backup = true,
           .steps = R"~(‹EnvironFlag60› ; T one of Book(造園) / Book(土木) → Book)~"
                    R"~( ; T PlantTable [Kind,Col,HC] ; T SpeExe [Special])~"
                    R"~( ; T Val_IndExplain [Code,SortOrder] ; T Val120 [Code] ; K Val130)~"
                    R"~( ; T Val130 ; C Val130 ; T Val130s [ValCode] ; T Val150 [Code])~"
                    R"~( ; T Val150s [ValCode] ; K Val200 ; T Val200 ; C Val200)~"
                    R"~( ; T Val200s [ValCode] ; K Val400 ; T Val400 ; C Val400 ; K Val450)~"
                    R"~( ; T Val450 ; C Val450 ; T Val450s [ValCode] ; T Val790 [Code])~"
                    R"~( ; K Val800 ; T Val800 ; C Val800 ; K Val810 ; T Val810 ; C Val810)~"
                    R"~( ; T Val810s [ValCode] ; K Val820 ; T Val820 ; C Val820 ; K Val830)~"
                    R"~( ; T Val830 ; C Val830 ; T Val830s [ValCode] ; K Val850 ; T Val850)~"
                    R"~( ; C Val850 ; ‹HasTohokuDistricts›)~"
                    R"~( ; T one of Val890_Ind / Val890_Ind(被災) → Val890_Ind)~"},
          // 33
          {.name = "Update2013CriH2602",
           .kind = Kind::kPrices,
           .sources = "KrData2013H2602.mdb",
           .targets = "平成25年度 (KrCri.mdb)",
           .guard = "2013,1,5",
           .record = R"~(stamp "2013,1,5")~",
           .backup = true,
           .steps = R"~(RefreshLabourPrices "b" ; T RoumuHosei)~"},
          // 34
          {.name = "Update2013ValH2602",
           .kind = Kind::kUnitPrices,
           .sources = "KrData2013H2602.mdb",
           .targets = "平成25年度 (KrVal.mdb)",
           .guard = "2013,1,4",
           .record = R"~(stamp "2013,1,4")~",
           .backup = true,
           .steps = "T SpeExe [Special]"},
          // 35
          {.name = "Update2013ExpH2603",
           .kind = Kind::kExpenses,
           .sources = "KrExp201403.mdb",
           .targets = "平成25年度 (KrExp.mdb)",
           .guard = "2013,1,1",
           .record = "Version rows",
           .backup = true,
           .steps = "T Expenses [Big,Mdl,Sml]"},
          // 36
          {.name = "Update2013ValH2603",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201403.mdb",
           .targets = "平成25年度 (KrVal.mdb)",
           .guard = "2013,1,6",
           .record = "Version rows",
           .backup = true,
           .steps =
               R"~(‹EnvironFlag60› ; T one of Book(造園) / Book(土木) → Book)~"
               R"~( ; T SpeExe [Special] ; K Val620 ; T Val620 ; C Val620 ; T Val620_Ind)~"
               R"~( ; K Val620s ; T Val620s ; C Val620s ; K Val810 ; T Val810 [Code])~"
               R"~( ; C Val810 ; T Val810_Ind ; K Val810s ; T Val810s [ValCode] ; C Val810s)~"},
          // 37
          {.name = "Update2013H2604Syouhizei",
           .kind = Kind::kSettings,
           .targets =
               "the settings database, then KrExp.mdb of 平成25年度 and 平成26年度(一部更新)",
           .guard = "2013,1,1, 2013,1,2",
           .record = R"~(stamp "2013,1,1" + stamp "2013,1,2")~",
           .backup = true,
           .body = Update2013H2604Syouhizei},
          // 38
          {.name = "Update2014CriInsertKB",
           .kind = Kind::kKnowledgeBase,
           .sources = "KrCri2014KB.mdb",
           .targets = R"~(File\平成26年度\KrCri.mdb)~",
           .body = Update2014CriInsertKB},
          // 39
          {.name = "Update2014CriH2611",
           .kind = Kind::kPrices,
           .sources = "KrCri201411_V10.mdb, KrCri201411_V11.mdb",
           .targets = "平成26年度 (KrCri.mdb)",
           .guard = "2014,1,1, 2014,1,2",
           .record = R"~(stamp "2014,1,2")~",
           .backup = true,
           .late = true,
           .steps = R"~(T ChangeCode ; T Cri [Code] ; RDP Cri ; ExecuteWithLink "Cri2,Cri")~"
                    R"~( ; T Cri_IndRelation ; T Cri_PackageStand [PStandCode])~"
                    R"~( ; ‹HasValIndex200› ; T Cri(神戸) → Cri [Code] ; ZeroNullPrices)~"
                    R"~( ; T Cri_Base(神戸) → Cri_Base ; T Cri_Base_Ind(神戸) → Cri_Base_Ind)~",
           .second_stage = R"~(T ChangeCode ; T Cri [Code] ; RDP Cri ; ExecuteWithLink "Cri2,Cri")~"
                           R"~( ; T Cri_PackageStand [PStandCode])~"
                           R"~( ; T Cri_Relation(九州) → Cri_Relation [CodeS])~"},
          // 40
          {.name = "Update2014ValH2611",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201411_V10.mdb, KrVal201411_V11.mdb",
           .targets = "平成26年度 (KrVal.mdb)",
           .guard = "2014,1,1, 2014,1,2",
           .record = R"~(stamp "2014,1,2")~",
           .backup = true,
           .late = true,
           .steps = R"~(‹HasTohokuDistricts› ; ‹EnvironFlag60›)~"
                    R"~( ; T one of Book(造園) / Book(土木) → Book ; T PlantTable [Kind,Col,HC])~"
                    R"~( ; T SpeExe [Special] ; T Special_Package [SpecialCode])~"
                    R"~( ; T Val_IndExplain [Code,SortOrder] ; T Val120 [Code])~"
                    R"~( ; T Val120_Ind [ID] ; K Val130 ; T Val130 ; C Val130 ; T Val130_Ind)~"
                    R"~( ; T Val130s [ValCode] ; K Val150 ; T Val150 ; C Val150)~"
                    R"~( ; T Val150s [ValCode] ; K Val200 ; T Val200 ; C Val200 ; T Val200_Ind)~"
                    R"~( ; K Val400 ; T Val400 ; C Val400 ; T Val400s [ValCode] ; K Val450)~"
                    R"~( ; T Val450 ; C Val450 ; T Val600 [Code] ; K Val620 ; T Val620)~"
                    R"~( ; C Val620 ; T Val620_Ind ; K Val620s ; T Val620s ; C Val620s)~"
                    R"~( ; T Val700 [Code] ; T Val700s [ValCode] ; T Val720 [Code] ; K Val790)~"
                    R"~( ; T Val790 ; C Val790 ; K Val800 ; T Val800 ; C Val800 ; K Val810)~"
                    R"~( ; T Val810 ; C Val810)~"
                    R"~( ; T one of Val810_Ind / Val810_Ind(被災) → Val810_Ind)~"
                    R"~( ; T Val810s [ValCode] ; K Val820 ; T Val820 ; C Val820 ; T Val820_Ind)~"
                    R"~( ; K Val820s ; T Val820s ; C Val820s ; K Val830 ; T Val830 ; C Val830)~"
                    R"~( ; K Val830s ; T Val830s ; C Val830s ; K Val850 ; T Val850 ; C Val850)~"
                    R"~( ; T one of Val890_Ind / Val890_Ind(被災) → Val890_Ind)~",
           .second_stage = "T Special_Package [SpecialCode]"},
          // 41
          {.name = "Update2014ValKoube",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal2014K.mdb",
           .targets = "平成26年度 (KrVal.mdb)",
           .guard = "2014,1,3",
           .backup = true,
           .late = true,
           .steps = "T PlantTable [Kind,Col,HC] ; T Pole_Ind ; T Val_Ind"},
          // 42
          {.name = "Update2014FixedFileOpenColWidth",
           .kind = Kind::kSettings,
           .targets = R"~(File\KrSet.mdb)~",
           .steps = R"~(X "UPDATE FileOpenFind SET [NumData]=31 WHERE [ID]=600;")~"},
          // 43
          {.name = "Update2014CriH2702",
           .kind = Kind::kLabourRate,
           .sources = "KrData2014H2702.mdb",
           .targets = "the labour-rate refresh folder",
           .guard = "2014,1,4",
           .record = R"~(stamp "2014,1,4")~",
           .backup = true,
           .body = LabourRateFolderCopy},
      });
}

}  // namespace kr::routines
