#pragma once
// Shared helpers of the data-access tests: a dataset of numbered rows and an
// event recorder.

#include <memory>
#include <string>
#include <vector>

#include "memdataset.h"

// A dataset with ID (integer), Name (string 20) and Amount (float), holding
// `rows` rows ID = 1..rows, Name = "N<id>", Amount = id * 1.5.
std::unique_ptr<TMemDataSet> MakeNumbered(int rows, TComponent* owner = nullptr);
// Gives a closed dataset without fields those fields and rows, and opens it.
void FillNumbered(TMemDataSet& ds, int rows);

// Records the dataset's Before/After and other events, in order, as names.
struct EventLog {
  std::vector<std::string> names;
  void Attach(TDataSet& ds);
  std::string Joined() const;
  void Clear() { names.clear(); }
};

// A persistent field of class F named `name`, owned by and placed on ds
// (a text field takes `size` characters).
template <class F>
F* AddField(TDataSet& ds, const std::string& name, TFieldKind kind = fkData, int size = 0) {
  auto* f = new F(&ds);
  f->SetFieldName(name);
  f->SetFieldKind(kind);
  if (size > 0) f->SetSize(size);
  f->SetDataSet(&ds);
  return f;
}

#include "platform/classlib/db/datasource.h"

// A data link that records what it is told.
class TRecordingLink : public TDataLink {
 public:
  explicit TRecordingLink(int buffers = 1) { SetBufferCount(buffers); }
  std::vector<std::string> calls;
  std::string Joined() const;
  void Clear() { calls.clear(); }
  // Values of a field over the rows this link shows.
  std::vector<std::string> Rows(const std::string& fieldName);

 protected:
  void ActiveChanged() override { calls.push_back(Active() ? "active" : "inactive"); }
  void CheckBrowseMode() override { calls.push_back("checkbrowse"); }
  void DataSetChanged() override { calls.push_back("changed"); }
  void DataSetScrolled(int distance) override { calls.push_back("scrolled " + std::to_string(distance)); }
  void EditingChanged() override { calls.push_back(Editing() ? "editing" : "not editing"); }
  void LayoutChanged() override { calls.push_back("layout"); }
  void RecordChanged(TField* field) override {
    calls.push_back(field ? "record " + field->FieldName() : "record");
  }
  void UpdateData() override { calls.push_back("updatedata"); }
};
