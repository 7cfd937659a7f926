// A memo or binary value read whole as its bytes (GetWholeValue) is what
// GetChunk gives for all of it, on every kind of value, and fails where it fails.

#include <limits>

#include "daocom_util.h"

using namespace daotest;
using namespace dao;

namespace {

using DaoWholeValue = DaoComFixture;

void FieldOf(DAORecordset* rs, const char* name, Ptr<DAOField>& f) {
  Ptr<DAOFields> fields;
  rs->get_Fields(&fields);
  EXPECT_EQ(S_OK, fields->get_Item(Variant(name), &f));
}

// All of the value through GetChunk, as its bytes.
std::string ByChunk(DAOField* f) {
  Variant chunk;
  EXPECT_EQ(S_OK, f->GetChunk(0, std::numeric_limits<std::int32_t>::max(), &chunk));
  if (chunk.IsArray()) {
    std::vector<std::uint8_t> bytes = VarArrayToBytes(chunk);
    return std::string(bytes.begin(), bytes.end());
  }
  return VarIsStr(chunk) ? chunk.AsString() : std::string();
}

}  // namespace

TEST_F(DaoWholeValue, EveryKindOfLargeValueReadsAsItsChunks) {
  Exec("CREATE TABLE Items (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Title TEXT(20), Body MEMO, Blob LONGBINARY)");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("Items", rs));
  // Short and long (read when asked for) texts, accented letters, zero bytes; blank ones.
  const std::string bodies[] = {"short", std::string(20000, 'x') + "é", "", "Grüße"};
  const std::string blobs[] = {std::string("\0\1\2", 3), "", std::string(9000, '\0'), "b"};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(S_OK, rs->AddNew());
    ASSERT_EQ(S_OK, SetValue(rs.get(), "Title", Variant("t" + std::to_string(i))));
    if (!bodies[i].empty()) {
      ASSERT_EQ(S_OK, SetValue(rs.get(), "Body", Variant(bodies[i])));
    }
    if (!blobs[i].empty()) {
      ASSERT_EQ(S_OK, SetValue(rs.get(), "Blob", VarByteArrayOf(blobs[i].data(), blobs[i].size())));
    }
    ASSERT_EQ(S_OK, rs->Update());
  }
  ASSERT_EQ(S_OK, rs->MoveFirst());
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    for (const char* name : {"Body", "Blob"}) {
      Ptr<DAOField> f;
      FieldOf(rs.get(), name, f);
      std::string whole = "left over";
      ASSERT_EQ(S_OK, f->GetWholeValue(&whole));
      EXPECT_EQ(std::string(name) == "Body" ? bodies[i] : blobs[i], whole) << name;
      EXPECT_EQ(ByChunk(f.get()), whole) << name;
    }
    ASSERT_EQ(S_OK, rs->MoveNext());
  }
  // Misuse: no string, a field of another type; past the end, no value.
  Ptr<DAOField> body;
  FieldOf(rs.get(), "Body", body);
  std::string out;
  Variant chunk;
  EXPECT_EQ(body->GetChunk(0, 1, &chunk), body->GetWholeValue(&out)) << "past the end";
  ASSERT_EQ(S_OK, rs->MoveFirst());
  EXPECT_EQ(3001, DaoNumber(body->GetWholeValue(nullptr)));
  Ptr<DAOField> title;
  FieldOf(rs.get(), "Title", title);
  const HRESULT notLarge = title->GetChunk(0, 1, &chunk);
  EXPECT_NE(S_OK, notLarge);
  EXPECT_EQ(notLarge, title->GetWholeValue(&out));
}

// A long memo left unread by the move is read as it stands when asked for:
// changed by another user meanwhile, the whole of the new text comes.
TEST_F(DaoWholeValue, AMemoLeftUnreadIsReadAsItStandsNow) {
  Exec("CREATE TABLE Items (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Body MEMO)");
  Exec("INSERT INTO Items (Body) VALUES ('" + std::string(10000, 'a') + "')");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("Items", rs));
  ASSERT_EQ(S_OK, rs->MoveFirst());
  {
    TDatabaseCore other(path_, false, false, "");
    other.Execute("UPDATE Items SET Body = '" + std::string(12000, 'b') + "'");
  }
  std::string whole;
  Ptr<DAOField> body;
  FieldOf(rs.get(), "Body", body);
  ASSERT_EQ(S_OK, body->GetWholeValue(&whole));
  EXPECT_EQ(std::string(12000, 'b'), whole);
}
