// Unicode's simple case folding and case mappings: the fold that case-blind
// comparisons, the database's text order and the filters' case variants all
// go through, and the upper and lower case of the text routines.
//
// The pairs come generated from an authoritative source (scripts/gen-case-fold.sh);
// the lookup tables are built from them by the compiler, so nothing is built
// when the program runs. A mapping is two array reads: the block of 64 code
// points a character lies in names one of the few distinct blocks of
// differences (most blocks change nothing and share the block of zeros), and
// that block holds what to add to the character.

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/classlib/core/strutils.h"

namespace {

struct TCasePair {
  char32_t from, to;
};

// Each table: the characters its mapping changes, in code point order.
constexpr TCasePair kFolds[] = {
#include "platform/classlib/core/casefoldtable.inc"
};
constexpr TCasePair kUppers[] = {
#include "platform/classlib/core/caseuppertable.inc"
};
constexpr TCasePair kLowers[] = {
#include "platform/classlib/core/caselowertable.inc"
};
constexpr std::size_t kFoldCount = std::size(kFolds);

constexpr unsigned kBlockBits = 6;
constexpr char32_t kBlockSize = char32_t{1} << kBlockBits;

// Past the last character a table changes: every character from here on is
// its own image.
template <const auto& kPairs>
constexpr char32_t kMapEnd = (std::end(kPairs)[-1].from / kBlockSize + 1) * kBlockSize;
template <const auto& kPairs>
constexpr std::size_t kBlockCount = kMapEnd<kPairs> / kBlockSize;

// Where each block's pairs start in the table (the pairs are in code point
// order), and whether two blocks' pairs map alike.
struct TBlockPairs {
  std::size_t first = 0, last = 0;  // [first, last)
};
template <const auto& kPairs>
consteval std::array<TBlockPairs, kBlockCount<kPairs>> PairsOfBlocks() {
  std::array<TBlockPairs, kBlockCount<kPairs>> out{};
  std::size_t at = 0;
  for (std::size_t b = 0; b < out.size(); ++b) {
    out[b].first = at;
    while (at < std::size(kPairs) && kPairs[at].from / kBlockSize == b) ++at;
    out[b].last = at;
  }
  return out;
}
template <const auto& kPairs>
constexpr auto kBlockPairs = PairsOfBlocks<kPairs>();

template <const auto& kPairs>
consteval bool SameDifferences(TBlockPairs x, TBlockPairs y) {
  if (x.last - x.first != y.last - y.first) return false;
  for (std::size_t i = 0; i < x.last - x.first; ++i) {
    const TCasePair a = kPairs[x.first + i], b = kPairs[y.first + i];
    if (a.from % kBlockSize != b.from % kBlockSize || a.to - a.from != b.to - b.from) return false;
  }
  return true;
}

// Each block's number among the distinct ones (0: the block of zeros), and
// how many distinct ones there are.
template <std::size_t kBlocks>
struct TBlockNumbers {
  std::array<std::uint8_t, kBlocks> number{};
  std::size_t distinct = 1;
};
template <const auto& kPairs>
consteval TBlockNumbers<kBlockCount<kPairs>> NumberBlocks() {
  constexpr auto& blocks = kBlockPairs<kPairs>;
  TBlockNumbers<kBlockCount<kPairs>> out;
  std::array<std::size_t, 256> firstOf{};  // a block of each distinct number
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (blocks[b].first == blocks[b].last) continue;
    std::size_t n = 1;
    while (n < out.distinct && !SameDifferences<kPairs>(blocks[firstOf[n]], blocks[b])) ++n;
    if (n == out.distinct) {
      if (n == firstOf.size()) throw "more distinct blocks than a byte numbers";
      firstOf[out.distinct++] = b;
    }
    out.number[b] = static_cast<std::uint8_t>(n);
  }
  return out;
}
template <const auto& kPairs>
constexpr auto kNumbers = NumberBlocks<kPairs>();

template <const auto& kPairs>
using TDifferences = std::array<std::array<std::int32_t, kBlockSize>, kNumbers<kPairs>.distinct>;
template <const auto& kPairs>
consteval TDifferences<kPairs> Differences() {
  constexpr auto& blocks = kBlockPairs<kPairs>;
  TDifferences<kPairs> out{};
  for (std::size_t b = 0; b < blocks.size(); ++b)
    for (std::size_t i = blocks[b].first; i < blocks[b].last; ++i)
      out[kNumbers<kPairs>.number[b]][kPairs[i].from % kBlockSize] =
          static_cast<std::int32_t>(kPairs[i].to) - static_cast<std::int32_t>(kPairs[i].from);
  return out;
}
template <const auto& kPairs>
constexpr auto kDifferences = Differences<kPairs>();

// The image of a character under a table's mapping.
template <const auto& kPairs>
constexpr char32_t Map(char32_t cp) {
  if (cp >= kMapEnd<kPairs>) return cp;
  return static_cast<char32_t>(static_cast<std::int32_t>(cp) +
                               kDifferences<kPairs>[kNumbers<kPairs>.number[cp / kBlockSize]][cp % kBlockSize]);
}
constexpr char32_t Fold(char32_t cp) { return Map<kFolds>(cp); }
constexpr char32_t Upper(char32_t cp) { return Map<kUppers>(cp); }
constexpr char32_t Lower(char32_t cp) { return Map<kLowers>(cp); }

// The upper case of a character's fold: one character for all of a fold's
// characters, and another for every other fold. For "ı" the upper case of its
// fold is "I", which folds to "i", a letter "ı" is no case of: such a fold
// stands for itself.
constexpr char32_t UpperFolded(char32_t cp) {
  const char32_t fold = Fold(cp), upper = Upper(fold);
  return Fold(upper) == fold ? upper : fold;
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
  for (const TCasePair& p : kFolds) ++start[groupOf(p.to) + 1];
  for (std::size_t g = 0; g < kGroupCount; ++g) start[g + 1] += start[g];
  std::array<char32_t, kCaseMemberCount> out{};
  std::array<std::size_t, kGroupCount> next{};
  std::copy_n(start.begin(), kGroupCount, next.begin());
  for (const TCasePair& p : kFolds) out[next[groupOf(p.to)]++] = p.from;  // in code point order
  for (std::size_t g = 0; g < kGroupCount; ++g) {  // the fold among them, in its place
    std::size_t at = next[g];
    out[at] = kGroups[g];
    for (; at > start[g] && out[at - 1] > out[at]; --at) std::swap(out[at - 1], out[at]);
  }
  return out;
}
constexpr auto kCaseMembers = CaseMembers();

static_assert(Fold(U'A') == U'a' && Fold(U'a') == U'a' && Fold(0x212A) == U'k' && Fold(0x1E9E) == 0xDF);
static_assert(Upper(U'a') == U'A' && Upper(0x1A1) == 0x1A0 && Upper(0xDF) == 0xDF && Upper(0x1F80) == 0x1F88);
static_assert(Lower(U'A') == U'a' && Lower(0x212A) == U'k' && Lower(0x130) == U'i');
static_assert(UpperFolded(0x212A) == U'K' && UpperFolded(0x1E9E) == 0xDF && UpperFolded(0x131) == 0x131);

}  // namespace

char32_t UnicodeFold(char32_t cp) { return Fold(cp); }
char32_t UnicodeUpper(char32_t cp) { return Upper(cp); }
char32_t UnicodeLower(char32_t cp) { return Lower(cp); }
char32_t UnicodeUpperFolded(char32_t cp) { return UpperFolded(cp); }

std::u32string UnicodeCaseVariants(char32_t cp) {
  const auto [first, last] =
      std::equal_range(kCaseMembers.begin(), kCaseMembers.end(), cp,
                       [](char32_t a, char32_t b) { return Fold(a) < Fold(b); });
  if (last - first < 2) return std::u32string(1, cp);
  return std::u32string(first, last);
}
