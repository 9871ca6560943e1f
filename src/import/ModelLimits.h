// What a model file may cost before the parser sees it.
//
// The FBX parser trusts the element counts in the file: a few flipped bytes in a 100 KB model can
// make it reserve gigabytes. checkModelLimits reads the file's structure first (binary FBX: every
// node record and array property; ASCII FBX: every "*N" array count) and refuses, with a line
// naming the file, a model whose counts cannot be true for its size:
//   - the file is larger than kMaxModelFileBytes;
//   - a record or array reaches past its parent or the end of the file;
//   - an uncompressed array's byte count differs from its element count times its element size;
//   - a compressed array unpacks to more than zlib can produce from its bytes (1032:1);
//   - all arrays together unpack to more than kMaxModelArrayBytes;
//   - an ASCII array count is larger than the file (each element takes at least one byte);
//   - its objects are linked in a loop, or in a chain deeper than kMaxModelHierarchyDepth (the
//     parser follows the links recursively and would run out of stack).
// Every property type of the binary format is read (scalars, arrays, strings, raw data). What the
// check cannot judge (a type code it does not know, an array encoding other than plain or zlib)
// it leaves to the parser, which refuses such a record itself without allocating for it.
// docs/level-design.md repeats these limits for designers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace hm {

inline constexpr std::uint64_t kMaxModelFileBytes = 256ull << 20;
inline constexpr std::uint64_t kMaxModelArrayBytes = 512ull << 20;
inline constexpr std::size_t kMaxModelHierarchyDepth = 256;

// True when the file may be handed to the parser; false after an error line naming the file.
// A file that is neither binary nor ASCII FBX passes through (the parser refuses it itself).
bool checkModelLimits(const std::string& path);

} // namespace hm
