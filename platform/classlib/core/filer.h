#pragma once
// Component streaming: TWriter writes a component tree (published properties
// that differ from their defaults, defined properties, owned children) as a
// binary form definition starting with "TPF0"; TReader reads it back, creating
// components by class name, fixing up references by name once the whole tree
// is read and then calling Loaded. ObjectBinaryToText / ObjectTextToBinary
// convert between the binary form and the text form
// ("object Form1: TForm1 ... end").
//
// Property values by kind:
//   integers, Booleans, chars       numbers, True/False, one-character strings
//   enumerations, sets              identifiers: alClient, [goBorder, goShadow]
//   floats, strings                 1.5, 'text'#13#10'more'
//   TComponent references           the component's name (fixed up after reading)
//   events                          the name of a published method of the root
//   TCollection                     <item ... end>
//   other TPersistent sub-objects   their own properties: Font.Name = 'Arial'
//   TStrings                        Lines.Strings = ('one' 'two')
// A damaged stream raises EReadError / EFilerError (EComponentError for a
// component name that is no identifier or is taken), never more.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/core/component.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/streams.h"

class TCollection;

enum TValueType : uint8_t {
  vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue,
  vaBinary, vaSet, vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString,
  vaInt64, vaUTF8String
};

// Flags of a component's header in the binary form.
enum TFilerFlag { ffInherited, ffChildPos, ffInline };
using TFilerFlags = TSet<TFilerFlag>;

using TReaderProc = std::function<void(TReader* reader)>;
using TWriterProc = std::function<void(TWriter* writer)>;
using TStreamProc = std::function<void(TStream* stream)>;

class TFiler : public TObject {
  DECLARE_CLASS(TFiler, TObject)
 public:
  explicit TFiler(TStream* stream);

  TComponent* Root() const { return root_; }
  // Also the lookup root.
  void SetRoot(TComponent* root) { root_ = lookupRoot_ = root; }
  // The component that names references and handlers (the root by default).
  TComponent* LookupRoot() const { return lookupRoot_; }
  TStream* Stream() const { return stream_; }

  // Declares data that is not a published property, from DefineProperties.
  // The reader calls readData when the stream holds a property of that name;
  // the writer calls writeData when hasData. A key of older layouts that is
  // read and dropped: a readData that calls reader->SkipValue(), no writeData.
  virtual void DefineProperty(const std::string& name, const TReaderProc& readData,
                              const TWriterProc& writeData, bool hasData) = 0;
  // The same for raw bytes, streamed as a binary value.
  virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                                    const TStreamProc& writeData, bool hasData) = 0;

 protected:
  // Lets the filer reach TPersistent::DefineProperties of any object, and adds
  // the implied "Strings" property of string lists.
  void DefinePropertiesOf(TPersistent* instance);

  TStream* stream_;
  TComponent* root_ = nullptr;
  TComponent* lookupRoot_ = nullptr;
};

class TReader : public TFiler {
  DECLARE_CLASS(TReader, TFiler)
 public:
  explicit TReader(TStream* stream, int bufSize = 4096);
  ~TReader() override;

  // ---- Reading components ----
  // Reads a whole form definition ("TPF0", one component and its children).
  // With root nullptr the root is created from the stream's class name.
  TComponent* ReadRootComponent(TComponent* root);
  // Reads the components that follow the signature, owned by owner and
  // parented by parent, calling proc for each; then fixes references up and
  // calls Loaded. The end of the stream also ends the sequence.
  void ReadComponents(TComponent* owner, TComponent* parent,
                      const std::function<void(TComponent*)>& proc);
  // Reads one component (header, properties, children); a given instance is
  // filled instead of creating one.
  TComponent* ReadComponent(TComponent* component);
  // Reads the properties and children of instance (TComponent::ReadState).
  void ReadData(TComponent* instance);
  void ReadSignature();
  void ReadPrefix(TFilerFlags& flags, int& childPos);

  TComponent* Owner() const { return owner_; }
  void SetOwner(TComponent* owner) { owner_ = owner; }
  TComponent* Parent() const { return parent_; }
  void SetParent(TComponent* parent) { parent_ = parent; }

  // ---- Reading values ----
  TValueType NextValue();
  TValueType ReadValue();
  // Reads and drops the next value, whatever it is.
  void SkipValue();
  bool EndOfList();
  void ReadListBegin();
  void ReadListEnd();
  int ReadInteger();
  int64_t ReadInt64();
  bool ReadBoolean();
  char ReadChar();
  double ReadFloat();
  float ReadSingle();
  double ReadDate();
  int64_t ReadCurrency();  // scaled by 10000
  std::string ReadString();
  std::string ReadIdent();
  // A short string (a length byte and the bytes): names in headers.
  std::string ReadStr();
  void ReadCollection(TCollection* collection);
  // Any simple value as a Variant: nil is Unassigned, Null is Null, a list an array.
  Variant ReadVariant();
  // The bytes of a binary value.
  std::string ReadBinary();

  // ---- Hooks ----
  // A reader error (unknown property, missing handler, bad value); set
  // handled to skip the value and go on.
  std::function<void(TReader* reader, const std::string& message, bool& handled)> OnError;
  // A handler name the root does not publish: set address to go on, or leave
  // error true to fail.
  std::function<void(TReader* reader, const std::string& methodName, TMethod& address,
                     bool& error)>
      OnFindMethod;
  // The name about to be given to a component read; may be changed.
  std::function<void(TReader* reader, TComponent* component, std::string& name)> OnSetName;
  // A component reference about to be looked up; may be changed.
  std::function<void(TReader* reader, std::string& name)> OnReferenceName;
  // A class name not registered: set componentClass to go on.
  std::function<void(TReader* reader, const std::string& className, TClass& componentClass)>
      OnFindComponentClass;

  void DefineProperty(const std::string& name, const TReaderProc& readData,
                      const TWriterProc& writeData, bool hasData) override;
  void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                            const TStreamProc& writeData, bool hasData) override;

 protected:
  // Reports an error through OnError; raises EReadError(message) unless handled.
  bool Error(const std::string& message);
  TMethod FindMethod(TComponent* root, const std::string& methodName);

 private:
  struct Fixup;
  class LoadTracker;

  void ReadProperty(TPersistent* instance);
  void ReadPropValue(TPersistent* instance, const TPropInfo* prop);
  void ReadSetValue(TPersistent* instance, const TPropInfo* prop);
  void ReadStringsLines(TObject* strings);
  TComponent* CreateComponent(const std::string& className);
  void FixupReferences();
  void FinishLoading(bool success);
  void BeginLoading();
  void ReadBytes(void* buffer, int64_t count);
  // Raises EReadError unless count more bytes are left in the stream.
  void CheckAvailable(int64_t count);
  uint8_t ReadByte();
  uint64_t ReadLittleEndian(int size);
  // A 4-byte length (EReadError when negative), and such a length with its bytes.
  int64_t ReadLength();
  std::string ReadCounted();
  [[noreturn]] void InvalidValue();

  TComponent* owner_ = nullptr;
  TComponent* parent_ = nullptr;
  std::string propName_;      // the property being resolved through DefineProperties
  bool propHandled_ = false;
  int depth_ = 0;             // nesting of lists, collections and components
  std::vector<Fixup>* fixups_ = nullptr;
  LoadTracker* loaded_ = nullptr;
};

class TWriter : public TFiler {
  DECLARE_CLASS(TWriter, TFiler)
 public:
  explicit TWriter(TStream* stream, int bufSize = 4096);

  // Writes the signature and the whole tree of root.
  void WriteRootComponent(TComponent* root);
  // As WriteRootComponent. Inherited forms are not compared with an ancestor:
  // everything that differs from the declared defaults is written.
  void WriteDescendent(TComponent* root, TComponent* ancestor);
  // Writes one component: header, properties, then its children.
  void WriteComponent(TComponent* component);
  // Properties and children of instance (TComponent::WriteState).
  void WriteData(TComponent* instance);
  void WriteSignature();
  void WritePrefix(TFilerFlags flags, int childPos);

  void WriteValue(TValueType value);
  void WriteListBegin();
  void WriteListEnd();
  // Written in the smallest integer kind that holds the value.
  void WriteInteger(int64_t value);
  void WriteBoolean(bool value);
  void WriteChar(char value);
  void WriteFloat(double value);
  void WriteSingle(float value);
  void WriteDate(double value);
  void WriteCurrency(int64_t scaledBy10000);
  // vaString for short ASCII text, vaLString for longer, vaUTF8String for
  // text with non-ASCII bytes.
  void WriteString(const std::string& value);
  void WriteIdent(const std::string& ident);
  // A short string (at most 255 bytes): raises EWriteError when longer.
  void WriteStr(const std::string& value);
  void WriteBinary(const std::string& bytes);
  // By the variant's type; arrays as lists. EWriteError for error values.
  void WriteVariant(const Variant& value);
  void WriteCollection(TCollection* collection);
  // Published and defined properties of instance.
  void WriteProperties(TPersistent* instance);

  void DefineProperty(const std::string& name, const TReaderProc& readData,
                      const TWriterProc& writeData, bool hasData) override;
  void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                            const TStreamProc& writeData, bool hasData) override;

 private:
  void WriteProperty(TPersistent* instance, const TPropInfo* prop);
  void WritePropName(const std::string& name);
  std::string ReferenceName(TComponent* component) const;
  void WriteBytes(const void* buffer, int64_t count);
  void WriteLittleEndian(uint64_t value, int size);
  void WriteLength(size_t length);

  std::string propPath_;  // "Font." while writing a sub-object's properties
};

// ---- Components of other roots ------------------------------------------------
// A reference "frmMain.dsBugs" whose first name is not found under the root
// being read is looked up among the top-level components the registered
// finders know (the application's forms, by name).
using TFindGlobalComponent = std::function<TComponent*(const std::string& name)>;
// Returns a handle for UnregisterFindGlobalComponentProc.
int RegisterFindGlobalComponentProc(TFindGlobalComponent finder);
void UnregisterFindGlobalComponentProc(int handle);
TComponent* FindGlobalComponent(const std::string& name);

// ---- Converters and helpers ---------------------------------------------------
// Text form of a binary form definition, from input's position to output.
void ObjectBinaryToText(TStream* input, TStream* output);
// Binary form of a text form definition. Raises EParserError with the line
// number for malformed text.
void ObjectTextToBinary(TStream* input, TStream* output);

// Writes instance and its children as a binary form definition.
void WriteComponentToStream(TStream* stream, TComponent* instance);
// Reads a binary form definition into instance (nullptr: creates the root).
TComponent* ReadComponentFromStream(TStream* stream, TComponent* instance);
// The same through the text form.
std::string WriteComponentToText(TComponent* instance);
TComponent* ReadComponentFromText(const std::string& text, TComponent* instance);
