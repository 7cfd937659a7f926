#pragma once
// The data grid's in-place editor: the class library's cell editor that also
// checks the typed text against the picture mask the dataset keeps for the
// column's field (PictureMasks), filling in the mask's literals as it goes and
// beeping at a character that can never fit.

#include <memory>
#include <string>

#include "datactrls/edits/wwdbedit.h"
#include "datactrls/wwdbigrd.h"

class TwwInplaceEdit : public TInplaceEdit {
  DECLARE_CLASS(TwwInplaceEdit, TInplaceEdit)
 public:
  // Made by the grid for itself; word wrap follows the grid's dgWordWrap.
  explicit TwwInplaceEdit(TwwCustomDBGrid* grid);
  ~TwwInplaceEdit() override;

  // Used unbound: the settings come from the field's PictureMasks entry each
  // time the editor takes the focus.
  TwwDBPicture* Picture() const { return picture_.get(); }
  bool UsePictureMask() const { return usePictureMask_; }
  // A mask is in force: the entry's use flag is on and its mask not empty.
  bool HasActiveMask() const;
  bool WordWrap() const { return wordWrap_; }
  // Changes the window's style, so the window is made again.
  void SetWordWrap(bool value);

  // Reads the current column field's PictureMasks entry.
  void LoadPictureSettings();
  // An empty text, or any text without a mask, passes; the grid's
  // OnCheckValue is told the answer.
  bool IsValidPictureText(const std::string& text);

  void Dispatch(TMessage& message) override;

 protected:
  void FillCreateParams(TCreateParams& params) override;
  void DoEnter() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;

 private:
  bool EnterIsTab() const;
  // A character typed under the mask; false when the key is to go on as typed.
  bool PictureTyped(char32_t key, bool& passes);
  // Shows `text` with the caret at `caret`, the grid's edit text following.
  void PutText(const std::string& text, int caret);
  void SetFormatRect();

  TwwCustomDBGrid* wwGrid_;
  std::unique_ptr<TwwDBPicture> picture_;
  bool wordWrap_ = false;
  bool usePictureMask_ = false;
};
