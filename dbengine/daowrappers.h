#pragma once
// Thin wrappers over the DAO interfaces the engine calls. Each wrapper holds
// one reference to its interface, calls its members directly and records the
// status of the last call in Status; it never raises. Callers follow every
// call with the DAO status check (accesserrors.h).

#include <cstdint>
#include <string>

#include "platform/classlib/core/object.h"
#include "platform/classlib/core/variant.h"
#include "platform/dao/dao.h"

// DAO field types the engine distinguishes.
namespace daotype {
constexpr std::int16_t Boolean = 1;
constexpr std::int16_t Byte = 2;
constexpr std::int16_t Integer = 3;
constexpr std::int16_t Long = 4;
constexpr std::int16_t Currency = 5;
constexpr std::int16_t Single = 6;
constexpr std::int16_t Double = 7;
constexpr std::int16_t Date = 8;
constexpr std::int16_t Binary = 9;
constexpr std::int16_t Text = 10;
constexpr std::int16_t LongBinary = 11;
constexpr std::int16_t Memo = 12;
constexpr std::int16_t GUID = 15;
}  // namespace daotype

constexpr std::int32_t kDaoAutoIncrField = 0x10;
constexpr std::int32_t kDaoUpdatableField = 0x20;
constexpr std::int32_t kDaoDescending = 0x1;

// Which interface set the server was opened with: the engine chooses it once
// and every wrapper it hands out inherits it, so queries for sub-interfaces ask
// for the same set.
struct TDAOInterfaceSet {
  bool UseDAO35 = true;           // false: the older server
  bool UseWideInterfaces = true;  // false: the ANSI interfaces
};

// A varError variant marking an optional argument that is left out.
Variant DaoMissingArg();

class TDAOUnknown : public TObject {
  DECLARE_CLASS(TDAOUnknown, TObject)
 public:
  TDAOUnknown();
  ~TDAOUnknown() override;  // releases the interface
  TDAOUnknown(const TDAOUnknown&) = delete;
  TDAOUnknown& operator=(const TDAOUnknown&) = delete;

  // Takes over one reference; the previous interface is released first.
  void SetInterface(IUnknown* intf);

  HRESULT Status = 0;
  IUnknown* Intf = nullptr;
  Variant MissingArg;
  TDAOInterfaceSet Interfaces;

 protected:
  template <class I>
  I* As() const { return static_cast<I*>(Intf); }
  // Stores the status and hands it to the new wrapper; out is adopted by it.
  template <class W, class I>
  W* Wrap(HRESULT status, I* out) {
    Status = status;
    auto* w = new W();
    w->SetInterface(out);
    w->Status = status;
    w->Interfaces = Interfaces;
    return w;
  }
};

class TDAOError : public TDAOUnknown {
  DECLARE_CLASS(TDAOError, TDAOUnknown)
 public:
  std::int32_t Number();
  std::string Description();
};

class TDAOCollection : public TDAOUnknown {
  DECLARE_CLASS(TDAOCollection, TDAOUnknown)
 public:
  virtual std::int16_t Count() = 0;
};

class TDAODynaCollection : public TDAOCollection {
  DECLARE_CLASS(TDAODynaCollection, TDAOCollection)
};

class TDAOErrors : public TDAOCollection {
  DECLARE_CLASS(TDAOErrors, TDAOCollection)
 public:
  std::int16_t Count() override;
  TDAOError* Item(std::int16_t index);
};

// Base of the wrappers of named DAO objects.
class TDAOBase : public TDAOUnknown {
  DECLARE_CLASS(TDAOBase, TDAOUnknown)
 public:
  virtual std::string GetName() { return {}; }
  virtual void SetName(const std::string&) {}
};

class TDAOParameter : public TDAOBase {
  DECLARE_CLASS(TDAOParameter, TDAOBase)
 public:
  std::string GetName() override;
  void SetValue(const Variant& value);
  std::int16_t Type();
};

class TDAOParameters : public TDAOCollection {
  DECLARE_CLASS(TDAOParameters, TDAOCollection)
 public:
  std::int16_t Count() override;
  TDAOParameter* Item(std::int16_t index);
};

class TDAOField : public TDAOBase {
  DECLARE_CLASS(TDAOField, TDAOBase)
 public:
  std::string GetName() override;
  void SetName(const std::string& name) override;
  std::int16_t Type();
  std::int32_t Size();
  std::int32_t FieldSize();
  std::int32_t Attributes();

  // Typed reads: the value when the variant has exactly that type, else 0/"".
  Variant Value();
  double AsDouble();
  std::uint8_t AsByte();
  std::int16_t AsSmallint();
  std::int32_t AsInteger();
  float AsSingle();
  bool AsBoolean();
  Currency AsCurrency();
  std::string AsString();
  TDateTime AsDateTime();  // 0 for Null

  // Writes: an Empty variant stores Null.
  void SetValue(const Variant& value);

  std::int32_t DataSize();  // FieldSize for memo and long binary, Size otherwise
  bool IsAutoIncrement() { return (Attributes() & kDaoAutoIncrField) != 0; }
  bool IsUpdatable() { return (Attributes() & kDaoUpdatableField) != 0; }
  std::string MemoText();  // the whole memo through GetChunk
  // Copies up to bytes of the chunk at offset into buffer; answers the count.
  std::int32_t GetChunk(std::int32_t offset, std::int32_t bytes, void* buffer);
  void AppendChunk(const void* data, std::int32_t bytes);
};

class TDAOFields : public TDAODynaCollection {
  DECLARE_CLASS(TDAOFields, TDAODynaCollection)
 public:
  std::int16_t Count() override;
  TDAOField* Item(std::int16_t index);
};

class TDAOIndexField : public TDAOBase {
  DECLARE_CLASS(TDAOIndexField, TDAOBase)
 public:
  std::string GetName() override;
  std::int32_t Attributes();
  bool IsDescending() { return (Attributes() & kDaoDescending) != 0; }
};

class TDAOIndexfields : public TDAODynaCollection {
  DECLARE_CLASS(TDAOIndexfields, TDAODynaCollection)
 public:
  std::int16_t Count() override;
  TDAOIndexField* Item(std::int16_t index);
};

class TDAOIndex : public TDAOBase {
  DECLARE_CLASS(TDAOIndex, TDAOBase)
 public:
  std::string GetName() override;
  void SetName(const std::string& name) override;
  bool Unique();
  bool Primary();
  TDAOIndexfields* Fields();
};

class TDAOIndexes : public TDAODynaCollection {
  DECLARE_CLASS(TDAOIndexes, TDAODynaCollection)
 public:
  std::int16_t Count() override;
  TDAOIndex* Item(std::int16_t index);
};

class TDAORecordset : public TDAOBase {
  DECLARE_CLASS(TDAORecordset, TDAOBase)
 public:
  std::string GetName() override;
  TDAOFields* GetFields();
  TDAOIndexes* GetIndexes();
  bool BOF();
  bool EOF_();
  bool NoMatch();
  std::int32_t RecordCount();
  Variant Bookmark();
  std::int32_t BookmarkWord();  // see DAORecordset::get_BookmarkWord
  void SetBookmark(const Variant& bookmark);
  Variant LastModified();
  std::int32_t AbsolutePosition();
  void SetAbsolutePosition(std::int32_t position);
  void SetIndex(const std::string& name);
  void AddNew();
  void Edit();
  void Update();
  void CancelUpdate();
  void Delete();
  void Close();
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  void Requery();
  void Seek(const std::string& comparison, const Variant (&keys)[13]);
  void SetRowCondition(const std::string& condition, const std::vector<std::string>& bands = {},
                       const std::vector<Variant>& point = {});
  std::int64_t RowReads();  // see DAORecordset::get_RowReads
  // See DAORecordset::GetRecordValues.
  void RecordValues(DAOCellValue* values, std::int32_t count, DAORecordMarks& marks);
};

class TDAOQuerydef : public TDAOBase {
  DECLARE_CLASS(TDAOQuerydef, TDAOBase)
 public:
  std::string GetName() override;
  void SetName(const std::string& name) override;
  TDAOFields* GetFields();
  TDAOParameters* Parameters();
  TDAORecordset* OpenRecordset(std::int32_t options);  // -1: omitted
  void Execute();  // an action query; the status tells
};

class TDAOQuerydefs : public TDAODynaCollection {
  DECLARE_CLASS(TDAOQuerydefs, TDAODynaCollection)
 public:
  std::int16_t Count() override;
  TDAOQuerydef* Item(std::int16_t index);
};

class TDAOTabledef : public TDAOBase {
  DECLARE_CLASS(TDAOTabledef, TDAOBase)
 public:
  std::string GetName() override;
  void SetName(const std::string& name) override;
};

class TDAOTabledefs : public TDAODynaCollection {
  DECLARE_CLASS(TDAOTabledefs, TDAODynaCollection)
 public:
  std::int16_t Count() override;
  TDAOTabledef* Item(std::int16_t index);
};

class TDAODatabase : public TDAOBase {
  DECLARE_CLASS(TDAODatabase, TDAOBase)
 public:
  std::string GetName() override;
  TDAOTabledefs* TableDefs();
  TDAOQuerydefs* QueryDefs();
  TDAORecordset* OpenRecordset(const std::string& name, std::int32_t options);  // -1: omitted
  void Execute(const std::string& sql);
  // Rows changed by the last Execute.
  std::int32_t RecordsAffected();
  void Close();
};

class TDAOEngine : public TDAOBase {
  DECLARE_CLASS(TDAOEngine, TDAOBase)
 public:
  // Never raises: a failure leaves Ready 0 and its text in ErrorText.
  TDAOEngine(bool useDAO35, bool useWide);

  std::string ErrorText;
  std::int16_t Ready = 0;
  std::int16_t ComInitialized = 0;

  // Connect empty: the argument is left out.
  TDAODatabase* OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                             const std::string& connect);
  void BeginTrans();
  void CommitTrans();
  void Rollback();
  TDAOErrors* Errors();
  void Idle(std::int32_t action);
};

// Variant builders for seek keys and parameter values.
Variant DaoVarI4(std::int32_t v);
Variant DaoVarI2(std::int16_t v);
Variant DaoVarUI1(std::uint8_t v);
Variant DaoVarBool(bool v);
Variant DaoVarR4(float v);
Variant DaoVarR8(double v);
Variant DaoVarCY(Currency v);
Variant DaoVarDate(TDateTime v);
Variant DaoVarStr(const std::string& v);
