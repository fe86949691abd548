// Compression of the package entries vexo rewrites, and a quick way to read
// the ones it converts.
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
#include <optional>
#include <string>
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

// The bytes of raw deflate data that holds exactly `size` bytes with CRC-32
// `crc`, or nullopt when it does not, or when the build has no whole-buffer
// inflater (libdeflate): the caller then reads the entry through the ZIP
// library, which says what is wrong. Throws std::bad_alloc when memory runs
// out.
std::optional<std::string> inflate_entry(std::string_view data, std::size_t size,
                                         std::uint32_t crc);
// Whether inflate_entry can give anything but nullopt.
bool inflates_entries();

}  // namespace vexo::cli
