// What an item is at one moment, so that a plan can tell later whether it changed: a file by its
// size and last write, a key by a digest of its whole tree (names, value types and data), a
// project folder by a digest of its tree (names, and each file's size and last write).
#pragma once

#include "operations/context.h"

#include <optional>
#include <string>

// The target's identity, reached through handles as the cleaning reaches it; nullopt when it
// cannot be read whole, which no plan takes as unchanged.
std::optional<std::string> identity_of(const Context& context, const Target& target);
