#pragma once
// Set types over small enumerations (font styles, shift states, border icons).
#include <cstdint>
#include <initializer_list>

// A small set of enumerators 0..31, as the framework's set types ([fsBold, fsUnderline]).
template <typename E>
class TSet {
public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items)
  {
    for (E item : items)
      m_bits |= Bit(item);
  }
  static constexpr TSet FromBits(uint32_t bits)
  {
    TSet set;
    set.m_bits = bits;
    return set;
  }

  constexpr bool Contains(E item) const { return (m_bits & Bit(item)) != 0; }
  constexpr bool Empty() const { return m_bits == 0; }
  constexpr uint32_t Bits() const { return m_bits; }

  constexpr TSet operator+(TSet other) const { return FromBits(m_bits | other.m_bits); }
  constexpr TSet operator-(TSet other) const { return FromBits(m_bits & ~other.m_bits); }
  constexpr TSet operator*(TSet other) const { return FromBits(m_bits & other.m_bits); }
  TSet& operator+=(TSet other) { m_bits |= other.m_bits; return *this; }
  TSet& operator-=(TSet other) { m_bits &= ~other.m_bits; return *this; }
  TSet& Include(E item) { m_bits |= Bit(item); return *this; }
  TSet& Exclude(E item) { m_bits &= ~Bit(item); return *this; }
  constexpr bool operator==(TSet other) const { return m_bits == other.m_bits; }
  constexpr bool operator!=(TSet other) const { return m_bits != other.m_bits; }

private:
  static constexpr uint32_t Bit(E item) { return uint32_t{1} << static_cast<unsigned>(item); }
  uint32_t m_bits = 0;
};
