#include "platform/classlib/controls/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/qtbridge.h"

using namespace vantrel::qt;

IMPLEMENT_CLASS(TClipboard, TPersistent)

namespace {
QClipboard* System() {
  return QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr;
}
}  // namespace

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}

void TClipboard::Clear() {
  if (QClipboard* c = System()) c->clear();
}

bool TClipboard::HasFormat(TClipboardFormat format) const {
  QClipboard* c = System();
  if (!c) return false;
  const QMimeData* data = c->mimeData();
  if (!data) return false;
  switch (format) {
    case CF_TEXT:
    case CF_UNICODETEXT: return data->hasText();
    case CF_BITMAP:
    case CF_DIB: return data->hasImage();
    case CF_HDROP: return data->hasUrls();
    default: return false;
  }
}

std::string TClipboard::AsText() const {
  QClipboard* c = System();
  return c ? FromQString(c->text()) : std::string();
}

void TClipboard::SetAsText(const std::string& text) {
  if (QClipboard* c = System()) c->setText(ToQString(text));
}

void TClipboard::Assign(const TPersistent* source) {
  QClipboard* c = System();
  if (!c) return;
  auto* src = const_cast<TPersistent*>(source);
  if (auto* pic = As<TPicture>(src)) {
    if (auto* b = As<TBitmap>(pic->Graphic())) src = b;
  }
  if (auto* b = As<TBitmap>(src)) {
    c->setImage(BitmapImage(*b).copy());
    return;
  }
  TPersistent::Assign(source);
}

void TClipboard::GetPicture(TPersistent* dest) const {
  QClipboard* c = System();
  const QImage image = c ? c->image() : QImage();
  if (image.isNull()) throw EConvertError("The clipboard holds no picture");
  TBitmap* target = As<TBitmap>(dest);
  if (auto* pic = As<TPicture>(dest)) target = pic->Bitmap();
  if (!target) throw EConvertError("Cannot assign a TClipboard to a " + dest->ClassName());
  target->SetSize(image.width(), image.height());
  BitmapImage(*target) = image.convertToFormat(QImage::Format_RGB32);
  target->SetModified(true);
}
