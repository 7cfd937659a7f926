#pragma once
// Rich text: formatted text (RTF) printed in the component's rectangle. A
// stretching one in a band of dynamic height measures on the report's
// printer how many characters fit the room left and continues with the next
// character on the next page. TppRichText prints its own RichText,
// TppDBRichText a pipeline field (or what OnGetRichText supplies). A page
// carries the text as a TppDrawRichText command that draws itself on the
// printer and screen devices.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "report/components/pprecordtext.h"
#include "report/components/ppstrtch.h"
#include "report/output/pppage.h"

class TBitmap;
class TRichEdit;
class TRichTextLayout;
class TppDevice;

class TppCustomRichText : public TppStretchable {
  DECLARE_CLASS(TppCustomRichText, TppStretchable)
 public:
  explicit TppCustomRichText(TComponent* owner = nullptr);
  ~TppCustomRichText() override;

  // The RTF when the text holds anything, else empty (loads it first).
  std::string GetRichText();
  // Whether the text holds a character other than white space (loads it
  // first); known once for each text, not parsed again at every page.
  bool ShowsText();
  virtual void GetRichTextStream() = 0;
  virtual void LoadRichText() = 0;
  // Stored bytes: "{\rtf" reads as RTF, anything else as plain text.
  void SetRichText(const std::string& text);
  const std::string& RichTextStream() const { return *rtf_; }

  bool SupportsFont() const override { return false; }
  void GenerateContents() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void PaintDesignControl(TCanvas* canvas) override;
  void Init() override;
  // The range of this page: edit positions, -1 to -1 when nothing prints.
  int FirstCharacter() const { return first_; }
  int LastCharacter() const { return last_; }

 protected:
  void WriteContentsState(uint8_t* record) const override;
  void ReadContentsState(const uint8_t* record) override;
  // The measuring control, holding the text of rtf_ (loaded on first use
  // after a change, so a stream only checked for emptiness is never parsed).
  TRichEdit* Editor();
  // Puts new bytes in rtf_ (what is known of the old ones no longer holds);
  // the same bytes again, as each page of a long text brings them, keep
  // what was known of them.
  void TakeRichText(std::string bytes);
  // Whether the text held is the record's the band stands on (a long memo
  // fetched again at every page would cost each its whole length).
  bool HoldsRecordsText();
  // Notes that the text now held was read for the band's current record.
  void TakenForRecord() { record_.Taken(*this); }
  // The key of rtf_, hashed once for each text.
  uint64_t TextKey();

  // The bytes, shared with the draw commands of the pages that show them.
  std::shared_ptr<const std::string> rtf_;
  int first_ = 0, last_ = -1;
  // Where the next page goes on (kept when a page took nothing).
  int next_ = 0;
  bool overflowed_ = false;

 private:
  // What measuring a text needs to know of it: its length in edit
  // positions and whether it ends with a paragraph end.
  struct TTextFacts {
    int length = 0;
    bool endsWithParagraph = false;
    bool visible = false;  // holds a character other than white space
  };
  // One measurement: the first character that did not fit and the twips used.
  struct TMeasure {
    int next = 0, used = 0;
  };
  const TTextFacts& Facts();
  // The measurement of rtf_ from `start` in `twips` on a surface of `dpi`,
  // taken from what this text measured before when it can be.
  TMeasure Measure(int start, const TRect& twips, int dpi);
  void PlaceRange(int start, int length, const TMeasure& measure);

  std::unique_ptr<TRichEdit> editor_;
  std::shared_ptr<const std::string> loaded_;  // what the editor holds
  std::unique_ptr<TBitmap> surface_;  // the measuring surface, kept between records
  int surfaceDpi_ = 0;
  // Facts and measurements by the text's bytes (a hash with the length), so
  // that the second pass and a record measured again in the same room parse
  // nothing. Bounded: cleared when full.
  std::unordered_map<uint64_t, TTextFacts> facts_;
  std::unordered_map<uint64_t, TMeasure> measures_;
  uint64_t factsKey_ = 0;  // of rtf_ (0: not yet taken)
  // Which record the text held was read for.
  TppRecordText record_;
};

class TppRichText : public TppCustomRichText {
  DECLARE_CLASS(TppRichText, TppCustomRichText)
 public:
  explicit TppRichText(TComponent* owner = nullptr) : TppCustomRichText(owner) {}
  void GetRichTextStream() override { LoadRichText(); }
  void LoadRichText() override { InvalidateDesign(); }
  const std::string& RichText() const { return *rtf_; }
};

using TppGetRichTextEvent = std::function<void(TObject* sender, std::string& text)>;

class TppDBRichText : public TppCustomRichText {
  DECLARE_CLASS(TppDBRichText, TppCustomRichText)
 public:
  explicit TppDBRichText(TComponent* owner = nullptr) : TppCustomRichText(owner) {}
  void GetRichTextStream() override;
  void LoadRichText() override;
  // A designer's data display follows the pipeline's changes.
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;
  bool IsDataAware() const override { return true; }
  bool AutoDisplay() const { return autoDisplay_; }
  void SetAutoDisplay(bool value);
  TppGetRichTextEvent OnGetRichText;

 private:
  bool autoDisplay_ = true;
};

// Rich text on a page: the RTF and the character range this page shows.
class TppDrawRichText : public TppDrawCommand {
  DECLARE_CLASS(TppDrawRichText, TppDrawCommand)
 public:
  void Assign(const TPersistent* source) override;
  // Renders itself on the printer and screen devices; false elsewhere.
  bool Draw(TppDevice* device) override;

  const std::string& RichText() const;
  void SetRichText(std::string text);
  // The text as its component measured it, with the layout that measured
  // it: the pages of one text share both, so no page copies the text or lays
  // it out again.
  void SetRichText(std::shared_ptr<const std::string> text, std::shared_ptr<TRichTextLayout> layout);

  TColor Color = TColor(0xFFFFFF);
  int FirstCharacter = -1, LastCharacter = -1;
  bool Transparent = false;

 private:
  // The shared layout, or one made from the text at the first draw.
  TRichTextLayout& Layout();
  // Draws the range from the top of `rect` on `canvas`.
  void Render(TCanvas* canvas, const TRect& rect);

  std::shared_ptr<const std::string> text_;
  std::shared_ptr<TRichTextLayout> layout_;
};
