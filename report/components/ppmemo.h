#pragma once
// Memos: multi-line, word-wrapped text in the component's rectangle. A
// stretching memo in a band of dynamic height takes the lines it needs and,
// when the page runs out, continues on the next page from the character
// where it stopped. TppMemo prints its Lines; TppDBMemo a memo field (or what
// OnGetMemo supplies).

#include <cstdint>
#include <functional>
#include <string>

#include "platform/classlib/core/strings.h"
#include "report/components/pprecordtext.h"
#include "report/components/ppstrtch.h"

// A memo's Lines, noting that they changed: the text to wrap is joined from
// them again only then, not at every page of a long memo.
class TppMemoLines : public TStringList {
 public:
  bool changed = true;

 protected:
  void Changed() override {
    changed = true;
    TStringList::Changed();
  }
};

class TppCustomMemo : public TppStretchable {
  DECLARE_CLASS(TppCustomMemo, TppStretchable)
 public:
  explicit TppCustomMemo(TComponent* owner = nullptr);
  ~TppCustomMemo() override;

  // The text to print, loaded afresh.
  virtual TStrings* GetLines();
  // Fills the text stream (and for a data memo the Lines) from the source.
  virtual void LoadText() = 0;
  virtual void SetLines(const TStrings* value);
  TStrings* Lines() { return &lines_; }
  const std::string& TextStream() const { return text_; }
  const TStringList& WrappedLines() const { return wrapped_; }
  // 0-based character where the next page continues (0: from the start).
  int TextPosition() const { return textPos_; }

  int32_t mmLeading() const { return leading_; }
  void SetmmLeading(int32_t value);
  float Leading() const;
  void SetLeading(float value);
  // In Units for the published property; stored as thousandths.
  TStrings* TabStopPositions();
  void SetTabStopPositions(const TStrings* value);

  void GenerateContents() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void PaintDesignControl(TCanvas* canvas) override;
  void Init() override;
  void FontChanged();
  void ConvertVersion(int versionNo) override;

 protected:
  void DefineProperties(TFiler* filer) override;
  void WriteContentsState(uint8_t* record) const override;
  void ReadContentsState(const uint8_t* record) override;
  // Wraps from the text position into the print rectangle, at most what fits
  // when `limit` is set.
  struct Wrap {
    int lines = 0;
    int endPos = 0;
    int64_t endByte = 0;
    int32_t lineHeight = 0;
  };
  Wrap WrapText(bool limit);
  // The text stream := the text of Lines, when they changed since it was.
  void TakeLinesText();
  // Whether the text held is the record's the band stands on, and notes that it was read for it.
  bool HoldsRecordsText();
  void TakenForRecord() { record_.Taken(*this); }

  TppMemoLines lines_;
  std::string text_;
  TStringList wrapped_;
  TStringList tabStops_;     // stored thousandths
  TStringList tabStopsShown_;  // in Units
  int32_t leading_ = 0;
  int textPos_ = 0;

 private:
  // The key of text_, hashed once for each text.
  uint64_t TextKey() const;
  // The byte of text_ where textPos_ begins: a page going on from the last
  // one starts there without counting the characters before it.
  int64_t StartByte();

  mutable uint64_t textKey_ = 0;  // of text_ (0: not yet hashed)
  int64_t textByte_ = 0;  // where textPos_ begins in text_, when known
  bool byteKnown_ = true;
  // The key of the text a restored page's position was in (0: none): held,
  // the saved byte is where the position begins.
  uint64_t positionKey_ = 0;
  // Which record the text held was read for.
  TppRecordText record_;
};

class TppMemo : public TppCustomMemo {
  DECLARE_CLASS(TppMemo, TppCustomMemo)
 public:
  explicit TppMemo(TComponent* owner = nullptr) : TppCustomMemo(owner) {}
  void LoadText() override;
};

using TppMemoEvent = std::function<void(TObject* sender, TStrings* lines)>;

class TppDBMemo : public TppCustomMemo {
  DECLARE_CLASS(TppDBMemo, TppCustomMemo)
 public:
  explicit TppDBMemo(TComponent* owner = nullptr) : TppCustomMemo(owner) {}
  TStrings* GetLines() override;
  void LoadText() override;
  bool IsDataAware() const override { return true; }
  void SetDataField(const std::string& value) override;
  // A designer's data display follows the pipeline's changes.
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;

  bool AutoDisplay() const { return autoDisplay_; }
  void SetAutoDisplay(bool value) { autoDisplay_ = value; }
  TppMemoEvent OnGetMemo;

 private:
  bool autoDisplay_ = true;
};
