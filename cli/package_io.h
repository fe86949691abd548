// Where a package is read from and where its new version goes, and the ZIP
// library's view of them.
//
// Package conversion reads the input at random offsets and writes the output
// at random offsets (the ZIP library goes back to finish each entry's
// header), so both are random-access byte stores. A file on disk and bytes in
// memory both qualify; files let a package be converted without holding it.
#pragma once

#include <zip.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace vexo::cli {

// The message of a file that could not be converted for lack of memory.
inline constexpr std::string_view kOutOfMemoryMessage = "xotira yetmadi: fayl juda katta";

// Bytes to read a package from.
class PackageInput {
 public:
  virtual ~PackageInput() = default;
  virtual std::uint64_t size() const = 0;
  // Reads up to `length` bytes at `offset` into `out`: the count read (0 at
  // the end), or -1 with `error` set.
  virtual std::int64_t read_at(std::uint64_t offset, char* out, std::size_t length,
                               std::string& error) = 0;
};

// Where a new package is written. It starts out empty.
class PackageOutput {
 public:
  virtual ~PackageOutput() = default;
  virtual bool write_at(std::uint64_t offset, std::string_view bytes, std::string& error) = 0;
  // Drops everything written so far.
  virtual bool clear(std::string& error) = 0;
};

class MemoryInput final : public PackageInput {
 public:
  explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::int64_t read_at(std::uint64_t offset, char* out, std::size_t length,
                       std::string& error) override;

 private:
  std::string_view bytes_;
};

class MemoryOutput final : public PackageOutput {
 public:
  bool write_at(std::uint64_t offset, std::string_view bytes, std::string& error) override;
  bool clear(std::string&) override {
    bytes.clear();
    return true;
  }
  std::string bytes;
};

// Copies the whole input to the (empty) output.
bool copy_package(PackageInput& input, PackageOutput& output, std::string& error);

// A ZIP library source that reads `input` and, when `output` is given,
// writes a new archive to `output` (never into the input, and never by
// cloning the input's buffers: the library rewrites every entry, copying
// unchanged ones as stored). The object must outlive every archive opened on
// its source; the source itself is created with one reference, owned by the
// caller until passed to zip_open_from_source.
class PackageStream {
 public:
  PackageStream(PackageInput& input, PackageOutput* output) : input_(input), output_(output) {
    zip_error_init(&error_);
  }
  ~PackageStream() { zip_error_fini(&error_); }
  PackageStream(const PackageStream&) = delete;
  PackageStream& operator=(const PackageStream&) = delete;

  // The source, or nullptr with `error` set.
  zip_source_t* make_source(zip_error_t* error);
  // The first failure of the input or output, in the system's words.
  const std::string& io_error() const { return io_error_; }

 private:
  static zip_int64_t callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command);
  zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command);
  zip_int64_t fail(int zip_code, std::string message);

  PackageInput& input_;
  PackageOutput* output_;
  zip_error_t error_{};
  std::string io_error_;
  std::uint64_t read_offset_ = 0;
  std::uint64_t write_offset_ = 0;
  std::uint64_t write_size_ = 0;
};

}  // namespace vexo::cli
