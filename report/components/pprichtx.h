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

#include "report/components/ppstrtch.h"
#include "report/output/pppage.h"

class TRichEdit;
class TppDevice;

class TppCustomRichText : public TppStretchable {
  DECLARE_CLASS(TppCustomRichText, TppStretchable)
 public:
  explicit TppCustomRichText(TComponent* owner = nullptr);
  ~TppCustomRichText() override;

  // The RTF when the text holds anything, else empty (loads it first).
  std::string GetRichText();
  virtual void GetRichTextStream() = 0;
  virtual void LoadRichText() = 0;
  // Stored bytes: "{\rtf" reads as RTF, anything else as plain text.
  void SetRichText(const std::string& text);
  const std::string& RichTextStream() const { return rtf_; }

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
  TRichEdit* Editor();

  std::string rtf_;
  int first_ = 0, last_ = -1;
  // Where the next page goes on (kept when a page took nothing).
  int next_ = 0;
  bool overflowed_ = false;

 private:
  std::unique_ptr<TRichEdit> editor_;  // the measuring control
};

class TppRichText : public TppCustomRichText {
  DECLARE_CLASS(TppRichText, TppCustomRichText)
 public:
  explicit TppRichText(TComponent* owner = nullptr) : TppCustomRichText(owner) {}
  void GetRichTextStream() override { LoadRichText(); }
  void LoadRichText() override { InvalidateDesign(); }
  const std::string& RichText() const { return rtf_; }
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

  TColor Color = TColor(0xFFFFFF);
  int FirstCharacter = -1, LastCharacter = -1;
  std::string RichText;
  bool Transparent = false;
};
