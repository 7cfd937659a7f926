#pragma once
// The generated page: draw commands positioned in thousandths of a mm from
// the page's top-left corner, with the page's numbers and printer setup.
// Every output device draws from this one format.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/alignment.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/graphics/images.h"
#include "report/data/pputils.h"
#include "report/output/ppprintr.h"

DECLARE_ENUM(TppPassSettingType, psOnePass, psTwoPass)
DECLARE_ENUM(TppLinePositionType, lpTop, lpBottom, lpLeft, lpRight)
DECLARE_ENUM(TppLineStyleType, lsSingle, lsDouble)

class TppPage;
class TppDevice;

class TppDrawCommand : public TPersistent {
  DECLARE_CLASS(TppDrawCommand, TPersistent)
 public:
  TppDrawCommand() = default;
  ~TppDrawCommand() override;
  // Copies the geometry (descendants add their fields).
  void Assign(const TPersistent* source) override;
  // The device's drawing of this command.
  virtual bool Draw(TppDevice* device);
  virtual bool IsCalculated() const { return false; }
  virtual bool Recalculate() { return false; }

  TppPage* Page() const { return page_; }
  // Leaves the old page's list and joins the new one's.
  void SetPage(TppPage* page);

  // Device rectangle, written by the device just before drawing.
  int32_t DrawLeft = 0, DrawRight = 0, DrawTop = 0, DrawBottom = 0;
  // Thousandths of a mm from the page's top-left corner.
  int32_t Left = 0, Height = 0, Top = 0, Width = 0;
  // Takes a component's print rectangle as its position and size.
  void Place(const TRect& r) {
    Left = r.Left;
    Top = r.Top;
    Width = r.Right - r.Left;
    Height = r.Bottom - r.Top;
  }

 private:
  friend class TppPage;
  TppPage* page_ = nullptr;
};

class TppDrawText : public TppDrawCommand {
  DECLARE_CLASS(TppDrawText, TppDrawCommand)
 public:
  TppDrawText();
  void Assign(const TPersistent* source) override;
  // The sort key of saved texts: SaveOrder and SaveLineNo, "%8d" each.
  std::string GetSaveKey() const;
  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }

  TAlignment Alignment = taLeftJustify;
  bool AutoSize = false;
  TColor Color = TColor(0xFFFFFF);
  bool IsMemo = false;
  int32_t Leading = 0;
  std::string Text;
  bool Transparent = false;
  bool WordWrap = false;
  TStringList WrappedText;
  TStringList TabStopPositions;
  bool BandSave = false;
  int32_t SaveLineNo = 0;
  TObject* Component = nullptr;  // the text component that made it (not owned)
  bool Save = false;
  int32_t SaveOrder = 0;
  int32_t SaveLength = 0;

 private:
  std::unique_ptr<TFont> font_;
};

class TppDrawCalc : public TppDrawText {
  DECLARE_CLASS(TppDrawCalc, TppDrawText)
 public:
  void Assign(const TPersistent* source) override;
  bool IsCalculated() const override { return true; }
  // Page counts are known late: only they are computed again.
  bool Recalculate() override;
  TppCalcType CalcType = ctPageNo;
};

class TppDrawShape : public TppDrawCommand {
  DECLARE_CLASS(TppDrawShape, TppDrawCommand)
 public:
  TppDrawShape();
  void Assign(const TPersistent* source) override;
  TBrush* Brush() const { return brush_.get(); }
  TPen* Pen() const { return pen_.get(); }
  TShapeType Shape = stRectangle;
  int32_t XCornerRound = 0, YCornerRound = 0;

 private:
  std::unique_ptr<TBrush> brush_;
  std::unique_ptr<TPen> pen_;
};

class TppDrawLine : public TppDrawCommand {
  DECLARE_CLASS(TppDrawLine, TppDrawCommand)
 public:
  TppDrawLine();
  void Assign(const TPersistent* source) override;
  TPen* Pen() const { return pen_.get(); }
  TppLinePositionType Position = lpTop;
  TppLineStyleType Style = lsSingle;

 private:
  std::unique_ptr<TPen> pen_;
};

class TppDrawImage : public TppDrawCommand {
  DECLARE_CLASS(TppDrawImage, TppDrawCommand)
 public:
  TppDrawImage();
  void Assign(const TPersistent* source) override;
  TPicture* Picture() const { return picture_.get(); }
  bool Center = false;
  bool DataBased = false;
  bool MaintainAspectRatio = false;
  bool Reserved = false;
  bool Stretch = false;
  bool Transparent = false;

 private:
  std::unique_ptr<TPicture> picture_;
};

class TppPage : public TComponent {
  DECLARE_CLASS(TppPage, TComponent)
 public:
  explicit TppPage(TComponent* owner = nullptr);
  ~TppPage() override;

  // Copies every field and the printer setup, and re-creates the commands
  // from their class names.
  void Assign(const TPersistent* source) override;

  void AddDrawCommand(TppDrawCommand* command);  // takes ownership
  void RemoveDrawCommand(TppDrawCommand* command);  // gives ownership back
  int DrawCommandCount() const { return int(commands_.size()); }
  TppDrawCommand* DrawCommands(int index) const { return commands_[size_t(index)]; }
  std::vector<TppDrawCommand*> CalculatedCommands() const;
  // Recalculates the calculated commands; a device redraws the changed ones.
  void RecalculateCommands(TppDevice* device);
  // "Page 3 of 10" in the page's language.
  std::string GetDescription() const;

  TppPrinterSetup* PrinterSetup() const { return setup_.get(); }
  void SetPrinterSetup(const TppPrinterSetup* setup) {
    if (setup) setup_->Assign(setup);
  }
  const TppPageDef& PageDef() const { return setup_->PageDef(); }

  int32_t AbsolutePageNo = 0;
  int32_t AbsolutePageCount = 0;
  bool FirstPassPage = false;
  int32_t ControlGroupBreakNo = 0;
  std::string DocumentName;
  bool FinalPage = false;
  bool FirstPage = false;
  int32_t LanguageIndex = 43000;
  bool LastPage = false;
  int32_t PageNo = 0;
  int32_t PageCount = 0;
  TppPassSettingType PassSetting = psOnePass;
  TDateTime PrintDateTime;

 private:
  void FreeCommands();
  std::vector<TppDrawCommand*> commands_;  // owned
  std::unique_ptr<TppPrinterSetup> setup_;
};
