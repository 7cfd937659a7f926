// Unicode's simple case folding: the fold that case-blind comparisons, the
// database's text order and the filters' case variants all go through.
//
// The pairs come generated from an authoritative source (scripts/gen-case-fold.sh);
// the lookup tables are built from them by the compiler, so nothing is built
// when the program runs. A fold is two array reads: the block of 64 code
// points a character lies in names one of the few distinct blocks of
// differences (most blocks fold nothing and share the block of zeros), and
// that block holds what to add to the character.

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/classlib/core/strutils.h"

namespace {

struct TFoldPair {
  char32_t from, to;
};

constexpr TFoldPair kFolds[] = {
#include "platform/classlib/core/casefoldtable.inc"
};
constexpr std::size_t kFoldCount = std::size(kFolds);

constexpr unsigned kBlockBits = 6;
constexpr char32_t kBlockSize = char32_t{1} << kBlockBits;
// Past the last character that folds: every character from here on is its own fold.
constexpr char32_t kFoldEnd = (kFolds[kFoldCount - 1].from / kBlockSize + 1) * kBlockSize;
constexpr std::size_t kBlockCount = kFoldEnd / kBlockSize;

// Where each block's pairs start in kFolds (the pairs are in code point order),
// and whether two blocks' pairs fold alike.
struct TBlockPairs {
  std::size_t first = 0, last = 0;  // [first, last)
};
consteval std::array<TBlockPairs, kBlockCount> PairsOfBlocks() {
  std::array<TBlockPairs, kBlockCount> out{};
  std::size_t at = 0;
  for (std::size_t b = 0; b < kBlockCount; ++b) {
    out[b].first = at;
    while (at < kFoldCount && kFolds[at].from / kBlockSize == b) ++at;
    out[b].last = at;
  }
  return out;
}
constexpr auto kBlockPairs = PairsOfBlocks();

consteval bool SameDifferences(TBlockPairs x, TBlockPairs y) {
  if (x.last - x.first != y.last - y.first) return false;
  for (std::size_t i = 0; i < x.last - x.first; ++i) {
    const TFoldPair a = kFolds[x.first + i], b = kFolds[y.first + i];
    if (a.from % kBlockSize != b.from % kBlockSize || a.to - a.from != b.to - b.from) return false;
  }
  return true;
}

// Each block's number among the distinct ones (0: the block of zeros), and
// how many distinct ones there are.
struct TBlockNumbers {
  std::array<std::uint8_t, kBlockCount> number{};
  std::size_t distinct = 1;
};
consteval TBlockNumbers NumberBlocks() {
  TBlockNumbers out;
  std::array<std::size_t, 256> firstOf{};  // a block of each distinct number
  for (std::size_t b = 0; b < kBlockCount; ++b) {
    if (kBlockPairs[b].first == kBlockPairs[b].last) continue;
    std::size_t n = 1;
    while (n < out.distinct && !SameDifferences(kBlockPairs[firstOf[n]], kBlockPairs[b])) ++n;
    if (n == out.distinct) {
      if (n == firstOf.size()) throw "more distinct blocks than a byte numbers";
      firstOf[out.distinct++] = b;
    }
    out.number[b] = static_cast<std::uint8_t>(n);
  }
  return out;
}
constexpr TBlockNumbers kNumbers = NumberBlocks();

using TDifferences = std::array<std::array<std::int32_t, kBlockSize>, kNumbers.distinct>;
consteval TDifferences Differences() {
  TDifferences out{};
  for (std::size_t b = 0; b < kBlockCount; ++b)
    for (std::size_t i = kBlockPairs[b].first; i < kBlockPairs[b].last; ++i)
      out[kNumbers.number[b]][kFolds[i].from % kBlockSize] =
          static_cast<std::int32_t>(kFolds[i].to) - static_cast<std::int32_t>(kFolds[i].from);
  return out;
}
constexpr TDifferences kDifferences = Differences();

constexpr char32_t Fold(char32_t cp) {
  if (cp >= kFoldEnd) return cp;
  return static_cast<char32_t>(static_cast<std::int32_t>(cp) +
                               kDifferences[kNumbers.number[cp / kBlockSize]][cp % kBlockSize]);
}

// The characters folded to, in code point order: each fold a group of
// characters shares.
consteval std::array<char32_t, kFoldCount> SortedTargets() {
  std::array<char32_t, kFoldCount> out{};
  for (std::size_t i = 0; i < kFoldCount; ++i) out[i] = kFolds[i].to;
  std::sort(out.begin(), out.end());
  return out;
}
constexpr auto kSortedTargets = SortedTargets();
consteval std::size_t CountGroups() {
  auto targets = kSortedTargets;
  return static_cast<std::size_t>(std::unique(targets.begin(), targets.end()) - targets.begin());
}
constexpr std::size_t kGroupCount = CountGroups();
consteval std::array<char32_t, kGroupCount> Groups() {
  std::array<char32_t, kGroupCount> out{};
  std::unique_copy(kSortedTargets.begin(), kSortedTargets.end(), out.begin());
  return out;
}
constexpr auto kGroups = Groups();

// Every character that shares its fold with another, ordered by its fold and
// then by itself, so that a fold's characters stand together: each group's
// fold (which folds to itself) and the characters folding to it. Counted
// into place rather than sorted, which would take the compiler long.
constexpr std::size_t kCaseMemberCount = kFoldCount + kGroupCount;
consteval std::array<char32_t, kCaseMemberCount> CaseMembers() {
  const auto groupOf = [](char32_t fold) {
    return static_cast<std::size_t>(std::lower_bound(kGroups.begin(), kGroups.end(), fold) - kGroups.begin());
  };
  std::array<std::size_t, kGroupCount + 1> start{};
  for (std::size_t g = 0; g < kGroupCount; ++g) start[g + 1] = 1;  // the fold itself
  for (const TFoldPair& p : kFolds) ++start[groupOf(p.to) + 1];
  for (std::size_t g = 0; g < kGroupCount; ++g) start[g + 1] += start[g];
  std::array<char32_t, kCaseMemberCount> out{};
  std::array<std::size_t, kGroupCount> next{};
  std::copy_n(start.begin(), kGroupCount, next.begin());
  for (const TFoldPair& p : kFolds) out[next[groupOf(p.to)]++] = p.from;  // in code point order
  for (std::size_t g = 0; g < kGroupCount; ++g) {  // the fold among them, in its place
    std::size_t at = next[g];
    out[at] = kGroups[g];
    for (; at > start[g] && out[at - 1] > out[at]; --at) std::swap(out[at - 1], out[at]);
  }
  return out;
}
constexpr auto kCaseMembers = CaseMembers();

static_assert(Fold(U'A') == U'a' && Fold(U'a') == U'a' && Fold(0x212A) == U'k' && Fold(0x1E9E) == 0xDF);

}  // namespace

char32_t UnicodeFold(char32_t cp) { return Fold(cp); }

std::u32string UnicodeCaseVariants(char32_t cp) {
  const auto [first, last] =
      std::equal_range(kCaseMembers.begin(), kCaseMembers.end(), cp,
                       [](char32_t a, char32_t b) { return Fold(a) < Fold(b); });
  if (last - first < 2) return std::u32string(1, cp);
  return std::u32string(first, last);
}
