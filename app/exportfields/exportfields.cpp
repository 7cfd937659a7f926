#include "app/exportfields/exportfields.h"

#include "app/common/components.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TfrmExportFields, TForm)

namespace {

// Each box's caption and the stored column it stands for.
constexpr ExportFieldBox kBoxes[] = {
    {"Status", "Status"},           {"Priority", "Priority"},
    {"Description", "Description"}, {"Version", "Version"},
    {"Reported By", "ReportedBy"},  {"Reported Date", "ReportedDate"},
    {"Fixed By", "FixedBy"},        {"Fixed Date", "FixedDate"},
    {"Verified By", "VerifiedBy"},  {"Verified Date", "VerifiedDate"},
    {"Fixed In Version", "FixedInVersion"}, {"Area", "Area"},
    {"Severity", "Severity"},       {"Identifier", "Identifier"},
    {"Report Number", "ReportNumber"}, {"Responsibility", "Responsibility"},
    {"Steps To Recreate", "Steps"}, {"Resolution", "Resolution"},
    {"Report", "Report"},           {"Report Type", "ReportType"},
    {"Attachment", "Attachment"},   {"Workaround", "Workaround"},
    {"Program Name", "Program"}};
static_assert(std::size(kBoxes) > kGridColumnBoxes);
constexpr const char* kSection = "Column Export";
// Two columns of boxes, then the buttons below them.
constexpr int kRowsPerColumn = 12, kBoxWidth = 150, kBoxHeight = 20, kMargin = 10;
constexpr int kButtonWidth = 75, kButtonHeight = 25;

}  // namespace

std::span<const ExportFieldBox> ExportFieldBoxes() { return kBoxes; }

TfrmExportFields::TfrmExportFields(TComponent* AOwner, TRegIniFile* reg)
    : TForm(AOwner), reg_(reg) {
  SetName("frmExportFields");
  SetCaption("Select Fields To Export");
  SetPosition(poScreenCenter);
  SetClientWidth(2 * kBoxWidth + 2 * kMargin);
  const int buttonsTop = kMargin + kRowsPerColumn * kBoxHeight + kMargin;
  SetClientHeight(buttonsTop + kButtonHeight + kMargin);
  int i = 0;
  for (auto [caption, field] : kBoxes) {
    auto* box = NewControl<TCheckBox>(this, this, std::string("chk") + field);
    box->SetCaption(caption);
    box->SetBounds(kMargin + (i / kRowsPerColumn) * kBoxWidth, kMargin + (i % kRowsPerColumn) * kBoxHeight,
                   kBoxWidth, kBoxHeight);
    Boxes.push_back(box);
    ++i;
  }
  btnOk = NewControl<TButton>(this, this, "btnOk");
  btnOk->SetCaption("OK");
  btnOk->SetBounds(ClientWidth() - 2 * (kButtonWidth + kMargin), buttonsTop, kButtonWidth, kButtonHeight);
  btnOk->OnClick = [this](TObject*) {
    SaveBoxes();
    SetModalResult(mrOk);
  };
  btnCancel = NewControl<TButton>(this, this, "btnCancel");
  btnCancel->SetCaption("Cancel");
  btnCancel->SetModalResult(mrCancel);
  btnCancel->SetBounds(ClientWidth() - kButtonWidth - kMargin, buttonsTop, kButtonWidth, kButtonHeight);
  OnShow = [this](TObject*) { LoadBoxes(); };
}

void TfrmExportFields::LoadBoxes() {
  for (std::size_t i = 0; i < Boxes.size(); ++i)
    Boxes[i]->SetChecked(reg_->ReadBool(kSection, kBoxes[i].Field, true));
}

void TfrmExportFields::SaveBoxes() {
  for (std::size_t i = 0; i < Boxes.size(); ++i)
    reg_->WriteBool(kSection, kBoxes[i].Field, Boxes[i]->Checked());
}
