#pragma once
// The memo dialog: one memo field of a data source edited in a modal,
// resizable window with OK and Cancel, up to two user buttons, and a question
// before typed changes are thrown away. The grid opens it for memo cells.

#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/sets.h"

class TButton;
class TDataSource;
class TMemo;
class TPanel;
class TwwMemoDialog;

enum TwwMemoAttribute { mSizeable, mWordWrap, mGridShow, mViewOnly, mDisableDialog };
ENUM_NAMES(TwwMemoAttribute, mSizeable, mWordWrap, mGridShow, mViewOnly, mDisableDialog)
using TwwMemoAttributes = TSet<TwwMemoAttribute>;

// The window of the dialog.
class TwwMemoDlg : public TForm {
  DECLARE_CLASS(TwwMemoDlg, TForm)
 public:
  explicit TwwMemoDlg(TComponent* AOwner);
  TMemo* Memo() const { return memo_; }
  TPanel* UserButtonPanel() const { return userButtonPanel_; }
  TButton* UserButton1() const { return userButton1_; }
  TButton* UserButton2() const { return userButton2_; }
  TButton* OKButton() const { return ok_; }
  TButton* CancelButton() const { return cancel_; }

 protected:
  void Resize() override;

 private:
  friend class TwwMemoDialog;
  void MemoKeyDown(WORD& key, TShiftState shift);
  void AskBeforeClosing(bool& canClose);
  void ApplyFirstShow();
  void LayOutUserButtons();

  TwwMemoDialog* dialog_ = nullptr;
  TMemo* memo_ = nullptr;
  TPanel* userButtonPanel_ = nullptr;
  TButton* userButton1_ = nullptr;
  TButton* userButton2_ = nullptr;
  TButton* ok_ = nullptr;
  TButton* cancel_ = nullptr;
  TRect wanted_{};           // left, top, right, bottom the owner asks for
  bool okPressed_ = false;
  bool viewOnly_ = false;
};

using TwwOnInitMemoDlgEvent = std::function<void(TwwMemoDlg* Dialog)>;
using TwwMemoUserButtonEvent = std::function<void(TwwMemoDlg* Dialog, TMemo* Memo)>;

class TwwMemoDialog : public TComponent {
  DECLARE_CLASS(TwwMemoDialog, TComponent)
 public:
  explicit TwwMemoDialog(TComponent* AOwner);
  ~TwwMemoDialog() override;

  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* value);
  std::string DataField;
  TFont* Font() const { return font_.get(); }
  TwwMemoAttributes MemoAttributes{mSizeable, mWordWrap};
  std::string Caption;
  int DlgLeft = 0, DlgTop = 0, DlgWidth = 561, DlgHeight = 396;
  std::string UserButton1Caption, UserButton2Caption;
  TwwOnInitMemoDlgEvent OnInitDialog, OnCloseDialog;
  TwwMemoUserButtonEvent OnUserButton1Click, OnUserButton2Click;

  // Shows the window; true when it was closed with OK. An editable dialog
  // then puts the dataset in edit mode with the memo's text in the field.
  virtual bool Execute();
  // The window while it is shown.
  TwwMemoDlg* Dialog() const { return dlg_; }

 protected:
  virtual void InitDialog(TwwMemoDlg* dialog);
  virtual void CloseDialog(TwwMemoDlg* dialog);
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TDataSource* dataSource_ = nullptr;
  std::unique_ptr<TFont> font_;
  TwwMemoDlg* dlg_ = nullptr;
};
