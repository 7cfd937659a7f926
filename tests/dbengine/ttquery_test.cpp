// Query component: the parameter scan, the "Data" stream of parameters,
// parameter binding and execution.

#include <gtest/gtest.h>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/streams.h"
#include "accbinding_fixture.h"
#include "platform/classlib/core/english_settings.h"

using accesstest::ColumnOf;

namespace {

TEST(ParameterScan, MarkersOutsideQuotesBecomeParameters) {
  TttParams params;
  std::string text = ScanQueryParams("SELECT * FROM T WHERE A = :A AND B = ':X'", &params);
  EXPECT_EQ("SELECT * FROM T WHERE A = ? AND B = ':X'", text);
  ASSERT_EQ(1, params.Count());
  EXPECT_EQ("A", params.Items(0)->Name());
  EXPECT_EQ(ftUnknown, params.Items(0)->DataType());
}

TEST(ParameterScan, DoubleColonsAndDelimiters) {
  TttParams params;
  EXPECT_EQ("SELECT '12:30', 5:int, ? FROM T WHERE (X=?)",
            ScanQueryParams("SELECT '12:30', 5::int, :P FROM T WHERE (X=:Q)", &params));
  ASSERT_EQ(2, params.Count());
  EXPECT_EQ("P", params.Items(0)->Name());
  EXPECT_EQ("Q", params.Items(1)->Name()) << "the name ends at the parenthesis";
  params.Clear();
  EXPECT_EQ("WHERE A = ?", ScanQueryParams("WHERE A = :\"Long name\"", &params));
  EXPECT_EQ("Long name", params.Items(0)->Name());
  // Without a list the text is rewritten all the same.
  EXPECT_EQ("? + ?", ScanQueryParams(":a + :b", nullptr));
}

TEST(ParameterScan, RepeatedNamesAnswerTheFirst) {
  TttParams params;
  ScanQueryParams("WHERE A = :V OR B = :V", &params);
  ASSERT_EQ(2, params.Count());
  params.TParams::Items(0)->SetAsInteger(7);
  EXPECT_EQ(params.TParams::Items(0), params.Items(1));
}

TEST(ParameterStream, RoundTripOfEveryStoredType) {
  TttParams params;
  params.CreateParam(ftString, "Text", ptInput)->SetAsString("it's");
  params.CreateParam(ftInteger, "Number", ptInput)->SetAsInteger(-42);
  params.CreateParam(ftFloat, "Real", ptInput)->SetAsFloat(2.5);
  params.CreateParam(ftDateTime, "When", ptInput)->SetAsDateTime(EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0));
  params.CreateParam(ftBoolean, "Flag", ptInput)->SetAsBoolean(true);
  params.CreateParam(ftMemo, "Memo", ptInput)->SetAsMemo("long\r\ntext");
  params.CreateParam(ftBlob, "Blob", ptInput)->SetAsBlob(std::string("\x01\x00\x02", 3));
  params.CreateParam(ftInteger, "Empty", ptInput)->Clear();
  params.CreateParam(ftUnknown, "Untyped", ptUnknown);
  TMemoryStream stream;
  params.WriteBinaryData(&stream);
  stream.SetPosition(0);
  TttParams back;
  back.ReadBinaryData(&stream);
  ASSERT_EQ(params.Count(), back.Count());
  EXPECT_EQ("it's", back.ParamByName("Text")->AsString());
  EXPECT_EQ(-42, back.ParamByName("Number")->AsInteger());
  EXPECT_DOUBLE_EQ(2.5, back.ParamByName("Real")->AsFloat());
  EXPECT_EQ(EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0), back.ParamByName("When")->AsDateTime());
  EXPECT_TRUE(back.ParamByName("Flag")->AsBoolean());
  EXPECT_EQ("long\r\ntext", back.ParamByName("Memo")->AsString());
  EXPECT_EQ(std::string("\x01\x00\x02", 3), back.ParamByName("Blob")->AsString());
  EXPECT_EQ(ftBlob, back.ParamByName("Blob")->DataType());
  EXPECT_TRUE(back.ParamByName("Empty")->IsNull());
  EXPECT_EQ(ftUnknown, back.ParamByName("Untyped")->DataType());
  EXPECT_TRUE(back.ParamByName("Number")->Bound());
}

TEST(ParameterStream, DamagedAndOversizedStreamsAreRefused) {
  TttParams params;
  params.CreateParam(ftString, "Big", ptInput)->SetAsString(std::string(3000, 'x'));
  TMemoryStream stream;
  EXPECT_EQ("Parameter 'Big', cannot save data larger than 2048 bytes",
      MessageOf<EDatabaseError>([&] { params.WriteBinaryData(&stream); }));
  TttParams bytes;
  bytes.CreateParam(ftBytes, "Raw", ptInput)->SetValue(Variant(std::string("ab")));
  EXPECT_EQ("Field 'Raw' is of an unsupported type",
      MessageOf<EDatabaseError>([&] { bytes.WriteBinaryData(&stream); }));
  auto refused = [](const std::string& bytes) {
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    s.SetPosition(0);
    TttParams p;
    try {
      p.ReadBinaryData(&s);
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return std::string("accepted");
  };
  EXPECT_EQ("Unable to load bind parameters", refused(std::string("\x03\x00\x00\x00", 4))) << "version 3";
  EXPECT_EQ("Unable to load bind parameters", refused(std::string("\x01\x00\x05\x00\x10", 5))) << "cut short";
  EXPECT_EQ("Unable to load bind parameters", refused(std::string("\x01\x00\x01\x00\x01P\x01\x63", 8)))
      << "an unknown data type";
  // Version 2 uses wide counts.
  std::string v2("\x02\x00\x01\x00\x00\x00\x01\x00\x00\x00N\x01\x03\x04\x00\x00\x00\x07\x00\x00\x00\x00\x01", 23);
  EXPECT_EQ("accepted", refused(v2));
}

// Queries as the program places them, through the Access binding.
class QueryRoad : public accesstest::BindingFixture {};

TEST_F(QueryRoad, ParameterValuesCannotBreakTheStatement) {
  TtaQuery q;
  q.SetDatabaseName(path_);
  q.SQL()->Add("SELECT Name FROM People WHERE Name = :N OR Born = :B OR Age = :A");
  q.ParamByName("N")->SetAsString("x' OR 'a'='a");
  q.ParamByName("B")->SetAsDateTime(EncodeDate(1990, 1, 2) + EncodeTime(3, 4, 5, 0));
  q.ParamByName("A")->SetDataType(ftInteger);
  q.ParamByName("A")->Clear();
  q.Open();
  EXPECT_TRUE(q.IsEmpty()) << "the quote stays inside the text";
  q.Close();
  q.ParamByName("N")->SetAsString(std::string(300, 'q'));  // a long text travels by address
  q.Open();
  EXPECT_TRUE(q.IsEmpty());
}

TEST_F(QueryRoad, ExecSqlChangesRowsAndQueriesSeeThem) {
  TtaQuery update;
  update.SetDatabaseName(path_);
  update.SQL()->Add("UPDATE People SET Age = :NewAge WHERE Name = :Who");
  update.ParamByName("NewAge")->SetAsInteger(50);
  update.ParamByName("Who")->SetAsString("Bert");
  update.ExecSQL();
  TtaQuery q;
  q.SetDatabaseName(path_);
  q.SQL()->Add("SELECT Name FROM People WHERE Age = 50");
  q.Open();
  EXPECT_EQ((std::vector<std::string>{"Bert"}), ColumnOf(&q));
  EXPECT_NE(std::string::npos,
      MessageOf<EDatabaseError>([&] { q.Prepare(); }).find("Cannot perform this operation on an open dataset"));
}

TEST_F(QueryRoad, RowsAffectedCountsTheRowsAStatementChanged) {
  TtaQuery update;
  update.SetDatabaseName(path_);
  EXPECT_EQ(-1, update.RowsAffected()) << "nothing ran yet";
  update.SQL()->Add("UPDATE People SET Score = 2 WHERE Age = :A");
  update.ParamByName("A")->SetAsInteger(30);
  update.Prepare();
  EXPECT_EQ(-1, update.RowsAffected()) << "prepared, not executed";
  update.ExecSQL();
  EXPECT_EQ(2, update.RowsAffected());
  update.ParamByName("A")->SetAsInteger(25);
  update.ExecSQL();
  EXPECT_EQ(1, update.RowsAffected()) << "each execution counts afresh";
  update.ParamByName("A")->SetAsInteger(99);
  update.ExecSQL();
  EXPECT_EQ(0, update.RowsAffected());
  update.ParamByName("A")->SetAsInteger(30);
  update.ExecSQL();
  update.UnPrepare();
  EXPECT_EQ(2, update.RowsAffected()) << "kept when the statement is freed";
  // Inserts and deletes count too.
  TtaQuery change;
  change.SetDatabaseName(path_);
  change.SQL()->Add("INSERT INTO People (Name, Age) VALUES ('Dora', 41)");
  change.ExecSQL();
  EXPECT_EQ(1, change.RowsAffected());
  change.SQL()->Clear();
  change.SQL()->Add("DELETE FROM People WHERE Age > 26");
  change.ExecSQL();
  EXPECT_EQ(3, change.RowsAffected());
  // A statement that returns rows reports no count.
  TtaQuery select;
  select.SetDatabaseName(path_);
  select.SQL()->Add("SELECT Name FROM People");
  select.Open();
  EXPECT_EQ(-1, select.RowsAffected());
  select.Close();
  select.UnPrepare();
  EXPECT_EQ(-1, select.RowsAffected());
}

TEST_F(QueryRoad, MissingStatementsAndUnknownParameters) {
  TtaQuery q;
  q.SetDatabaseName(path_);
  EXPECT_NE(std::string::npos,
      MessageOf<EDatabaseError>([&] { q.Open(); }).find("No SQL statement available"));
  q.SQL()->Add("SELECT * FROM People WHERE Age = :Unset");
  try {
    q.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string::npos, e.Message().find("No value for parameter 'Unset'")) << e.Message();
  }
  EXPECT_THROW(q.ParamByName("Other"), EDatabaseError);
}

TEST_F(QueryRoad, ParametersFollowAMasterDataSource) {
  auto master = MakeTable();
  master->SetIndexName("ByName");
  master->Open();
  TDataSource source;
  source.SetDataSet(master.get());
  TtaQuery q;
  q.SetDatabaseName(path_);
  q.SQL()->Add("SELECT Name FROM People WHERE Age = :Age ORDER BY Name");
  q.SetDataSource(&source);
  q.Open();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}), ColumnOf(&q));
  master->Next();  // Bert, 25
  EXPECT_EQ((std::vector<std::string>{"Bert"}), ColumnOf(&q));
}

TEST_F(QueryRoad, TheDataPropertyTravelsWithTheComponent) {
  TtaQuery q;
  q.SQL()->Add("SELECT * FROM People WHERE Age = :Age AND Name = :Name");
  q.ParamByName("Age")->SetAsInteger(30);
  q.ParamByName("Name")->SetAsString("Carl");
  TMemoryStream stream;
  WriteComponentToStream(&stream, &q);
  stream.SetPosition(0);
  TMemoryStream text;
  ObjectBinaryToText(&stream, &text);
  std::string form(static_cast<const char*>(text.Memory()), std::size_t(text.Size()));
  EXPECT_NE(std::string::npos, form.find("Data")) << form;
  stream.SetPosition(0);
  TtaQuery back;
  ReadComponentFromStream(&stream, &back);
  ASSERT_EQ(2, back.ParamCount());
  EXPECT_EQ(30, back.ParamByName("Age")->AsInteger());
  EXPECT_EQ("Carl", back.ParamByName("Name")->AsString());
}

}  // namespace
