// Package input and output in memory and as a ZIP library source. See
// package_io.h.
#include "cli/package_io.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace vexo::cli {

std::int64_t MemoryInput::read_at(std::uint64_t offset, char* out, std::size_t length,
                                  std::string&) {
  if (offset >= bytes_.size()) return 0;
  const std::size_t n = std::min<std::size_t>(length, bytes_.size() - offset);
  std::memcpy(out, bytes_.data() + offset, n);
  return static_cast<std::int64_t>(n);
}

bool MemoryOutput::write_at(std::uint64_t offset, std::string_view data, std::string&) {
  const std::uint64_t end = offset + data.size();
  if (end > bytes.size()) bytes.resize(static_cast<std::size_t>(end));
  std::memcpy(bytes.data() + offset, data.data(), data.size());
  return true;
}

bool copy_package(PackageInput& input, PackageOutput& output, std::string& error) {
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  std::vector<char> buffer(kChunk);
  std::uint64_t offset = 0;
  while (true) {
    const std::int64_t n = input.read_at(offset, buffer.data(), buffer.size(), error);
    if (n < 0) return false;
    if (n == 0) return true;
    if (!output.write_at(offset, {buffer.data(), static_cast<std::size_t>(n)}, error)) {
      return false;
    }
    offset += static_cast<std::uint64_t>(n);
  }
}

zip_source_t* PackageStream::make_source(zip_error_t* error) {
  return zip_source_function_create(&PackageStream::callback, this, error);
}

zip_int64_t PackageStream::callback(void* self, void* data, zip_uint64_t length,
                                    zip_source_cmd_t command) {
  // No exception may cross the library.
  auto& stream = *static_cast<PackageStream*>(self);
  try {
    return stream.handle(data, length, command);
  } catch (const std::bad_alloc&) {
    return stream.fail(ZIP_ER_MEMORY, std::string(kOutOfMemoryMessage));
  }
}

zip_int64_t PackageStream::fail(int zip_code, std::string message) {
  if (io_error_.empty()) io_error_ = std::move(message);
  zip_error_set(&error_, zip_code, 0);
  return -1;
}

zip_int64_t PackageStream::handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
  std::string message;
  switch (command) {
    case ZIP_SOURCE_OPEN:
      read_offset_ = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const std::int64_t n =
          input_.read_at(read_offset_, static_cast<char*>(data), static_cast<std::size_t>(length),
                         message);
      if (n < 0) return fail(ZIP_ER_READ, std::move(message));
      read_offset_ += static_cast<std::uint64_t>(n);
      return n;
    }
    case ZIP_SOURCE_CLOSE: return 0;
    case ZIP_SOURCE_STAT: {
      zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
      if (stat == nullptr) return -1;
      zip_stat_init(stat);
      stat->size = input_.size();
      stat->valid |= ZIP_STAT_SIZE;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&error_, data, length);
    case ZIP_SOURCE_FREE: return 0;
    case ZIP_SOURCE_SEEK: {
      const zip_int64_t at = zip_source_seek_compute_offset(read_offset_, input_.size(), data,
                                                            length, &error_);
      if (at < 0) return -1;
      read_offset_ = static_cast<std::uint64_t>(at);
      return 0;
    }
    case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(read_offset_);
    case ZIP_SOURCE_SUPPORTS:
      if (output_ == nullptr) {
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                              ZIP_SOURCE_SUPPORTS, -1);
      }
      return zip_source_make_command_bitmap(
          ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
          ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS,
          ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_COMMIT_WRITE,
          ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE,
          ZIP_SOURCE_REMOVE, -1);
    default: break;
  }
  if (output_ == nullptr) {
    zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
    return -1;
  }
  switch (command) {
    case ZIP_SOURCE_BEGIN_WRITE:
      write_offset_ = write_size_ = 0;
      if (!output_->clear(message)) return fail(ZIP_ER_WRITE, std::move(message));
      return 0;
    case ZIP_SOURCE_WRITE: {
      const std::string_view bytes(static_cast<const char*>(data), static_cast<std::size_t>(length));
      if (!output_->write_at(write_offset_, bytes, message)) {
        return fail(ZIP_ER_WRITE, std::move(message));
      }
      write_offset_ += length;
      write_size_ = std::max(write_size_, write_offset_);
      return static_cast<zip_int64_t>(length);
    }
    case ZIP_SOURCE_SEEK_WRITE: {
      const zip_int64_t at =
          zip_source_seek_compute_offset(write_offset_, write_size_, data, length, &error_);
      if (at < 0) return -1;
      write_offset_ = static_cast<std::uint64_t>(at);
      return 0;
    }
    case ZIP_SOURCE_TELL_WRITE: return static_cast<zip_int64_t>(write_offset_);
    case ZIP_SOURCE_COMMIT_WRITE:
    case ZIP_SOURCE_ROLLBACK_WRITE:
    case ZIP_SOURCE_REMOVE: return 0;
    default: break;
  }
  zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
  return -1;
}

}  // namespace vexo::cli
