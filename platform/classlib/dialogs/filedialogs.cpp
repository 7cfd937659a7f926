// TOpenDialog and TSaveDialog: the real Qt file dialog or the responder
// chooses names; one routine completes and checks them either way.

#include <QFileDialog>
#include <QHeaderView>
#include <QScreen>
#include <QStringList>
#include <QTreeView>

#include <filesystem>

#include "platform/classlib/core/format.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/dialogs/responder.h"
#include "platform/classlib/graphics/qtbridge.h"

using vantrel::qt::FromQString;
using vantrel::qt::ToQString;
namespace fs = std::filesystem;

IMPLEMENT_CLASS(TOpenDialog, TCommonDialog)
IMPLEMENT_CLASS(TSaveDialog, TOpenDialog)

namespace {

std::vector<std::string> SplitBar(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return parts;
}

// "Text (*.txt *.log)" for Qt from "Text" and "*.txt;*.log". Patterns the
// description shows already ("Text (*.txt)") are replaced by the real ones,
// and "*.*" means every file, as it does on the system the filters were
// written for (Qt's would skip names without a dot).
QString QtNameFilter(const TOpenDialog::FilterEntry& entry) {
  QStringList patterns;
  for (const QString& p : ToQString(entry.Patterns).split(';', Qt::SkipEmptyParts))
    patterns << (p.trimmed() == "*.*" ? QString("*") : p.trimmed());
  QString description = ToQString(entry.Description).trimmed();
  if (description.endsWith(')') && description.contains('('))
    description = description.left(description.lastIndexOf('(')).trimmed();
  return description + " (" + patterns.join(' ') + ")";
}

// Qt's own file dialog opens at its size hint, where the size, type and date
// columns beside the names are cut. Those three take the width of what they
// show and the names the rest, in a dialog wide enough for them beside a name
// of about forty characters and the places list, but no larger than the
// screen.
void FitColumns(QFileDialog& dialog) {
  constexpr int kWidthInChars = 130, kHeightInLines = 34;
  const QFontMetrics metrics = dialog.fontMetrics();
  QSize size = QSize(kWidthInChars * metrics.averageCharWidth(), kHeightInLines * metrics.lineSpacing())
                   .expandedTo(dialog.sizeHint());
  if (const QScreen* screen = dialog.screen()) size = size.boundedTo(screen->availableGeometry().size());
  dialog.resize(size);
  // The detail view is the dialog's only tree view (the places list is a list).
  auto* details = dialog.findChild<QTreeView*>();
  if (!details) return;
  QHeaderView* header = details->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < header->count(); ++column)
    header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

bool Confirm(const std::string& text) {
  return MessageDlg(text, mtConfirmation, {mbYes, mbNo}, 0) == mrYes;
}

void Refuse(const std::string& text) { MessageDlg(text, mtWarning, {mbOK}, 0); }

}  // namespace

TOpenDialog::TOpenDialog(TComponent* AOwner)
    : TCommonDialog(AOwner), files_(std::make_unique<TStringList>()) {}
TOpenDialog::~TOpenDialog() = default;

TSaveDialog::TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}

void TOpenDialog::SetDefaultExt(const std::string& ext) {
  defaultExt_ = !ext.empty() && ext.front() == '.' ? ext.substr(1) : ext;
}

std::vector<TOpenDialog::FilterEntry> TOpenDialog::FilterEntries() const {
  std::vector<FilterEntry> entries;
  if (filter_.empty()) return entries;
  std::vector<std::string> parts = SplitBar(filter_);
  // A description without patterns stands for itself as the pattern.
  for (size_t i = 0; i < parts.size(); i += 2)
    entries.push_back({parts[i], i + 1 < parts.size() ? parts[i + 1] : parts[i]});
  return entries;
}

bool TOpenDialog::Execute() {
  files_->Clear();
  return ExecuteChecked(Saving() ? TDialogKind::SaveFile : TDialogKind::OpenFile,
                        [this] { return RunQtDialog(); },
                        [this] {
                          if (AcceptChosenFiles()) return true;
                          files_->Clear();  // the next round chooses afresh
                          return false;
                        });
}

bool TOpenDialog::RunQtDialog() {
  vantrel::dialogs::RequireWindowSystem();
  QFileDialog dialog(nullptr, ToQString(Title()), ToQString(initialDir_));
  dialog.setAcceptMode(Saving() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (Saving()) dialog.setFileMode(QFileDialog::AnyFile);
  else if (options_.Contains(ofAllowMultiSelect)) dialog.setFileMode(QFileDialog::ExistingFiles);
  else if (options_.Contains(ofFileMustExist)) dialog.setFileMode(QFileDialog::ExistingFile);
  else dialog.setFileMode(QFileDialog::AnyFile);
  // Replacing is asked by AcceptChosenFiles, for the responder's names too.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters;
  for (const FilterEntry& entry : FilterEntries()) filters << QtNameFilter(entry);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (filterIndex_ >= 1 && filterIndex_ <= filters.size())
      dialog.selectNameFilter(filters[filterIndex_ - 1]);
  }
  if (!fileName_.empty()) dialog.selectFile(ToQString(fileName_));
  FitColumns(dialog);
  if (OnShow) OnShow(this);
  bool accepted = dialog.exec() == QDialog::Accepted;
  if (OnClose) OnClose(this);
  if (!accepted) return false;
  for (const QString& name : dialog.selectedFiles()) files_->Add(FromQString(name));
  if (int chosen = filters.indexOf(dialog.selectedNameFilter()); chosen >= 0)
    filterIndex_ = chosen + 1;
  return true;
}

std::string TOpenDialog::CompleteName(const std::string& name) const {
  fs::path path(name);
  if (path.is_relative()) {
    fs::path base = initialDir_.empty() ? fs::current_path() : fs::path(initialDir_);
    path = base / path;
  }
  if (!defaultExt_.empty() && !path.has_extension()) path += "." + defaultExt_;
  return path.lexically_normal().string();
}

bool TOpenDialog::AcceptChosenFiles() {
  if (files_->Count() == 0) {
    if (fileName_.empty())
      throw EInvalidOperation("The file dialog was accepted without a file name");
    files_->Add(fileName_);
  }
  if (!options_.Contains(ofAllowMultiSelect))
    while (files_->Count() > 1) files_->Delete(files_->Count() - 1);
  for (int i = 0; i < files_->Count(); ++i) {
    std::string name = CompleteName(files_->Strings(i));
    files_->SetStrings(i, name);
    std::error_code ec;
    bool exists = fs::exists(name, ec);
    if (!exists && !Saving() && options_.Contains(ofFileMustExist)) {
      Refuse(name + "\nFile not found.\nPlease verify the correct file name was given.");
      return false;
    }
    if (options_.Contains(ofPathMustExist) && !fs::is_directory(fs::path(name).parent_path(), ec)) {
      Refuse(name + "\nPath does not exist.\nPlease verify the correct path was given.");
      return false;
    }
    if (exists && Saving() && options_.Contains(ofOverwritePrompt) &&
        !Confirm(name + " already exists.\nDo you want to replace it?"))
      return false;
  }
  fileName_ = files_->Strings(0);
  return true;
}
