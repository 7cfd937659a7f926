#pragma once
// Single-block text components: the text base (one TppDrawText per text,
// AutoSize measuring, word wrap on the report's printer, display formats,
// the OnGetText hook, text-file save settings) and the static label.

#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/core/variant.h"
#include "report/model/ppcomponent.h"

class TppGroup;

using TppGetTextEvent = std::function<void(TObject* sender, std::string& text)>;
using TppFormatEvent = std::function<void(TObject* sender, const std::string& displayFormat,
                                          TppDataType dataType, const Variant& value,
                                          std::string& text)>;
using TppSaveTextEvent = std::function<void(TObject* sender, std::string& text)>;

class TppCustomText : public TppCustomComponent {
  DECLARE_CLASS(TppCustomText, TppCustomComponent)
 public:
  explicit TppCustomText(TComponent* owner = nullptr);
  ~TppCustomText() override;

  // The formatted text, then OnGetText.
  void GetText(std::string& text) override;
  // The Text field in the base (a label prints its caption).
  virtual void GetFormattedText(std::string& text);
  // "name: caption", the entry in designer lists.
  virtual void GetDescription(std::string& text);
  const std::string& DisplayFormat() const { return displayFormat_; }
  virtual void SetDisplayFormat(const std::string& value);
  void SetFont(const TFont* font) override;
  // Measures the text on a screen bitmap (not while reading or generating).
  void AdjustSize() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void SetName(const std::string& newName) override;
  // Calls OnSave with the text-file device as the sender.
  void FireSave(TObject* device, std::string& text);

  bool Save() const { return save_; }
  void SetSave(bool value);
  // The position in the band's save list (-1 without a band).
  int SaveOrder() const;
  void SetSaveOrder(int value);
  int StoredSaveOrder() const { return saveOrder_; }
  int SaveLength() const { return saveLength_; }
  void SetSaveLength(int value);

  // Groups that break on this component's text add and remove themselves.
  void AddBreakGroup(TppGroup* group);
  void RemoveBreakGroup(TppGroup* group);

  TppGetTextEvent OnGetText;
  TppFormatEvent OnFormat;
  TppSaveTextEvent OnSave;

 private:
  std::vector<TppGroup*> breakGroups_;
  std::string displayFormat_;
  int saveOrder_ = -1;
  bool save_ = false;
  int saveLength_ = 0;
};

class TppLabel : public TppCustomText {
  DECLARE_CLASS(TppLabel, TppCustomText)
 public:
  explicit TppLabel(TComponent* owner = nullptr) : TppCustomText(owner) {}
  // A caption that equalled the old name follows the new one.
  void SetName(const std::string& newName) override;
};
