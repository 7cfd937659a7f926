#pragma once
// TDataSource binds a dataset to the controls and pipelines that show it; each
// of those holds a TDataLink through which the dataset's notifications arrive.

#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/db/dbtypes.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/strings.h"  // TNotifyEvent

class TDataSource;
class TDataLink;

using TDataChangeEvent = std::function<void(TObject* sender, TField* field)>;

class TDataSource : public TComponent {
  DECLARE_CLASS(TDataSource, TComponent)
 public:
  explicit TDataSource(TComponent* owner = nullptr);
  ~TDataSource() override;

  TDataSet* DataSet() const { return dataSet_; }
  // Refuses a dataset whose chain of masters leads back to this source.
  void SetDataSet(TDataSet* dataSet);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool AutoEdit() const { return autoEdit_; }
  void SetAutoEdit(bool on) { autoEdit_ = on; }
  TDataSetState State() const { return state_; }
  // Puts the dataset in edit mode when AutoEdit allows it and it is browsing.
  void Edit();
  bool IsLinkedTo(TDataSet* dataSet) const;
  int DataLinkCount() const { return int(links_.size()); }

  TNotifyEvent OnStateChange;
  TDataChangeEvent OnDataChange;
  TNotifyEvent OnUpdateData;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void AddDataLink(TDataLink* link);
  void RemoveDataLink(TDataLink* link);
  void DataEvent(TDataEvent event, std::intptr_t info);
  void NotifyDataLinks(TDataEvent event, std::intptr_t info);
  // Only the links of detail datasets (their controls are still).
  void NotifyDetailLinks(TDataEvent event, std::intptr_t info);
  void UpdateState();

  TDataSet* dataSet_ = nullptr;
  std::vector<TDataLink*> links_;
  bool enabled_ = true;
  bool autoEdit_ = true;
  TDataSetState state_ = dsInactive;
};

class TDataLink : public TPersistent {
  DECLARE_CLASS(TDataLink, TPersistent)
 public:
  TDataLink();
  ~TDataLink() override;

  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  // Rows of the dataset's window this link shows; the dataset keeps at least
  // as many buffers as its largest link asks for.
  int BufferCount() const { return bufferCount_; }
  void SetBufferCount(int value);
  // The active record as a row of this link's range, and setting it (for
  // painting rows, the dataset's active buffer moves temporarily).
  int ActiveRecord() const;
  void SetActiveRecord(int value);
  int RecordCount() const;
  // The first window row this link shows.
  int FirstRecord() const { return firstRecord_; }
  bool Edit();
  void UpdateRecord();
  bool Bof() const;
  bool Eof() const;
  int MoveBy(int distance);

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TField** /*field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void UpdateData() {}

 private:
  friend class TDataSet;
  friend class TDataSource;
  void DataEvent(TDataEvent event, std::intptr_t info);
  void SetActive(bool value);
  void UpdateState();
  void UpdateRange();
  void SetEditing(bool value);

  TDataSource* dataSource_ = nullptr;
  int bufferCount_ = 1;
  int firstRecord_ = 0;
  bool active_ = false;
  bool editing_ = false;
  bool readOnly_ = false;
  bool updating_ = false;
};

// The link of a control bound to one field.
class TFieldDataLink : public TDataLink {
  DECLARE_CLASS(TFieldDataLink, TDataLink)
 public:
  using TLinkEvent = std::function<void(TFieldDataLink* sender)>;
  TField* Field() const { return field_; }
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& name);
  TComponent* Control() const { return control_; }
  void SetControl(TComponent* control) { control_ = control; }
  // True when the field can be edited through this link.
  bool CanModify() const;
  // Puts the dataset in edit mode for the control; true when editing.
  bool Edit();
  bool Editing() const { return fieldEditing_; }
  // The control's text changed: the link will ask it to write back.
  void Modified() { modified_ = true; }
  bool IsModified() const { return modified_; }
  // Drops the control's changes and shows the field again.
  void Reset();

  TLinkEvent OnDataChange, OnEditingChange, OnUpdateData, OnActiveChange;
  // Asked to focus the control when its field must take the focus; true when it did.
  std::function<bool(TFieldDataLink* sender)> OnFocusControl;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void FocusControl(TField** field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;

 private:
  void UpdateField();
  void SetField(TField* field);
  TField* field_ = nullptr;
  std::string fieldName_;
  TComponent* control_ = nullptr;
  bool modified_ = false;
  bool fieldEditing_ = false;
};

// The link of a detail dataset to its master: it follows the master's record and
// tells the detail when the master fields' values change.
class TMasterDataLink : public TDataLink {
  DECLARE_CLASS(TMasterDataLink, TDataLink)
 public:
  using TLinkEvent = std::function<void(TMasterDataLink* sender)>;
  explicit TMasterDataLink(TDataSet* detail);
  TDataSet* Detail() const { return detail_; }
  const std::string& FieldNames() const { return fieldNames_; }
  void SetFieldNames(const std::string& names);
  // The master's fields named by FieldNames while the link is active.
  const std::vector<TField*>& Fields() const { return fields_; }

  TLinkEvent OnMasterChange, OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void LayoutChanged() override { ActiveChanged(); }
  void RecordChanged(TField* field) override;

 private:
  TDataSet* detail_;
  std::string fieldNames_;
  std::vector<TField*> fields_;
};
