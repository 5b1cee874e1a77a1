// Catalogue rows: The releases of 2018 and 2019, and the settings and cover routines.
#include "routines/catalogue.h"

namespace kr::routines {

void AddRows2018To2019(std::vector<CatalogueRow>& rows) {
  rows.insert(
      rows.end(),
      {
          // 72
          {.name = "Update2018CriH3011",
           .kind = Kind::kPrices,
           .sources = "KrCri201811.mdb",
           .targets = "平成30年度 (KrCri.mdb)",
           .guard = "2018,1,1",
           .record = R"~(stamp "2018,1,1")~",
           .backup = true,
           .late = true,
           .steps = "T Cri [Code] ; RDP Cri"},
          // 73
          {.name = "Update2018ValH3011",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal201811.mdb",
           .targets = "平成30年度 (KrVal.mdb)",
           .guard = "2018,1,1",
           .record = R"~(stamp "2018,1,1")~",
           .backup = true,
           .steps =
               R"~(‹HasTohokuDistricts› ; ‹HasKumamotoDistrict› ; ‹EnvironFlag60›)~"
               R"~( ; » " 10%" ; T one of Book / Book_D → Book ; T PlantTable [Kind,Col,HC])~"
               R"~( ; T Special_Package [SpecialCode] ; T SpeExe [Special])~"
               R"~( ; D SpeExe_Delete,SpeExe [Special])~"
               R"~( ; T one of Val_IndExplain / Val_IndExplain_Hisai / Val_IndExplain_HisaiK → Val_IndExplain)~"
               R"~( ; K Val120 ; K Val120s ; ‹HasGreenBankIndex› ; T Val120 ; T Val120s)~"
               R"~( ; T Val120_Shizuoka → Val120 ; T Val120s_Shizuoka → Val120s ; C Val120)~"
               R"~( ; C Val120s ; » " 30%" ; K Val130 ; K Val130s ; T Val130 ; T Val130_Ind)~"
               R"~( ; T Val130s ; C Val130 ; C Val130s ; K Val150 ; K Val150s ; T Val150)~"
               R"~( ; T Val150s ; C Val150 ; C Val150s ; » " 40%" ; K Val190 ; T Val190)~"
               R"~( ; C Val190 ; K Val400 ; K Val400s ; T Val400 ; T Val400s ; C Val400)~"
               R"~( ; C Val400s ; K Val450 ; T Val450 ; C Val450 ; K Val700 ; K Val700s)~"
               R"~( ; T Val700 ; » " 70%")~"
               R"~( ; T one of Val700_Ind / Val700_Ind_Hisai / Val700_Ind_HisaiK → Val700_Ind)~"
               R"~( ; T Val700s ; C Val700 ; C Val700s ; K Val710 ; K Val710s ; T Val710)~"
               R"~( ; T one of Val710_Ind / Val710_Ind_Hisai / Val710_Ind_HisaiK → Val710_Ind)~"
               R"~( ; T Val710s ; C Val710 ; C Val710s ; K Val720 ; K Val720s ; T Val720)~"
               R"~( ; T one of Val720_Ind / Val720_Ind_Hisai / Val720_Ind_HisaiK → Val720_Ind)~"
               R"~( ; T Val720s ; C Val720 ; C Val720s ; » " 80%" ; K Val740 ; T Val740)~"
               R"~( ; C Val740 ; K Val750 ; T Val750 ; C Val750 ; K Val760 ; T Val760)~"
               R"~( ; C Val760 ; K Val790 ; K Val790s)~"
               R"~( ; T one of Val790 / Val790_Hisai / Val790_HisaiK → Val790 ; T Val790s)~"
               R"~( ; C Val790 ; C Val790s ; » " 90%" ; K Val800 ; T Val800 ; C Val800)~"
               R"~( ; K Val810 ; K Val810s ; T Val810)~"
               R"~( ; T one of Val810_Ind / Val810_Ind_Hisai / Val810_Ind_HisaiK → Val810_Ind)~"
               R"~( ; T Val810s ; C Val810 ; C Val810s ; K Val850 ; T Val850 ; C Val850)~"
               R"~( ; T one of Val890_Ind / Val890_Ind_Hisai / Val890_Ind_HisaiK → Val890_Ind)~"},
          // 74
          {.name = "Update2018ExpH3011",
           .kind = Kind::kExpenses,
           .sources = "KrExp201811.mdb",
           .targets = "平成30年度 (KrExp.mdb)",
           .guard = "2018,1,2",
           .record = R"~(stamp "2018,1,2")~",
           .backup = true,
           .steps = R"~(X "DELETE FROM Expenses WHERE Big=4" ; ‹HasKumamotoDistrict›)~"
                    R"~( ; T one of Expenses / Expenses_HisaiK → Expenses [Big,Mdl,Sml])~"
                    R"~( ; T ExpOption [Big,Mdl])~"},
          // 75
          {.name = "Update2018SetH3011",
           .kind = Kind::kSettings,
           .sources = "KrSet201811.mdb",
           .targets = R"~(File\KrSet.mdb)~",
           .guard = "2018,1,1",
           .record = R"~(stamp "2018,1,1")~",
           .backup = true,
           .steps = "T Setting [Type,Name]"},
          // 76
          {.name = "Update2018CriH3103",
           .kind = Kind::kLabourRate,
           .sources = "KrData2018H3103.mdb",
           .targets = "the labour-rate refresh folder",
           .record = R"~(tag ",労務更新" + tag ",労務更新H3104")~",
           .backup = true,
           .body = LabourRateFolderCopy},
          // 77
          {.name = "Update2018CriInsertKB",
           .kind = Kind::kKnowledgeBase,
           .sources = "KrCri2018KB.mdb",
           .targets = "every year folder (KrCri.mdb)",
           .backup = true,
           .body = Update2018CriInsertKB},
          // 78
          {.name = "Update2018CriH3104",
           .kind = Kind::kLabourRate,
           .sources = "KrCri2018H3104.mdb",
           .targets = "every year folder (KrCri.mdb)",
           .guard = R"~(with ",労務更新" ",メンテナンス" without ",労務更新H3104")~",
           .record = R"~(tag ",労務更新H3104")~",
           .backup = true,
           .body = LabourRateTag},
          // 79
          {.name = "Update2018ExpH3104A",
           .kind = Kind::kExpenses,
           .sources = "KrExp2018H3104A.mdb",
           .targets = "every year folder (KrExp.mdb)",
           .guard = R"~(without ",メンテナンスH3104A")~",
           .record = R"~(stamp "2018,1,4" + tag ",メンテナンスH3104A")~",
           .backup = true,
           .steps = "T Expenses [Big,Mdl,Sml]"},
          // 80
          {.name = "Update2018ExpH3104B",
           .kind = Kind::kExpenses,
           .sources = "KrExp2018H3104B.mdb",
           .targets = "every year folder (KrExp.mdb)",
           .guard = R"~(with ",メンテナンス" without ",メンテナンスH3104B")~",
           .record = R"~(tag ",メンテナンスH3104B")~",
           .backup = true,
           .steps = "T Expenses [Big,Mdl,Sml] ; T ExpOption [Big,Mdl]"},
          // 81
          {.name = "Update2018KelmoraSettingH3104",
           .kind = Kind::kSettings,
           .targets = "KelmoraSetting.xml of the install folder",
           .body = Update2018KelmoraSettingH3104},
          // 82
          {.name = "Update2019ValR0108",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal2019R0108.mdb, KrVal2019R0108_Hiroshima.mdb",
           .targets = "every year folder (KrVal.mdb)",
           .guard = "2019,1,1",
           .record = R"~(stamp "2019,1,1")~",
           .backup = true,
           .steps = "K Val710 ; T Val710 [Code] ; C Val710 ; K Val720 ; T Val720 [Code] ; C Val720"
                    " ; K Val740 ; T Val740 [Code] ; C Val740 ; K Val750 ; T Val750 [Code]"
                    " ; C Val750 ; K Val760 ; T Val760 [Code] ; C Val760 ; K Val870"
                    " ; T Val870 [Code] ; C Val870",
           // From the Hiroshima source, after the stamp, where HasHiroshimaDistrict holds.
           .extra_steps =
               "T Val_IndExplain ; K Val700 ; T Val700 [Code] ; C Val700 ; K Val710"
               " ; T Val710 [Code] ; C Val710 ; K Val720 ; T Val720 [Code] ; C Val720 ; K Val740"
               " ; T Val740 [Code] ; C Val740 ; K Val750 ; T Val750 [Code] ; C Val750 ; K Val760"
               " ; T Val760 [Code] ; C Val760 ; K Val770 ; T Val770 [Code] ; C Val770 ; K Val790"
               " ; T Val790 [Code] ; C Val790 ; T Val700_Ind ; T Val710_Ind ; T Val720_Ind"
               " ; T Val800_Ind ; T Val810_Ind ; T Val890_Ind",
           .body = Update2019ValR0108},
          // 83
          {.name = "Update2019ExpR0108",
           .kind = Kind::kExpenses,
           .sources = "KrExp2019R0108.mdb",
           .targets = "every year folder (KrExp.mdb)",
           .guard = "2019,1,1",
           .record = R"~(stamp "2019,1,1")~",
           .backup = true,
           .body = Update2019ExpR0108},
          // 84
          {.name = "Update2019SetR0108",
           .kind = Kind::kSettings,
           .sources = "KrSet2019R0108.mdb",
           .targets = R"~(File\KrSet.mdb)~",
           .guard = "2019,1,1",
           .record = R"~(stamp "2019,1,1")~",
           .backup = true,
           .steps = "T Setting [Name]"},
          // 85
          {.name = "Update2019SetR0109",
           .kind = Kind::kSettings,
           .sources = "KrSet2019R0109.mdb",
           .targets = R"~(File\KrSet.mdb ; File\KrSetMinPrice.mdb)~",
           .guard = "2019,1,2, 2019,1,1",
           .record = R"~(stamp "2019,1,2" + stamp "2019,1,1")~",
           .backup = true,
           .steps = "T SetOption [ID]"},
          // 86
          {.name = "Update2019ValR0109",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal2019R0109.mdb",
           .targets = "every year folder (KrVal.mdb)",
           .guard = "2019,1,2",
           .record = R"~(stamp "2019,1,2")~",
           .backup = true,
           .steps = "T Special_Package"},
          // 87
          {.name = "Update2019CriR0111",
           .kind = Kind::kPrices,
           .sources = "KrCri2019R0111.mdb",
           .targets = "every year folder (KrCri.mdb)",
           .guard = "2019,1,2",
           .record = R"~(stamp "2019,1,2")~",
           .backup = true,
           .steps = R"~(T ChangeCode ; T Cri [Code] ; RDP Cri ; D Cri_Delete,Cri [Code])~"
                    R"~( ; ‹DistrictCommentContains "山梨"› { T Cri_Base ; T Cri_Base_Ind })~"},
          // 88
          {.name = "Update2019ExpR0111",
           .kind = Kind::kExpenses,
           .sources = "KrExp2019R0111.mdb",
           .targets = "every year folder (KrExp.mdb)",
           .guard = "2019,1,2",
           .record = R"~(stamp "2019,1,2")~",
           .backup = true,
           .steps = "T Expenses [Big,Mdl,Sml]"},
          // 89
          {.name = "Update2019ValR0111",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal2019R0111.mdb",
           .targets = "every year folder (KrVal.mdb)",
           .guard = "2019,1,4",
           .record = R"~(stamp "2019,1,4")~",
           .backup = true,
           .steps =
               R"~(‹HasTohokuDistricts› ; ‹HasKumamotoDistrict› ; ‹HasHiroshimaDistrict›)~"
               R"~( ; ‹EnvironFlag60› ; » " 10%" ; T one of Book / Book_D → Book)~"
               R"~( ; T Special_Package ; T SpeExe [Special])~"
               R"~( ; D SpeExe_Delete,SpeExe [Special] ; T Val_IndExplain [Code,SortOrder])~"
               R"~( ; K Val120 ; T Val120 [Code] ; C Val120 ; K Val130 ; T Val130)~"
               R"~( ; » " 20%" ; T Val130_Ind ; C Val130 ; K Val150 ; K Val150s ; T Val150)~"
               R"~( ; T Val150s ; C Val150 ; C Val150s ; K Val400 ; T Val400 ; C Val400)~"
               R"~( ; K Val430 ; K Val430s ; T Val430 ; T Val430s ; C Val430 ; C Val430s)~"
               R"~( ; » " 30%" ; K Val450 ; T Val450 ; C Val450 ; K Val600 ; K Val600s)~"
               R"~( ; T Val600 ; T Val600_Ind ; T Val600s ; C Val600 ; C Val600s ; K Val700)~"
               R"~( ; K Val700s ; » " 40%" ; T Val700 ; T Val700_Ind)~"
               R"~( ; T Val700_Hisai → Val700 ; T Val700_Ind_Hisai → Val700_Ind)~"
               R"~( ; T Val700_HisaiK → Val700 ; T Val700_Ind_HisaiK → Val700_Ind)~"
               R"~( ; T Val700_HisaiH → Val700 ; T Val700_Ind_HisaiH → Val700_Ind)~"
               R"~( ; T Val700s ; C Val700 ; C Val700s ; K Val710 ; K Val710s ; T Val710)~"
               R"~( ; T Val710_Ind ; » " 50%" ; T Val710_Hisai → Val710)~"
               R"~( ; T Val710_Ind_Hisai → Val710_Ind ; T Val710_HisaiK → Val710)~"
               R"~( ; T Val710_Ind_HisaiK → Val710_Ind ; T Val710_HisaiH → Val710)~"
               R"~( ; T Val710_Ind_HisaiH → Val710_Ind ; T Val710s ; C Val710 ; C Val710s)~"
               R"~( ; K Val720 ; K Val720s ; T Val720 ; T Val720_Ind)~"
               R"~( ; T Val720_Hisai → Val720 ; » " 60%" ; T Val720_Ind_Hisai → Val720_Ind)~"
               R"~( ; T Val720_HisaiK → Val720 ; T Val720_Ind_HisaiK → Val720_Ind)~"
               R"~( ; T Val720_HisaiH → Val720 ; T Val720_Ind_HisaiH → Val720_Ind)~"
               R"~( ; T Val720s ; C Val720 ; C Val720s ; K Val740 ; K Val740s)~"
               R"~( ; T Val740 [Code])~"
               R"~( ; T one of Val740_Ind / Val740_Ind_Hisai / Val740_Ind_HisaiK / Val740_Ind_HisaiH → Val740_Ind)~"
               R"~( ; T Val740s [ValCode] ; C Val740 ; C Val740s ; » " 70%" ; K Val750)~"
               R"~( ; K Val750s ; T Val750 [Code])~"
               R"~( ; T one of Val750_Ind / Val750_Ind_Hisai / Val750_Ind_HisaiK / Val750_Ind_HisaiH → Val750_Ind)~"
               R"~( ; T Val750s [ValCode] ; C Val750 ; C Val750s ; K Val760 ; K Val760s)~"
               R"~( ; T Val760 [Code])~"
               R"~( ; T one of Val760_Ind / Val760_Ind_Hisai / Val760_Ind_HisaiK / Val760_Ind_HisaiH → Val760_Ind)~"
               R"~( ; T Val760s [ValCode] ; C Val760 ; C Val760s ; » " 80%" ; K Val770)~"
               R"~( ; T one of Val770 / Val770_Hisai / Val770_HisaiK / Val770_HisaiH → Val770)~"
               R"~( ; C Val770 ; K Val790)~"
               R"~( ; T one of Val790 / Val790_Hisai / Val790_HisaiK / Val790_HisaiH → Val790)~"
               R"~( ; C Val790 ; K Val800 ; T Val800 ; C Val800)~"
               R"~( ; T one of Val800_Ind / Val800_Ind_Hisai / Val800_Ind_HisaiK / Val800_Ind_HisaiH → Val800_Ind)~"
               R"~( ; K Val810 ; K Val810s ; T Val810 ; T Val810s ; C Val810 ; C Val810s)~"
               R"~( ; » " 90%" ; K Val820 ; T Val820 ; C Val820 ; K Val830 ; T Val830)~"
               R"~( ; C Val830 ; K Val850 ; T Val850 ; C Val850 ; K Val870 ; T Val870)~"
               R"~( ; C Val870)~"
               R"~( ; T one of Val890_Ind / Val890_Ind_Hisai / Val890_Ind_HisaiK / Val890_Ind_HisaiH → Val890_Ind)~"},
          // 90
          {.name = "Update2019CopyCriValR0110",
           .kind = Kind::kOther,
           .sources = "KrCri.mdb, KrExp.mdb, KrVal.mdb",
           .targets = R"~(KrCri.mdb, KrExp.mdb and KrVal.mdb of File\2019年度\)~",
           .record = R"~(marker "KrUpdatedR0110.ini")~",
           .body = Update2019CopyCriValR0110},
          // 91
          {.name = "Update2019CriR0203",
           .kind = Kind::kLabourRate,
           .sources = "KrData2019R0203.mdb",
           .targets = "the labour-rate refresh folder",
           .record = R"~(tag ",労務更新R0203")~",
           .backup = true,
           .body = LabourRateFolderCopy},
          // 92
          {.name = "Update2019ValR0203",
           .kind = Kind::kUnitPrices,
           .sources = "KrVal2019R0203.mdb",
           .targets = "every year folder (KrVal.mdb)",
           .guard = "2019,1,5",
           .record = R"~(stamp "2019,1,5")~",
           .backup = true,
           .steps =
               R"~(‹HasTohokuDistricts› ; ‹HasKumamotoDistrict› ; ‹HasHiroshimaDistrict›)~"
               R"~( ; » " 10%" ; T SpeExe [Special] ; » " 20%")~"
               R"~( ; D SpeExe_Delete,SpeExe [Special] ; » " 40%")~"
               R"~( ; D Val700_Delete,Val700 [Code])~"
               R"~( ; T one of Val700_Ind / Val700_Ind_Hisai / Val700_Ind_HisaiK / Val700_Ind_HisaiH → Val700_Ind)~"
               R"~( ; D Val700s_Delete,Val700s [ValCode] ; » " 60%")~"
               R"~( ; T one of Val800_Ind / Val800_Ind_Hisai / Val800_Ind_HisaiK / Val800_Ind_HisaiH → Val800_Ind)~"
               R"~( ; D Val850_Delete,Val850 [Code] ; » " 80%" ; T Val850_Ind)~"
               R"~( ; D Val850s_Delete,Val850s [ValCode] ; » " 90%" ; K Val870)~"
               R"~( ; T Val870 [Code] ; C Val870)~"},
          // 93
          {.name = "Update2019CriInsertKB",
           .kind = Kind::kKnowledgeBase,
           .sources = "KrCri2019KB.mdb",
           .targets = "every year folder (KrCri.mdb)",
           .backup = true,
           .body = Update2019CriInsertKB},
          // 94
          {.name = "Update2019CriR0204",
           .kind = Kind::kLabourRate,
           .sources = "KrCri2019R0204.mdb",
           .targets = "every year folder (KrCri.mdb)",
           .guard = R"~(with ",労務更新R0203" without ",労務更新R0204")~",
           .record = R"~(tag ",労務更新R0204")~",
           .backup = true,
           .body = LabourRateTag},
          // 95
          {.name = "UpdateFeldin3MastaH2912",
           .kind = Kind::kSettings,
           .targets = R"~(File\KrMasta.mdb)~",
           .guard = "2015,1,1",
           .record = R"~(stamp "2015,1,1")~",
           .backup = true,
           .steps = "HolidaysAndMaps"},
          // 96
          {.name = "UpdateFeldin3SetH2912",
           .kind = Kind::kSettings,
           .sources = "KrSetH2912.mdb",
           .targets = R"~(File\KrSet.mdb)~",
           .guard = "2015,1,1",
           .record = R"~(stamp "2015,1,1")~",
           .backup = true,
           .steps = "T PrintIndex [Target] ; T UserListExplain [UserKind] ; UserListRows"},
          // 97
          {.name = "UpdateFeldin3MitDeleteRecodeH3004",
           .kind = Kind::kSettings,
           .targets = R"~(File\KrUke.mdb ; File\KrFile.mdb)~",
           .backup = true,
           .body = UpdateFeldin3MitDeleteRecodeH3004},
          // 98
          {.name = "ResetSetEnvironStartDirectory",
           .kind = Kind::kSettings,
           .targets = R"~(File\KrSet.mdb)~",
           .backup = true,
           .steps = R"~(X "UPDATE Environ SET SetName='' WHERE [ID]=1;")~"},
          // 99
          {.name = "UpdateCover_114Zavuzize",
           .kind = Kind::kSettings,
           .targets = R"~(Cover\KrCover.mdb)~",
           .backup = true,
           .steps =
               R"~(X "UPDATE 印刷 SET [Data]='緑　　研' WHERE [種別]=99 AND [Protect]=1 AND [Data]='熊本vu'")~"
               R"~( ; X "UPDATE 印刷 SET [Data]='㈱vu' WHERE [Ptn3]=0 AND [Data]='㈱熊本vu'")~"},
          // 100
          {.name = "UpdateCover_114Zavuzize2",
           .kind = Kind::kSettings,
           .targets = R"~(Cover\KrCover.mdb)~",
           .backup = true,
           .steps =
               R"~(X "UPDATE 印刷 SET [Data]='緑 　研' WHERE [種別]=99 AND [Protect]=1 AND [Data]='熊本vu'")~"
               R"~( ; X "UPDATE 印刷 SET [Data]='緑 　研' WHERE [種別]=99 AND [Protect]=1 AND [Data]='緑　　研'")~"
               R"~( ; X "UPDATE 印刷 SET [Data]='㈱vu' WHERE [Ptn3]=0 AND [Data]='㈱熊本vu'")~"},
      });
}

}  // namespace kr::routines
