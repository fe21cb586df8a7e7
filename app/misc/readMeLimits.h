#pragma once
// Bounds of the read-me list: every add rewrites the whole list, so neither
// an address nor the list may grow without end.
#include <cstddef>

// Longest address taken into the list, in bytes.
inline constexpr std::size_t kMaxReadMeAddressLength = 2048;
// Most entries the list takes; a list loaded with more keeps them all but
// takes no new ones.
inline constexpr int kMaxReadMeEntries = 1000;
