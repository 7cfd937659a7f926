#include "report/data/pptmpl.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/data/ppdb.h"
#include "report/model/ppbands.h"
#include "report/model/ppdesign.h"
#include "report/model/ppgroup.h"
#include "report/model/ppengine.h"
#include "report/model/ppreport.h"
#include "report/output/ppforms.h"

namespace {

// Message offsets in the string table.
constexpr int kRecordNotFound = 400, kFileNotFound = 401, kDatabaseRead = 402,
              kNotBlobField = 403, kInvalidFormat = 404,
              kFileReadOnly = 406, kBadFieldType = 408;
// Readers and writers buffer this much.
constexpr int kBufferSize = 1024;
// Only the start of a layout is searched for its version line.
constexpr size_t kVersionSearch = 1000;
// From the "V" of "Version" to the value: "Version = '".
constexpr size_t kVersionValueStart = 11;
// At most this much of the value is looked at, and this much of it kept.
constexpr size_t kVersionTextMax = 30, kVersionDigitsMax = 19;
// The offset header: a little-endian 32-bit number at byte 0.
constexpr size_t kHeaderSize = 4;
// A saved layout is placed no further than this: the bytes before it are
// written out, so an absurd Offset must not allocate without bound.
constexpr int32_t kMaxSaveOffset = 1 << 20;
// Text layouts older than this wrote some floats without a fraction.
constexpr int kFixFloatsBelow = 3000;

constexpr const char* kBinarySignature = "TPF0";
constexpr const char* kTextSignature = "object";

bool SignatureAt(const std::string& stored, size_t at) {
  return stored.compare(at, 4, kBinarySignature) == 0 || stored.compare(at, 6, kTextSignature) == 0;
}

// Forces "." as the decimal separator while the converters run.
class DotDecimals {
 public:
  DotDecimals() : saved_(FormatSettings.DecimalSeparator) { FormatSettings.DecimalSeparator = '.'; }
  ~DotDecimals() { FormatSettings.DecimalSeparator = saved_; }

 private:
  char saved_;
};

std::string Convert(const std::string& input, void (*converter)(TStream*, TStream*)) {
  DotDecimals dot;
  TStringStream in(input), out;
  converter(&in, &out);
  return out.DataString();
}

// Case-sensitive "key appears in line"; the line's third character (0 when short).
bool Holds(const std::string& line, const char* key) { return line.find(key) != std::string::npos; }
char Third(const std::string& line) { return line.size() >= 3 ? line[2] : '\0'; }

// ".0" after a key's value that has no "." (the text after the key's first character).
void AppendFraction(std::string& line, const char* key) {
  const size_t at = line.find(key);
  if (line.find('.', at + 1) == std::string::npos) line += ".0";
}

// The registered error form asks; without one nobody can say yes, so the
// error stands and the load fails.
TModalResult AskToIgnore(const std::string& message, int languageIndex) {
  TClass cls = ppGetFormClass(TppCustomTemplateErrorDialog::StaticClass());
  TObject* created = cls ? cls->Create(nullptr) : nullptr;
  std::unique_ptr<TppCustomTemplateErrorDialog> dialog(
      dynamic_cast<TppCustomTemplateErrorDialog*>(created));
  if (!dialog) {
    delete created;
    return mrCancel;
  }
  dialog->SetLanguageIndex(languageIndex);
  dialog->SetErrorMessage(message);
  return dialog->ShowModal();
}

}  // namespace

IMPLEMENT_CLASS(ETemplateLoadError, Exception)
IMPLEMENT_CLASS(ETemplateSaveError, Exception)
IMPLEMENT_CLASS(EInvalidTemplateError, Exception)

// ---- The stored layout -------------------------------------------------------------------

int ppTemplateVersionNo(const std::string& layout) {
  const size_t at = layout.substr(0, kVersionSearch).find("Version");
  if (at == std::string::npos) return 0;
  const std::string value = layout.substr(std::min(layout.size(), at + kVersionValueStart),
                                          kVersionTextMax);
  std::string run;
  for (char c : value) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.') || run.size() == kVersionDigitsMax)
      break;
    run += c;
  }
  if (const size_t dot = run.find('.'); dot != std::string::npos) run.erase(dot, 1);
  while (run.size() < 4) run += '0';
  // Any dots left stop the number where they stand, as a decimal read does.
  run = run.substr(0, run.find('.'));
  if (run.empty()) return 0;
  // 19 digits can exceed 32 bits: such a version is simply very new.
  try {
    return int(std::min<long long>(std::stoll(run), INT32_MAX));
  } catch (...) {
    return INT32_MAX;
  }
}

void ppFixTextLayout(TStrings* lines) {
  // The header sizes, looked for in this order, one at a time.
  static const char* const kHeaderKeys[] = {"ColumnWidth = ", "PaperHeight = ", "PaperWidth = ",
                                            "RowSpacing = "};
  static const char* const kPositionKeys[] = {" Left = ", " Top = ", " Width = ", " Height = "};
  size_t header = 0;
  bool versionSeen = false;
  for (int i = 0; i < lines->Count(); ++i) {
    std::string line = (*lines)[i];
    if (header < std::size(kHeaderKeys)) {
      const char* key = kHeaderKeys[header];
      if (Holds(line, key)) {
        AppendFraction(line, key);
        ++header;
      } else if (header == 0 && Third(line) > 'C') {
        ++header;  // no ColumnWidth: its place has passed
      } else if (header == std::size(kHeaderKeys) - 1 && Third(line) > 'R') {
        header = std::size(kHeaderKeys);
      }
    } else if (!versionSeen) {
      versionSeen = Holds(line, "Version");
    } else {
      for (const char* key : kPositionKeys)
        if (Holds(line, key)) {
          AppendFraction(line, key);
          break;
        }
    }
    lines->SetStrings(i, line);
  }
}

int32_t ppFindLayout(const std::string& stored, int32_t offset) {
  if (offset >= 0 && size_t(offset) < stored.size() && SignatureAt(stored, size_t(offset)))
    return offset;
  if (SignatureAt(stored, 0)) return 0;
  if (stored.size() < kHeaderSize) return -1;
  uint32_t header = 0;
  for (size_t i = 0; i < kHeaderSize; ++i) header |= uint32_t(uint8_t(stored[i])) << (8 * i);
  const int32_t at = int32_t(header);
  if (at >= 1 && size_t(at) < stored.size() && SignatureAt(stored, size_t(at))) return at;
  return -1;
}

// ---- Database settings ---------------------------------------------------------------------

IMPLEMENT_CLASS(TppTemplateDBSettings, TPersistent)
PUBLISHED(TppTemplateDBSettings) {
  PROP_OBJ(DataPipeline, DataPipeline, SetDataPipeline);
  PROP_STR(Name, Name, SetName, "");
  PROP_STR(NameField, NameField, SetNameField, "");
  PROP_STR(TemplateField, TemplateField, SetTemplateField, "");
}

TppTemplateDBSettings::TppTemplateDBSettings() = default;
TppTemplateDBSettings::~TppTemplateDBSettings() = default;

void TppTemplateDBSettings::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TppTemplateDBSettings*>(source);
  if (!s) return inherited::Assign(source);
  SetDataPipeline(s->dataPipeline_);
  name_ = s->name_;
  nameField_ = s->nameField_;
  templateField_ = s->templateField_;
}

void TppTemplateDBSettings::SetDataPipeline(TppDataPipeline* pipeline) { dataPipeline_ = pipeline; }

void TppTemplateDBSettings::SetName(const std::string& value) {
  name_ = value;
  if (OnNameChange) OnNameChange(this);
}

bool TppTemplateDBSettings::Complete() const {
  return dataPipeline_ && !nameField_.empty() && !templateField_.empty();
}

bool TppTemplateDBSettings::LocateRecord() const {
  return dataPipeline_->Locate(nameField_, Variant(name_), ppLocateCaseInsensitive);
}

// ---- TppCustomTemplate ---------------------------------------------------------------------

IMPLEMENT_CLASS(TppCustomTemplate, TPersistent)
PUBLISHED(TppCustomTemplate) {
  PROP_OBJ(DatabaseSettings, DatabaseSettings, SetDatabaseSettings);
  PROP_STR(FileName, FileName, SetFileName, "");
  PROP_INT(Offset, Offset, SetOffset, 0);
  PROP_ENUM(SaveTo, SaveTo, SetSaveTo, stFile);
  PROP_ENUM(Format, Format, SetFormat, ftBinary);
}

TppCustomTemplate::TppCustomTemplate()
    : databaseSettings_(std::make_unique<TppTemplateDBSettings>()) {}
TppCustomTemplate::~TppCustomTemplate() = default;

void TppCustomTemplate::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TppCustomTemplate*>(source);
  if (!s) return inherited::Assign(source);
  databaseSettings_->Assign(s->databaseSettings_.get());
  SetFileName(s->fileName_);
  offset_ = s->offset_;
  saveTo_ = s->saveTo_;
  format_ = s->format_;
}

void TppCustomTemplate::SetDatabaseSettings(const TppTemplateDBSettings* value) {
  databaseSettings_->Assign(value);
}

std::string TppCustomTemplate::TemplateName() const {
  return saveTo_ == stFile ? fileName_ : databaseSettings_->Name();
}

void TppCustomTemplate::SetTemplateName(const std::string& value) {
  if (saveTo_ == stFile) SetFileName(value);
  else databaseSettings_->SetName(value);
}

// ---- TppTemplate: loading ------------------------------------------------------------------

IMPLEMENT_CLASS(TppTemplate, TppCustomTemplate)

TppTemplate::TppTemplate() {
  databaseSettings_->OnNameChange = [this](TObject*) { TemplateChanged(); };
}

void TppTemplate::SetFileName(const std::string& value) {
  TppCustomTemplate::SetFileName(value);
  TemplateChanged();
}

std::string TppTemplate::Text(int offset) const { return ppLoadStr(languageIndex_ + offset); }

void TppTemplate::Load() {
  if (saveTo_ == stFile) LoadFromFile();
  else LoadFromDatabase();
}

void TppTemplate::LoadFromFile() {
  ignoreAll_ = false;
  if (!FileExists(fileName_)) throw ETemplateLoadError(Named(kFileNotFound, fileName_));
  std::string stored;
  if (!ReadWholeFile(fileName_, stored)) throw ETemplateLoadError(Named(kFileNotFound, fileName_));
  LoadFromBytes(stored);
}

void TppTemplate::LoadFromDatabase() {
  ignoreAll_ = false;
  TppTemplateDBSettings* db = databaseSettings_.get();
  if (!db->Complete() || !db->LocateRecord())
    throw ETemplateLoadError(Named(kRecordNotFound, db->Name()));
  if (db->DataPipeline()->GetFieldDataType(db->TemplateField()) != dtBLOB)
    throw ETemplateLoadError(Named(kNotBlobField, db->TemplateField()));
  TStringStream blob;
  try {
    db->DataPipeline()->GetFieldAsStream(db->TemplateField(), &blob);
  } catch (const Exception&) {
    throw ETemplateLoadError(Text(kDatabaseRead));
  }
  LoadFromBytes(blob.DataString());
}

void TppTemplate::LoadFromBytes(const std::string& stored) {
  if (!BeginLoad()) return;
  bool success = false;
  try {
    std::string bytes = stored;
    if (OnLoadStream) OnLoadStream(this, bytes);
    ReadLayout(bytes);
    // A signature alone, or a layout of bands without their report, is no template.
    if (!LayoutRead()) throw EInvalidTemplateError(Text(kInvalidFormat));
    success = true;
  } catch (...) {
    EndLoad(false);
    if (OnLoadEnd) OnLoadEnd(this);
    throw;
  }
  EndLoad(success);
  if (OnLoadEnd) OnLoadEnd(this);
}

void TppTemplate::ReadLayout(const std::string& stored) {
  const int32_t at = ppFindLayout(stored, offset_);
  if (at < 0) throw EInvalidTemplateError(Text(kInvalidFormat));
  offset_ = at;
  format_ = stored.compare(size_t(at), 4, kBinarySignature) == 0 ? ftBinary : ftASCII;
  std::string layout = at >= 1 ? stored.substr(size_t(at)) : stored;
  if (format_ == ftASCII) {
    if (ppTemplateVersionNo(layout) < kFixFloatsBelow) {
      TStringList lines;
      lines.SetText(layout);
      ppFixTextLayout(&lines);
      layout = lines.Text();
    }
    layout = Convert(layout, ObjectTextToBinary);
  }
  TStringStream binary(layout);
  TReader reader(&binary, kBufferSize);
  reader.OnSetName = [this](TReader* r, TComponent* c, std::string& name) {
    ReaderSetName(r, c, name);
  };
  reader.OnError = [this](TReader* r, const std::string& message, bool& handled) {
    ReaderError(r, message, handled);
  };
  reader.ReadComponents(ownerForm_, nullptr, [this](TComponent* c) { ComponentRead(c); });
}

void TppTemplate::ReaderSetName(TReader*, TComponent*, std::string&) {}

void TppTemplate::ReaderError(TReader*, const std::string& message, bool& handled) {
  handled = true;
  if (ignoreAll_) return;
  switch (AskToIgnore(message, languageIndex_)) {
    case mrCancel: handled = false; break;
    case mrAll: ignoreAll_ = true; break;
    default: break;
  }
}

// ---- TppTemplate: saving -------------------------------------------------------------------

void TppTemplate::Save() {
  if (saveTo_ == stFile) SaveToFile();
  else SaveToDatabase();
}

std::string TppTemplate::StoredLayout() {
  TComponent* layout = LayoutComponent();
  TStringStream binary;
  {
    TWriter writer(&binary, kBufferSize);
    writer.SetRoot(ownerForm_ ? ownerForm_ : layout->Owner() ? layout->Owner() : layout);
    writer.WriteSignature();
    writer.WriteComponent(layout);
  }
  std::string stored = binary.DataString();
  if (format_ == ftASCII) stored = Convert(stored, ObjectBinaryToText);
  if (offset_ >= 1) {
    if (offset_ > kMaxSaveOffset) throw ETemplateSaveError(Text(kInvalidFormat));
    // The header names where the layout starts, so the bytes load with Offset 0 too.
    std::string before(size_t(offset_), '\0');
    for (size_t i = 0; i < kHeaderSize && i < before.size(); ++i)
      before[i] = char(uint32_t(offset_) >> (8 * i));
    stored = before + stored;
  }
  if (OnSaveStream) OnSaveStream(this, stored);
  return stored;
}

void TppTemplate::SaveToFile() {
  if (!BeginSave()) return;
  try {
    if (OnSaveStart) OnSaveStart(this);
    const std::string stored = StoredLayout();
    if (FileExists(fileName_) && (FileGetAttr(fileName_) & faReadOnly))
      throw ETemplateSaveError(Named(kFileReadOnly, fileName_));
    // Written beside and renamed over: a failed write keeps the old template.
    try {
      WriteFileAtomically(fileName_, stored);
    } catch (const EInOutError& e) {
      throw ETemplateSaveError(e.Message());
    }
  } catch (...) {
    EndSave(false);
    throw;
  }
  EndSave(true);
}

void TppTemplate::SaveToDatabase() {
  TppTemplateDBSettings* db = databaseSettings_.get();
  if (!db->Complete()) return;
  if (!BeginSave()) return;
  try {
    if (OnSaveStart) OnSaveStart(this);
    TStringStream stored(StoredLayout());
    TppDataPipeline* pipeline = db->DataPipeline();
    pipeline->Open();
    if (pipeline->GetFieldDataType(db->TemplateField()) != dtBLOB)
      throw ETemplateSaveError(Text(kBadFieldType));
    if (db->LocateRecord()) {
      pipeline->EditRecord();
    } else {
      pipeline->InsertRecord();
      pipeline->SetFieldValue(db->NameField(), Variant(db->Name()));
    }
    pipeline->SetFieldFromStream(db->TemplateField(), &stored);
    pipeline->PostRecord();
  } catch (...) {
    EndSave(false);
    throw;
  }
  EndSave(true);
}

// ---- TppReportTemplate ---------------------------------------------------------------------

IMPLEMENT_CLASS(TppReportTemplate, TppTemplate)

TppReportTemplate::TppReportTemplate(TppCustomReport* report) : report_(report) {}
TppReportTemplate::~TppReportTemplate() = default;

TComponent* TppReportTemplate::LayoutComponent() const { return report_; }

std::unique_ptr<TppCustomReport> TppReportTemplate::CopyOf(TppCustomReport* source) const {
  std::unique_ptr<TppCustomReport> copy(
      dynamic_cast<TppCustomReport*>(report_->ClassType()->Create(nullptr)));
  if (source) copy->AssignReport(source);
  return copy;
}

bool TppReportTemplate::BeginLoad() {
  if (!report_ || report_->IsGenerating()) return false;
  if (!ownerForm_) ownerForm_ = report_->Owner();
  keptCopy_ = CopyOf(report_);  // the current layout, put back if the load fails
  // With its names: the layout read may use them.
  Adopt(keptCopy_.get(), keptCopy_.get());
  formBefore_.clear();
  if (ownerForm_)
    for (int i = 0; i < ownerForm_->ComponentCount(); ++i) formBefore_.insert(ownerForm_->Components(i));
  report_->IncludeState(ppstTemplateLoading);
  readReport_ = nullptr;
  ppSendDesignerMessage(report_->GetDesigner(), ppmsgLayoutReplacing, report_);
  return true;
}

void TppReportTemplate::ComponentRead(TComponent* component) {
  auto* report = dynamic_cast<TppCustomReport*>(component);
  if (!report || readReport_) return;
  readReport_ = report;
  report->IncludeState(ppstTemplateLoading);
}

void TppReportTemplate::ReaderSetName(TReader*, TComponent* component, std::string& name) {
  TComponent* form = ownerForm_;
  if (!form || name.empty()) return;
  const TComponent* taken = form->FindComponent(name);
  if (!taken || taken == component) return;
  const std::string base = name;
  for (int n = 1; form->FindComponent(name); ++n) name = base + "_" + std::to_string(n);
}

void TppReportTemplate::EndLoad(bool success) {
  if (success && !readReport_) success = false;  // a layout without a report
  if (success) {
    report_->AssignReport(readReport_);
    delete readReport_;
  } else {
    FreeReadComponents();
  }
  readReport_ = nullptr;
  formBefore_.clear();
  if (!success) {
    report_->AssignReport(keptCopy_.get());
    Adopt(report_, report_->Owner() ? report_->Owner() : report_);
  }
  keptCopy_.reset();  // with the layout it still holds
  report_->Reset();
  report_->ExcludeState(ppstTemplateLoading);
  ppSendDesignerMessage(report_->GetDesigner(), ppmsgLayoutReplaced, report_);
}

void TppReportTemplate::Adopt(TppCustomReport* report, TComponent* owner) {
  auto adopt = [owner](TComponent* c) {
    if (c->Owner() == owner) return;
    if (c->Owner()) c->Owner()->RemoveComponent(c);
    owner->InsertComponent(c);
  };
  for (int g = 0; g < report->GroupCount(); ++g) adopt(report->Groups(g));
  for (int b = 0; b < report->BandCount(); ++b) {
    TppBand* band = report->Bands(b);
    adopt(band);
    for (int c = 0; c < band->ComponentCount(); ++c) adopt(band->Components(c));
  }
}

void TppReportTemplate::FreeReadComponents() {
  TComponent* form = ownerForm_;
  if (!form) return;
  // Freeing one may free others (a report its bands): look again each time.
  for (bool found = true; found;) {
    found = false;
    for (int i = form->ComponentCount() - 1; i >= 0; --i) {
      TComponent* c = form->Components(i);
      if (formBefore_.count(c)) continue;
      delete c;
      found = true;
      break;
    }
  }
}

bool TppReportTemplate::BeginSave() {
  if (!report_) return false;
  report_->IncludeState(ppstTemplateSaving);
  return true;
}

void TppReportTemplate::EndSave(bool success) {
  if (success) report_->SetModified(false);
  report_->ExcludeState(ppstTemplateSaving);
}

void TppReportTemplate::New() {
  if (!report_ || report_->IsGenerating()) return;
  ppSendDesignerMessage(report_->GetDesigner(), ppmsgLayoutReplacing, report_);
  std::unique_ptr<TppCustomReport> empty = CopyOf(nullptr);
  report_->FreeBandsAndGroups();
  report_->AssignReport(empty.get());
  if (OnNew) OnNew(report_);
  ppSendDesignerMessage(report_->GetDesigner(), ppmsgLayoutReplaced, report_);
}
