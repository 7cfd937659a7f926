#pragma once
// The status bar: panels side by side along the bottom of a form, or one
// simple text across it, with a size grip in the corner.

#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/alignment.h"
#include "platform/classlib/core/collection.h"

DECLARE_ENUM(TStatusPanelStyle, psText, psOwnerDraw)
DECLARE_ENUM(TStatusPanelBevel, pbNone, pbLowered, pbRaised)

class TStatusBar;

class TStatusPanel : public TCollectionItem {
  DECLARE_CLASS(TStatusPanel, TCollectionItem)
 public:
  explicit TStatusPanel(TCollection* collection = nullptr) : TCollectionItem(collection) {}
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TStatusPanelStyle Style() const { return style_; }
  void SetStyle(TStatusPanelStyle value);
  TStatusPanelBevel Bevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel value);
  void Assign(const TPersistent* source) override;

 private:
  std::string text_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  TStatusPanelStyle style_ = psText;
  TStatusPanelBevel bevel_ = pbLowered;
};

class TStatusPanels : public TCollection {
  DECLARE_CLASS(TStatusPanels, TCollection)
 public:
  explicit TStatusPanels(TStatusBar* bar);
  TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
  TStatusPanel* Items(int index) const { return static_cast<TStatusPanel*>(TCollection::Items(index)); }
  TStatusPanel* operator[](int index) const { return Items(index); }

 protected:
  void Update(TCollectionItem* item) override;
  TPersistent* GetOwner() const override;

 private:
  TStatusBar* bar_;
};

using TDrawPanelEvent =
    std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TCustomControl {
  DECLARE_CLASS(TStatusBar, TCustomControl)
 public:
  explicit TStatusBar(TComponent* AOwner);
  ~TStatusBar() override;

  TStatusPanels* Panels() const { return panels_.get(); }
  void SetPanels(const TStatusPanels* value) { panels_->Assign(value); }
  // One panel across the bar showing SimpleText instead of the panels.
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool value);
  const std::string& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& value);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value);
  // A panel's rectangle in client coordinates; the last one reaches the end.
  TRect PanelRect(int index) const;

  TDrawPanelEvent OnDrawPanel;

 protected:
  void PaintContent() override;
  virtual void DrawPanel(TStatusPanel* Panel, const TRect& Rect);

 private:
  void PaintPanel(const TRect& r, const std::string& text, TAlignment alignment,
                  TStatusPanelBevel bevel);

  std::unique_ptr<TStatusPanels> panels_;
  bool simplePanel_ = false;
  std::string simpleText_;
  bool sizeGrip_ = true;
};
