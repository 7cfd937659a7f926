#pragma once
// The names and version the windows show.

// The product name the messages and captions carry.
inline constexpr const char* kProductName = "Vantrel Pro 2.0";
inline constexpr const char* kVersionText = "Version 2.0.2a";
