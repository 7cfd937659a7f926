#pragma once
// Report templates: a report's whole layout stored as a component stream, in
// a file or in a blob field of a database record, and loaded back into a live
// report. The stored bytes hold the layout in binary ("TPF0") or text
// ("object") form, optionally after an offset header. A load that fails for
// any reason puts the report's previous layout back.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/strings.h"
#include "report/data/pputils.h"

class TComponent;
class TReader;
class TStream;
class TppCustomReport;
class TppDataPipeline;

DECLARE_ENUM(TppFormatType, ftBinary, ftASCII)
DECLARE_ENUM(TppSaveToType, stDatabase, stFile)

DECLARE_EXCEPTION(ETemplateLoadError, Exception)
DECLARE_EXCEPTION(ETemplateSaveError, Exception)
DECLARE_EXCEPTION(EInvalidTemplateError, Exception)

// ---- The stored layout -------------------------------------------------------------------

// The streaming version a text layout names in its "Version" line ("3.01" is
// 3010, 2.5 is 2500); 0 without one. Only the first 1000 bytes are searched.
int ppTemplateVersionNo(const std::string& layout);
// An old text layout's float values made floats again: the lines that hold a
// header size, or a position key after "Version", get ".0" when they have no ".".
void ppFixTextLayout(TStrings* lines);
// Where the layout starts in `stored`: `offset` when a signature stands
// there, else 0, else the 4-byte little-endian offset header; -1 when none.
int32_t ppFindLayout(const std::string& stored, int32_t offset);

// ---- Templates -----------------------------------------------------------------------------

// Where a template lives in a database: a pipeline, the record's name field
// and value, and the blob field of the layout.
class TppTemplateDBSettings : public TPersistent {
  DECLARE_CLASS(TppTemplateDBSettings, TPersistent)
 public:
  TppTemplateDBSettings();
  ~TppTemplateDBSettings() override;
  void Assign(const TPersistent* source) override;

  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppDataPipeline* pipeline);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);
  const std::string& NameField() const { return nameField_; }
  void SetNameField(const std::string& value) { nameField_ = value; }
  const std::string& TemplateField() const { return templateField_; }
  void SetTemplateField(const std::string& value) { templateField_ = value; }
  // A pipeline and both field names are set.
  bool Complete() const;
  // The template's record is current (case-insensitive lookup by name).
  bool LocateRecord() const;

  TNotifyEvent OnNameChange;

 private:
  TppDataPipeline* dataPipeline_ = nullptr;
  std::string name_, nameField_, templateField_;
};

class TppCustomTemplate : public TPersistent {
  DECLARE_CLASS(TppCustomTemplate, TPersistent)
 public:
  TppCustomTemplate();
  ~TppCustomTemplate() override;
  void Assign(const TPersistent* source) override;

  TppTemplateDBSettings* DatabaseSettings() const { return databaseSettings_.get(); }
  void SetDatabaseSettings(const TppTemplateDBSettings* value);
  const std::string& FileName() const { return fileName_; }
  virtual void SetFileName(const std::string& value) { fileName_ = value; }
  TppFormatType Format() const { return format_; }
  void SetFormat(TppFormatType value) { format_ = value; }
  int32_t Offset() const { return offset_; }
  void SetOffset(int32_t value) { offset_ = value; }
  TppSaveToType SaveTo() const { return saveTo_; }
  void SetSaveTo(TppSaveToType value) { saveTo_ = value; }
  // The file name when saving to a file, else the database record's name.
  std::string TemplateName() const;
  void SetTemplateName(const std::string& value);

 protected:
  std::unique_ptr<TppTemplateDBSettings> databaseSettings_;
  std::string fileName_;
  TppFormatType format_ = ftBinary;
  int32_t offset_ = 0;
  TppSaveToType saveTo_ = stFile;
};

// Loading and saving, with hooks for the object that owns the layout.
class TppTemplate : public TppCustomTemplate {
  DECLARE_CLASS(TppTemplate, TppCustomTemplate)
 public:
  TppTemplate();
  void SetFileName(const std::string& value) override;

  void Load();
  void LoadFromFile();
  void LoadFromDatabase();
  // Loads stored bytes as a file or blob holds them (steps after the lookup).
  void LoadFromBytes(const std::string& stored);
  void Save();
  void SaveToFile();
  void SaveToDatabase();

  int LanguageIndex() const { return languageIndex_; }
  void SetLanguageIndex(int value) { languageIndex_ = value; }
  TComponent* OwnerForm() const { return ownerForm_; }
  void SetOwnerForm(TComponent* form) { ownerForm_ = form; }

  TNotifyEvent OnLoadEnd, OnNew, OnSaveStart;
  std::function<void(TObject* sender, std::string& stored)> OnLoadStream, OnSaveStream;

 protected:
  // Hooks of the owner of the layout.
  virtual bool BeginLoad() { return true; }
  virtual void ComponentRead(TComponent* component) { (void)component; }
  virtual void EndLoad(bool success) { (void)success; }
  // Whether the stream held what the owner loads (a report for a report).
  virtual bool LayoutRead() const { return true; }
  virtual bool BeginSave() { return true; }
  virtual void EndSave(bool success) { (void)success; }
  // The component written as the layout.
  virtual TComponent* LayoutComponent() const { return nullptr; }
  virtual void TemplateChanged() {}
  virtual void ReaderSetName(TReader* reader, TComponent* component, std::string& name);
  // A reader error: asks whether to go on (Ignore), go on silently (All) or fail.
  virtual void ReaderError(TReader* reader, const std::string& message, bool& handled);

  std::string Text(int offset) const;
  std::string Named(int offset, const std::string& name) const { return Text(offset) + " " + name; }
  // The stored bytes of the layout in the current Format and Offset.
  std::string StoredLayout();
  void ReadLayout(const std::string& stored);
  void WriteStored(const std::string& stored);

  bool ignoreAll_ = false;
  int languageIndex_ = 43000;
  TComponent* ownerForm_ = nullptr;
};

// The template of a report: a load replaces the report's layout and a failed
// one puts the previous layout back.
class TppReportTemplate : public TppTemplate {
  DECLARE_CLASS(TppReportTemplate, TppTemplate)
 public:
  explicit TppReportTemplate(TppCustomReport* report = nullptr);
  ~TppReportTemplate() override;
  TppCustomReport* Report() const { return report_; }
  void SetReport(TppCustomReport* report) { report_ = report; }
  // Replaces the report's layout by an empty one.
  void New();

 protected:
  bool BeginLoad() override;
  void ComponentRead(TComponent* component) override;
  void EndLoad(bool success) override;
  bool LayoutRead() const override { return readReport_ != nullptr; }
  bool BeginSave() override;
  void EndSave(bool success) override;
  TComponent* LayoutComponent() const override;
  void ReaderSetName(TReader* reader, TComponent* component, std::string& name) override;

 private:
  // A report of the report's class holding `source`'s layout.
  std::unique_ptr<TppCustomReport> CopyOf(TppCustomReport* source) const;
  // Makes `owner` own the report's groups, bands and their components.
  static void Adopt(TppCustomReport* report, TComponent* owner);
  // Frees what a failed load left in the owner form.
  void FreeReadComponents();
  TppCustomReport* report_;
  std::set<TComponent*> formBefore_;  // the owner form's components before the load
  TppCustomReport* readReport_ = nullptr;  // owned by the owner form while loading
  std::unique_ptr<TppCustomReport> keptCopy_;
};
