#pragma once
// The case-blind order of texts that a database's text columns and the
// engine's comparisons share, so that an index walks its texts in the very
// order in which the engine compares them (ranges, key searches, sorts).

#include <string_view>

// Each character folded as AnsiFoldCase folds it, a malformed byte kept as
// it is, and the results compared byte by byte: -1, 0 or 1. On well-formed
// text that is the order of the folded characters' code points; a stray byte
// sorts by its value among the bytes that start characters, as the engine
// compares it, not as U+FFFD.
int CompareFoldedText(std::string_view a, std::string_view b);
