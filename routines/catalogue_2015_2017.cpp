// Catalogue rows: The releases of 2015 to 2017.
#include "routines/catalogue.h"

namespace kr::routines {

void AddRows2015To2017(std::vector<CatalogueRow>& rows) {
  rows.insert(
      rows.end(),
      {
          // 44
          {.name = "Update2015CriH2707",
           .kind = Kind::kPrices,
           .sources = "KrData2015H2707.mdb",
           .targets = "every year folder (KrCri.mdb)",
           .body = Update2015CriH2707},
          // 45
          {.name = "Update2015CriH2711",
           .kind = Kind::kPrices,
           .sources = "KrCri201511.mdb",
           .targets = "平成27年度 (KrCri.mdb)",
           .guard = "2015,1,2",
           .record = R"~(stamp "2015,1,2")~",
           .backup = true,
           .late = true,
           .steps = R"~(T Cri [Code] ; RDP Cri ; ‹HasCriKbRows› { T Cri_KB [Code] ; RDP Cri_KB })~"
                    R"~( ; T Cri_Relation [CodeS] ; T Cri_PackageStand ; ‹HasValIndex200›)~"
                    R"~( ; T Cri_Base(神戸) → Cri_Base ; T Cri_Base_Ind(神戸) → Cri_Base_Ind)~"},
          // 46
          {.name = "Update2015ValH2711",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201511.mdb",
           .targets = "平成27年度 (KrVal.mdb)",
           .guard = "2015,1,2",
           .record = R"~(stamp "2015,1,2")~",
           .backup = true,
           .late = true,
           .steps = R"~(‹HasTohokuDistricts› ; ‹EnvironFlag60› ; T one of Book / Book_D → Book)~"
                    R"~( ; T Special_Package ; T SpeExe [Special])~"
                    R"~( ; T one of Val_IndExplain / Val_IndExplain_Hisai → Val_IndExplain)~"
                    R"~( ; T Val120 [Code] ; T Val190 [Code] ; K Val430 ; T Val430 ; C Val430)~"
                    R"~( ; K Val430s ; T Val430s ; C Val430s ; K Val450 ; T Val450 ; C Val450)~"
                    R"~( ; T Val450_Ind ; T Val600 [Code] ; K Val620 ; T Val620 ; C Val620)~"
                    R"~( ; T Val620_Ind ; K Val620s ; T Val620s ; C Val620s ; T Val770)~"
                    R"~( ; T Val770_Ind ; T Val770s ; K Val790 ; T Val790 ; C Val790)~"
                    R"~( ; T Val790_Ind ; K Val800 ; T Val800 ; C Val800)~"
                    R"~( ; T one of Val800_Ind / Val800_Ind_Hisai → Val800_Ind ; K Val810)~"
                    R"~( ; T Val810 ; C Val810)~"
                    R"~( ; T one of Val810_Ind / Val810_Ind_Hisai → Val810_Ind ; K Val810s)~"
                    R"~( ; T Val810s ; C Val810s ; K Val850 ; T Val850 ; C Val850 ; T Val850_Ind)~"
                    R"~( ; K Val870 ; T Val870 ; C Val870 ; T Val870_Ind ; K Val870s ; T Val870s)~"
                    R"~( ; C Val870s ; T one of Val890_Ind / Val890_Ind_Hisai → Val890_Ind)~"},
          // 47
          {.name = "Update2015ExpH2711",
           .kind = Kind::kExpenses,
           .sources = "KrExp201511.mdb",
           .targets = "平成27年度 (KrExp.mdb)",
           .guard = "2015,1,1",
           .record = R"~(stamp "2015,1,1")~",
           .backup = true,
           .steps = "T Expenses [Big,Mdl,Sml]"},
          // 48
          {.name = "Update2015CriH2802",
           .kind = Kind::kLabourRate,
           .sources = "KrData2015H2802.mdb",
           .targets = "the labour-rate refresh folder",
           .backup = true,
           .body = LabourRateFolderCopy},
          // 49
          {.name = "Update2015CriInsertKB",
           .kind = Kind::kKnowledgeBase,
           .sources = "KrCri2015KB.mdb",
           .targets = "every year folder (KrCri.mdb)",
           .body = Update2015CriInsertKB},
          // 50
          {.name = "Update2016CriH2811",
           .kind = Kind::kPrices,
           .sources = "KrCri201611.mdb",
           .targets = "平成28年度 (KrCri.mdb)",
           .guard = "2016,1,1",
           .record = R"~(stamp "2016,1,2")~",
           .backup = true,
           .late = true,
           .steps = R"~(T Cri [Code] ; RDP Cri ; T Cri_PackageStand ; IndexRowInsertion)~"
                    R"~( ; ‹HasValIndex200› ; T Cri_Base(神戸) → Cri_Base)~"
                    R"~( ; T Cri_Base_Ind(神戸) → Cri_Base_Ind)~"},
          // 51
          {.name = "Update2016ValH2811",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201611.mdb",
           .targets = "平成28年度 (KrVal.mdb)",
           .guard = "2016,1,1",
           .record = R"~(stamp "2016,1,2")~",
           .backup = true,
           .late = true,
           .steps =
               R"~(‹HasTohokuDistricts› ; ‹EnvironFlag60› ; T one of Book / Book_D → Book)~"
               R"~( ; T Special_Package)~"
               R"~( ; X "DELETE FROM SpeExe WHERE LEFT(Special,3)='710' OR LEFT(Special,3)='720';")~"
               R"~( ; T SpeExe [Special])~"
               R"~( ; X "UPDATE Val_Ind SET [Index]='農林水産省(森林整備) ※普通作業員適用' WHERE Code='710';")~"
               R"~( ; X "UPDATE Val_Ind SET [Index]='農林水産省(森林整備) ※山林砂防工適用' WHERE Code='720';")~"
               R"~( ; X "UPDATE Val_IndD SET [Index]='農林水産省(森林整備) ※普通作業員適用' WHERE Code='710';")~"
               R"~( ; X "UPDATE Val_IndD SET [Index]='農林水産省(森林整備) ※山林砂防工適用' WHERE Code='720';")~"
               R"~( ; T one of Val_IndExplain / Val_IndExplain_Hisai → Val_IndExplain)~"
               R"~( ; T Val120 [Code] ; K Val150 ; T Val150 ; C Val150 ; K Val150s)~"
               R"~( ; T Val150s ; C Val150s ; K Val450 ; T Val450 ; C Val450 ; K Val450s)~"
               R"~( ; T Val450s ; C Val450s ; K Val620 ; T Val620 ; C Val620 ; T Val620_Ind)~"
               R"~( ; K Val620s ; T Val620s ; C Val620s ; K Val700 ; T Val700 ; C Val700)~"
               R"~( ; T one of Val700_Ind / Val700_Ind_Hisai → Val700_Ind ; K Val710)~"
               R"~( ; T Val710 ; C Val710)~"
               R"~( ; T one of Val710_Ind / Val710_Ind_Hisai → Val710_Ind ; K Val710s)~"
               R"~( ; T Val710s ; C Val710s ; K Val720 ; T Val720 ; C Val720)~"
               R"~( ; T one of Val720_Ind / Val720_Ind_Hisai → Val720_Ind ; K Val720s)~"
               R"~( ; T Val720s ; C Val720s ; TT Val750 ; TT Val750_Ind ; TT Val750s)~"
               R"~( ; TT Val760 ; TT Val760_Ind ; TT Val760s ; T Val770 ; T Val770s)~"
               R"~( ; K Val790 ; T Val790 ; C Val790 ; K Val800 ; T Val800 ; C Val800)~"
               R"~( ; T one of Val800_Ind / Val800_Ind_Hisai → Val800_Ind ; K Val810)~"
               R"~( ; T Val810 ; C Val810)~"
               R"~( ; T one of Val810_Ind / Val810_Ind_Hisai → Val810_Ind ; K Val810s)~"
               R"~( ; T Val810s ; C Val810s ; K Val850 ; T Val850 ; C Val850 ; K Val870)~"
               R"~( ; T Val870 ; C Val870 ; K Val870s ; T Val870s ; C Val870s)~"
               R"~( ; T one of Val890_Ind / Val890_Ind_Hisai → Val890_Ind)~"},
          // 52
          {.name = "Update2016ExpH2811",
           .kind = Kind::kExpenses,
           .sources = "KrExp201611.mdb",
           .targets = "平成28年度 (KrExp.mdb)",
           .guard = "2016,1,1",
           .record = R"~(stamp "2016,1,1")~",
           .backup = true,
           .steps = R"~(X "DELETE FROM Expenses WHERE Big=4 OR Big=6" ; T Expenses [Big,Mdl,Sml])~"
                    R"~( ; X "DELETE FROM ExpOption WHERE Big=6" ; T ExpOption [Big,Mdl])~"},
          // 53
          {.name = "Update2016CriH2902",
           .kind = Kind::kPrices,
           .sources = "KrCri201702.mdb",
           .targets = "平成28年度 (KrCri.mdb)",
           .guard = "2016,1,3",
           .record = R"~(stamp "2016,1,4")~",
           .backup = true,
           .late = true,
           .steps = "T Cri_PackageStand [PStandCode]"},
          // 54
          {.name = "Update2016ValH2902",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201702.mdb",
           .targets = "平成28年度 (KrVal.mdb)",
           .guard = "2016,1,3",
           .record = R"~(stamp "2016,1,4")~",
           .backup = true,
           .late = true,
           .steps = "T SpeExe [Special] ; K Val620 ; T Val620 ; C Val620"},
          // 55
          {.name = "Update2016ExpH2902",
           .kind = Kind::kExpenses,
           .sources = "KrExp201702.mdb",
           .targets = "平成28年度 (KrExp.mdb)",
           .guard = "2016,1,2",
           .record = R"~(stamp "2016,1,2")~",
           .backup = true,
           .steps = "T Expenses [Big,Mdl,Sml]"},
          // 56
          {.name = "Update2016CriH2903",
           .kind = Kind::kLabourRate,
           .sources = "KrData2016H2903.mdb",
           .targets = "the labour-rate refresh folder",
           .backup = true,
           .body = LabourRateFolderCopy},
          // 57
          {.name = "Update2016ValH2903Kumamoto",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201703K.mdb",
           .targets = "平成28年度 / 平成28年度(H29年3月労務更新) (KrVal.mdb)",
           .guard = "2016,1,5",
           .record = R"~(stamp "2016,1,5")~",
           .backup = true,
           .condition = R"~(‹FolderDistrictCommentContains "熊本"›)~",
           .steps = R"~(T SpeExe [Special] ; T Val_IndExplain ; T Val700 [Code])~"
                    R"~( ; DeleteRowsByField "Val700" "Code" "Val700_Delete" ; T Val700_Ind)~"
                    R"~( ; T Val700s [ValCode] ; T Val710 [Code] ; T Val710_Ind)~"
                    R"~( ; T Val710s [ValCode] ; T Val720 [Code] ; T Val720_Ind)~"
                    R"~( ; T Val720s [ValCode] ; T Val750 [Code] ; T Val750s [ValCode])~"
                    R"~( ; T Val760 [Code] ; T Val760s [ValCode] ; K Val770 ; T Val770)~"
                    R"~( ; C Val770 ; K Val790 ; T Val790 ; C Val790 ; T Val800_Ind)~"
                    R"~( ; T Val810_Ind ; T Val890_Ind)~"},
          // 58
          {.name = "Update2016ExpH2903Kumamoto",
           .kind = Kind::kExpenses,
           .sources = "KrExp201703K.mdb",
           .targets = "平成28年度 / 平成28年度(H29年3月労務更新) (KrExp.mdb)",
           .guard = "2016,1,3",
           .record = R"~(stamp "2016,1,3")~",
           .backup = true,
           .condition = R"~(‹FolderDistrictCommentContains "熊本"›)~",
           .steps = "T Expenses [Big,Mdl,Sml]"},
          // 59
          {.name = "Update2016CriH2903Sijyo",
           .kind = Kind::kPrices,
           .sources = "KrData2016H2903_2.mdb",
           .targets = "平成28年度 / 平成28年度(H29年3月労務更新) (KrCri.mdb)",
           .backup = true,
           .steps = R"~(RefreshLabourPrices "c" "Cri" ; RefreshLabourPrices "c" "Cri_KB")~"},
          // 60
          {.name = "Update2016ValH2904",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201704.mdb",
           .targets = "平成28年度 / 平成28年度(H29年3月労務更新) (KrVal.mdb)",
           .guard = "2016,1,5",
           .record = R"~(stamp "2016,1,5")~",
           .backup = true,
           .steps = R"~(T SpeExe [Special] ; T Val700 [Code])~"
                    R"~( ; DeleteRowsByField "Val700" "Code" "Val700_Delete")~"
                    R"~( ; T Val700s [ValCode] ; T Val710 [Code] ; T Val720 [Code])~"},
          // 61
          {.name = "Update2016ExpH2904",
           .kind = Kind::kExpenses,
           .sources = "KrExp201704.mdb",
           .targets = "平成28年度 / 平成28年度(H29年3月労務更新) (KrExp.mdb)",
           .guard = "2016,1,4",
           .record = R"~(stamp "2016,1,4")~",
           .backup = true,
           .steps = "T MinPrice [Big,Mdl,Sml] ; MinPriceSortOrder"},
          // 62
          {.name = "Update2016ExpH2904A",
           .kind = Kind::kExpenses,
           .sources = "KrExp201704.mdb",
           .targets = "平成28年度 / 平成28年度(H29年3月労務更新) (KrExp.mdb)",
           .backup = true,
           .steps = "T MinPrice [Big,Mdl,Sml] ; MinPriceSortOrder",
           .body = Update2016ExpH2904A},
          // 63
          {.name = "Update2016ExpH2904M",
           .kind = Kind::kExpenses,
           .sources = "KrExp201704M.mdb",
           .targets = "平成29年度(一部更新) (KrExp.mdb)",
           .backup = true,
           .steps =
               R"~(‹HasKumamotoDistrict›)~"
               R"~( ; T one of Expenses / Expenses_HisaiK → Expenses where "Big=1 OR Big=5 OR Big=6 OR Big=34")~"
               R"~( ; T ExpOption [Big,Mdl,Kind])~",
           .body = Update2016ExpH2904M},
          // 64
          {.name = "Update2017CriH2911",
           .kind = Kind::kPrices,
           .sources = "KrCri201711.mdb",
           .targets = "平成29年度 (KrCri.mdb)",
           .guard = "2017,1,1",
           .record = R"~(stamp "2017,1,1" comment "2017_07")~",
           .backup = true,
           .late = true,
           .steps = R"~(D Cri_Delete,Cri [Code] ; T Cri [Code] ; RDP Cri ; NameRefresh)~"
                    R"~( ; IndexCopy ; ‹HasCriKbRows› { D Cri_KB_Delete,Cri_KB [Code])~"
                    R"~( ; T Cri_KB [Code] ; RDP Cri_KB ; NameRefresh "KB" ; IndexCopy "KB" })~"
                    R"~( ; T Cri_IndRelation [CodeS,CodeK])~"
                    R"~( ; D Cri_Relation_Delete,Cri_Relation [CodeS,CodeK])~"
                    R"~( ; T Cri_Relation [CodeS,CodeK])~"},
          // 65
          {.name = "Update2017ValH2911",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201711.mdb",
           .targets = "平成29年度 (KrVal.mdb)",
           .guard = "2017,1,1",
           .record = R"~(stamp "2017,1,1")~",
           .backup = true,
           .late = true,
           .steps =
               R"~(‹HasTohokuDistricts› ; ‹HasKumamotoDistrict› ; ‹EnvironFlag60›)~"
               R"~( ; T one of Book / Book_D → Book ; T Special_Package)~"
               R"~( ; T SpeExe [Special] ; D SpeExe_Delete,SpeExe [Special])~"
               R"~( ; X "UPDATE Val_Ind SET [Index]='市場単価･土木工事標準単価' WHERE Code='190';")~"
               R"~( ; X "UPDATE Val_IndD SET [Index]='市場単価･土木工事標準単価' WHERE Code='190';")~"
               R"~( ; T one of Val_IndExplain / Val_IndExplain_Hisai / Val_IndExplain_HisaiK → Val_IndExplain)~"
               R"~( ; K Val120 ; K Val120s ; ‹HasGreenBankIndex› ; T Val120 ; T Val120s)~"
               R"~( ; T Val120_Shizuoka → Val120 ; T Val120s_Shizuoka → Val120s ; C Val120)~"
               R"~( ; C Val120s ; K Val130 ; K Val130s ; T Val130 ; T Val130_Ind)~"
               R"~( ; T Val130s ; C Val130 ; C Val130s ; K Val150 ; K Val150s ; T Val150)~"
               R"~( ; T Val150s ; C Val150 ; C Val150s ; K Val190 ; T Val190 ; T Val190_Ind)~"
               R"~( ; C Val190 ; K Val400 ; T Val400 ; C Val400 ; K Val450 ; T Val450)~"
               R"~( ; C Val450 ; K Val620 ; T Val620 ; C Val620 ; K Val700 ; K Val700s)~"
               R"~( ; T Val700)~"
               R"~( ; T one of Val700_Ind / Val700_Ind_Hisai / Val700_Ind_HisaiK → Val700_Ind)~"
               R"~( ; T Val700s ; C Val700 ; C Val700s ; K Val710 ; K Val710s ; T Val710)~"
               R"~( ; T one of Val710_Ind / Val710_Ind_Hisai / Val710_Ind_HisaiK → Val710_Ind)~"
               R"~( ; T Val710s ; C Val710 ; C Val710s ; K Val720 ; K Val720s ; T Val720)~"
               R"~( ; T one of Val720_Ind / Val720_Ind_Hisai / Val720_Ind_HisaiK → Val720_Ind)~"
               R"~( ; T Val720s ; C Val720 ; C Val720s)~"
               R"~( ; T one of Val800_Ind / Val800_Ind_Hisai / Val800_Ind_HisaiK → Val800_Ind)~"
               R"~( ; K Val810 ; K Val810s ; T Val810 ; T Val810s ; C Val810 ; C Val810s)~"
               R"~( ; K Val850 ; T Val850 ; C Val850 ; T Val870 ; T Val870s)~"
               R"~( ; T one of Val890_Ind / Val890_Ind_Hisai / Val890_Ind_HisaiK → Val890_Ind)~"},
          // 66
          {.name = "Update2017ExpH2911",
           .kind = Kind::kExpenses,
           .sources = "KrExp201711.mdb",
           .targets = "平成29年度 (KrExp.mdb)",
           .guard = "2017,1,1",
           .record = R"~(stamp "2017,1,1")~",
           .backup = true,
           .steps = R"~(T Exp_Ind [Big] ; X "DELETE FROM Expenses WHERE Big=4")~"
                    R"~( ; ‹HasKumamotoDistrict›)~"
                    R"~( ; T one of Expenses / Expenses_HisaiK → Expenses [Big,Mdl,Sml])~"
                    R"~( ; X "DELETE FROM ExpOption WHERE Big=4" ; T ExpOption [Big,Mdl])~"
                    R"~( ; X "DELETE FROM HouteiFukuri WHERE Big=4" ; T HouteiFukuri [Big,Mdl])~"},
          // 67
          {.name = "Update2017SetH2911",
           .kind = Kind::kSettings,
           .sources = "KrSet201711.mdb",
           .targets = R"~(File\KrSet.mdb)~",
           .guard = "2017,1,1",
           .record = R"~(stamp "2017,1,1")~",
           .backup = true,
           .steps = "T Setting [Type,Name]"},
          // 68
          {.name = "Update2017CriH2911Ken",
           .kind = Kind::kPrices,
           .sources = "KrCriH2911Ken.mdb",
           .targets = "平成29年度 (KrCri.mdb)",
           .guard = R"~(comment "2017_10")~",
           .record = R"~(marker "KrUpdatedH2911Ken.ini")~",
           .backup = true,
           .late = true,
           .body = Update2017CriH2911Ken},
          // 69
          {.name = "Update2017CriH3003",
           .kind = Kind::kLabourRate,
           .sources = "KrData2017H3003.mdb",
           .targets = "the labour-rate refresh folder",
           .backup = true,
           .body = LabourRateFolderCopy},
          // 70
          {.name = "Update2017ValH3004K",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal2017H3004K.mdb",
           .targets = R"~(File\平成30年度(一部更新)\KrVal.mdb)~",
           .guard = "2017,1,3",
           .record = R"~(stamp "2017,1,3" + marker "KrUpdatedH3004K.ini")~",
           .backup = true,
           .late = true,
           .condition = "‹HasKumamotoDistrict›",
           .steps = "T Val800_Ind_HisaiK → Val800_Ind"},
          // 71
          {.name = "Update2017ValH3006",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal2017H3006.mdb",
           .targets = "every year folder (KrVal.mdb)",
           .guard = "2017,1,4",
           .record = R"~(stamp "2017,1,4")~",
           .backup = true,
           .late = true,
           .steps = "T SpeExe [Special]",
           .body = Update2017ValH3006},
      });
}

}  // namespace kr::routines
