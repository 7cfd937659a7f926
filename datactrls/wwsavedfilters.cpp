#include "datactrls/wwsavedfilters.h"

#include <memory>

#include "datactrls/wwfltdlg.h"
#include "datactrls/wwformbuild.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/messages.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/buttons.h"
#include "platform/classlib/stdctrls/lists.h"

IMPLEMENT_CLASS(TwwSaveFilter, TComponent)
IMPLEMENT_CLASS(TSelectSaveFilter, TForm)

PUBLISHED(TwwSaveFilter) {
  PROP_STR(Delimiter, Delimiter, Delimiter, "///");
  PROP_STR(FilePath, FilePath, FilePath, "");
  PROP_BOOL(OverwriteMessage, OverwriteMessage, OverwriteMessage, true);
  PROP_OBJ(wwFilterDialog, wwFilterDialog, SetwwFilterDialog);
}

namespace {

// The seven fields of a condition line.
constexpr int kConditionFields = 7;
constexpr char kTab = '\t';

// Reads one condition line; false, with the reason, when it is no condition.
bool ParseCondition(const std::string& line, TwwFieldInfo& info, std::string& why) {
  const std::vector<std::string> fields = wwSplitPieces(line, "\t");
  if (fields.size() != kConditionFields) {
    why = Format("%d TAB-separated fields instead of %d", {int(fields.size()), kConditionFields});
    return false;
  }
  int matchType = 0;
  if (!TryStrToInt(fields[2], matchType) || matchType < fdMatchStart || matchType > fdMatchNone) {
    why = "match type '" + fields[2] + "' is no number from 0 to 5";
    return false;
  }
  info.FieldName = fields[0];
  info.DisplayLabel = fields[1];
  info.MatchType = static_cast<TwwFilterMatchType>(matchType);
  info.FilterValue = fields[3];
  info.MinValue = fields[4];
  info.MaxValue = fields[5];
  info.CaseSensitive = fields[6] == "True";
  info.NonMatching = false;  // not stored
  return true;
}

std::string ConditionLine(const TwwFieldInfo& info) {
  const std::string tab(1, kTab);
  return info.FieldName + tab + info.DisplayLabel + tab + std::to_string(int(info.MatchType)) + tab +
         info.FilterValue + tab + info.MinValue + tab + info.MaxValue + tab +
         (info.CaseSensitive ? "True" : "False");
}

bool HoldsLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// The first text of a condition that the file cannot hold, by its name; empty
// when all can be stored.
std::string UnstorableText(const TwwFieldInfo& info) {
  const std::pair<const char*, const std::string*> texts[] = {
      {"field name", &info.FieldName}, {"label", &info.DisplayLabel}, {"value", &info.FilterValue},
      {"starting range", &info.MinValue}, {"ending range", &info.MaxValue}};
  for (const auto& [what, text] : texts)
    if (text->find(kTab) != std::string::npos || HoldsLineBreak(*text)) return what;
  return {};
}

const TwwSavedFilterSet* FindSet(const std::vector<TwwSavedFilterSet>& sets, const std::string& name) {
  for (const auto& set : sets)
    if (set.Name == name) return &set;
  return nullptr;
}

// The file's lines; a missing or unreadable file raises the class library's
// file-open error.
std::unique_ptr<TStringList> LoadLines(const std::string& path) {
  auto lines = std::make_unique<TStringList>();
  lines->LoadFromFile(path);
  return lines;
}

// Runs change on the file's latest lines under the file's lock and, when it
// changed them, replaces the file at once: programs saving together each keep
// their change, and a reader sees the old file or the new one. A missing file
// reads as empty.
template <class Change>
bool ChangeLocked(const std::string& path, Change&& change) {
  TFileLockScope lock(path + ".lock");
  auto lines = std::make_unique<TStringList>();
  if (FileExists(path)) lines->LoadFromFile(path);
  if (!change(*lines)) return false;
  WriteFileAtomically(path, lines->Text());
  return true;
}

// Removes the set of that name; false when there is none.
bool RemoveSet(TStrings& lines, const std::string& delimiter, const std::string& name) {
  const auto sets = wwReadSavedFilterSets(&lines, delimiter);
  const TwwSavedFilterSet* set = FindSet(sets, name);
  if (!set) return false;
  const int last = set->Closed ? set->EndLine : set->EndLine - 1;
  for (int i = last; i >= set->NameLine; --i) lines.Delete(i);
  return true;
}

}  // namespace

std::vector<TwwSavedFilterSet> wwReadSavedFilterSets(TStrings* lines, const std::string& delimiter) {
  std::vector<TwwSavedFilterSet> sets;
  const int count = lines->Count();
  for (int i = 0; i < count; ++i) {
    const std::string line = lines->Strings(i);
    if (line.empty() || line == delimiter) continue;
    TwwSavedFilterSet set;
    set.Name = line;
    set.NameLine = i;
    int end = i + 1;
    TwwFieldInfo info;
    std::string why;
    for (; end < count && lines->Strings(end) != delimiter; ++end)
      if (set.Damage.empty() && !ParseCondition(lines->Strings(end), info, why))
        set.Damage = Format("line %d has %s", {end + 1, why});
    set.EndLine = end;
    set.Closed = end < count;
    if (!set.Closed && set.Damage.empty()) set.Damage = "the delimiter line \"" + delimiter + "\" is missing";
    sets.push_back(set);
    i = end;
  }
  return sets;
}

// ---- the store

TwwSaveFilter::TwwSaveFilter(TComponent* owner) : TComponent(owner) {}

TwwSaveFilter::~TwwSaveFilter() { SetwwFilterDialog(nullptr); }

void TwwSaveFilter::SetwwFilterDialog(TwwFilterDialog* value) {
  if (dialog_ == value) return;
  if (dialog_) dialog_->RemoveFreeNotification(this);
  dialog_ = value;
  if (dialog_) dialog_->FreeNotification(this);
}

void TwwSaveFilter::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == dialog_) dialog_ = nullptr;
}

bool TwwSaveFilter::FilterExists(const std::string& name) {
  auto lines = LoadLines(FilePath);
  return FindSet(wwReadSavedFilterSets(lines.get(), Delimiter), name) != nullptr;
}

bool TwwSaveFilter::DeleteFilter(const std::string& name) {
  if (!FileExists(FilePath)) LoadLines(FilePath);  // raises the file-open error, as before
  return ChangeLocked(FilePath, [&](TStrings& lines) { return RemoveSet(lines, Delimiter, name); });
}

bool TwwSaveFilter::SaveFilter(const std::string& name) {
  if (name.empty() || !dialog_) return false;
  if (name == Delimiter || HoldsLineBreak(name)) {
    MessageDlg(Format(kwwSavedFilterBadName, {name}), mtError, {mbOK}, 0);
    return false;
  }
  for (const auto& info : dialog_->FieldInfo()) {
    const std::string what = UnstorableText(*info);
    if (what.empty()) continue;
    MessageDlg(Format(kwwSavedFilterBadText, {what, info->DisplayLabel}), mtError, {mbOK}, 0);
    return false;
  }
  // Asked before the file is locked: a question left open must not hold up
  // other programs' saves.
  if (OverwriteMessage && FileExists(FilePath) && FilterExists(name) &&
      MessageDlg(Format(kwwSavedFilterExists, {name}), mtWarning, {mbYes, mbNo}, 0) != mrYes)
    return false;
  std::vector<std::string> conditions;
  for (const auto& info : dialog_->FieldInfo()) conditions.push_back(ConditionLine(*info));
  return ChangeLocked(FilePath, [&](TStrings& lines) {
    RemoveSet(lines, Delimiter, name);  // a set saved meanwhile under the name is replaced too
    // A last set that lacks its delimiter is closed first, or it would swallow
    // the new one.
    const auto sets = wwReadSavedFilterSets(&lines, Delimiter);
    if (!sets.empty() && !sets.back().Closed) lines.Add(Delimiter);
    lines.Add(name);
    for (const std::string& line : conditions) lines.Add(line);
    lines.Add(Delimiter);
    return true;
  });
}

bool TwwSaveFilter::LoadFilter(const std::string& name) {
  if (!dialog_) return false;
  auto lines = LoadLines(FilePath);
  const auto sets = wwReadSavedFilterSets(lines.get(), Delimiter);
  const TwwSavedFilterSet* set = FindSet(sets, name);
  if (!set) return false;
  if (!set->Damage.empty()) {
    MessageDlg(Format(kwwSavedFilterDamaged, {name, set->Damage}), mtError, {mbOK}, 0);
    return false;
  }
  TwwFieldInfoList conditions;
  std::string why;
  for (int i = set->NameLine + 1; i < set->EndLine; ++i) {
    conditions.push_back(std::make_unique<TwwFieldInfo>());
    ParseCondition(lines->Strings(i), *conditions.back(), why);  // checked with the set
  }
  dialog_->ReplaceConditions(std::move(conditions));
  dialog_->ApplyFilter();
  return true;
}

bool TwwSaveFilter::GetFilterNames(TStrings* list) {
  list->Clear();
  if (!FileExists(FilePath)) return false;
  auto lines = LoadLines(FilePath);
  std::string damaged;
  const auto sets = wwReadSavedFilterSets(lines.get(), Delimiter);
  for (const auto& set : sets) {
    // A later set of a name already used is never reached by name.
    if (FindSet(sets, set.Name) != &set) continue;
    if (set.Damage.empty())
      list->Add(set.Name);
    else
      damaged += "\r\"" + set.Name + "\": " + set.Damage;
  }
  if (!damaged.empty()) wwShowFilterWarning(kwwSavedFiltersDamaged + damaged);
  return list->Count() > 0;
}

// ---- the selection window

namespace {
constexpr int kSelectWidth = 367, kSelectHeight = 171, kListHeight = 137;
}  // namespace

TSelectSaveFilter::TSelectSaveFilter(TComponent* owner) : TForm(owner) {
  SetCaption("Select Filter");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kSelectWidth);
  SetClientHeight(kSelectHeight);
  FiltersBox = wwAddControl<TListBox>(this, this, 0, 0, kSelectWidth, kListHeight);
  FiltersBox->SetAlign(alTop);
  Button1 = wwAddControl<TButton>(this, this, 205, 142, 75, 25);
  Button2 = wwAddControl<TButton>(this, this, 287, 142, 75, 25);
  Button1->SetCaption("&OK");
  Button1->SetDefault(true);
  Button1->SetModalResult(mrOk);
  Button2->SetCaption("Cancel");
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
  FiltersBox->OnDblClick = [this](TObject*) { SetModalResult(mrOk); };
  FiltersBox->OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
    if (key != VK_DELETE || FiltersBox->ItemIndex() < 0) return;
    FiltersBox->Items()->Delete(FiltersBox->ItemIndex());
  };
}
