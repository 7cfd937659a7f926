#pragma once
// The query-by-example dataset: runs an example text through the engine's
// example language and presents the answer, with the library's settings
// lists and OnFilter event. It checks no picture masks before posting.

#include <memory>
#include <string>

#include "datactrls/wwtable.h"

inline constexpr const char* kwwQbeFilterWarning = "Local Filtering is not supported on this QBE.";

// The statement text of example lines: each "~" followed by a name (letters,
// digits, "#", "%") becomes one blank; the rest of the line stays whole.
std::string wwComposeQbeLine(const std::string& line);

class TwwQBE : public TwwLibrarySettings<TDBDataSet> {
  DECLARE_CLASS(TwwQBE, TDBDataSet)
 public:
  explicit TwwQBE(TComponent* owner = nullptr);

  TStrings* QBE() const { return qbe_.get(); }
  // Copies the lines; an open dataset runs the new text at once.
  void SetQBE(TStrings* lines);
  std::string AnswerTable;
  bool AuxiliaryTables = true;
  bool BlankAsZero = true;
  // True when the last run succeeded without an answer.
  bool NoResult() const { return noResult_; }
  std::string ComposeQbeText() const;

 protected:
  // Runs the text; engine errors are raised with their cause. The security
  // codes ask the session for a password and run again while one is given.
  TBaseTable* OpenCursorHandle() override;
  const char* CallbackRefusedText() const override { return kwwQbeFilterWarning; }

 private:
  std::unique_ptr<TStringList> qbe_ = std::make_unique<TStringList>();
  bool noResult_ = false;
};
