#pragma once
// Files dropped from the file manager onto a window, and the icons of file
// types for lists of attachments.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/imagelist.h"
#include "platform/win32/shell.h"

// Takes the files dropped on its owner window (while EnableDrop is set) and
// lists them before OnDrop: full paths, names and extensions, in drop order.
class TFileDrag : public TComponent {
  DECLARE_CLASS(TFileDrag, TComponent)
 public:
  explicit TFileDrag(TComponent* AOwner);
  ~TFileDrag() override;

  bool EnableDrop() const { return enableDrop_; }
  void SetEnableDrop(bool value);
  TStrings* NameWithPath() const { return nameWithPath_.get(); }
  TStrings* NameOnly() const { return nameOnly_.get(); }
  // The text after the name's leftmost dot: "tar.gz" for "report.tar.gz".
  TStrings* Extension() const { return extension_.get(); }
  int FileCount() const { return fileCount_; }

  TNotifyEvent OnDrop;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void Drop(HDROP drop);

  TWinControl* window_ = nullptr;
  int hook_ = 0;
  bool enableDrop_ = false;
  int fileCount_ = 0;
  std::unique_ptr<TStringList> nameWithPath_, nameOnly_, extension_;
};

// Splits a dropped path into its file name and extension.
void SplitDroppedPath(const std::string& path, std::string& name, std::string& extension);

// An image list that gathers the icons of file types as they are asked for,
// each added once.
class TSystemImageList : public TImageList {
  DECLARE_CLASS(TSystemImageList, TImageList)
 public:
  using TIconSource = std::function<TIconImage(const std::string& extension, int size)>;

  explicit TSystemImageList(TComponent* AOwner);
  ~TSystemImageList() override;

  // The generic document icon, cached as the type "Default".
  void AddDefaultIcon();
  // The image of an extension's type (no dot, any case); 0 when the type is
  // unknown or has no icon, which shows the default icon added first.
  int IconIndexOfExtension(const std::string& ext);
  // The image of a type (its icon name, any case, e.g. "text-plain"); a
  // type not met yet is looked up in the theme, and 0 when it has no icon.
  int IconIndexOfFileType(const std::string& fileType);

  // Where icons come from (the desktop's theme), by extension and by type
  // name; replaceable for tests.
  TIconSource IconSource;
  TIconSource TypeIconSource;

 private:
  int AddIconImage(const TIconImage& icon);
  // The type's cached image, else the fetched icon added and cached; 0 (and
  // nothing cached, so it is asked again) when there is no icon.
  int TypeIndex(const std::string& type, const TIconSource& source, const std::string& name);
  // Image indexes by upper-cased extension and by upper-cased type.
  std::map<std::string, int> extensions_, fileTypes_;
};
