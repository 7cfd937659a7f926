#pragma once
// TSet<E>: a set of the values of an enumeration ("set of TFilterOption"),
// held as a bit mask. Enumerations have at most 64 values, counted from 0.

#include <cstdint>
#include <initializer_list>

template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E v : values) bits_ |= Bit(v);
  }
  static constexpr TSet FromBits(uint64_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }

  constexpr uint64_t Bits() const { return bits_; }
  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }

  constexpr TSet& Include(E v) {
    bits_ |= Bit(v);
    return *this;
  }
  constexpr TSet& Exclude(E v) {
    bits_ &= ~Bit(v);
    return *this;
  }

  // Union, difference and intersection, as the language's + - * on sets.
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
  constexpr TSet& operator+=(TSet o) { return *this = *this + o; }
  constexpr TSet& operator-=(TSet o) { return *this = *this - o; }
  constexpr TSet& operator*=(TSet o) { return *this = *this * o; }
  constexpr bool operator==(const TSet&) const = default;
  // Subset test ("A <= B").
  constexpr bool operator<=(TSet o) const { return (bits_ & ~o.bits_) == 0; }

 private:
  static constexpr uint64_t Bit(E v) {
    auto n = static_cast<unsigned>(v);
    return n < 64 ? uint64_t{1} << n : 0;
  }
  uint64_t bits_ = 0;
};
