#pragma once
// The colour combo box: a drop-down list of colours, each a swatch and a
// name; the 16 basic colours unless the owner supplies others through events.

#include <functional>
#include <string>

#include "platform/classlib/stdctrls/comboboxes.h"

using TOnGetColorNumEvent = std::function<void(TObject* Sender, int& Num)>;
using TOnGetColorEvent =
    std::function<void(TObject* Sender, int Index, TColor& Color, std::string& ColorName)>;

class TCustomColorComboBox : public TCustomComboBox {
  DECLARE_CLASS(TCustomColorComboBox, TCustomComboBox)
 public:
  static constexpr int kBasicColors = 16;

  explicit TCustomColorComboBox(TComponent* AOwner);

  // Writing selects the last entry of equal RGB value, or none.
  TColor SelectedColor() const { return selectedColor_; }
  void SetSelectedColor(TColor value);
  // Swatch width; a negative value reads as 32.
  int PictureWidth() const { return pictureWidth_ < 0 ? 32 : pictureWidth_; }
  void SetPictureWidth(int value);

  // Without Ctl3D the box has a flat frame; with ParentCtl3D it takes its
  // parent's Ctl3D, where the parent has one. Setting Ctl3D ends ParentCtl3D.
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool value);

  virtual int GetColorCount();
  // Entries past the basic table start black with no name, for OnGetColor to fill.
  virtual void GetColorInfo(int Index, TColor& Color, std::string& Name);
  virtual void BuildColorList();

  TOnGetColorNumEvent OnGetColorNum;
  TOnGetColorEvent OnGetColor;

 protected:
  void Loaded() override;
  void FillCreateParams(TCreateParams& params) override;
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;
  void Change() override;

 private:
  int FindColor(TColor value);

  void Ctl3DChanged(bool value);

  int pictureWidth_ = 32;
  TColor selectedColor_ = clBlack;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
};

class TColorComboBox : public TCustomColorComboBox {
  DECLARE_CLASS(TColorComboBox, TCustomColorComboBox)
 public:
  using TCustomColorComboBox::TCustomColorComboBox;
};
