// Compression of the package entries vexo rewrites.
//
// A rewritten entry is compressed here, in one piece, and handed to the ZIP
// library as finished deflate data, so the library only copies it. The level
// gives entries about the size office suites themselves write (LibreOffice
// writes deflate's normal level), several times faster than the library's
// own default, which is the slowest level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace vexo::cli {

// Raw deflate data (RFC 1951) and the CRC-32 of the bytes it holds, as the
// archive's headers record them.
struct DeflatedEntry {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  std::uint32_t crc = 0;
  std::string_view bytes() const { return {data.get(), size}; }
};

// Compresses `bytes`. Throws std::bad_alloc when memory runs out; nothing
// else can fail.
DeflatedEntry deflate_entry(std::string_view bytes);

}  // namespace vexo::cli
