#include "winctrls/filedrag.h"

#include <algorithm>

#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TFileDrag, TComponent)
IMPLEMENT_CLASS(TSystemImageList, TImageList)

// ---- TFileDrag --------------------------------------------------------------

TFileDrag::TFileDrag(TComponent* AOwner)
    : TComponent(AOwner),
      nameWithPath_(std::make_unique<TStringList>()),
      nameOnly_(std::make_unique<TStringList>()),
      extension_(std::make_unique<TStringList>()) {
  window_ = dynamic_cast<TWinControl*>(AOwner);
  if (!window_) return;
  window_->FreeNotification(this);
  // Drops are taken here; every other message goes on to the window.
  hook_ = window_->AddWindowHook([this](TMessage& m, const TWndMethod& next) {
    if (m.Msg != WM_DROPFILES) return next(m);
    Drop(reinterpret_cast<HDROP>(m.WParam));
  });
  DragAcceptFiles(window_, enableDrop_);
}

TFileDrag::~TFileDrag() {
  if (!window_) return;
  window_->RemoveWindowHook(hook_);
  DragAcceptFiles(window_, false);
}

void TFileDrag::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == window_) window_ = nullptr;
}

void TFileDrag::SetEnableDrop(bool value) {
  enableDrop_ = value;
  if (window_) DragAcceptFiles(window_, value);
}

void SplitDroppedPath(const std::string& path, std::string& name, std::string& extension) {
  const size_t slash = path.rfind('/');
  name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find('.');
  extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

void TFileDrag::Drop(HDROP drop) {
  nameWithPath_->Clear();
  nameOnly_->Clear();
  extension_->Clear();
  fileCount_ = DragQueryFileCount(drop);
  for (int i = 0; i < fileCount_; ++i) {
    // Kept verbatim, odd bytes and all: it is the file's real name.
    const std::string path = DragQueryFile(drop, i);
    std::string name, ext;
    SplitDroppedPath(path, name, ext);
    nameWithPath_->Add(path);
    nameOnly_->Add(name);
    extension_->Add(ext);
  }
  if (OnDrop) OnDrop(this);
}

// ---- TSystemImageList -------------------------------------------------------

TSystemImageList::TSystemImageList(TComponent* AOwner)
    : TImageList(AOwner), IconSource(&FileTypeIcon), TypeIconSource(&ThemeIcon) {}

TSystemImageList::~TSystemImageList() = default;

int TSystemImageList::AddIconImage(const TIconImage& icon) {
  TBitmap image, mask;
  image.SetSize(Width(), Height());
  mask.SetSize(Width(), Height());
  for (int y = 0; y < Height(); ++y)
    for (int x = 0; x < Width(); ++x) {
      // Scaled by nearest pixel when the icon is not the list's size.
      const std::uint32_t argb = icon.Pixel(x * icon.Width / Width(), y * icon.Height / Height());
      image.Canvas()->SetPixels(x, y, RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
      mask.Canvas()->SetPixels(x, y, (argb >> 24) < 128 ? clWhite : clBlack);
    }
  return Add(&image, &mask);
}

void TSystemImageList::AddDefaultIcon() {
  fileTypes_["DEFAULT"] = AddIconImage(DefaultDocumentIcon(std::max(Width(), Height())));
}

int TSystemImageList::TypeIndex(const std::string& type, const TIconSource& source,
                                const std::string& name) {
  if (const auto t = fileTypes_.find(type); t != fileTypes_.end()) return t->second;
  const TIconImage icon = source ? source(name, std::max(Width(), Height())) : TIconImage{};
  if (icon.Empty() || icon.Width <= 0 || icon.Height <= 0) return 0;
  return fileTypes_[type] = AddIconImage(icon);
}

int TSystemImageList::IconIndexOfFileType(const std::string& fileType) {
  // Theme icon names are lower case.
  return TypeIndex(UpperCase(fileType), TypeIconSource, LowerCase(fileType));
}

int TSystemImageList::IconIndexOfExtension(const std::string& ext) {
  const std::string key = UpperCase(ext);
  if (const auto it = extensions_.find(key); it != extensions_.end()) return it->second;
  // A type the MIME database does not know is looked for again next time.
  const std::vector<std::string> names = FileTypeIconNames(ext);
  if (names.empty()) return 0;
  // A type without an icon shows the default one; that answer is kept for
  // the extension, while the type is asked again for its next extension.
  return extensions_[key] = TypeIndex(UpperCase(names.front()), IconSource, ext);
}

// Off unless a form definition says otherwise, as the constructor leaves it.
PUBLISHED(TFileDrag) {
  PROP_BOOL(EnableDrop, EnableDrop, SetEnableDrop, false);
  PROP_EVENT(OnDrop);
}
