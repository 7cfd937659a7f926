// The DAO interfaces as the engine reaches them: creation through the COM
// layer, statuses and the Errors collection, value types, chunks, Seek,
// bookmarks, transactions, definitions and opening modes.

#include <cstdlib>

#include "daocom_util.h"
#include "platform/classlib/core/registry.h"

using namespace daotest;
using namespace dao;

namespace {

const Variant M = Variant::FromError(DISP_E_PARAMNOTFOUND);

HRESULT SeekKeys(DAORecordset* rs, const char* op, const Variant& k1, const Variant& k2 = M) {
  return rs->Seek(op, k1, k2, M, M, M, M, M, M, M, M, M, M, M);
}

// ---- creation through the COM layer -------------------------------------------------

TEST(DaoServer, CreationFailsUntilRegistered) {
  TScratchRegistry scratch;
  Ptr<DAODBEngine> first;
  NewEngine(first);
  DaoUnregisterServer();
  CLSID clsid;
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID("DAO.DBEngine.35", &clsid));
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID("DAO.DBEngine", &clsid));
  TRegistry registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_FALSE(registry.KeyExists("\\DAO.DBEngine.35"));
  ASSERT_EQ(S_OK, DaoRegisterServer());
  EXPECT_TRUE(registry.KeyExists("\\DAO.DBEngine.35"));
  EXPECT_TRUE(registry.KeyExists("\\DAO.DBEngine"));
  for (const char* progId : {"DAO.DBENGINE.35", "DAO.DBENGINE"}) {
    ASSERT_EQ(S_OK, CLSIDFromProgID(progId, &clsid));
    for (const char* iidText : {kIIDDBEngine35W, kIIDDBEngine35A, kIIDDBEngine30W, kIIDDBEngine30A}) {
      IID iid;
      ASSERT_EQ(S_OK, IIDFromString(iidText, &iid));
      Ptr<DAODBEngine> engine;
      ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid,
                                       reinterpret_cast<void**>(&engine)));
      std::string version;
      EXPECT_EQ(S_OK, engine->get_Version(&version));
    }
  }
  IID fieldIid;
  IIDFromString(kIIDField35W, &fieldIid);
  void* none = nullptr;
  EXPECT_EQ(E_NOINTERFACE, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, fieldIid, &none));
}

// ---- statuses and errors ----------------------------------------------------------------

using DaoErrors = DaoComFixture;

TEST_F(DaoErrors, FailingCallsGiveNumberAndDescription) {
  Ptr<DAODatabase> other;
  HRESULT hr = engine_->OpenDatabase(dir_ + "/none.mdb", M, M, M, &other);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(3024, DaoNumber(hr));
  EXPECT_FALSE(other);
  auto [number, text] = FirstError(engine_.get());
  EXPECT_EQ(3024, number);
  EXPECT_EQ("Couldn't find file '" + dir_ + "/none.mdb'.", text);

  Ptr<DAORecordset> rs;
  EXPECT_EQ(3078, DaoNumber(Open("NoSuchTable", rs)));
  EXPECT_EQ(3078, FirstError(engine_.get()).first);
  EXPECT_NE(std::string::npos, FirstError(engine_.get()).second.find("'NoSuchTable'"));

  // The collection holds only the errors of the last failing call.
  Ptr<DAOErrors> errors;
  ASSERT_EQ(S_OK, engine_->get_Errors(&errors));
  std::int16_t count = 0;
  errors->get_Count(&count);
  EXPECT_EQ(1, count);
  Ptr<DAOError> e;
  EXPECT_EQ(3265, DaoNumber(errors->get_Item(Variant(1), &e)));

  EXPECT_EQ(3034, DaoNumber(engine_->CommitTrans()));
  EXPECT_EQ(3034, DaoNumber(engine_->Rollback()));
  EXPECT_EQ(S_OK, engine_->Idle(Variant(0)));
}

TEST_F(DaoErrors, SyntaxErrorsAreReportedNotCrashed) {
  Exec("CREATE TABLE Reports (ReportNumber COUNTER, Title TEXT(50), ProgramNumber LONG)");
  struct Case {
    const char* sql;
    int number;
  } cases[] = {
      {"SELEC * FROM Reports", 3129},
      {"SELECT * FROM Reports WHERE Title = 'open", 3075},
      {"SELECT * FROM Reports WHERE Title = [open", 3075},
      {"SELECT * FROM Reports WHERE ReportNumber = = 1", 3075},
      {"SELECT * FROM Reports Programs Extra WHERE 1", 3131},
      {"SELECT * FROM Reports; SELECT 1", 3142},
      {"SELECT * FROM Reports WHERE Title = #13/45/2000#", 3075},
      {"SELECT * FROM NoTable", 3078},
      {"SELECT Nothing FROM Reports", 3061},
      {"SELECT Frobnicate(Title) FROM Reports", 3085},
      {"", 3078},      // no statement: taken for a table name
      {"((((", 3078},
      {"SELECT (((( FROM Reports", 3075},
  };
  for (const auto& c : cases) {
    Ptr<DAORecordset> rs;
    EXPECT_EQ(c.number, DaoNumber(Open(c.sql, rs))) << c.sql;
  }
  EXPECT_EQ(3134, DaoNumber(db_->Execute("INSERT INTO Reports (Title VALUES ('x')", M)));
  EXPECT_EQ(3144, DaoNumber(db_->Execute("UPDATE Reports SET WHERE 1", M)));
  EXPECT_EQ(3290, DaoNumber(db_->Execute("CREATE TABLE", M)));
  EXPECT_EQ(3292, DaoNumber(db_->Execute("CREATE TABLE X (A WIBBLE)", M)));
  EXPECT_EQ(3295, DaoNumber(db_->Execute("DROP VIEW X", M)));
  EXPECT_EQ(3065, DaoNumber(db_->Execute("SELECT * FROM Reports", M)));
}

TEST_F(DaoErrors, RecordsAffectedCountsTheLastExecute) {
  Exec("CREATE TABLE Reports (ReportNumber COUNTER, Title TEXT(50), ProgramNumber LONG)");
  std::int32_t count = -1;
  ASSERT_EQ(S_OK, db_->get_RecordsAffected(&count));
  EXPECT_EQ(0, count) << "a definition changes no rows";
  for (const char* title : {"a", "b", "c"}) Exec(std::string("INSERT INTO Reports (Title, ProgramNumber) VALUES ('") + title + "', 1)");
  ASSERT_EQ(S_OK, db_->get_RecordsAffected(&count));
  EXPECT_EQ(1, count);
  Exec("UPDATE Reports SET ProgramNumber = 2 WHERE Title <> 'a'");
  ASSERT_EQ(S_OK, db_->get_RecordsAffected(&count));
  EXPECT_EQ(2, count);
  Exec("DELETE FROM Reports WHERE Title = 'none'");
  ASSERT_EQ(S_OK, db_->get_RecordsAffected(&count));
  EXPECT_EQ(0, count);
  Exec("DELETE FROM Reports");
  ASSERT_EQ(S_OK, db_->get_RecordsAffected(&count));
  EXPECT_EQ(3, count);
  EXPECT_NE(S_OK, db_->Execute("UPDATE Reports SET WHERE 1", M));
  ASSERT_EQ(S_OK, db_->get_RecordsAffected(&count));
  EXPECT_EQ(0, count) << "a failed Execute changed nothing";
  EXPECT_NE(S_OK, db_->get_RecordsAffected(nullptr));
}

// ---- field types, sizes, attributes and values --------------------------------------

using DaoValues = DaoComFixture;

TEST_F(DaoValues, EveryTypeHasItsNumberSizeAndVariantType) {
  Exec("CREATE TABLE AllTypes (Id COUNTER, B YESNO, Y BYTE, I SHORT, L LONG, C CURRENCY, "
       "S SINGLE, D DOUBLE, T DATETIME, X TEXT(40), M MEMO, P LONGBINARY)");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("AllTypes", rs));
  struct Expect {
    const char* name;
    int type;
    int size;
    int attributes;
    TVarType vtype;
  } expect[] = {
      {"Id", 4, 4, 0x11, varInteger},      {"B", 1, 1, 0x21, varBoolean},  {"Y", 2, 1, 0x21, varByte},
      {"I", 3, 2, 0x21, varSmallint},      {"L", 4, 4, 0x21, varInteger},  {"C", 5, 8, 0x21, varCurrency},
      {"S", 6, 4, 0x21, varSingle},        {"D", 7, 8, 0x21, varDouble},   {"T", 8, 8, 0x21, varDate},
      {"X", 10, 40, 0x22, varOleStr},      {"M", 12, 0, 0x22, varOleStr},  {"P", 11, 0, 0x22, varArray | varByte},
  };
  ASSERT_EQ(S_OK, rs->AddNew());
  EXPECT_EQ(S_OK, SetValue(rs.get(), "B", Variant(true)));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "Y", Variant(200)));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "I", Variant(-1234)));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "L", Variant(123456789)));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "C", Variant(Currency::FromRaw(123456))));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "S", Variant(1.5f)));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "D", Variant(2.25)));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "T", Variant(TDateTime(36526.5))));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "X", Variant("Grüße")));
  EXPECT_EQ(S_OK, SetValue(rs.get(), "M", Variant(std::string(5000, 'm'))));
  const unsigned char bytes[] = {0, 1, 2, 255};
  EXPECT_EQ(S_OK, SetValue(rs.get(), "P", VarByteArrayOf(bytes, 4)));
  // Bad values for a type fail without harm.
  EXPECT_EQ(3421, DaoNumber(SetValue(rs.get(), "Y", Variant(256))));
  EXPECT_EQ(3421, DaoNumber(SetValue(rs.get(), "I", Variant(40000))));
  EXPECT_EQ(3421, DaoNumber(SetValue(rs.get(), "L", Variant("not a number"))));
  EXPECT_EQ(3163, DaoNumber(SetValue(rs.get(), "X", Variant(std::string(41, 'x')))));
  ASSERT_EQ(S_OK, rs->Update());
  ASSERT_EQ(S_OK, rs->MoveFirst());

  Ptr<DAOFields> fields;
  ASSERT_EQ(S_OK, rs->get_Fields(&fields));
  std::int16_t count = 0;
  fields->get_Count(&count);
  ASSERT_EQ(12, count);
  for (int i = 0; i < 12; ++i) {
    Ptr<DAOField> f;
    ASSERT_EQ(S_OK, fields->get_Item(Variant(i), &f));
    std::string name;
    std::int16_t type = 0;
    std::int32_t size = -1, attributes = 0;
    Variant v;
    f->get_Name(&name);
    f->get_Type(&type);
    f->get_Size(&size);
    f->get_Attributes(&attributes);
    ASSERT_EQ(S_OK, f->get_Value(&v));
    EXPECT_EQ(expect[i].name, name);
    EXPECT_EQ(expect[i].type, type) << name;
    EXPECT_EQ(expect[i].size, size) << name;
    EXPECT_EQ(expect[i].attributes, attributes) << name;
    EXPECT_EQ(expect[i].vtype, v.VType()) << name;
  }
  EXPECT_EQ(-1, Value(rs.get(), "B").AsInteger());
  EXPECT_EQ(200, Value(rs.get(), "Y").AsInteger());
  EXPECT_EQ(-1234, Value(rs.get(), "I").AsInteger());
  EXPECT_EQ(123456789, Value(rs.get(), "L").AsInteger());
  EXPECT_EQ(123456, Value(rs.get(), "C").AsCurrency().Raw());
  EXPECT_EQ(1.5, Value(rs.get(), "S").AsDouble());
  EXPECT_EQ(36526.5, Value(rs.get(), "T").AsDouble());
  EXPECT_EQ("Grüße", Value(rs.get(), "X").AsString());
  EXPECT_EQ(std::vector<std::uint8_t>({0, 1, 2, 255}), VarArrayToBytes(Value(rs.get(), "P")));

  // Null values read as Null; an Empty variant stores Null.
  ASSERT_EQ(S_OK, rs->AddNew());
  EXPECT_EQ(S_OK, SetValue(rs.get(), "X", Unassigned));
  ASSERT_EQ(S_OK, rs->Update());
  ASSERT_EQ(S_OK, rs->MoveLast());
  for (const char* name : {"B", "Y", "I", "L", "C", "S", "D", "T", "X", "M", "P"})
    EXPECT_TRUE(Value(rs.get(), name).IsNull()) << name;
  Ptr<DAOField> id;
  ASSERT_EQ(S_OK, fields->get_Item(Variant("ID"), &id));
  EXPECT_EQ(3265, DaoNumber(fields->get_Item(Variant("Nope"), &id)));
  EXPECT_EQ(3265, DaoNumber(fields->get_Item(Variant(12), &id)));
}

TEST_F(DaoValues, ChunksOfMemoAndLongBinary) {
  Exec("CREATE TABLE Docs (Id COUNTER, Body MEMO, Blob LONGBINARY, Title TEXT(10))");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("Docs", rs));
  Ptr<DAOFields> fields;
  Ptr<DAOField> body, blob, title;
  rs->get_Fields(&fields);
  fields->get_Item(Variant("Body"), &body);
  fields->get_Item(Variant("Blob"), &blob);
  fields->get_Item(Variant("Title"), &title);
  EXPECT_EQ(3020, DaoNumber(body->AppendChunk(Variant("x"))));
  ASSERT_EQ(S_OK, rs->AddNew());
  std::string part(4096, 'a');
  EXPECT_EQ(S_OK, body->AppendChunk(Variant(part)));
  EXPECT_EQ(S_OK, body->AppendChunk(Variant("tail")));
  EXPECT_EQ(S_OK, blob->AppendChunk(VarByteArrayOf("\x01\x02", 2)));
  EXPECT_EQ(S_OK, blob->AppendChunk(VarByteArrayOf("\x03", 1)));
  EXPECT_EQ(3464, DaoNumber(title->AppendChunk(Variant("x"))));
  ASSERT_EQ(S_OK, rs->Update());
  ASSERT_EQ(S_OK, rs->MoveFirst());
  std::int32_t size = 0;
  EXPECT_EQ(S_OK, body->get_FieldSize(&size));
  EXPECT_EQ(4100, size);
  Variant chunk;
  EXPECT_EQ(S_OK, body->GetChunk(4094, 100, &chunk));
  EXPECT_EQ("aatail", chunk.AsString());
  EXPECT_EQ(S_OK, blob->GetChunk(1, 5, &chunk));
  EXPECT_EQ(std::vector<std::uint8_t>({2, 3}), VarArrayToBytes(chunk));
  blob->get_FieldSize(&size);
  EXPECT_EQ(3, size);
  // The first chunk after Edit replaces the value.
  ASSERT_EQ(S_OK, rs->Edit());
  EXPECT_EQ(S_OK, body->AppendChunk(Variant("new")));
  ASSERT_EQ(S_OK, rs->Update());
  EXPECT_EQ("new", Value(rs.get(), "Body").AsString());
}

// The value without a variant answers what the variant holds, field by field,
// on a filled record and on a blank one; it fails where get_Value fails.
// A record read in one call answers each field as its variant does, less the
// variant; memo and binary values come unread, with their size.
TEST_F(DaoValues, CellValuesOfARecordAgreeWithTheVariants) {
  Exec("CREATE TABLE AllTypes (Id COUNTER, B YESNO, Y BYTE, I SHORT, L LONG, C CURRENCY, "
       "S SINGLE, D DOUBLE, T DATETIME, X TEXT(40), M MEMO, P LONGBINARY)");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("AllTypes", rs));
  ASSERT_EQ(S_OK, rs->AddNew());
  const std::pair<const char*, Variant> values[] = {
      {"B", Variant(true)},         {"Y", Variant(200)},
      {"I", Variant(-1234)},        {"L", Variant(-123456789)},
      {"C", Variant(Currency::FromRaw(-123456))}, {"S", Variant(1.25f)},
      {"D", Variant(-2.5e300)},     {"T", Variant(TDateTime(36526.75))},
      {"X", Variant("Grüße")},      {"M", Variant(std::string(5000, 'm'))},
  };
  for (const auto& [name, value] : values) EXPECT_EQ(S_OK, SetValue(rs.get(), name, value)) << name;
  ASSERT_EQ(S_OK, rs->Update());
  ASSERT_EQ(S_OK, rs->AddNew());
  ASSERT_EQ(S_OK, rs->Update());

  Ptr<DAOFields> fields;
  ASSERT_EQ(S_OK, rs->get_Fields(&fields));
  constexpr int kCount = 12;
  auto compareRecord = [&](const char* record, std::int64_t memoSize) {
    DAOCellValue cells[kCount];
    for (auto& cell : cells) cell.kind = DAOCellValue::Text;  // overwritten by every answer
    ASSERT_EQ(S_OK, rs->GetRecordValues(cells, kCount, nullptr));
    for (int i = 1; i < kCount; ++i) {
      Ptr<DAOField> f;
      ASSERT_EQ(S_OK, fields->get_Item(Variant(i), &f));
      std::int16_t type = 0;
      ASSERT_EQ(S_OK, f->get_Type(&type));
      const DAOCellValue& cell = cells[i];
      SCOPED_TRACE(std::string(record) + " field " + std::to_string(i));
      if (type == dbMemo || type == dbLongBinary) {
        // A large value is given by its size, as the field answers it.
        std::int32_t size = -1;
        ASSERT_EQ(S_OK, f->get_FieldSize(&size));
        EXPECT_EQ(DAOCellValue::Unread, cell.kind);
        EXPECT_EQ(size, cell.integer);
        continue;
      }
      Variant v;
      ASSERT_EQ(S_OK, f->get_Value(&v));
      if (v.IsNull()) {
        EXPECT_EQ(DAOCellValue::Null, cell.kind);
      } else if (VarIsStr(v)) {
        ASSERT_EQ(DAOCellValue::Text, cell.kind);
        EXPECT_EQ(v.AsString(), cell.text);
      } else if (v.VType() == varCurrency) {
        ASSERT_EQ(DAOCellValue::Integer, cell.kind);
        EXPECT_EQ(v.AsCurrency().Raw(), cell.integer);
      } else if (v.VType() == varSingle || v.VType() == varDouble || v.VType() == varDate) {
        ASSERT_EQ(DAOCellValue::Real, cell.kind);
        EXPECT_EQ(v.AsDouble(), cell.real);
      } else {
        ASSERT_EQ(DAOCellValue::Integer, cell.kind);
        EXPECT_EQ(v.AsInt64(), cell.integer);
      }
    }
    EXPECT_EQ(memoSize, cells[10].integer);
  };
  ASSERT_EQ(S_OK, rs->MoveFirst());
  compareRecord("filled", 5000);
  ASSERT_EQ(S_OK, rs->MoveLast());
  compareRecord("blank", 0);

  // Misuse is refused: no array, a count past the fields; and past the last
  // record there is no value to read, with either call.
  DAOCellValue cells[kCount + 1];
  EXPECT_NE(S_OK, rs->GetRecordValues(nullptr, kCount, nullptr));
  EXPECT_NE(S_OK, rs->GetRecordValues(cells, kCount + 1, nullptr));
  EXPECT_NE(S_OK, rs->GetRecordValues(cells, -1, nullptr));
  EXPECT_EQ(S_OK, rs->GetRecordValues(cells, 0, nullptr));
  ASSERT_EQ(S_OK, rs->MoveNext());
  Ptr<DAOField> title;
  ASSERT_EQ(S_OK, fields->get_Item(Variant("X"), &title));
  Variant none;
  const HRESULT byVariant = title->get_Value(&none);
  EXPECT_NE(S_OK, byVariant);
  EXPECT_EQ(byVariant, rs->GetRecordValues(cells, kCount, nullptr));
}

// ---- recordsets -------------------------------------------------------------------

using DaoRecordsets = DaoComFixture;

TEST_F(DaoRecordsets, MovesSeekBookmarksAndIndexes) {
  Exec("CREATE TABLE Reports (ReportNumber COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
       "ProgramNumber LONG, Title TEXT(50))");
  Exec("CREATE INDEX ByProgram ON Reports (ProgramNumber DESC, Title)");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("Reports", rs));
  EXPECT_EQ(3021, DaoNumber(rs->MoveFirst()));
  EXPECT_EQ(3021, DaoNumber(rs->MoveLast()));
  bool bof = false, eof = false;
  rs->get_BOF(&bof);
  rs->get_EOF(&eof);
  EXPECT_TRUE(bof && eof);
  for (auto [p, t] : std::vector<std::pair<int, const char*>>{{1, "beta"}, {2, "Alpha"}, {1, "alpha"}, {3, "gamma"}}) {
    ASSERT_EQ(S_OK, rs->AddNew());
    Variant id;
    ASSERT_EQ(S_OK, SetValue(rs.get(), "ProgramNumber", Variant(p)));
    ASSERT_EQ(S_OK, SetValue(rs.get(), "Title", Variant(t)));
    ASSERT_EQ(S_OK, rs->Update());
  }
  std::int32_t count = 0;
  rs->get_RecordCount(&count);
  EXPECT_EQ(4, count);
  EXPECT_EQ(3015, DaoNumber(rs->put_Index("Nope")));
  ASSERT_EQ(S_OK, rs->put_Index("ByProgram"));
  std::string index;
  rs->get_Index(&index);
  EXPECT_EQ("ByProgram", index);
  ASSERT_EQ(S_OK, SeekKeys(rs.get(), "=", Variant(1)));
  bool noMatch = true;
  rs->get_NoMatch(&noMatch);
  EXPECT_FALSE(noMatch);
  EXPECT_EQ("alpha", Value(rs.get(), "Title").AsString());
  ASSERT_EQ(S_OK, SeekKeys(rs.get(), "=", Variant(1), Variant("BETA")));
  EXPECT_EQ("beta", Value(rs.get(), "Title").AsString());
  ASSERT_EQ(S_OK, SeekKeys(rs.get(), "=", Variant(7)));
  rs->get_NoMatch(&noMatch);
  EXPECT_TRUE(noMatch);
  ASSERT_EQ(S_OK, SeekKeys(rs.get(), ">=", Variant(2)));  // descending: 2 then 1
  EXPECT_EQ("Alpha", Value(rs.get(), "Title").AsString());

  Variant mark;
  ASSERT_EQ(S_OK, rs->get_Bookmark(&mark));
  EXPECT_EQ(varArray | varByte, mark.VType());
  EXPECT_GE(VarArrayToBytes(mark).size(), 4u);
  // The word is the bookmark's first four bytes, little-endian.
  std::int32_t word = 0;
  ASSERT_EQ(S_OK, rs->get_BookmarkWord(&word));
  std::vector<std::uint8_t> bytes = VarArrayToBytes(mark);
  EXPECT_EQ(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24, word);
  EXPECT_EQ(3001, DaoNumber(rs->get_BookmarkWord(nullptr)));
  ASSERT_EQ(S_OK, rs->MoveFirst());
  ASSERT_EQ(S_OK, rs->put_Bookmark(mark));
  EXPECT_EQ("Alpha", Value(rs.get(), "Title").AsString());
  std::int32_t position = -5;
  rs->get_AbsolutePosition(&position);
  EXPECT_EQ(1, position);
  EXPECT_EQ(3159, DaoNumber(rs->put_Bookmark(Variant("xy"))));
  ASSERT_EQ(S_OK, rs->Delete());
  EXPECT_EQ(3167, DaoNumber(rs->put_Bookmark(mark)));

  // Index descriptions: fields, order, primary key.
  Ptr<DAOIndexes> indexes;
  ASSERT_EQ(S_OK, rs->get_Indexes(&indexes));
  std::int16_t n = 0;
  indexes->get_Count(&n);
  EXPECT_EQ(2, n);
  Ptr<DAOIndex> byProgram;
  ASSERT_EQ(S_OK, indexes->get_Item(Variant("byprogram"), &byProgram));
  Ptr<IUnknown> unk;
  ASSERT_EQ(S_OK, byProgram->get_Fields(&unk));
  IID iid;
  IIDFromString(kIIDIndexFields35W, &iid);
  Ptr<DAOIndexFields> indexFields;
  ASSERT_EQ(S_OK, unk->QueryInterface(iid, reinterpret_cast<void**>(&indexFields)));
  indexFields->get_Count(&n);
  EXPECT_EQ(2, n);
  Ptr<IUnknown> fieldUnk;
  ASSERT_EQ(S_OK, indexFields->get_Item(Variant(0), &fieldUnk));
  IIDFromString(kIIDField30W, &iid);
  Ptr<DAOField> indexField;
  ASSERT_EQ(S_OK, fieldUnk->QueryInterface(iid, reinterpret_cast<void**>(&indexField)));
  std::string name;
  std::int32_t attributes = 0;
  indexField->get_Name(&name);
  indexField->get_Attributes(&attributes);
  EXPECT_EQ("ProgramNumber", name);
  EXPECT_EQ(1, attributes & 1);
  Ptr<DAOIndex> primary;
  ASSERT_EQ(S_OK, indexes->get_Item(Variant("PrimaryKey"), &primary));
  bool isPrimary = false, unique = false;
  primary->get_Primary(&isPrimary);
  primary->get_Unique(&unique);
  EXPECT_TRUE(isPrimary && unique);

  // Thirteen keys at most, a key beyond the index fails.
  EXPECT_EQ(3001, DaoNumber(rs->Seek("=", Variant(1), Variant("a"), Variant(3), M, M, M, M, M, M, M, M, M, M)));
  ASSERT_EQ(S_OK, rs->Close());
  EXPECT_EQ(3420, DaoNumber(rs->MoveFirst()));
}

TEST_F(DaoRecordsets, EditModesLastModifiedAndTransactions) {
  Exec("CREATE TABLE T (Id COUNTER, Name TEXT(20) NOT NULL)");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("T", rs));
  EXPECT_EQ(3020, DaoNumber(rs->Update()));
  ASSERT_EQ(S_OK, rs->AddNew());
  std::int16_t mode = 0;
  rs->get_EditMode(&mode);
  EXPECT_EQ(2, mode);
  EXPECT_EQ(1, Value(rs.get(), "Id").AsInteger());  // readable before Update
  HRESULT hr = rs->Update();
  EXPECT_EQ(3314, DaoNumber(hr));
  EXPECT_NE(std::string::npos, FirstError(engine_.get()).second.find("'T.Name'"));
  SetValue(rs.get(), "Name", Variant("one"));
  ASSERT_EQ(S_OK, rs->Update());
  Variant last;
  ASSERT_EQ(S_OK, rs->get_LastModified(&last));
  ASSERT_EQ(S_OK, rs->put_Bookmark(last));
  EXPECT_EQ("one", Value(rs.get(), "Name").AsString());

  ASSERT_EQ(S_OK, engine_->BeginTrans());
  ASSERT_EQ(S_OK, rs->AddNew());
  SetValue(rs.get(), "Name", Variant("two"));
  ASSERT_EQ(S_OK, rs->Update());
  ASSERT_EQ(S_OK, engine_->BeginTrans());  // nested
  ASSERT_EQ(S_OK, rs->AddNew());
  SetValue(rs.get(), "Name", Variant("three"));
  ASSERT_EQ(S_OK, rs->Update());
  ASSERT_EQ(S_OK, engine_->Rollback());  // drops "three" only
  std::int32_t count = 0;
  rs->get_RecordCount(&count);
  EXPECT_EQ(2, count);
  ASSERT_EQ(S_OK, engine_->CommitTrans(0));
  ASSERT_EQ(S_OK, engine_->BeginTrans());
  ASSERT_EQ(S_OK, rs->MoveFirst());
  ASSERT_EQ(S_OK, rs->Delete());
  ASSERT_EQ(S_OK, engine_->Rollback());
  rs->get_RecordCount(&count);
  EXPECT_EQ(2, count);
  for (int level = 0; level < 5; ++level) ASSERT_EQ(S_OK, engine_->BeginTrans());
  EXPECT_EQ(3003, DaoNumber(engine_->BeginTrans()));
  for (int level = 0; level < 5; ++level) ASSERT_EQ(S_OK, engine_->CommitTrans());
  EXPECT_EQ(3034, DaoNumber(engine_->CommitTrans()));
}

// A transaction that cannot begin on every open database begins on none: no
// database is left inside a transaction that nobody will end.
TEST_F(DaoRecordsets, ATransactionThatCannotBeginEverywhereBeginsNowhere) {
  Exec("CREATE TABLE T (Name TEXT(10))");
  int savedTimeout = Connection::BusyTimeout();
  Connection::SetBusyTimeout(50);
  std::string otherPath = dir_ + "/Other.MDB";
  Ptr<DAODatabase> other;
  ASSERT_EQ(S_OK, engine_->CreateDatabase(otherPath, "", Missing(), &other));
  Connection::SetBusyTimeout(savedTimeout);
  TDatabaseCore blocker(otherPath, false, false, "");
  blocker.Conn().Begin();  // holds the other file's write lock
  EXPECT_EQ(errLocked, DaoNumber(engine_->BeginTrans()));
  blocker.Conn().Rollback();
  Exec("INSERT INTO T (Name) VALUES ('kept')");
  TDatabaseCore reader(path_, false, true, "");
  auto rs = reader.OpenRecordset("T", -1);
  EXPECT_EQ(1, rs->RecordCount()) << "the insert is committed, not held in a transaction";
  EXPECT_EQ(errNoTransaction, DaoNumber(engine_->Rollback()));
}

TEST_F(DaoRecordsets, QueriesDefinitionsAndParameters) {
  Exec("CREATE TABLE Programs (ProgramNumber LONG, ProgramName TEXT(50))");
  Exec("CREATE TABLE Reports (ReportNumber COUNTER, ProgramNumber LONG, Title TEXT(50), Fixed YESNO, "
       "Reported DATETIME)");
  Exec("INSERT INTO Programs VALUES (1, \"Vantrel\")");
  Exec("INSERT INTO Programs VALUES (2, \"Other\")");
  Exec("INSERT INTO Reports (ProgramNumber, Title, Fixed, Reported) VALUES (1, 'Crash on start', TRUE, #3/15/2001#)");
  Exec("INSERT INTO Reports (ProgramNumber, Title, Fixed, Reported) VALUES (1, 'Slow save', FALSE, #12/1/2001 13:30#)");
  Exec("INSERT INTO Reports (ProgramNumber, Title, Fixed, Reported) VALUES (2, 'Typo', FALSE, #1/2/2002#)");

  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("select Reports.* from Reports, Programs where Reports.ProgramNumber = 1;", rs));
  std::int32_t count = 0;
  rs->get_RecordCount(&count);
  EXPECT_EQ(4, count);  // each report once per program, as the statement says
  std::int16_t type = 0;
  rs->get_Type(&type);
  EXPECT_EQ(2, type);
  bool updatable = true;
  rs->get_Updatable(&updatable);
  EXPECT_FALSE(updatable);
  EXPECT_EQ(3027, DaoNumber(rs->Edit()));
  Ptr<DAOIndexes> none;
  EXPECT_EQ(3251, DaoNumber(rs->get_Indexes(&none)));

  ASSERT_EQ(S_OK, Open("SELECT * FROM [Reports] WHERE [Title] LIKE \"*s*\" AND Fixed = FALSE", rs));
  rs->get_RecordCount(&count);
  EXPECT_EQ(1, count);
  EXPECT_EQ("Slow save", Value(rs.get(), "Title").AsString());
  EXPECT_EQ(varBoolean, Value(rs.get(), "Fixed").VType());
  rs->get_Updatable(&updatable);
  EXPECT_TRUE(updatable);

  Ptr<DAOQueryDef> q;
  ASSERT_EQ(S_OK, db_->CreateQueryDef(Variant("ReportsOf"),
                                      Variant("PARAMETERS Prog Long; SELECT Title FROM Reports "
                                              "WHERE ProgramNumber = Prog ORDER BY Title"),
                                      &q));
  EXPECT_EQ(3012, DaoNumber(db_->CreateQueryDef(Variant("reportsof"), Variant("SELECT 1"), &q)));
  Ptr<DAOQueryDefs> queries;
  ASSERT_EQ(S_OK, db_->get_QueryDefs(&queries));
  std::int16_t n = 0;
  queries->get_Count(&n);
  EXPECT_EQ(1, n);
  ASSERT_EQ(S_OK, queries->get_Item(Variant("REPORTSOF"), &q));
  Ptr<DAOParameters> params;
  ASSERT_EQ(S_OK, q->get_Parameters(&params));
  params->get_Count(&n);
  EXPECT_EQ(1, n);
  Ptr<DAOParameter> p;
  ASSERT_EQ(S_OK, params->get_Item(Variant(0), &p));
  std::int16_t ptype = 0;
  p->get_Type(&ptype);
  EXPECT_EQ(4, ptype);
  EXPECT_EQ(3061, DaoNumber(q->OpenRecordset(M, M, &rs)));
  ASSERT_EQ(S_OK, p->put_Value(Variant(1)));
  ASSERT_EQ(S_OK, q->OpenRecordset(M, M, &rs));
  rs->get_RecordCount(&count);
  EXPECT_EQ(2, count);
  EXPECT_EQ("Crash on start", Value(rs.get(), "Title").AsString());
  // A stored query by name through the database.
  ASSERT_EQ(3061, DaoNumber(Open("ReportsOf", rs)));

  // The engine's own statements.
  Exec("DELETE FROM Reports WHERE Title LIKE 'Typ*'");
  Exec("UPDATE Reports SET Fixed = TRUE WHERE Reported < #1/1/2002#");
  ASSERT_EQ(S_OK, Open("SELECT count(*) AS N FROM Reports WHERE Fixed = TRUE", rs));
  EXPECT_EQ(2, Value(rs.get(), "N").AsInteger());
  ASSERT_EQ(S_OK, Open("SELECT Now() AS N, Date() AS D, Time() AS T FROM Programs WHERE Date() > #1/1/2020#", rs));
  TDateTime now = Now();
  EXPECT_NEAR(now.Value, Value(rs.get(), "N").AsDouble(), 1.0 / 24 / 60);
  EXPECT_NEAR(static_cast<int>(now.Value), Value(rs.get(), "D").AsInteger(), 1);
  EXPECT_NEAR(now.Value - static_cast<int>(now.Value), Value(rs.get(), "T").AsDouble(), 1.0 / 24 / 60 + (now.Value - static_cast<int>(now.Value) > 0.999 ? 1 : 0));
  Exec("DELETE FROM Reports");
  ASSERT_EQ(S_OK, Open("Reports", rs));
  rs->get_RecordCount(&count);
  EXPECT_EQ(0, count);

  Ptr<DAOTableDefs> tables;
  ASSERT_EQ(S_OK, db_->get_TableDefs(&tables));
  tables->get_Count(&n);
  int user = 0;
  for (int i = 0; i < n; ++i) {
    Ptr<DAOTableDef> t;
    ASSERT_EQ(S_OK, tables->get_Item(Variant(i), &t));
    std::string name;
    t->get_Name(&name);
    if (!IsSystemName(name)) ++user;
  }
  EXPECT_EQ(2, user);
  EXPECT_GT(n, 2);  // the catalogue tables are listed too
}

TEST_F(DaoRecordsets, CounterKeysSeekAndEditBuffers) {
  Exec("CREATE TABLE Items (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20), Stamp DATETIME, "
       "Price CURRENCY)");
  Exec("CREATE INDEX ByStamp ON Items (Stamp DESC)");
  for (int i = 1; i <= 20; ++i)
    Exec("INSERT INTO Items (Name, Stamp, Price) VALUES ('n" + std::to_string(i) + "', #1/" + std::to_string(i) +
         "/2001#, " + std::to_string(i) + ".25)");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("Items", rs));
  ASSERT_EQ(S_OK, rs->put_Index("PrimaryKey"));
  ASSERT_EQ(S_OK, SeekKeys(rs.get(), ">", Variant(short(17))));
  EXPECT_EQ("n18", Value(rs.get(), "Name").AsString());
  ASSERT_EQ(S_OK, SeekKeys(rs.get(), "<=", Variant(100)));
  EXPECT_EQ(20, Value(rs.get(), "Id").AsInteger());
  ASSERT_EQ(S_OK, rs->put_Index("ByStamp"));
  TDateTime jan5;
  ASSERT_TRUE(TryEncodeDate(2001, 1, 5, jan5));
  ASSERT_EQ(S_OK, SeekKeys(rs.get(), ">", Variant(jan5)));  // descending: the day before
  EXPECT_EQ("n4", Value(rs.get(), "Name").AsString());
  EXPECT_EQ(varCurrency, Value(rs.get(), "Price").VType());
  EXPECT_EQ(42500, Value(rs.get(), "Price").AsCurrency().Raw());

  // While editing, values read come from the edit buffer.
  ASSERT_EQ(S_OK, rs->Edit());
  ASSERT_EQ(S_OK, SetValue(rs.get(), "Name", Variant("changed")));
  EXPECT_EQ("changed", Value(rs.get(), "Name").AsString());
  ASSERT_EQ(S_OK, rs->CancelUpdate());
  EXPECT_EQ("n4", Value(rs.get(), "Name").AsString());
  // A move drops a pending edit.
  ASSERT_EQ(S_OK, rs->Edit());
  ASSERT_EQ(S_OK, SetValue(rs.get(), "Name", Variant("lost")));
  ASSERT_EQ(S_OK, rs->MoveNext());
  ASSERT_EQ(S_OK, rs->MovePrevious());
  EXPECT_EQ("n4", Value(rs.get(), "Name").AsString());

  Ptr<DAOQueryDef> q;
  ASSERT_EQ(S_OK, db_->CreateQueryDef(Variant("Cheap"), Variant("SELECT Name, Price * 2 AS Twice FROM Items"), &q));
  Ptr<DAOFields> fields;
  ASSERT_EQ(S_OK, q->get_Fields(&fields));
  std::int16_t count = 0;
  fields->get_Count(&count);
  EXPECT_EQ(2, count);
  Ptr<DAOField> name;
  ASSERT_EQ(S_OK, fields->get_Item(Variant(0), &name));
  std::int16_t type = 0;
  std::int32_t size = 0;
  name->get_Type(&type);
  name->get_Size(&size);
  EXPECT_EQ(10, type);
  EXPECT_EQ(20, size);
  std::string table;
  name->get_SourceTable(&table);
  EXPECT_EQ("Items", table);
  Variant v;
  EXPECT_EQ(3219, DaoNumber(name->get_Value(&v)));  // a definition has no values
}

TEST_F(DaoRecordsets, DefinitionsCanBeRenamed) {
  Exec("CREATE TABLE Old (Id COUNTER, Title TEXT(20))");
  Exec("CREATE INDEX ByTitle ON Old (Title)");
  Exec("CREATE TABLE Other (A LONG)");
  Ptr<DAOTableDefs> tables;
  Ptr<DAOTableDef> t;
  ASSERT_EQ(S_OK, db_->get_TableDefs(&tables));
  ASSERT_EQ(S_OK, tables->get_Item(Variant("Old"), &t));
  EXPECT_EQ(3010, DaoNumber(t->put_Name("other")));
  ASSERT_EQ(S_OK, t->put_Name("Renamed"));
  Ptr<DAOFields> fields;
  Ptr<DAOField> title;
  ASSERT_EQ(S_OK, t->get_Fields(&fields));
  ASSERT_EQ(S_OK, fields->get_Item(Variant("Title"), &title));
  EXPECT_EQ(3012, DaoNumber(title->put_Name("ID")));
  ASSERT_EQ(S_OK, title->put_Name("Caption"));
  Ptr<DAOIndexes> indexes;
  Ptr<DAOIndex> index;
  ASSERT_EQ(S_OK, t->get_Indexes(&indexes));
  ASSERT_EQ(S_OK, indexes->get_Item(Variant("ByTitle"), &index));
  ASSERT_EQ(S_OK, index->put_Name("ByCaption"));
  Exec("INSERT INTO Renamed (Caption) VALUES ('b')");
  Exec("INSERT INTO Renamed (Caption) VALUES ('A')");
  Ptr<DAORecordset> rs;
  EXPECT_EQ(3078, DaoNumber(Open("Old", rs)));
  ASSERT_EQ(S_OK, Open("Renamed", rs));
  ASSERT_EQ(S_OK, rs->put_Index("ByCaption"));
  ASSERT_EQ(S_OK, rs->MoveFirst());
  EXPECT_EQ("A", Value(rs.get(), "Caption").AsString());
  // Fields of a recordset keep their names.
  Ptr<DAOFields> rsFields;
  Ptr<DAOField> f;
  rs->get_Fields(&rsFields);
  rsFields->get_Item(Variant(0), &f);
  EXPECT_EQ(3251, DaoNumber(f->put_Name("X")));

  Ptr<DAOQueryDef> q;
  ASSERT_EQ(S_OK, db_->CreateQueryDef(Variant("Q1"), Variant("SELECT * FROM Renamed"), &q));
  ASSERT_EQ(S_OK, q->put_Name("Q2"));
  EXPECT_EQ(3078, DaoNumber(Open("Q1", rs)));
  EXPECT_EQ(S_OK, Open("q2", rs));
}

// ---- opening modes ----------------------------------------------------------------

using DaoOpenModes = DaoComFixture;

TEST_F(DaoOpenModes, ExclusiveAndReadOnlyOpensAreHonoured) {
  Exec("CREATE TABLE T (A LONG)");
  Exec("INSERT INTO T VALUES (1)");
  Ptr<DAODatabase> second;
  EXPECT_EQ(3045, DaoNumber(engine_->OpenDatabase(path_, Variant(true), Variant(false), M, &second)));
  EXPECT_NE(std::string::npos, FirstError(engine_.get()).second.find("file already in use"));
  ASSERT_EQ(S_OK, db_->Close());
  EXPECT_EQ(3420, DaoNumber(db_->Close()));
  ASSERT_EQ(S_OK, engine_->OpenDatabase(path_, Variant(true), Variant(false), M, &second));
  Ptr<DAODatabase> third;
  EXPECT_EQ(3356, DaoNumber(engine_->OpenDatabase(path_, M, M, M, &third)));
  ASSERT_EQ(S_OK, second->Close());

  ASSERT_EQ(S_OK, engine_->OpenDatabase(path_, Variant(false), Variant(true), M, &third));
  bool updatable = true;
  third->get_Updatable(&updatable);
  EXPECT_FALSE(updatable);
  EXPECT_EQ(3027, DaoNumber(third->Execute("DELETE FROM T", M)));
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, third->OpenRecordset("T", M, M, &rs));
  EXPECT_EQ(3027, DaoNumber(rs->AddNew()));
  EXPECT_EQ(3027, DaoNumber(rs->Edit()));

  // Recordset options: 4 read-only, 3 denies others the table.
  Ptr<DAODatabase> writable;
  ASSERT_EQ(S_OK, engine_->OpenDatabase(path_, M, M, M, &writable));
  Ptr<DAORecordset> ro;
  ASSERT_EQ(S_OK, writable->OpenRecordset("T", M, Variant(4), &ro));
  EXPECT_EQ(3027, DaoNumber(ro->Edit()));
  Ptr<DAORecordset> denied;
  EXPECT_EQ(3262, DaoNumber(writable->OpenRecordset("T", M, Variant(3), &denied)));
  rs.Reset();
  ro->Close();
  rs.Reset();
  third->Close();
  ro.Reset();
  ASSERT_EQ(S_OK, writable->OpenRecordset("T", M, Variant(3), &denied));
  EXPECT_EQ(3008, DaoNumber(writable->OpenRecordset("T", M, M, &rs)));
}

TEST_F(DaoOpenModes, PasswordsInTheConnectText) {
  std::string secured = dir_ + "/secured.mdb";
  Ptr<DAODatabase> db;
  ASSERT_EQ(S_OK, engine_->CreateDatabase(secured, ";LANGID=0x0409;pwd=opensesame", M, &db));
  db->Close();
  EXPECT_EQ(3031, DaoNumber(engine_->OpenDatabase(secured, M, M, M, &db)));
  EXPECT_EQ(3031, DaoNumber(engine_->OpenDatabase(secured, M, M, Variant(";pwd=wrong"), &db)));
  EXPECT_EQ(S_OK, engine_->OpenDatabase(secured, M, M, Variant(";pwd=opensesame"), &db));
  Ptr<DAODatabase> exists;
  EXPECT_EQ(3204, DaoNumber(engine_->CreateDatabase(secured, "", M, &exists)));
  EXPECT_EQ(3044, DaoNumber(engine_->CreateDatabase(dir_ + "/no/such/folder/x.mdb", "", M, &exists)));
  EXPECT_EQ(3044, DaoNumber(engine_->CreateDatabase("", "", M, &exists)));
}

// ---- the file stays a plain SQLite database -----------------------------------------

// Standard tools read its rows. Its text columns compare in the program's own
// case-blind order, which they lack: SQLite refuses them every write and
// every comparison of those columns, rather than let them put index entries
// where that order does not look, and the file stays whole.
TEST_F(DaoOpenModes, StandardToolsReadTheFile) {
  if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3 tool";
  Exec("CREATE TABLE Reports (ReportNumber COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Title TEXT(50))");
  Exec("CREATE INDEX ByTitle ON Reports (Title)");
  Exec("INSERT INTO Reports (Title) VALUES ('beta')");
  Exec("INSERT INTO Reports (Title) VALUES ('Alpha')");
  db_.Reset();
  engine_.Reset();
  const std::string out = dir_ + "/out.txt";
  auto tool = [&](const std::string& sql) {
    const std::string cmd = "sqlite3 '" + path_ + "' \"" + sql + "\" > '" + out + "' 2>&1";
    const int status = std::system(cmd.c_str());
    FILE* f = fopen(out.c_str(), "r");
    char buf[256] = {};
    size_t len = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    return std::to_string(status != 0) + ":" + std::string(buf, len);
  };
  EXPECT_EQ("0:beta\nAlpha\n2\n",
            tool("SELECT Title FROM Reports ORDER BY ReportNumber; SELECT count(*) FROM MSysColumns NOT INDEXED;"));
  for (const char* refused : {"SELECT Title FROM Reports ORDER BY Title", "INSERT INTO Reports (Title) VALUES ('g')",
                              "UPDATE Reports SET Title = 'a'", "DELETE FROM Reports WHERE ReportNumber = 1",
                              "PRAGMA integrity_check"})
    EXPECT_NE(std::string::npos, tool(refused).find("no such collation sequence: CASEBLIND3")) << refused;
  EXPECT_EQ("0:beta\nAlpha\n", tool("SELECT Title FROM Reports ORDER BY ReportNumber"));
}

}  // namespace
