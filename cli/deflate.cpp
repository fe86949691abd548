// Whole-buffer deflate with libdeflate where the build has it, else with
// zlib; whole-buffer inflate with libdeflate only. See deflate.h.
#include "cli/deflate.h"

#include <algorithm>
#include <new>

#if VEXO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

namespace vexo::cli {

#if VEXO_HAVE_LIBDEFLATE

namespace {
// libdeflate's level 5 writes XML parts as small as zlib's normal level 6,
// more than twice as fast.
constexpr int kDeflateLevel = 5;
}  // namespace

DeflatedEntry deflate_entry(std::string_view bytes) {
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
      libdeflate_alloc_compressor(kDeflateLevel), &libdeflate_free_compressor);
  if (!compressor) throw std::bad_alloc();
  const std::size_t bound = libdeflate_deflate_compress_bound(compressor.get(), bytes.size());
  // Left uninitialised: only the pages the data fills are ever touched.
  DeflatedEntry entry{std::unique_ptr<char[]>(new char[bound])};
  entry.size = libdeflate_deflate_compress(compressor.get(), bytes.data(), bytes.size(),
                                           entry.data.get(), bound);
  if (entry.size == 0) throw std::bad_alloc();  // cannot happen within the bound
  entry.crc = libdeflate_crc32(0, bytes.data(), bytes.size());
  return entry;
}

std::optional<std::string> inflate_entry(std::string_view data, std::size_t size,
                                         std::uint32_t crc) {
  std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> decompressor(
      libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
  if (!decompressor) throw std::bad_alloc();
  std::string bytes(size, '\0');
  std::size_t read = 0;
  if (libdeflate_deflate_decompress_ex(decompressor.get(), data.data(), data.size(), bytes.data(),
                                      bytes.size(), &read, nullptr) != LIBDEFLATE_SUCCESS ||
      read != data.size() || libdeflate_crc32(0, bytes.data(), bytes.size()) != crc) {
    return std::nullopt;
  }
  return bytes;
}

bool inflates_entries() { return true; }

#else

namespace {
// zlib's normal level, the one LibreOffice writes.
constexpr int kDeflateLevel = 6;
constexpr int kRawWindowBits = -15;  // no zlib header: the archive frames the data
constexpr int kMemoryLevel = 8;
// zlib counts in unsigned int: input and output go through in slices.
constexpr std::size_t kMaxSlice = std::size_t{1} << 30;
}  // namespace

DeflatedEntry deflate_entry(std::string_view bytes) {
  z_stream stream{};
  if (deflateInit2(&stream, kDeflateLevel, Z_DEFLATED, kRawWindowBits, kMemoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
  std::unique_ptr<z_stream, decltype(&deflateEnd)> guard(&stream, &deflateEnd);
  // deflateBound holds for one call; slices add a few bytes each.
  const std::size_t slices = bytes.size() / kMaxSlice + 1;
  const std::size_t bound =
      deflateBound(&stream, static_cast<uLong>(bytes.size())) + slices * 16;
  DeflatedEntry entry{std::unique_ptr<char[]>(new char[bound])};
  std::size_t in = 0;
  while (true) {
    const std::size_t in_slice = std::min(kMaxSlice, bytes.size() - in);
    const std::size_t out_slice = std::min(kMaxSlice, bound - entry.size);
    if (out_slice == 0) throw std::bad_alloc();  // cannot happen within the bound
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + in));
    stream.avail_in = static_cast<uInt>(in_slice);
    stream.next_out = reinterpret_cast<Bytef*>(entry.data.get() + entry.size);
    stream.avail_out = static_cast<uInt>(out_slice);
    const int status = deflate(&stream, in + in_slice == bytes.size() ? Z_FINISH : Z_NO_FLUSH);
    in += in_slice - stream.avail_in;
    entry.size += out_slice - stream.avail_out;
    if (status == Z_STREAM_END) break;
    if (status != Z_OK) throw std::bad_alloc();
  }
  entry.crc = 0;
  for (std::size_t at = 0; at < bytes.size(); at += kMaxSlice) {
    const std::size_t n = std::min(kMaxSlice, bytes.size() - at);
    entry.crc = static_cast<std::uint32_t>(
        crc32(entry.crc, reinterpret_cast<const Bytef*>(bytes.data() + at), static_cast<uInt>(n)));
  }
  return entry;
}

// zlib reads entries through the ZIP library as well as here would.
std::optional<std::string> inflate_entry(std::string_view, std::size_t, std::uint32_t) {
  return std::nullopt;
}

bool inflates_entries() { return false; }

#endif

}  // namespace vexo::cli
