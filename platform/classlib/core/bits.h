#pragma once
// TBits: a growable array of bits, clear until set. Setting a bit at or past
// Size grows the array to hold it; reading one there, or any negative index or
// size, raises EBitsError "Bits index out of range".

#include <vector>

#include "platform/classlib/core/object.h"

class TBits : public TObject {
  DECLARE_CLASS(TBits, TObject)
 public:
  TBits() = default;

  bool Bits(int index) const;
  void SetBits(int index, bool value);
  bool operator[](int index) const { return Bits(index); }

  int Size() const { return static_cast<int>(bits_.size()); }
  // Growing adds clear bits; shrinking drops the bits at the end.
  void SetSize(int size);
  // The index of the first clear bit; Size when every bit is set.
  int OpenBit() const;

 private:
  std::vector<bool> bits_;
};
