#include "platform/classlib/core/filer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "platform/classlib/core/collection.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/english_settings.h"

namespace {

DECLARE_ENUM(TBoxAlign, baNone, baTop, baClient)
DECLARE_ENUM(TBoxOption, boBorder, boShadow, boRounded)
using TBoxOptions = TSet<TBoxOption>;

class TBoxFont : public TPersistent {
  DECLARE_CLASS(TBoxFont, TPersistent)
 public:
  std::string FName = "Sans";
  int FSize = 8;
  void Assign(const TPersistent* source) override {
    if (auto* f = As<const TBoxFont>(source)) {
      FName = f->FName;
      FSize = f->FSize;
      return;
    }
    TPersistent::Assign(source);
  }
};

class TBoxColumn : public TCollectionItem {
  DECLARE_CLASS(TBoxColumn, TCollectionItem)
 public:
  explicit TBoxColumn(TCollection* c = nullptr) : TCollectionItem(c) {}
  std::string FTitle;
  int FWidth = 50;
  TComponent* FSource = nullptr;
};

class TBox : public TComponent {
  DECLARE_CLASS(TBox, TComponent)
 public:
  explicit TBox(TComponent* owner) : TComponent(owner) {}
  ~TBox() override {
    delete FFont;
    delete FLines;
    delete FColumns;
  }

  std::string FCaption;
  int FWidth = 100;
  bool FVisible = true;
  TBoxAlign FAlign = baNone;
  TBoxOptions FOptions{boBorder};
  double FRatio = 0;
  float FScale = 0;
  char FMark = 'x';
  int64_t FBig = 0;
  int16_t FShort = 0;
  int32_t FColor = 0x00FFFFFF;
  Variant FValue;
  TDateTime FWhen;
  Currency FPrice;
  TBoxFont* FFont = new TBoxFont;
  TStringList* FLines = new TStringList;
  TCollection* FColumns = new TCollection(TBoxColumn::StaticClass());
  TBox* FBuddy = nullptr;
  std::function<void(TObject*)> OnClick;
  std::string FData;         // streamed as binary data
  std::string FVersion = "3.01";
  int legacyRead = 0;        // old keys seen and dropped
  TComponent* parentAtReadState = nullptr;
  TComponent* FParent = nullptr;
  bool hasParent = false;
  bool streamsOwned = false;  // writes the components it owns inside itself
  bool buddyKnownAtLoaded = false;
  int loadedCalls = 0;

  void SetFont(TBoxFont* f) { FFont->Assign(f); }
  void SetLines(TStringList* l) { FLines->Assign(l); }
  void SetBuddy(TBox* b) {
    FBuddy = b;
    if (b) b->FreeNotification(this);
  }

  bool HasParent() const override { return hasParent; }
  void GetChildren(const TGetChildProc& proc, TComponent* root) override {
    if (!streamsOwned) return TComponent::GetChildren(proc, root);
    for (int i = 0; i < ComponentCount(); ++i)
      if (!Components(i)->HasParent()) proc(Components(i));
  }
  TComponent* GetChildOwner() override { return streamsOwned ? this : nullptr; }
  TComponent* GetParentComponent() const override { return FParent; }
  void SetParentComponent(TComponent* p) override { FParent = p; }
  void ReadState(TReader* reader) override {
    parentAtReadState = reader->Parent();
    TComponent::ReadState(reader);
  }
  void Loaded() override {
    TComponent::Loaded();
    ++loadedCalls;
    buddyKnownAtLoaded = FBuddy != nullptr;
  }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == FBuddy) FBuddy = nullptr;
  }
  void DefineProperties(TFiler* filer) override {
    TComponent::DefineProperties(filer);
    filer->DefineBinaryProperty(
        "Data",
        [this](TStream* s) {
          FData.assign(static_cast<size_t>(s->Size()), '\0');
          if (!FData.empty()) s->ReadBuffer(FData.data(), s->Size());
        },
        [this](TStream* s) { s->WriteBuffer(FData.data(), static_cast<int64_t>(FData.size())); },
        !FData.empty());
    filer->DefineProperty(
        "Version", [this](TReader* r) { FVersion = r->ReadString(); },
        [this](TWriter* w) { w->WriteString(FVersion); }, true);
    // Keys of older layouts: read and dropped.
    filer->DefineProperty("OldLeft", [this](TReader* r) { r->SkipValue(); ++legacyRead; }, nullptr, false);
    filer->DefineProperty("OldName", [this](TReader* r) { r->ReadIdent(); ++legacyRead; }, nullptr, false);
  }
};

// A box that writes the boxes it owns inside itself.
class TOwnerBox : public TBox {
  DECLARE_CLASS(TOwnerBox, TBox)
 public:
  explicit TOwnerBox(TComponent* owner) : TBox(owner) { streamsOwned = true; }
};

// A container of items that the form owns (as a report holds bands): it lists
// them as its children; they find it again as their parent component.
class TShelfItem;
class TShelf : public TComponent {
  DECLARE_CLASS(TShelf, TComponent)
 public:
  explicit TShelf(TComponent* owner) : TComponent(owner) {}
  std::vector<TShelfItem*> items;
  void GetChildren(const TGetChildProc& proc, TComponent*) override;

 protected:
  void Notification(TComponent* c, TOperation op) override;
};

class TShelfItem : public TComponent {
  DECLARE_CLASS(TShelfItem, TComponent)
 public:
  explicit TShelfItem(TComponent* owner) : TComponent(owner) {}
  ~TShelfItem() override { SetParentComponent(nullptr); }
  TShelf* shelf = nullptr;
  int FSize = 0;
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override { return shelf; }
  void SetParentComponent(TComponent* parent) override {
    if (shelf) std::erase(shelf->items, this);
    shelf = As<TShelf>(parent);
    if (shelf) shelf->items.push_back(this);
  }
};

void TShelf::GetChildren(const TGetChildProc& proc, TComponent*) {
  for (TShelfItem* item : items) proc(item);
}
void TShelf::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op == opRemove) std::erase(items, c);
}

// A root that publishes handlers by name.
class TBoxForm : public TComponent {
  DECLARE_CLASS(TBoxForm, TComponent)
 public:
  explicit TBoxForm(TComponent* owner) : TComponent(owner) {}
  int clicks = 0;
  int FHeight = 300;
  void BoxClick(TObject*) { ++clicks; }
  void WrongSignature(TObject*, int&) {}
};

// A class that is registered but is not a component.
class TNotAComponent : public TPersistent {
  DECLARE_CLASS(TNotAComponent, TPersistent)
};

}  // namespace

IMPLEMENT_CLASS(TBoxFont, TPersistent)
PUBLISHED(TBoxFont) {
  PROP_STR(Name, FName, FName, "Sans");
  PROP_INT(Size, FSize, FSize, 8);
}
IMPLEMENT_CLASS(TBoxColumn, TCollectionItem)
PUBLISHED(TBoxColumn) {
  PROP_STR(Title, FTitle, FTitle, "");
  PROP_INT(Width, FWidth, FWidth, 50);
  PROP_OBJ(Source, FSource, FSource);
}
const TIdentMap BoxColors{{0x000000, "clBlack"}, {0x0000FF, "clRed"}, {0xFFFFFF, "clWhite"}};

IMPLEMENT_CLASS(TBox, TComponent)
PUBLISHED(TBox) {
  PROP_STR(Caption, FCaption, FCaption, "");
  PROP_INT(Width, FWidth, FWidth, 100);
  PROP_BOOL(Visible, FVisible, FVisible, true);
  PROP_ENUM(Align, FAlign, FAlign, baNone);
  PROP_SET(Options, FOptions, FOptions, TBoxOptions{boBorder});
  PROP_FLOAT(Ratio, FRatio, FRatio, 0.0);
  PROP_FLOAT(Scale, FScale, FScale, 0.0);
  PROP_CHAR(Mark, FMark, FMark, 'x');
  PROP_INT(Big, FBig, FBig, 0);
  PROP_INT(Short, FShort, FShort, 0);
  PROP_INT(Color, FColor, FColor, 0xFFFFFF).Idents(BoxColors);
  PROP_VARIANT(Value, FValue, FValue);
  PROP_FLOAT(When, FWhen, FWhen, 0.0);
  PROP_FLOAT(Price, FPrice, FPrice, 0.0);
  PROP_OBJ(Font, FFont, SetFont);
  PROP_OBJ(Lines, FLines, SetLines);
  PROP_OBJ(Columns, FColumns, FColumns);
  PROP_OBJ(Buddy, FBuddy, SetBuddy);
  PROP_EVENT(OnClick);
}
IMPLEMENT_CLASS(TOwnerBox, TBox)
IMPLEMENT_CLASS(TShelf, TComponent)
IMPLEMENT_CLASS(TShelfItem, TComponent)
PUBLISHED(TShelfItem) { PROP_INT(Size, FSize, FSize, 0); }
IMPLEMENT_CLASS(TBoxForm, TComponent)
PUBLISHED(TBoxForm) {
  PROP_INT(Height, FHeight, FHeight, 300).AlwaysStored();
  PUBLISHED_METHOD(BoxClick);
  PUBLISHED_METHOD(WrongSignature);
}
IMPLEMENT_CLASS(TNotAComponent, TPersistent)

// Counts its live objects, to show what a failed read leaves behind.
class TCountedBox : public TBox {
  DECLARE_CLASS(TCountedBox, TBox)
 public:
  explicit TCountedBox(TComponent* owner) : TBox(owner) { ++Live; }
  ~TCountedBox() override { --Live; }
  static inline int Live = 0;
};
IMPLEMENT_CLASS(TCountedBox, TBox)

namespace {

std::string Bytes(TMemoryStream& s) {
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

std::string ToBinary(TComponent* root) {
  TMemoryStream s;
  WriteComponentToStream(&s, root);
  return Bytes(s);
}

TComponent* FromBinary(const std::string& bytes, TComponent* root = nullptr) {
  TMemoryStream s;
  s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  s.SetPosition(0);
  return ReadComponentFromStream(&s, root);
}

std::string BinaryToText(const std::string& bytes) {
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  in.SetPosition(0);
  TStringStream out;
  ObjectBinaryToText(&in, &out);
  return out.DataString();
}

std::string TextToBinary(const std::string& text) {
  TStringStream in(text);
  TMemoryStream out;
  ObjectTextToBinary(&in, &out);
  return Bytes(out);
}

// The binary form of text, positioned at its start, for a reader with hooks.
std::unique_ptr<TMemoryStream> BinaryStream(const std::string& text) {
  auto s = std::make_unique<TMemoryStream>();
  std::string bytes = TextToBinary(text);
  s->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  s->SetPosition(0);
  return s;
}

// A form with two boxes that refer to each other, a nested child and most kinds of value.
TBoxForm* MakeForm() {
  auto* form = new TBoxForm(nullptr);
  form->SetName("frmMain");
  auto* a = new TBox(form);
  a->SetName("boxA");
  auto* b = new TBox(form);
  b->SetName("boxB");
  a->FCaption = "It's \"quoted\"\r\nand on two lines: \xC3\xA9t\xC3\xA9";
  a->FWidth = 250;
  a->FVisible = false;
  a->FAlign = baClient;
  a->FOptions = TBoxOptions{boShadow, boRounded};
  a->FRatio = 0.1;
  a->FScale = 2.5f;
  a->FMark = 'Q';
  a->FBig = int64_t{1} << 40;
  a->FShort = -300;
  a->FFont->FName = "Serif";
  a->FLines->Add("first");
  a->FLines->Add("");
  a->FLines->Add("third 'line'");
  auto* col = static_cast<TBoxColumn*>(a->FColumns->Add());
  col->FTitle = "Status";
  col->FWidth = 80;
  a->FColumns->Add();  // all defaults
  a->SetBuddy(b);      // a reference to a box read later
  b->SetBuddy(a);
  a->FData = std::string("\x00\x01\xFF binary", 10);
  a->OnClick = MethodAddress(form, "BoxClick").Code.has_value()
                   ? std::any_cast<std::function<void(TObject*)>>(MethodAddress(form, "BoxClick").Code)
                   : nullptr;
  a->SetTag(7);
  return form;
}

}  // namespace

TEST(FilerTest, BinaryRoundTripRestoresEveryKindOfValue) {
  std::unique_ptr<TBoxForm> form(MakeForm());
  std::string bytes = ToBinary(form.get());
  ASSERT_EQ(bytes.substr(0, 4), "TPF0");
  std::unique_ptr<TComponent> copy(FromBinary(bytes));
  auto* f = As<TBoxForm>(copy.get());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Name(), "frmMain");
  ASSERT_EQ(f->ComponentCount(), 2);
  auto* a = As<TBox>(f->FindComponent("boxA"));
  auto* b = As<TBox>(f->FindComponent("boxB"));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->FCaption, form->FindComponent("boxA") ? As<TBox>(form->FindComponent("boxA"))->FCaption : "");
  EXPECT_EQ(a->FWidth, 250);
  EXPECT_FALSE(a->FVisible);
  EXPECT_EQ(a->FAlign, baClient);
  EXPECT_EQ(a->FOptions, (TBoxOptions{boShadow, boRounded}));
  EXPECT_EQ(a->FRatio, 0.1);
  EXPECT_EQ(a->FScale, 2.5f);
  EXPECT_EQ(a->FMark, 'Q');
  EXPECT_EQ(a->FBig, int64_t{1} << 40);
  EXPECT_EQ(a->FShort, -300);
  EXPECT_EQ(a->FFont->FName, "Serif");
  EXPECT_EQ(a->FFont->FSize, 8);
  EXPECT_EQ(a->FLines->Text(), "first\r\n\r\nthird 'line'\r\n");
  ASSERT_EQ(a->FColumns->Count(), 2);
  EXPECT_EQ(static_cast<TBoxColumn*>(a->FColumns->Items(0))->FTitle, "Status");
  EXPECT_EQ(static_cast<TBoxColumn*>(a->FColumns->Items(0))->FWidth, 80);
  EXPECT_EQ(static_cast<TBoxColumn*>(a->FColumns->Items(1))->FWidth, 50);
  EXPECT_EQ(a->FBuddy, b);
  EXPECT_EQ(b->FBuddy, a);
  EXPECT_EQ(a->FData, std::string("\x00\x01\xFF binary", 10));
  EXPECT_EQ(a->Tag(), 7);
  ASSERT_TRUE(a->OnClick);
  a->OnClick(a);
  EXPECT_EQ(f->clicks, 1);  // bound to the new root's handler
  EXPECT_EQ(form->clicks, 0);
  // Defaults came through untouched.
  EXPECT_EQ(b->FWidth, 100);
  EXPECT_TRUE(b->FVisible);
  EXPECT_EQ(b->FOptions, TBoxOptions{boBorder});
  EXPECT_TRUE(f->ComponentState().Empty());
  EXPECT_TRUE(a->ComponentState().Empty() || a->ComponentState() == TComponentState{csFreeNotification});
}

TEST(FilerTest, OnlyValuesThatDifferFromTheirDefaultsAreWritten) {
  TBoxForm form(nullptr);
  form.SetName("frm");
  auto* box = new TBox(&form);
  box->SetName("box");
  box->FFont->FSize = 10;
  std::string text = WriteComponentToText(&form);
  EXPECT_EQ(text,
            "object frm: TBoxForm\r\n"
            "  Height = 300\r\n"  // always stored
            "  object box: TBox\r\n"
            "    Font.Size = 10\r\n"
            "    Columns = <>\r\n"
            "    Version = '3.01'\r\n"
            "  end\r\n"
            "end\r\n");
}

TEST(FilerTest, TextFormRoundTripsThroughBinary) {
  std::unique_ptr<TBoxForm> form(MakeForm());
  std::string bytes = ToBinary(form.get());
  std::string text = BinaryToText(bytes);
  EXPECT_NE(text.find("  object boxA: TBox\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Caption = 'It''s \"quoted\"'#13#10'and on two lines: \xC3\xA9t\xC3\xA9'\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("    Align = baClient\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Visible = False\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Options = [boShadow, boRounded]\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Scale = 2.5s\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Ratio = 0.1\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Lines.Strings = (\r\n      'first'\r\n      ''\r\n      'third ''line''')\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("    Columns = <\r\n      item\r\n        Title = 'Status'\r\n        Width = 80\r\n"
                      "      end\r\n      item\r\n      end>\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("    Buddy = boxB\r\n"), std::string::npos);
  EXPECT_NE(text.find("    OnClick = BoxClick\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Data = {\r\n      0001FF2062696E617279}\r\n"), std::string::npos);
  EXPECT_EQ(TextToBinary(text), bytes);

  std::unique_ptr<TComponent> copy(ReadComponentFromText(text, nullptr));
  auto* a = As<TBox>(copy->FindComponent("boxA"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->FBuddy, copy->FindComponent("boxB"));
  EXPECT_EQ(WriteComponentToText(copy.get()), text);
}

TEST(FilerTest, LongStringsAndSpecialFloatsSurviveTheTextForm) {
  TBoxForm form(nullptr);
  auto* box = new TBox(&form);
  box->SetName("box");
  box->FCaption = std::string(150, 'a') + "\xE2\x82\xAC" + std::string(70, 'b') + "\t";
  box->FRatio = -1.25e-300;
  box->FScale = -0.0f;
  std::string text = WriteComponentToText(&form);
  EXPECT_NE(text.find("' +\r\n"), std::string::npos);  // split over lines
  std::unique_ptr<TComponent> copy(ReadComponentFromText(text, nullptr));
  auto* b = As<TBox>(copy->FindComponent("box"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->FCaption, box->FCaption);
  EXPECT_EQ(b->FRatio, -1.25e-300);
  box->FRatio = INFINITY;
  copy.reset(ReadComponentFromText(WriteComponentToText(&form), nullptr));
  EXPECT_TRUE(std::isinf(As<TBox>(copy->FindComponent("box"))->FRatio));
}

TEST(FilerTest, HandWrittenTextWithHexCodesAndContinuations) {
  const std::string text =
      "object frm: TBoxForm\n"
      "  object box: TBox\n"
      "    Caption = 'one'#9'two' +\n"
      "      ' three'#$41#233\n"
      "    Width = $10\n"
      "    Short = -5\n"
      "    Ratio = 15\n"
      "    Options = []\n"
      "    Visible = true\n"
      "    Buddy = Owner.box\n"
      "  end\n"
      "end\n";
  std::unique_ptr<TComponent> root(ReadComponentFromText(text, nullptr));
  auto* box = As<TBox>(root->FindComponent("box"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->FCaption, "one\ttwo threeA\xC3\xA9");
  EXPECT_EQ(box->FWidth, 16);
  EXPECT_EQ(box->FShort, -5);
  EXPECT_EQ(box->FRatio, 15.0);  // an integer read into a float property
  EXPECT_TRUE(box->FOptions.Empty());
}

TEST(FilerTest, ParentIsKnownBeforePropertiesAndLoadedRunsAfterFixups) {
  TBoxForm form(nullptr);
  form.SetName("frm");
  auto* outer = new TOwnerBox(&form);
  outer->SetName("outer");
  // Children written inside their owner, read back with it as owner and parent.
  auto* inner = new TBox(outer);
  inner->SetName("inner");
  inner->hasParent = true;  // listed by nobody: not written
  auto* nested = new TBox(outer);
  nested->SetName("nested");
  nested->SetBuddy(outer);
  auto* helper = new TBox(nested);  // a plain box does not write what it owns
  helper->SetName("helper");
  auto* pointer = new TBox(&form);
  pointer->SetName("pointer");
  pointer->SetBuddy(nested);
  std::string text = WriteComponentToText(&form);
  EXPECT_EQ(text.find("inner"), std::string::npos);
  EXPECT_EQ(text.find("helper"), std::string::npos);
  EXPECT_NE(text.find("    object nested: TBox\r\n"), std::string::npos);
  EXPECT_NE(text.find("      Buddy = outer\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Buddy = outer.nested\r\n"), std::string::npos);

  auto* target = new TBoxForm(nullptr);
  std::unique_ptr<TComponent> holder(target);
  // Loaded order is reading order: the root first.
  auto bin = BinaryStream(text);
  TReader reader(bin.get());
  reader.ReadRootComponent(target);
  auto* o = As<TBox>(target->FindComponent("outer"));
  ASSERT_NE(o, nullptr);
  auto* n = As<TBox>(o->FindComponent("nested"));
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->Owner(), o);
  EXPECT_EQ(n->parentAtReadState, o);
  EXPECT_EQ(o->parentAtReadState, target);
  EXPECT_EQ(n->FBuddy, o);
  EXPECT_TRUE(n->buddyKnownAtLoaded);
  EXPECT_EQ(n->loadedCalls, 1);
  EXPECT_EQ(o->loadedCalls, 1);
  EXPECT_EQ(As<TBox>(target->FindComponent("pointer"))->FBuddy, n);
  EXPECT_FALSE(n->ComponentState().Contains(csLoading));
  EXPECT_FALSE(n->ComponentState().Contains(csReading));
}

TEST(FilerTest, ContainersWriteTheItemsTheRootOwnsInsideThemselves) {
  TBoxForm form(nullptr);
  form.SetName("frm");
  auto* shelf = new TShelf(&form);
  shelf->SetName("shelf");
  for (int i = 0; i < 3; ++i) {
    auto* item = new TShelfItem(&form);
    item->SetName("item" + std::to_string(i));
    item->FSize = i + 1;
    item->SetParentComponent(shelf);
  }
  std::string text = WriteComponentToText(&form);
  EXPECT_EQ(text,
            "object frm: TBoxForm\r\n"
            "  Height = 300\r\n"
            "  object shelf: TShelf\r\n"
            "    object item0: TShelfItem\r\n      Size = 1\r\n    end\r\n"
            "    object item1: TShelfItem\r\n      Size = 2\r\n    end\r\n"
            "    object item2: TShelfItem\r\n      Size = 3\r\n    end\r\n"
            "  end\r\n"
            "end\r\n");
  std::unique_ptr<TComponent> copy(ReadComponentFromText(text, nullptr));
  ASSERT_EQ(copy->ComponentCount(), 4);  // everything owned by the root
  auto* s = As<TShelf>(copy->FindComponent("shelf"));
  ASSERT_EQ(s->items.size(), 3u);
  EXPECT_EQ(s->items[2]->Name(), "item2");
  EXPECT_EQ(s->items[2]->FSize, 3);
  EXPECT_EQ(s->items[2]->Owner(), copy.get());
}

TEST(FilerTest, OneComponentOfAFormSavedAsTextAndReadBackBesideTheOldOne) {
  // A layout is one component of a form, written with the form as root.
  TBoxForm form(nullptr);
  form.SetName("frm");
  auto* shelf = new TShelf(&form);
  shelf->SetName("shelf");
  auto* item = new TShelfItem(&form);
  item->SetName("item");
  item->FSize = 9;
  item->SetParentComponent(shelf);
  TMemoryStream binary;
  TWriter writer(&binary);
  writer.SetRoot(&form);
  writer.WriteSignature();
  writer.WriteComponent(shelf);
  binary.SetPosition(0);
  TStringStream text;
  ObjectBinaryToText(&binary, &text);
  EXPECT_EQ(text.DataString().substr(0, 21), "object shelf: TShelf\r");
  text.SetPosition(0);
  TMemoryStream again;
  ObjectTextToBinary(&text, &again);
  EXPECT_EQ(Bytes(again), Bytes(binary));

  // Read into the same form: the names are taken, so the loader renames.
  again.SetPosition(0);
  TReader reader(&again);
  reader.OnSetName = [&](TReader*, TComponent*, std::string& name) {
    if (form.FindComponent(name)) name += "2";
  };
  std::vector<TComponent*> read;
  reader.ReadComponents(&form, nullptr, [&](TComponent* c) { read.push_back(c); });
  ASSERT_EQ(read.size(), 1u);
  auto* copy = As<TShelf>(read[0]);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Name(), "shelf2");
  ASSERT_EQ(copy->items.size(), 1u);
  EXPECT_EQ(copy->items[0]->Name(), "item2");
  EXPECT_EQ(copy->items[0]->FSize, 9);
  EXPECT_EQ(copy->items[0]->Owner(), &form);
  EXPECT_EQ(shelf->items.size(), 1u);  // the old one keeps its own
}

TEST(FilerTest, HasParentComponentsGetTheirParentBeforeTheirProperties) {
  const std::string text =
      "object frm: TBoxForm\n"
      "  object host: TBox\n"
      "    object kid: TBox\n"
      "      Width = 5\n"
      "    end\n"
      "  end\n"
      "end\n";
  // kid must be a HasParent component from construction: use the OnSetName hook
  // to switch it on before its properties are read.
  auto bin = BinaryStream(text);
  TReader reader(bin.get());
  reader.OnSetName = [](TReader*, TComponent* c, std::string& name) {
    if (name == "kid") static_cast<TBox*>(c)->hasParent = true;
  };
  std::unique_ptr<TComponent> root(reader.ReadRootComponent(nullptr));
  auto* host = As<TBox>(root->FindComponent("host"));
  // Owned by the root (the class library's default child owner), parented by host.
  auto* kid = As<TBox>(root->FindComponent("kid"));
  ASSERT_NE(kid, nullptr);
  EXPECT_EQ(kid->FParent, host);
  EXPECT_EQ(kid->parentAtReadState, host);
  EXPECT_EQ(kid->FWidth, 5);
}

TEST(FilerTest, UnknownPropertiesClassesAndHandlersGiveClearErrors) {
  auto expectError = [](const std::string& body, const std::string& message) {
    std::string text = "object frm: TBoxForm\n  object box: TBox\n" + body + "  end\nend\n";
    EXPECT_EQ(MessageOf<EFilerError>(
                  [&] { std::unique_ptr<TComponent> c(ReadComponentFromText(text, nullptr)); }),
              message)
        << body;
  };
  expectError("    Colour = 5\n", "Property Colour does not exist");
  expectError("    Font.Weight = 5\n", "Property Font.Weight does not exist");
  expectError("    Caption.Size = 5\n", "Property Caption.Size does not exist");
  expectError("    OnClick = NoSuchHandler\n", "Method NoSuchHandler not found");
  expectError("    OnClick = WrongSignature\n",
              "Method WrongSignature has incompatible parameters for OnClick");
  expectError("    Align = baSideways\n", "Invalid property value: baSideways for Align");
  expectError("    Options = [boBorder, boSquare]\n", "Invalid property value: boSquare in Options");
  expectError("    Width = 'wide'\n", "Invalid property value for Width");
  expectError("    Short = 40000\n", "Invalid property value for Short");
  expectError("    object x: TNoSuchBox\n    end\n", "Class TNoSuchBox not found");
  expectError("    object x: TNotAComponent\n    end\n",
              "Invalid stream format: TNotAComponent is not a component class");
  const char* twins = "object a: TBox\n  object b: TBox\n  end\n  object B: TBox\n  end\nend\n";
  EXPECT_EQ(MessageOf<EComponentError>(
                [&] { std::unique_ptr<TComponent> c(ReadComponentFromText(twins, nullptr)); }),
            "A component named B already exists");
}

TEST(FilerTest, ErrorsCanBeHandledAndTheValueSkipped) {
  const std::string text =
      "object frm: TBoxForm\n"
      "  object box: TBox\n"
      "    Colour = (1 'two' [x] <item Foo = 1 end> {00})\n"
      "    OnClick = Missing\n"
      "    Width = 7\n"
      "    OldLeft = 12.5\n"
      "    OldName = dsOld\n"
      "  end\n"
      "end\n";
  auto bin = BinaryStream(text);
  TReader reader(bin.get());
  std::vector<std::string> errors;
  reader.OnError = [&](TReader*, const std::string& message, bool& handled) {
    errors.push_back(message);
    handled = true;
  };
  std::unique_ptr<TComponent> root(reader.ReadRootComponent(nullptr));
  auto* box = As<TBox>(root->FindComponent("box"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->FWidth, 7);
  EXPECT_EQ(box->legacyRead, 2);
  EXPECT_FALSE(box->OnClick);
  EXPECT_EQ(errors, (std::vector<std::string>{"Property Colour does not exist", "Method Missing not found"}));
}

TEST(FilerTest, FindMethodHookSuppliesMissingHandlers) {
  const std::string text =
      "object frm: TBoxForm\n  object box: TBox\n    OnClick = CreatedLater\n  end\nend\n";
  auto bin = BinaryStream(text);
  TReader reader(bin.get());
  int called = 0;
  reader.OnFindMethod = [&](TReader*, const std::string& name, TMethod& address, bool& error) {
    EXPECT_EQ(name, "CreatedLater");
    address.Code = std::function<void(TObject*)>([&](TObject*) { ++called; });
    error = false;
  };
  std::unique_ptr<TComponent> root(reader.ReadRootComponent(nullptr));
  auto* box = As<TBox>(root->FindComponent("box"));
  ASSERT_TRUE(box->OnClick);
  box->OnClick(box);
  EXPECT_EQ(called, 1);
}

TEST(FilerTest, ReadingIntoAnExistingRootAndInheritedComponents) {
  TBoxForm form(nullptr);
  auto* existing = new TBox(&form);
  existing->SetName("box");
  existing->FWidth = 1;
  const std::string text =
      "object frmLoaded: TBoxForm\n"
      "  inherited box: TBox\n"
      "    Caption = 'filled'\n"
      "  end\n"
      "  object extra: TBox\n"
      "  end\n"
      "end\n";
  ReadComponentFromText(text, &form);
  EXPECT_EQ(form.Name(), "frmLoaded");
  EXPECT_EQ(form.ComponentCount(), 2);
  EXPECT_EQ(existing->FCaption, "filled");
  EXPECT_EQ(existing->FWidth, 1);  // not in the stream: kept
  EXPECT_EQ(existing->loadedCalls, 1);
  EXPECT_NE(form.FindComponent("extra"), nullptr);
}

TEST(FilerTest, ReadComponentsReadsASequenceWithHooks) {
  // A writer that puts two components after the signature, as report layouts do.
  TBoxForm source(nullptr);
  auto* one = new TBox(&source);
  one->SetName("one");
  auto* two = new TBox(&source);
  two->SetName("two");
  two->SetBuddy(one);
  TMemoryStream s;
  TWriter writer(&s);
  writer.SetRoot(&source);
  writer.WriteSignature();
  writer.WriteComponent(one);
  writer.WriteComponent(two);
  writer.WriteListEnd();
  s.SetPosition(0);

  TBoxForm owner(nullptr);
  auto* clash = new TBox(&owner);
  clash->SetName("one");
  TReader reader(&s);
  reader.OnSetName = [&](TReader*, TComponent*, std::string& name) {
    if (owner.FindComponent(name)) name += "_copy";
  };
  std::vector<TComponent*> read;
  reader.ReadComponents(&owner, nullptr, [&](TComponent* c) { read.push_back(c); });
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0]->Name(), "one_copy");
  EXPECT_EQ(read[1]->Name(), "two");
  EXPECT_EQ(read[0]->Owner(), &owner);
  EXPECT_EQ(static_cast<TBox*>(read[0])->loadedCalls, 1);
}

TEST(FilerTest, ValuesCanBePeekedAndSkipped) {
  TMemoryStream s;
  TWriter w(&s);
  w.WriteInteger(5);
  w.WriteInteger(-200);
  w.WriteInteger(70000);
  w.WriteInteger(int64_t{1} << 33);
  w.WriteString(std::string(300, 'z'));
  w.WriteListBegin();
  w.WriteFloat(1.5);
  w.WriteIdent("alTop");
  w.WriteListEnd();
  w.WriteBoolean(true);
  w.WriteBinary("abc");
  w.WriteSingle(0.25f);
  w.WriteCurrency(125000);
  w.WriteDate(45000.5);
  w.WriteChar('c');
  w.WriteString("\xC3\xA9");
  s.SetPosition(0);
  TReader r(&s);
  EXPECT_EQ(r.NextValue(), vaInt8);
  EXPECT_EQ(r.ReadInteger(), 5);
  EXPECT_EQ(r.NextValue(), vaInt16);
  EXPECT_EQ(r.ReadInteger(), -200);
  EXPECT_EQ(r.NextValue(), vaInt32);
  r.SkipValue();
  EXPECT_EQ(r.NextValue(), vaInt64);
  EXPECT_THROW(r.ReadInteger(), EReadError);  // does not fit an Integer
  s.SetPosition(s.Position() - 9);
  EXPECT_EQ(r.ReadInt64(), int64_t{1} << 33);
  EXPECT_EQ(r.NextValue(), vaLString);
  r.SkipValue();
  EXPECT_EQ(r.NextValue(), vaList);
  r.SkipValue();
  EXPECT_TRUE(r.ReadBoolean());
  EXPECT_EQ(r.ReadBinary(), "abc");
  EXPECT_EQ(r.ReadSingle(), 0.25f);
  EXPECT_EQ(r.ReadCurrency(), 125000);
  EXPECT_EQ(r.ReadDate(), 45000.5);
  EXPECT_EQ(r.ReadChar(), 'c');
  EXPECT_EQ(r.NextValue(), vaUTF8String);
  EXPECT_EQ(r.ReadString(), "\xC3\xA9");
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(FilerTest, ExtendedFloatsConvertExactly) {
  for (double v : {0.0, -0.0, 1.0, 1.5, 0.1, -2.75, 1e300, -1e-300, 4.9e-324, 123456789.125}) {
    TMemoryStream s;
    TWriter w(&s);
    w.WriteFloat(v);
    ASSERT_EQ(s.Size(), 11);
    s.SetPosition(0);
    TReader r(&s);
    double back = r.ReadFloat();
    EXPECT_EQ(back, v);
    EXPECT_EQ(std::signbit(back), std::signbit(v));
  }
  // 1.0 as an 80-bit extended: mantissa 0x8000000000000000, exponent 0x3FFF.
  TMemoryStream s;
  TWriter w(&s);
  w.WriteFloat(1.0);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  EXPECT_EQ(p[0], vaExtended);
  EXPECT_EQ(p[8], 0x80);
  EXPECT_EQ(p[9], 0xFF);
  EXPECT_EQ(p[10], 0x3F);
}

TEST(FilerTest, DamagedStreamsRaiseFilerErrorsAndNeverCrash) {
  std::unique_ptr<TBoxForm> form(MakeForm());
  std::string good = ToBinary(form.get());

  // Every truncation.
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_THROW({ std::unique_ptr<TComponent> c(FromBinary(good.substr(0, n))); }, EFilerError)
        << "length " << n;
  }
  // A bad signature.
  std::string bad = good;
  bad[3] = '1';
  EXPECT_EQ(MessageOf<EReadError>([&] { std::unique_ptr<TComponent> c(FromBinary(bad)); }),
            "Invalid stream format");
  // Random damage: any failure is an Exception of ours.
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = good;
    int flips = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < flips; ++i)
      damaged[4 + rng() % (damaged.size() - 4)] = static_cast<char>(rng() & 0xFF);
    try {
      std::unique_ptr<TComponent> c(FromBinary(damaged));
    } catch (const Exception&) {
    }
  }
}

TEST(FilerTest, NamesTheTextFormCannotHoldAreRefusedByTheConverter) {
  const std::string good = TextToBinary("object a: TBox\n  Width = clRed\n  S = [x]\n  B = Owner.\nend\n");
  ASSERT_NE(BinaryToText(good).find("Width = clRed"), std::string::npos);
  EXPECT_EQ(TextToBinary(BinaryToText(good)), good);
  // A short string of the binary form replaced by another.
  auto with = [&](const std::string& from, const std::string& to) {
    std::string bytes = good;
    const std::size_t at = bytes.find(char(from.size()) + from);
    return bytes.replace(at, from.size() + 1, char(to.size()) + to);
  };
  const std::pair<const char*, const char*> cases[] = {
      {"Width", "Wi\"th"}, {"Width", "end"},  {"Width", "object"}, {"Width", "9x"},
      {"Width", "W."},     {"clRed", "Null"}, {"clRed", "INF"},    {"clRed", "a b"},
      {"TBox", "T Box"},   {"x", "y.z"},
  };
  for (const auto& [from, to] : cases)
    EXPECT_THROW(BinaryToText(with(from, to)), EReadError) << from << " -> " << to;
}

TEST(FilerTest, DamagedTextRaisesOurErrorsAndNeverCrashes) {
  std::unique_ptr<TBoxForm> form(MakeForm());
  std::string good = WriteComponentToText(form.get());
  const std::string alphabet = "'#$=:[](){}<>+-.,09eEsd \r\nAZaz_";
  std::mt19937 rng(777);
  for (int round = 0; round < 2000; ++round) {
    std::string damaged = good;
    int edits = 1 + static_cast<int>(rng() % 3);
    for (int i = 0; i < edits; ++i) {
      size_t at = rng() % damaged.size();
      switch (rng() % 3) {
        case 0: damaged[at] = alphabet[rng() % alphabet.size()]; break;
        case 1: damaged.erase(at, 1 + rng() % 8); break;
        default: damaged.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
      }
      if (damaged.empty()) damaged = "x";
    }
    try {
      std::unique_ptr<TComponent> c(ReadComponentFromText(damaged, nullptr));
    } catch (const Exception&) {
    }
  }
}

TEST(FilerTest, HugeLengthsAndDeepNestingAreRefused) {
  auto header = [] {
    std::string s = "TPF0";
    s += '\x04';
    s += "TBox";
    s += '\x01';
    s += "b";
    return s;
  };
  // A long string claiming two gigabytes.
  std::string huge = header();
  huge += '\x07';
  huge += "Caption";
  huge += static_cast<char>(vaLString);
  huge += std::string("\xFF\xFF\xFF\x7F", 4);
  huge += "abc";
  EXPECT_EQ(MessageOf<EReadError>([&] { std::unique_ptr<TComponent> c(FromBinary(huge)); }),
            "Stream read error");
  // A negative binary length.
  std::string negative = header();
  negative += '\x04';
  negative += "Data";
  negative += static_cast<char>(vaBinary);
  negative += std::string("\xFF\xFF\xFF\xFF", 4);
  EXPECT_THROW({ std::unique_ptr<TComponent> c(FromBinary(negative)); }, EReadError);
  // A value kind that does not exist.
  std::string kind = header();
  kind += '\x05';
  kind += "Width";
  kind += '\x63';
  EXPECT_THROW({ std::unique_ptr<TComponent> c(FromBinary(kind)); }, EReadError);
  // Lists nested a million deep in an unknown property.
  std::string deep = header();
  deep += '\x06';
  deep += "Colour";
  deep += std::string(1000000, static_cast<char>(vaList));
  TMemoryStream s;
  s.WriteBuffer(deep.data(), static_cast<int64_t>(deep.size()));
  s.SetPosition(0);
  TReader reader(&s);
  reader.OnError = [](TReader*, const std::string&, bool& handled) { handled = true; };
  EXPECT_EQ(MessageOf<EReadError>(
                [&] { std::unique_ptr<TComponent> c(reader.ReadRootComponent(nullptr)); }),
            "Invalid stream format");
  // Components nested deeply in text.
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "object TBox\n";
  EXPECT_THROW(TextToBinary(text), EParserError);
}

TEST(FilerTest, MalformedTextNamesTheLine) {
  auto message = [](const std::string& text) {
    return MessageOf<EParserError>([&] { TextToBinary(text); });
  };
  EXPECT_EQ(message("objekt a: TBox\nend\n"), "'object' expected on line 1");
  EXPECT_EQ(message("object a: TBox\n  Caption = 'open\nend\n"), "Unterminated string on line 2");
  EXPECT_EQ(message("object a: TBox\n  Width 5\nend\n"), "'=' expected on line 2");
  EXPECT_EQ(message("object a: TBox\n  Data = {0A1}\nend\n"), "Invalid binary value on line 2");
  EXPECT_EQ(message("object a: TBox\n  Data = {0AZZ}\nend\n"), "Invalid binary value on line 2");
  EXPECT_EQ(message("object a: TBox\n  Width = 99999999999999999999\nend\n"),
            "Number out of range on line 2");
  EXPECT_EQ(message("object a: TBox\n  Options = [a, ]\nend\n"), "Identifier expected on line 2");
  EXPECT_EQ(message("object a: TBox\n  Width = 1\n"), "'end' expected on line 3");
  EXPECT_EQ(message("object a: TBox\n  Caption = #99999999\nend\n"), "Invalid string constant on line 2");
  EXPECT_EQ(message("object a: TBox\n  L = (1 2\n"), "')' expected on line 3");
  // Null would end the list early and a header byte from 0xF0 on reads as
  // flags: neither could be read back.
  EXPECT_EQ(message("object a: TBox\n  V = (1 Null 2)\nend\n"),
            "Null cannot stand inside a list on line 2");
  EXPECT_EQ(message("object a: T" + std::string(239, 'x') + "\nend\n"), "Class name too long on line 1");
  EXPECT_NO_THROW(TextToBinary("object a: T" + std::string(238, 'x') + "\nend\n"));
  EXPECT_EQ(message("object a: TBox\n  -W = 1\nend\n"), "Identifier expected on line 2");
  EXPECT_EQ(message("object a: TBox\n  C = 922337203685477.5808c\nend\n"),
            "Number out of range on line 2");
  // The currency range's ends read back exactly.
  const std::string extremes =
      "object a: TBox\r\n  C = 922337203685477.5807c\r\n  D = -922337203685477.5808c\r\nend\r\n";
  EXPECT_EQ(BinaryToText(TextToBinary(extremes)), extremes);
}

TEST(FilerTest, IntegersWithNamesStreamAsIdentifiers) {
  TBoxForm form(nullptr);
  auto* red = new TBox(&form);
  red->SetName("red");
  red->FColor = 0xFF;
  auto* odd = new TBox(&form);
  odd->SetName("odd");
  odd->FColor = 0x123456;
  std::string text = WriteComponentToText(&form);
  EXPECT_NE(text.find("    Color = clRed\r\n"), std::string::npos);
  EXPECT_NE(text.find("    Color = 1193046\r\n"), std::string::npos);
  std::unique_ptr<TComponent> copy(ReadComponentFromText(text, nullptr));
  EXPECT_EQ(As<TBox>(copy->FindComponent("red"))->FColor, 0xFF);
  EXPECT_EQ(As<TBox>(copy->FindComponent("odd"))->FColor, 0x123456);
  std::unique_ptr<TComponent> black(
      ReadComponentFromText("object f: TBoxForm\n object b: TBox\n Color = CLBLACK\n end\nend\n", nullptr));
  EXPECT_EQ(As<TBox>(black->FindComponent("b"))->FColor, 0);
  SetPropValue(odd, "Color", std::string("clWhite"));
  EXPECT_EQ(odd->FColor, 0xFFFFFF);
  EXPECT_THROW(ReadComponentFromText("object f: TBoxForm\n object b: TBox\n Color = clMauve\n end\nend\n", nullptr),
               EReadError);
}

TEST(FilerTest, AFailedReadFreesTheComponentsItMadeAndKeepsTheOnesGiven) {
  const struct {
    const char* what;
    const char* text;
  } made[] = {
      {"the root fails", "object f: TCountedBox\n Color = clMauve\nend\n"},
      {"a child fails", "object f: TCountedBox\n object a: TCountedBox\n end\n object b: TCountedBox\n"
                        " Color = clMauve\n end\nend\n"},
  };
  for (const auto& c : made) {
    SCOPED_TRACE(c.what);
    EXPECT_THROW(ReadComponentFromText(c.text, nullptr), EReadError);
    EXPECT_EQ(TCountedBox::Live, 0);
  }
  {
    // Read into a given root: it stays with the children read whole; the
    // child that failed half-way is gone.
    TBoxForm given(nullptr);
    EXPECT_THROW(ReadComponentFromText("object f: TBoxForm\n object a: TCountedBox\n end\n"
                                       " object b: TCountedBox\n Color = clMauve\n end\nend\n",
                                       &given),
                 EReadError);
    EXPECT_NE(given.FindComponent("a"), nullptr);
    EXPECT_EQ(given.FindComponent("b"), nullptr);
    EXPECT_EQ(TCountedBox::Live, 1);
  }
  EXPECT_EQ(TCountedBox::Live, 0);
  std::unique_ptr<TComponent> read(
      ReadComponentFromText("object f: TCountedBox\n object b: TCountedBox\n end\nend\n", nullptr));
  EXPECT_EQ(TCountedBox::Live, 2);
}

TEST(FilerTest, VariantsDatesAndCurrencyKeepTheirTypes) {
  const std::vector<Variant> values = {Null,
                                       Variant(42),
                                       Variant(static_cast<long long>(1) << 40),
                                       Variant(2.5),
                                       Variant(0.5f),
                                       Variant(true),
                                       Variant(std::string("t\xC3\xA9xt")),
                                       Variant(TDateTime(45000.25)),
                                       Variant(Currency::FromRaw(123456789)),
                                       VarArrayOf({Variant(1), Variant(std::string("two")), Variant(3.5)})};
  for (const Variant& v : values) {
    TBoxForm form(nullptr);
    auto* box = new TBox(&form);
    box->SetName("box");
    box->FValue = v;
    box->FWhen = TDateTime(36526.5);
    box->FPrice = Currency::FromRaw(19990);
    std::string text = WriteComponentToText(&form);
    EXPECT_NE(text.find("    When = 36526.5d\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Price = 1.999c\r\n"), std::string::npos);
    std::unique_ptr<TComponent> copy(ReadComponentFromText(text, nullptr));
    auto* b = As<TBox>(copy->FindComponent("box"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(VarType(b->FValue), VarType(v)) << text;
    if (!v.IsArray()) {
      EXPECT_TRUE(b->FValue == v) << text;
    } else {
      ASSERT_EQ(VarArrayHighBound(b->FValue), 2);
      EXPECT_EQ(VarArrayGet(b->FValue, 1).AsString(), "two");
      EXPECT_EQ(VarArrayGet(b->FValue, 2).AsDouble(), 3.5);
    }
    EXPECT_EQ(b->FWhen.Value, 36526.5);
    EXPECT_EQ(b->FPrice.Raw(), 19990);
  }
  // An unassigned variant is not written at all.
  TBoxForm form(nullptr);
  auto* box = new TBox(&form);
  box->SetName("box");
  EXPECT_EQ(WriteComponentToText(&form).find("Value"), std::string::npos);
  // Null would end the list early: refused instead of writing a damaged stream.
  box->FValue = VarArrayOf({Variant(1), Null});
  EXPECT_THROW(WriteComponentToText(&form), EWriteError);
}

TEST(FilerTest, ReferencesFromCollectionItemsAreFixedUpAndDroppedWithTheirItems) {
  const std::string text =
      "object frm: TBoxForm\n"
      "  object box: TBox\n"
      "    Columns = <\n"
      "      item\n"
      "        Source = later\n"
      "      end>\n"
      "    Columns = <\n"  // an odd stream: the items above are replaced
      "      item\n"
      "        Title = 'kept'\n"
      "        Source = later\n"
      "      end\n"
      "      item\n"
      "      end>\n"
      "  end\n"
      "  object later: TBox\n"
      "  end\n"
      "end\n";
  std::unique_ptr<TComponent> root(ReadComponentFromText(text, nullptr));
  auto* box = As<TBox>(root->FindComponent("box"));
  ASSERT_EQ(box->FColumns->Count(), 2);
  auto* first = static_cast<TBoxColumn*>(box->FColumns->Items(0));
  EXPECT_EQ(first->FTitle, "kept");
  EXPECT_EQ(first->FSource, root->FindComponent("later"));
}

TEST(FilerTest, ReferencesToOtherRootsGoThroughTheRegisteredFinders) {
  const std::string text =
      "object frm: TBoxForm\n  object box: TBox\n    Buddy = OtherForm.box\n  end\nend\n";
  std::unique_ptr<TComponent> root(ReadComponentFromText(text, nullptr));
  EXPECT_EQ(As<TBox>(root->FindComponent("box"))->FBuddy, nullptr);  // nobody knows OtherForm

  TBoxForm other(nullptr);
  other.SetName("OtherForm");
  auto* target = new TBox(&other);
  target->SetName("box");
  int handle = RegisterFindGlobalComponentProc([&](const std::string& name) -> TComponent* {
    return name == "OtherForm" ? &other : nullptr;
  });
  root.reset(ReadComponentFromText(text, nullptr));
  auto* box = As<TBox>(root->FindComponent("box"));
  EXPECT_EQ(box->FBuddy, target);
  // Written back under the other root's name.
  EXPECT_NE(WriteComponentToText(root.get()).find("Buddy = OtherForm.box"), std::string::npos);
  root.reset();  // the box asked to be told about the target; nothing dangles
  UnregisterFindGlobalComponentProc(handle);
  EXPECT_EQ(FindGlobalComponent("OtherForm"), nullptr);
}
