#pragma once
// Memo and long-binary fields of an Access record, read and written in
// pieces. A blob object lives in its field's slot of one record buffer from
// the blob's opening until the cursor frees it; what is written stays with the
// blob until the record is stored.

#include <cstdint>
#include <memory>
#include <string>

#include "dbengine/enginetypes.h"
#include "platform/classlib/core/object.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/variant.h"

class TAccessTable;
class TFieldCacheItem;
class TDAOFields;
class TDAOField;
class TDAORecordset;

class TAccessBaseBlob : public TObject {
  DECLARE_CLASS(TAccessBaseBlob, TObject)
 public:
  TAccessBaseBlob(TAccessTable* cursor, TFieldCacheItem* item, std::uint16_t fieldNumber,
                  TDAOFields* fields, int mode, std::uint8_t* buffer);
  // Releases the DAO field and returns the recordset to where it stood.
  ~TAccessBaseBlob() override;

  virtual std::uint32_t GetBlobSize();
  virtual void SetBlank();
  // Copies the bytes at offset, count set; true when the read reached the end
  // (the call layer answers ENDOFBLOB for it).
  virtual bool ReadBytes(std::uint32_t offset, std::uint32_t length, void* buffer,
                         std::uint32_t& count) = 0;
  // Writes at offset (a write past the end pads with zeros); a zero-length
  // write cuts the content at offset. The field becomes changed.
  virtual void WriteBytes(std::uint32_t offset, std::uint32_t length, const void* buffer) = 0;
  // The whole content, for a blob freed right after: it may give up what it holds.
  virtual void TakeAll(std::string& out);

  TAccessTable* Cursor;
  TFieldCacheItem* Item;
  std::uint16_t FieldNumber;
  TDAOField* Field = nullptr;  // the cursor's, or OwnField
  int Mode;
  std::uint8_t* RecordBuffer;
  Variant SavedBookmark;  // empty when the recordset was not moved
  // The recordset was past its end (1) or before its start (-1) when moved.
  int SavedEnd = 0;
  // The other record's own recordset, when the cursor's could not move.
  std::unique_ptr<TDAORecordset> OwnRecordset;
  std::unique_ptr<TDAOFields> OwnFields;
  std::unique_ptr<TDAOField> OwnField;  // a field of OwnFields

 protected:
  bool IsBlank();
  bool IsChanged();
  void CheckWritable();
  void MarkWritten(bool empty);
  // Once the stored value has been read: the record buffer is made to hold
  // the version of the row the value came from (TAccessTable::KeepOneVersion).
  void KeepOneVersion();
};

class TAccessMemoBlob : public TAccessBaseBlob {
  DECLARE_CLASS(TAccessMemoBlob, TAccessBaseBlob)
 public:
  using TAccessBaseBlob::TAccessBaseBlob;
  std::uint32_t GetBlobSize() override;
  void SetBlank() override;
  bool ReadBytes(std::uint32_t offset, std::uint32_t length, void* buffer, std::uint32_t& count) override;
  void WriteBytes(std::uint32_t offset, std::uint32_t length, const void* buffer) override;
  void TakeAll(std::string& out) override;

  std::string Text;

 private:
  // Fills Text with the record's text as stored, once per blob: reading a
  // memo in pieces must not fetch the whole of it for every piece.
  void LoadStoredText();
  bool storedLoaded_ = false;
};

class TAccessLongBinaryBlob : public TAccessBaseBlob {
  DECLARE_CLASS(TAccessLongBinaryBlob, TAccessBaseBlob)
 public:
  TAccessLongBinaryBlob(TAccessTable* cursor, TFieldCacheItem* item, std::uint16_t fieldNumber,
                        TDAOFields* fields, int mode, std::uint8_t* buffer);
  ~TAccessLongBinaryBlob() override;
  std::uint32_t GetBlobSize() override;
  void SetBlank() override;
  bool ReadBytes(std::uint32_t offset, std::uint32_t length, void* buffer, std::uint32_t& count) override;
  void WriteBytes(std::uint32_t offset, std::uint32_t length, const void* buffer) override;

  TMemoryStream* Pending;

 private:
  // Reads the stored value before its size or bytes are first used, so that
  // both come from the version of the row the record buffer holds.
  void Settle();
  bool settled_ = false;
};
