#include "platform/classlib/core/bits.h"

#include <algorithm>

#include "platform/classlib/core/exceptions.h"

IMPLEMENT_CLASS(TBits, TObject)

namespace {
[[noreturn]] void BitsError() { throw EBitsError("Bits index out of range"); }
}  // namespace

bool TBits::Bits(int index) const {
  if (index < 0 || index >= Size()) BitsError();
  return bits_[index];
}

void TBits::SetBits(int index, bool value) {
  if (index < 0) BitsError();
  if (index >= Size()) SetSize(index + 1);
  bits_[index] = value;
}

void TBits::SetSize(int size) {
  if (size < 0) BitsError();
  bits_.resize(size, false);
}

int TBits::OpenBit() const {
  return static_cast<int>(std::find(bits_.begin(), bits_.end(), false) - bits_.begin());
}
