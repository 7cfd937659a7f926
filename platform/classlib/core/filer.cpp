#include "platform/classlib/core/filer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "platform/classlib/core/collection.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TFiler, TObject)
IMPLEMENT_CLASS(TReader, TFiler)
IMPLEMENT_CLASS(TWriter, TFiler)

namespace {

constexpr char kSignature[4] = {'T', 'P', 'F', '0'};
// Lists, collections and components nest at most this deep: a damaged stream
// must not exhaust the stack.
constexpr int kMaxDepth = 200;

[[noreturn]] void InvalidFormat() { throw EReadError("Invalid stream format"); }
[[noreturn]] void StreamReadError() { throw EReadError("Stream read error"); }

// Counts nesting for the lifetime of one list, collection or component.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) {
    if (++depth_ > kMaxDepth) {
      --depth_;
      InvalidFormat();
    }
  }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

// The 80-bit extended format of stored floats: sign, 15-bit exponent biased
// by 16383, 64-bit mantissa with an explicit integer bit; little-endian.
void DoubleToExtended(double value, uint8_t out[10]) {
  uint64_t mantissa = 0;
  uint16_t exponent = 0;
  bool negative = std::signbit(value);
  if (std::isnan(value)) {
    exponent = 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(value)) {
    exponent = 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (value != 0) {
    int e = 0;
    double m = std::frexp(std::fabs(value), &e);  // m in [0.5, 1)
    mantissa = static_cast<uint64_t>(std::ldexp(m, 64));
    exponent = static_cast<uint16_t>(e - 1 + 16383);
  }
  if (negative) exponent |= 0x8000;
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
  out[8] = static_cast<uint8_t>(exponent);
  out[9] = static_cast<uint8_t>(exponent >> 8);
}

double ExtendedToDouble(const uint8_t in[10]) {
  uint64_t mantissa = 0;
  for (int i = 0; i < 8; ++i) mantissa |= static_cast<uint64_t>(in[i]) << (8 * i);
  int exponent = in[8] | ((in[9] & 0x7F) << 8);
  bool negative = (in[9] & 0x80) != 0;
  double value;
  if (exponent == 0x7FFF)
    value = (mantissa << 1) == 0 ? HUGE_VAL : std::nan("");
  else if (exponent == 0 && mantissa == 0)
    value = 0;
  else
    value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  return negative ? -value : value;
}

std::string Utf16ToUtf8(const std::vector<uint16_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate
    }
    Utf8Append(out, cp);
  }
  return out;
}

int64_t OrdMin(TOrdType t) {
  switch (t) {
    case otSByte: return INT8_MIN;
    case otSWord: return INT16_MIN;
    case otSLong: return INT32_MIN;
    default: return 0;
  }
}
int64_t OrdMax(TOrdType t) {
  switch (t) {
    case otSByte: return INT8_MAX;
    case otUByte: return UINT8_MAX;
    case otSWord: return INT16_MAX;
    case otUWord: return UINT16_MAX;
    case otSLong: return INT32_MAX;
    default: return UINT32_MAX;
  }
}

std::vector<std::pair<int, TFindGlobalComponent>>& GlobalFinders() {
  static std::vector<std::pair<int, TFindGlobalComponent>> finders;
  return finders;
}

// The component that a reference path names, relative to root: "Owner" is
// the root itself, "Panel1.Edit1" walks down the owners; a first name that
// the root does not know may name another root ("frmMain.dsBugs").
TComponent* FindNestedComponent(TComponent* root, const std::string& path) {
  if (!root || path.empty()) return nullptr;
  if (CompareText(path, "Owner") == 0) return root;
  TComponent* current = nullptr;
  size_t start = 0;
  while (true) {
    size_t dot = path.find('.', start);
    std::string part =
        path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (!current) {
      current = root->FindComponent(part);
      if (!current && dot != std::string::npos) current = FindGlobalComponent(part);
    } else {
      current = current->FindComponent(part);
    }
    if (!current || dot == std::string::npos) return current;
    start = dot + 1;
  }
}

}  // namespace

// ---- TFiler -------------------------------------------------------------------

TFiler::TFiler(TStream* stream) : stream_(stream) {
  if (!stream) throw EFilerError("No stream to read from or write to");
}

void TFiler::DefinePropertiesOf(TPersistent* instance) {
  instance->DefineProperties(this);
  // String lists carry their lines as the implied property "Strings".
  if (auto* strings = As<TStrings>(instance)) {
    DefineProperty(
        "Strings",
        [strings](TReader* reader) {
          strings->BeginUpdate();
          try {
            strings->Clear();
            reader->ReadListBegin();
            while (!reader->EndOfList()) strings->Add(reader->ReadString());
            reader->ReadListEnd();
          } catch (...) {
            strings->EndUpdate();
            throw;
          }
          strings->EndUpdate();
        },
        [strings](TWriter* writer) {
          writer->WriteListBegin();
          for (int i = 0; i < strings->Count(); ++i) writer->WriteString(strings->Strings(i));
          writer->WriteListEnd();
        },
        strings->Count() > 0);
  }
}

// ---- TComponent's streaming entry points ----------------------------------------

void TComponent::ReadState(TReader* reader) {
  if (HasParent() && reader->Parent()) SetParentComponent(reader->Parent());
  reader->ReadData(this);
}

void TComponent::WriteState(TWriter* writer) { writer->WriteData(this); }

// ---- TReader ------------------------------------------------------------------

struct TReader::Fixup {
  TPersistent* instance;
  const TPropInfo* prop;
  std::string name;
  TComponent* root;
};

// The components read so far, in reading order, for Loaded. It watches them,
// so that one freed while reading (after an error) simply drops out.
class TReader::LoadTracker : public TComponent {
 public:
  LoadTracker() : TComponent(nullptr) {}
  ~LoadTracker() override {
    for (TComponent* c : list) RemoveFreeNotification(c);
  }
  void Add(TComponent* c) {
    if (!members_.insert(c).second) return;
    list.push_back(c);
    c->FreeNotification(this);
  }
  std::vector<TComponent*> list;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && members_.erase(AComponent))
      list.erase(std::remove(list.begin(), list.end(), AComponent), list.end());
  }

 private:
  std::unordered_set<TComponent*> members_;
};

TReader::TReader(TStream* stream, int) : TFiler(stream) {}

TReader::~TReader() {
  delete fixups_;
  delete loaded_;
}

void TReader::ReadBytes(void* buffer, int64_t count) { stream_->ReadBuffer(buffer, count); }

void TReader::CheckAvailable(int64_t count) {
  if (count < 0 || count > stream_->Size() - stream_->Position()) StreamReadError();
}

uint8_t TReader::ReadByte() {
  uint8_t b = 0;
  ReadBytes(&b, 1);
  return b;
}

void TReader::InvalidValue() { throw EReadError("Invalid property value"); }

bool TReader::Error(const std::string& message) {
  bool handled = false;
  if (OnError) OnError(this, message, handled);
  if (!handled) throw EReadError(message);
  return true;
}

void TReader::ReadSignature() {
  char sig[4] = {};
  if (stream_->Read(sig, 4) != 4 || std::memcmp(sig, kSignature, 4) != 0) InvalidFormat();
}

void TReader::ReadPrefix(TFilerFlags& flags, int& childPos) {
  flags = TFilerFlags{};
  childPos = 0;
  uint8_t b = ReadByte();
  if ((b & 0xF0) == 0xF0) {
    flags = TFilerFlags::FromBits(b & 0x07);
    if (flags.Contains(ffChildPos)) childPos = ReadInteger();
  } else {
    stream_->Seek(-1, soCurrent);
  }
}

TValueType TReader::ReadValue() {
  uint8_t b = ReadByte();
  if (b > vaUTF8String) InvalidFormat();
  return static_cast<TValueType>(b);
}

TValueType TReader::NextValue() {
  TValueType v = ReadValue();
  stream_->Seek(-1, soCurrent);
  return v;
}

bool TReader::EndOfList() {
  // A raw peek: component headers may start with a flags byte that is no value kind.
  uint8_t b = ReadByte();
  stream_->Seek(-1, soCurrent);
  return b == vaNull;
}

void TReader::ReadListBegin() {
  if (ReadValue() != vaList) InvalidValue();
}

void TReader::ReadListEnd() {
  if (ReadValue() != vaNull) InvalidValue();
}

std::string TReader::ReadStr() {
  uint8_t len = ReadByte();
  CheckAvailable(len);
  std::string s(len, '\0');
  if (len) ReadBytes(s.data(), len);
  return s;
}

uint64_t TReader::ReadLittleEndian(int size) {
  uint8_t b[8];
  ReadBytes(b, size);
  uint64_t v = 0;
  for (int i = 0; i < size; ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
  return v;
}

int64_t TReader::ReadLength() {
  auto len = static_cast<int64_t>(static_cast<int32_t>(ReadLittleEndian(4)));
  if (len < 0) StreamReadError();
  return len;
}

std::string TReader::ReadCounted() {
  int64_t len = ReadLength();
  CheckAvailable(len);
  std::string s(static_cast<size_t>(len), '\0');
  if (len) ReadBytes(s.data(), len);
  return s;
}

int64_t TReader::ReadInt64() {
  switch (ReadValue()) {
    case vaInt8: return static_cast<int8_t>(ReadLittleEndian(1));
    case vaInt16: return static_cast<int16_t>(ReadLittleEndian(2));
    case vaInt32: return static_cast<int32_t>(ReadLittleEndian(4));
    case vaInt64: return static_cast<int64_t>(ReadLittleEndian(8));
    default: InvalidValue();
  }
}

int TReader::ReadInteger() {
  int64_t v = ReadInt64();
  if (v < INT32_MIN || v > INT32_MAX) InvalidValue();
  return static_cast<int>(v);
}

bool TReader::ReadBoolean() {
  TValueType v = ReadValue();
  if (v == vaTrue) return true;
  if (v == vaFalse) return false;
  InvalidValue();
}

char TReader::ReadChar() {
  TValueType v = NextValue();
  if (v == vaInt8 || v == vaInt16 || v == vaInt32) {
    int code = ReadInteger();
    if (code < 0 || code > 255) InvalidValue();
    return static_cast<char>(code);
  }
  std::string s = ReadString();
  if (s.size() != 1) InvalidValue();
  return s[0];
}

double TReader::ReadFloat() {
  switch (NextValue()) {
    case vaExtended: {
      ReadValue();
      uint8_t b[10];
      ReadBytes(b, 10);
      return ExtendedToDouble(b);
    }
    case vaSingle: return ReadSingle();
    case vaDate: return ReadDate();
    case vaCurrency: return static_cast<double>(ReadCurrency()) / 10000.0;
    case vaInt8: case vaInt16: case vaInt32: case vaInt64:
      return static_cast<double>(ReadInt64());
    default: ReadValue(); InvalidValue();
  }
}

float TReader::ReadSingle() {
  if (ReadValue() != vaSingle) InvalidValue();
  auto bits = static_cast<uint32_t>(ReadLittleEndian(4));
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

double TReader::ReadDate() {
  if (ReadValue() != vaDate) InvalidValue();
  uint64_t bits = ReadLittleEndian(8);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

int64_t TReader::ReadCurrency() {
  if (ReadValue() != vaCurrency) InvalidValue();
  return static_cast<int64_t>(ReadLittleEndian(8));
}

std::string TReader::ReadString() {
  switch (ReadValue()) {
    case vaString: return ReadStr();
    case vaLString: case vaUTF8String: return ReadCounted();
    case vaWString: {
      int64_t count = ReadLength();
      if (count > INT32_MAX / 2) StreamReadError();
      CheckAvailable(count * 2);
      std::vector<uint16_t> units(static_cast<size_t>(count));
      for (auto& unit : units) unit = static_cast<uint16_t>(ReadLittleEndian(2));
      return Utf16ToUtf8(units);
    }
    default: InvalidValue();
  }
}

std::string TReader::ReadIdent() {
  switch (ReadValue()) {
    case vaIdent: return ReadStr();
    case vaFalse: return "False";
    case vaTrue: return "True";
    case vaNil: return "nil";
    case vaNull: return "Null";
    default: InvalidValue();
  }
}

Variant TReader::ReadVariant() {
  switch (NextValue()) {
    case vaNil: ReadValue(); return Unassigned;
    case vaNull: ReadValue(); return Null;
    case vaFalse: case vaTrue: return Variant(ReadBoolean());
    case vaInt8: case vaInt16: case vaInt32: {
      int64_t v = ReadInt64();
      return Variant(static_cast<int>(v));
    }
    case vaInt64: return Variant(static_cast<long long>(ReadInt64()));
    case vaExtended: return Variant(ReadFloat());
    case vaSingle: return Variant(ReadSingle());
    case vaDate: return Variant(TDateTime(ReadDate()));
    case vaCurrency: return Variant(Currency::FromRaw(ReadCurrency()));
    case vaString: case vaLString: case vaWString: case vaUTF8String: return Variant(ReadString());
    case vaList: {
      DepthGuard guard(depth_);
      ReadValue();
      std::vector<Variant> items;
      while (!EndOfList()) items.push_back(ReadVariant());
      ReadListEnd();
      return VarArrayOf(items);
    }
    default: ReadValue(); InvalidValue();
  }
}

std::string TReader::ReadBinary() {
  if (ReadValue() != vaBinary) InvalidValue();
  return ReadCounted();
}

void TReader::SkipValue() {
  auto skip = [this](int64_t count) {
    CheckAvailable(count);
    stream_->Seek(count, soCurrent);
  };
  DepthGuard guard(depth_);
  switch (ReadValue()) {
    case vaNull: case vaFalse: case vaTrue: case vaNil: return;
    case vaList:
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      return;
    case vaInt8: skip(1); return;
    case vaInt16: skip(2); return;
    case vaInt32: case vaSingle: skip(4); return;
    case vaInt64: case vaCurrency: case vaDate: skip(8); return;
    case vaExtended: skip(10); return;
    case vaString: case vaIdent: skip(ReadByte()); return;
    case vaLString: case vaUTF8String: case vaBinary: skip(ReadLength()); return;
    case vaWString: skip(ReadLength() * 2); return;
    case vaSet:
      while (!ReadStr().empty()) {
      }
      return;
    case vaCollection:
      while (!EndOfList()) {
        TValueType v = NextValue();
        if (v == vaInt8 || v == vaInt16 || v == vaInt32) ReadInteger();
        ReadListBegin();
        while (!EndOfList()) {
          ReadStr();
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      return;
  }
}

void TReader::ReadCollection(TCollection* collection) {
  DepthGuard guard(depth_);
  collection->BeginUpdate();
  try {
    if (!EndOfList()) {
      // References waiting in the old items would outlive them.
      if (fixups_)
        std::erase_if(*fixups_, [collection](const Fixup& f) {
          auto* item = As<TCollectionItem>(f.instance);
          return item && item->Collection() == collection;
        });
      collection->Clear();
    }
    while (!EndOfList()) {
      TValueType v = NextValue();
      if (v == vaInt8 || v == vaInt16 || v == vaInt32) ReadInteger();  // the item's order
      TCollectionItem* item = collection->Add();
      ReadListBegin();
      while (!EndOfList()) ReadProperty(item);
      ReadListEnd();
    }
    ReadListEnd();
  } catch (...) {
    collection->EndUpdate();
    throw;
  }
  collection->EndUpdate();
}

// ---- Reading components ----

void TReader::BeginLoading() {
  fixups_ = new std::vector<Fixup>();
  loaded_ = new LoadTracker();
}

void TReader::FinishLoading(bool success) {
  std::vector<TComponent*> loaded = loaded_->list;
  if (success) FixupReferences();
  delete fixups_;
  fixups_ = nullptr;
  delete loaded_;
  loaded_ = nullptr;
  for (TComponent* c : loaded) {
    c->ExcludeState(csReading);
    if (!success) c->ExcludeState(csLoading);
  }
  if (success)
    for (TComponent* c : loaded) c->Loaded();
}

void TReader::FixupReferences() {
  for (Fixup& f : *fixups_) {
    std::string name = f.name;
    if (OnReferenceName) OnReferenceName(this, name);
    // A reference that cannot be found (another form not loaded) stays nil.
    if (TComponent* target = FindNestedComponent(f.root, name))
      SetObjectProp(f.instance, f.prop, target);
  }
  fixups_->clear();
}

TComponent* TReader::CreateComponent(const std::string& className) {
  TClass cls = GetClass(className);
  if (!cls && OnFindComponentClass) OnFindComponentClass(this, className, cls);
  if (!cls) throw EClassNotFound("Class " + className + " not found");
  if (!cls->InheritsFrom(TComponent::StaticClass()) || cls->IsAbstract())
    throw EReadError("Invalid stream format: " + className + " is not a component class");
  TObject* obj = cls->Create(owner_);
  auto* component = As<TComponent>(obj);
  if (!component) {
    delete obj;
    throw EReadError("Invalid stream format: " + className + " is not a component class");
  }
  return component;
}

TComponent* TReader::ReadComponent(TComponent* component) {
  bool session = fixups_ == nullptr;
  if (session) BeginLoading();
  TComponent* result = nullptr;
  try {
    // A component made here is freed before loading ends, should reading fail.
    std::unique_ptr<TComponent> created;
    DepthGuard guard(depth_);
    TFilerFlags flags;
    int childPos = 0;
    ReadPrefix(flags, childPos);
    std::string className = ReadStr();
    std::string name = ReadStr();
    result = component;
    // An inherited component already exists in its owner: fill it.
    if (!result && flags.Contains(ffInherited) && owner_) result = owner_->FindComponent(name);
    if (!result) created.reset(result = CreateComponent(className));
    result->IncludeState(csLoading);
    result->IncludeState(csReading);
    loaded_->Add(result);
    if (created || result->Name().empty()) {
      if (OnSetName) OnSetName(this, result, name);
      result->SetName(name);
    }
    if (flags.Contains(ffChildPos) && parent_) parent_->SetChildOrder(result, childPos);
    result->ReadState(this);
    result->ExcludeState(csReading);
    created.release();  // read whole: its owner has it
  } catch (...) {
    if (session) FinishLoading(false);
    throw;
  }
  if (session) FinishLoading(true);
  return result;
}

void TReader::ReadData(TComponent* instance) {
  while (!EndOfList()) ReadProperty(instance);
  ReadListEnd();
  TComponent* oldParent = parent_;
  TComponent* oldOwner = owner_;
  parent_ = instance->GetChildParent();
  owner_ = instance->GetChildOwner();
  if (!owner_) owner_ = root_;
  try {
    while (!EndOfList()) ReadComponent(nullptr);
    ReadListEnd();
  } catch (...) {
    parent_ = oldParent;
    owner_ = oldOwner;
    throw;
  }
  parent_ = oldParent;
  owner_ = oldOwner;
}

TComponent* TReader::ReadRootComponent(TComponent* root) {
  ReadSignature();
  BeginLoading();
  // A root made here is freed after loading ends, should reading fail.
  std::unique_ptr<TComponent> created;
  try {
    TFilerFlags flags;
    int childPos = 0;
    ReadPrefix(flags, childPos);
    std::string className = ReadStr();
    std::string name = ReadStr();
    if (!root) {
      owner_ = nullptr;
      created.reset(root = CreateComponent(className));
      if (OnSetName) OnSetName(this, root, name);
      root->SetName(name);
    } else if (!name.empty() && CompareText(root->Name(), name) != 0) {
      // Keep the root's name unique among its owner's components.
      std::string unique = name;
      TComponent* owner = root->Owner();
      for (int n = 1; owner && owner->FindComponent(unique) && owner->FindComponent(unique) != root;
           ++n)
        unique = name + "_" + std::to_string(n);
      if (OnSetName) OnSetName(this, root, unique);
      root->SetName(unique);
    }
    root_ = lookupRoot_ = owner_ = root;
    parent_ = nullptr;
    root->IncludeState(csLoading);
    root->IncludeState(csReading);
    loaded_->Add(root);
    root->ReadState(this);
    root->ExcludeState(csReading);
  } catch (...) {
    FinishLoading(false);
    root_ = lookupRoot_ = owner_ = nullptr;
    throw;
  }
  created.release();  // read whole: the caller has it
  FinishLoading(true);
  return root;
}

void TReader::ReadComponents(TComponent* owner, TComponent* parent,
                             const std::function<void(TComponent*)>& proc) {
  root_ = lookupRoot_ = owner_ = owner;
  parent_ = parent;
  ReadSignature();
  BeginLoading();
  try {
    // The end of the stream ends the sequence as well as a list end does.
    while (stream_->Position() < stream_->Size() && !EndOfList()) {
      TComponent* c = ReadComponent(nullptr);
      if (proc) proc(c);
    }
    if (stream_->Position() < stream_->Size()) ReadListEnd();
  } catch (...) {
    FinishLoading(false);
    throw;
  }
  FinishLoading(true);
}

// ---- Reading properties ----

void TReader::ReadProperty(TPersistent* instance) {
  std::string path = ReadStr();
  TPersistent* target = instance;
  size_t start = 0;
  // "Font.Name": walk the sub-objects down to the last name.
  for (size_t dot; (dot = path.find('.', start)) != std::string::npos; start = dot + 1) {
    std::string part = path.substr(start, dot - start);
    const TPropInfo* prop = GetPropInfo(target, part);
    auto* next = prop && prop->Kind == tkClass && prop->GetObj
                     ? As<TPersistent>(prop->GetObj(target))
                     : nullptr;
    if (!next) {
      Error("Property " + path + " does not exist");
      SkipValue();
      return;
    }
    target = next;
  }
  std::string name = path.substr(start);
  if (const TPropInfo* prop = GetPropInfo(target, name)) {
    ReadPropValue(target, prop);
    return;
  }
  // Not published: perhaps defined data (DefineProperties), read by its owner.
  std::string savedName = propName_;
  bool savedHandled = propHandled_;
  propName_ = name;
  propHandled_ = false;
  try {
    DefinePropertiesOf(target);
  } catch (...) {
    propName_ = savedName;
    propHandled_ = savedHandled;
    throw;
  }
  bool handled = propHandled_;
  propName_ = savedName;
  propHandled_ = savedHandled;
  if (handled) return;
  Error("Property " + path + " does not exist");
  SkipValue();
}

void TReader::DefineProperty(const std::string& name, const TReaderProc& readData,
                             const TWriterProc&, bool) {
  if (propHandled_ || propName_.empty() || CompareText(name, propName_) != 0) return;
  propHandled_ = true;
  if (readData)
    readData(this);
  else
    SkipValue();
}

void TReader::DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                                   const TStreamProc&, bool) {
  if (propHandled_ || propName_.empty() || CompareText(name, propName_) != 0) return;
  propHandled_ = true;
  if (!readData) {
    SkipValue();
    return;
  }
  TMemoryStream data;
  std::string bytes = ReadBinary();
  data.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  data.SetPosition(0);
  readData(&data);
}

TMethod TReader::FindMethod(TComponent* root, const std::string& methodName) {
  TMethod address = MethodAddress(root, methodName);
  if (!address.Assigned()) {
    bool error = true;
    if (OnFindMethod) OnFindMethod(this, methodName, address, error);
    if (error && !address.Assigned()) Error("Method " + methodName + " not found");
  }
  return address;
}

void TReader::ReadSetValue(TPersistent* instance, const TPropInfo* prop) {
  if (ReadValue() != vaSet) InvalidValue();
  uint64_t bits = 0;
  std::string unknown;
  for (std::string item = ReadStr(); !item.empty(); item = ReadStr()) {
    int v = prop->EnumType->Value(item);
    if (v < 0 || v >= 64)
      unknown = item;
    else
      bits |= uint64_t{1} << v;
  }
  if (!unknown.empty()) {
    Error("Invalid property value: " + unknown + " in " + prop->Name);
    return;
  }
  SetOrdProp(instance, prop, static_cast<int64_t>(bits));
}

void TReader::ReadPropValue(TPersistent* instance, const TPropInfo* prop) {
  if (!prop->IsWritable() && prop->Kind != tkClass) {
    Error("Property " + prop->Name + " is read-only");
    SkipValue();
    return;
  }
  switch (prop->Kind) {
    case tkInteger: case tkInt64: {
      TValueType v = NextValue();
      int64_t value = 0;
      if (v == vaIdent && prop->Idents) {
        std::string ident = ReadIdent();
        if (!prop->Idents->IdentToInt(ident, value)) {
          Error("Invalid property value: " + ident + " for " + prop->Name);
          return;
        }
      } else if (v == vaInt8 || v == vaInt16 || v == vaInt32 || v == vaInt64) {
        value = ReadInt64();
      } else {
        break;
      }
      if (prop->Kind == tkInteger &&
          (value < OrdMin(prop->OrdType) || value > OrdMax(prop->OrdType))) {
        Error("Invalid property value for " + prop->Name);
        return;
      }
      SetOrdProp(instance, prop, value);
      return;
    }
    case tkChar: case tkWChar:
      SetOrdProp(instance, prop, static_cast<unsigned char>(ReadChar()));
      return;
    case tkEnumeration: {
      TValueType v = NextValue();
      if (v != vaIdent && v != vaFalse && v != vaTrue) break;
      std::string ident = ReadIdent();
      int value = prop->EnumType->Value(ident);
      if (value < 0) {
        Error("Invalid property value: " + ident + " for " + prop->Name);
        return;
      }
      SetOrdProp(instance, prop, value);
      return;
    }
    case tkSet:
      if (NextValue() != vaSet) break;
      ReadSetValue(instance, prop);
      return;
    case tkFloat:
      SetFloatProp(instance, prop, ReadFloat());
      return;
    case tkString: case tkLString: case tkWString:
      SetStrProp(instance, prop, ReadString());
      return;
    case tkMethod: {
      TValueType v = NextValue();
      if (v == vaNil) {
        ReadValue();
        SetMethodProp(instance, prop, TMethod{});
        return;
      }
      if (v != vaIdent) break;
      std::string handler = ReadIdent();
      TMethod method = FindMethod(lookupRoot_, handler);
      if (!method.Assigned()) return;  // the error was handled
      try {
        SetMethodProp(instance, prop, method);
      } catch (const EPropertyError& e) {
        Error(e.Message());
      }
      return;
    }
    case tkClass: {
      TValueType v = NextValue();
      if (v == vaNil) {
        ReadValue();
        if (prop->SetObj) SetObjectProp(instance, prop, nullptr);
        return;
      }
      if (v == vaCollection) {
        auto* collection = As<TCollection>(GetObjectProp(instance, prop));
        if (!collection) break;
        ReadValue();
        ReadCollection(collection);
        return;
      }
      if (v == vaIdent && prop->SetObj &&
          prop->PropClass->InheritsFrom(TComponent::StaticClass())) {
        // Resolved once the whole tree is read; the target may come later.
        fixups_->push_back({instance, prop, ReadIdent(), lookupRoot_});
        return;
      }
      break;
    }
    case tkVariant:
      SetVariantProp(instance, prop, ReadVariant());
      return;
    default:
      break;
  }
  Error("Invalid property value for " + prop->Name);
  SkipValue();
}

// ---- TWriter ------------------------------------------------------------------

TWriter::TWriter(TStream* stream, int) : TFiler(stream) {}

void TWriter::WriteBytes(const void* buffer, int64_t count) { stream_->WriteBuffer(buffer, count); }

void TWriter::WriteLittleEndian(uint64_t value, int size) {
  uint8_t b[8];
  for (int i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(value >> (8 * i));
  WriteBytes(b, size);
}

void TWriter::WriteLength(size_t length) {
  if (length > INT32_MAX) throw EWriteError("Stream write error");
  WriteLittleEndian(length, 4);
}

void TWriter::WriteValue(TValueType value) {
  uint8_t b = value;
  WriteBytes(&b, 1);
}

void TWriter::WriteSignature() { WriteBytes(kSignature, 4); }

void TWriter::WritePrefix(TFilerFlags flags, int childPos) {
  if (flags.Empty()) return;
  uint8_t b = static_cast<uint8_t>(0xF0 | flags.Bits());
  WriteBytes(&b, 1);
  if (flags.Contains(ffChildPos)) WriteInteger(childPos);
}

void TWriter::WriteListBegin() { WriteValue(vaList); }
void TWriter::WriteListEnd() { WriteValue(vaNull); }

void TWriter::WriteInteger(int64_t value) {
  if (value >= INT8_MIN && value <= INT8_MAX) {
    WriteValue(vaInt8);
    WriteLittleEndian(static_cast<uint64_t>(value), 1);
  } else if (value >= INT16_MIN && value <= INT16_MAX) {
    WriteValue(vaInt16);
    WriteLittleEndian(static_cast<uint64_t>(value), 2);
  } else if (value >= INT32_MIN && value <= INT32_MAX) {
    WriteValue(vaInt32);
    WriteLittleEndian(static_cast<uint64_t>(value), 4);
  } else {
    WriteValue(vaInt64);
    WriteLittleEndian(static_cast<uint64_t>(value), 8);
  }
}

void TWriter::WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }

void TWriter::WriteChar(char value) { WriteString(std::string(1, value)); }

void TWriter::WriteFloat(double value) {
  WriteValue(vaExtended);
  uint8_t b[10];
  DoubleToExtended(value, b);
  WriteBytes(b, 10);
}

void TWriter::WriteSingle(float value) {
  WriteValue(vaSingle);
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  WriteLittleEndian(bits, 4);
}

void TWriter::WriteDate(double value) {
  WriteValue(vaDate);
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  WriteLittleEndian(bits, 8);
}

void TWriter::WriteCurrency(int64_t scaledBy10000) {
  WriteValue(vaCurrency);
  WriteLittleEndian(static_cast<uint64_t>(scaledBy10000), 8);
}

void TWriter::WriteString(const std::string& value) {
  if (!IsAscii(value)) {
    WriteValue(vaUTF8String);
    WriteLength(value.size());
  } else if (value.size() > 255) {
    WriteValue(vaLString);
    WriteLength(value.size());
  } else {
    WriteValue(vaString);
    uint8_t len = static_cast<uint8_t>(value.size());
    WriteBytes(&len, 1);
  }
  if (!value.empty()) WriteBytes(value.data(), static_cast<int64_t>(value.size()));
}

void TWriter::WriteStr(const std::string& value) {
  if (value.size() > 255)
    throw EWriteError("Name too long for a form definition: " + value.substr(0, 64));
  uint8_t len = static_cast<uint8_t>(value.size());
  WriteBytes(&len, 1);
  if (len) WriteBytes(value.data(), len);
}

void TWriter::WriteIdent(const std::string& ident) {
  if (CompareText(ident, "False") == 0)
    WriteValue(vaFalse);
  else if (CompareText(ident, "True") == 0)
    WriteValue(vaTrue);
  else if (CompareText(ident, "nil") == 0)
    WriteValue(vaNil);
  else {
    WriteValue(vaIdent);
    WriteStr(ident);
  }
}

void TWriter::WriteVariant(const Variant& value) {
  if (value.IsArray()) {
    WriteListBegin();
    for (int i = VarArrayLowBound(value); i <= VarArrayHighBound(value); ++i) {
      Variant item = VarArrayGet(value, i);
      // Null's value kind is the list end itself: it cannot stand inside a list.
      if (item.IsNull() || item.IsArray())
        throw EWriteError("Unsupported variant type: an array holding Null or arrays");
      WriteVariant(item);
    }
    WriteListEnd();
    return;
  }
  switch (VarType(value)) {
    case varEmpty: WriteValue(vaNil); return;
    case varNull: WriteValue(vaNull); return;
    case varBoolean: WriteBoolean(value.AsBoolean()); return;
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord:
    case varLongWord: case varInt64:
      WriteInteger(value.AsInt64());
      return;
    case varSingle: WriteSingle(static_cast<float>(value.AsDouble())); return;
    case varDouble: WriteFloat(value.AsDouble()); return;
    case varCurrency: WriteCurrency(value.AsCurrency().Raw()); return;
    case varDate: WriteDate(value.AsDateTime().Value); return;
    case varOleStr: case varString: WriteString(value.AsString()); return;
    default: throw EWriteError("Unsupported variant type: " + VarTypeAsText(VarType(value)));
  }
}

void TWriter::WriteBinary(const std::string& bytes) {
  WriteValue(vaBinary);
  WriteLength(bytes.size());
  if (!bytes.empty()) WriteBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TWriter::WritePropName(const std::string& name) { WriteStr(propPath_ + name); }

void TWriter::WriteCollection(TCollection* collection) {
  WriteValue(vaCollection);
  if (collection) {
    std::string savedPath = propPath_;
    propPath_.clear();
    for (int i = 0; i < collection->Count(); ++i) {
      WriteListBegin();
      WriteProperties(collection->Items(i));
      WriteListEnd();
    }
    propPath_ = savedPath;
  }
  WriteListEnd();
}

std::string TWriter::ReferenceName(TComponent* component) const {
  if (component == lookupRoot_) return "Owner";
  if (component->Name().empty()) return {};
  // A path of names down from the root ("Panel1.Edit1")...
  std::string path = component->Name();
  for (TComponent* owner = component->Owner(); owner; owner = owner->Owner()) {
    if (owner == lookupRoot_) return path;
    if (owner->Name().empty()) break;
    path = owner->Name() + "." + path;
  }
  // ... or, outside the root, the owner's name and the component's.
  if (component->Owner() && !component->Owner()->Name().empty())
    return component->Owner()->Name() + "." + component->Name();
  return component->Name();
}

void TWriter::WriteProperty(TPersistent* instance, const TPropInfo* prop) {
  if (!prop->IsReadable() || !IsStoredProp(instance, prop)) return;
  // A read-only property could not be read back; sub-objects fill in place.
  if (prop->Kind != tkClass && !prop->IsWritable()) return;
  switch (prop->Kind) {
    case tkInteger: case tkInt64: case tkChar: case tkWChar: case tkEnumeration: case tkSet: {
      if (!prop->AlwaysStored && IsDefaultPropertyValue(instance, prop)) return;
      int64_t value = GetOrdProp(instance, prop);
      WritePropName(prop->Name);
      if (prop->Kind == tkChar || prop->Kind == tkWChar) {
        WriteChar(static_cast<char>(value));
      } else if (prop->Kind == tkSet) {
        WriteValue(vaSet);
        for (int i = 0; i < prop->EnumType->Count() && i < 64; ++i)
          if (static_cast<uint64_t>(value) & (uint64_t{1} << i)) WriteStr(prop->EnumType->Name(i));
        WriteStr("");
      } else if (prop->Kind == tkEnumeration) {
        if (prop->EnumType == &BooleanInfo())
          WriteBoolean(value != 0);
        else if (!prop->EnumType->Name(value).empty())
          WriteIdent(prop->EnumType->Name(value));
        else
          WriteInteger(value);
      } else if (std::string ident; prop->Idents && prop->Idents->IntToIdent(value, ident)) {
        WriteIdent(ident);
      } else {
        WriteInteger(value);
      }
      return;
    }
    case tkFloat: {
      if (!prop->AlwaysStored && IsDefaultPropertyValue(instance, prop)) return;
      double value = GetFloatProp(instance, prop);
      WritePropName(prop->Name);
      if (prop->FloatType == TFloatType::Single)
        WriteSingle(static_cast<float>(value));
      else if (prop->FloatType == TFloatType::Date)
        WriteDate(value);
      else if (prop->FloatType == TFloatType::Currency)
        WriteCurrency(std::llround(value * 10000.0));
      else
        WriteFloat(value);
      return;
    }
    case tkString: case tkLString: case tkWString:
      if (!prop->AlwaysStored && IsDefaultPropertyValue(instance, prop)) return;
      WritePropName(prop->Name);
      WriteString(GetStrProp(instance, prop));
      return;
    case tkMethod: {
      TMethod method = GetMethodProp(instance, prop);
      if (!method.Assigned()) return;
      // Only handlers the root publishes can be named in the stream.
      std::string name = MethodName(lookupRoot_, method);
      if (name.empty()) return;
      WritePropName(prop->Name);
      WriteIdent(name);
      return;
    }
    case tkVariant: {
      Variant value = GetVariantProp(instance, prop);
      if (value.IsEmpty() && !prop->AlwaysStored) return;
      WritePropName(prop->Name);
      WriteVariant(value);
      return;
    }
    case tkClass: {
      TObject* value = GetObjectProp(instance, prop);
      if (auto* component = As<TComponent>(value)) {
        std::string name = ReferenceName(component);
        if (name.empty()) return;
        WritePropName(prop->Name);
        WriteIdent(name);
      } else if (auto* collection = As<TCollection>(value)) {
        WritePropName(prop->Name);
        WriteCollection(collection);
      } else if (auto* persistent = As<TPersistent>(value)) {
        std::string savedPath = propPath_;
        propPath_ += prop->Name + ".";
        WriteProperties(persistent);
        propPath_ = savedPath;
      }
      return;
    }
    default:
      return;
  }
}

void TWriter::WriteProperties(TPersistent* instance) {
  for (const TPropInfo* prop : GetPropList(instance)) WriteProperty(instance, prop);
  DefinePropertiesOf(instance);
}

void TWriter::DefineProperty(const std::string& name, const TReaderProc&,
                             const TWriterProc& writeData, bool hasData) {
  if (!hasData || !writeData) return;
  WritePropName(name);
  writeData(this);
}

void TWriter::DefineBinaryProperty(const std::string& name, const TStreamProc&,
                                   const TStreamProc& writeData, bool hasData) {
  if (!hasData || !writeData) return;
  TMemoryStream data;
  writeData(&data);
  std::string bytes(static_cast<size_t>(data.Size()), '\0');
  data.SetPosition(0);
  if (!bytes.empty()) data.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  WritePropName(name);
  WriteBinary(bytes);
}

void TWriter::WriteComponent(TComponent* component) {
  component->IncludeState(csWriting);
  try {
    WriteStr(component->ClassName());
    WriteStr(component->Name());
    component->WriteState(this);
  } catch (...) {
    component->ExcludeState(csWriting);
    throw;
  }
  component->ExcludeState(csWriting);
}

void TWriter::WriteData(TComponent* instance) {
  std::string savedPath = propPath_;
  propPath_.clear();
  WriteProperties(instance);
  propPath_ = savedPath;
  WriteListEnd();
  instance->GetChildren([this](TComponent* child) { WriteComponent(child); }, root_);
  WriteListEnd();
}

void TWriter::WriteRootComponent(TComponent* root) { WriteDescendent(root, nullptr); }

void TWriter::WriteDescendent(TComponent* root, TComponent*) {
  root_ = lookupRoot_ = root;
  WriteSignature();
  WriteComponent(root);
}

// ---- Components of other roots ------------------------------------------------------

int RegisterFindGlobalComponentProc(TFindGlobalComponent finder) {
  static int nextHandle = 0;
  GlobalFinders().emplace_back(++nextHandle, std::move(finder));
  return nextHandle;
}

void UnregisterFindGlobalComponentProc(int handle) {
  std::erase_if(GlobalFinders(), [handle](const auto& f) { return f.first == handle; });
}

TComponent* FindGlobalComponent(const std::string& name) {
  for (const auto& [handle, finder] : GlobalFinders())
    if (TComponent* c = finder(name)) return c;
  return nullptr;
}

// ---- Helpers --------------------------------------------------------------------

void WriteComponentToStream(TStream* stream, TComponent* instance) {
  TWriter writer(stream);
  writer.WriteRootComponent(instance);
}

TComponent* ReadComponentFromStream(TStream* stream, TComponent* instance) {
  TReader reader(stream);
  return reader.ReadRootComponent(instance);
}

std::string WriteComponentToText(TComponent* instance) {
  TMemoryStream binary;
  WriteComponentToStream(&binary, instance);
  binary.SetPosition(0);
  TStringStream text;
  ObjectBinaryToText(&binary, &text);
  return text.DataString();
}

TComponent* ReadComponentFromText(const std::string& text, TComponent* instance) {
  TStringStream source(text);
  TMemoryStream binary;
  ObjectTextToBinary(&source, &binary);
  binary.SetPosition(0);
  return ReadComponentFromStream(&binary, instance);
}
