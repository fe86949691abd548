// `vexo file`: converts whole files (plain UTF-8 text and Office Open XML
// packages) and writes each result next to its input, into a chosen file, or
// over the input. Each file is handled on its own; one failure does not stop
// the others.
#include "cli/file.h"

#include <optional>
#include <vector>

#include "cli/app.h"
#include "cli/changes.h"
#include "cli/ooxml.h"
#include "cli/platform.h"
#include "core/unicode.h"

namespace vexo::cli {

std::string_view file_extension(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  const std::string_view name =
      separator == std::string_view::npos ? path : path.substr(separator + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || name == "..") return {};
  const std::string_view extension = name.substr(dot + 1);
  return is_valid_utf8(extension) ? extension : std::string_view{};
}

FileKind file_kind(std::string_view path) {
  const std::string extension = ascii_lower(file_extension(path));
  for (std::string_view word : {"docx", "docm", "dotx", "dotm"}) {
    if (extension == word) return FileKind::WordProcessing;
  }
  for (std::string_view sheet : {"xlsx", "xlsm", "xltx", "xltm"}) {
    if (extension == sheet) return FileKind::Spreadsheet;
  }
  for (std::string_view refused : {"doc", "xls", "pdf", "rtf", "odt", "ods", "ppt", "pptx"}) {
    if (extension == refused) return FileKind::Refused;
  }
  return FileKind::Text;
}

std::string default_output_path(std::string_view path, bool old_mode) {
  const std::string_view extension = file_extension(path);
  std::string out(path.substr(0, path.size() - (extension.empty() ? 0 : extension.size() + 1)));
  out += old_mode ? ".eski" : ".yangi";
  if (!extension.empty()) {
    out.push_back('.');
    out += extension;
  }
  return out;
}

namespace {

constexpr std::string_view kUsage = "vexo file FAYL [-o CHIQISH] [--old] [--dry-run] [--in-place]";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One message line on standard error.
void complain(std::string_view message) {
  platform::write_standard_error(std::string(message) + "\n");
}

struct FileRun {
  TextSettings settings;
  bool dry_run = false;
  bool in_place = false;
  std::optional<std::string> output;
  std::vector<std::string> files;
};

// The arguments of the command, or nullopt after reporting what is wrong.
std::optional<FileRun> read_arguments(std::span<const std::string> args,
                                      const CliOptions& options) {
  FileRun run;
  run.settings.options = options.convert;
  run.settings.ascii = options.ascii;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--old") {
      run.settings.old_mode = true;
    } else if (arg == "--dry-run" || arg == "-n") {
      run.dry_run = true;
    } else if (arg == "--in-place") {
      run.in_place = true;
    } else if (arg == "-o" || arg == "--output" || arg.starts_with("--output=")) {
      std::string value;
      if (arg.starts_with("--output=")) {
        value = arg.substr(9);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      // An empty path names no file; it is refused like a missing one.
      if (value.empty()) {
        complain("-o dan keyin chiqish fayli kerak");
        return std::nullopt;
      }
      run.output = std::move(value);
    } else if (arg == "-" || !arg.starts_with("-")) {
      run.files.push_back(arg);
    } else {
      complain("noma'lum sozlama: " + arg);
      return std::nullopt;
    }
  }
  if (run.files.empty()) {
    complain(kUsage);
    return std::nullopt;
  }
  if (run.output && (run.files.size() > 1 || run.in_place)) {
    complain("-o faqat bitta fayl bilan va --in-place'siz ishlaydi");
    return std::nullopt;
  }
  return run;
}

void report_file_error(std::string_view path, std::string_view message) {
  complain(std::string(path) + ": " + std::string(message));
}

FileResult convert_text_file(std::string_view bytes, const TextSettings& settings) {
  if (!is_valid_utf8(bytes)) return {{}, {}, "matn UTF-8 emas (faylni UTF-8 sifatida saqlang)"};
  const bool marked = bytes.starts_with(kByteOrderMark);
  const std::string_view text = marked ? bytes.substr(kByteOrderMark.size()) : bytes;
  std::string converted = convert_text(text, settings);
  FileResult result;
  result.changes = collect_changes(text, converted);
  result.bytes = marked ? std::string(kByteOrderMark) + converted : std::move(converted);
  return result;
}

FileResult convert_package_file(std::string_view bytes, PackageKind kind,
                                const TextSettings& settings) {
  FileResult result;
  OoxmlResult package = convert_package(bytes, kind, settings, result.changes);
  if (!package.ok()) return {{}, {}, std::move(package.error)};
  result.bytes = std::move(package.bytes);
  return result;
}

void print(std::string_view text) { (void)platform::write_standard_output(text); }

std::string refusal(std::string_view path) {
  std::string message(".");
  message += ascii_lower(file_extension(path));
  message += " qo'llab-quvvatlanmaydi \u2014 .docx, .xlsx yoki matn (.txt, .md) sifatida saqlang";
  return message;
}

// Converts one file; false when it failed (the failure is already reported).
bool convert_file(const std::string& path, const FileRun& run) {
  const FileKind kind = file_kind(path);
  if (kind == FileKind::Refused) {
    report_file_error(path, refusal(path));
    return false;
  }
  std::string bytes;
  std::string error;
  if (!platform::read_file(path, bytes, error)) {
    report_file_error(path, error);
    return false;
  }
  const FileResult result = convert_file_bytes(path, bytes, run.settings);
  if (!result.ok()) {
    report_file_error(path, result.error);
    return false;
  }

  if (run.dry_run) {
    const ListingMode mode =
        kind == FileKind::Text ? ListingMode::EachChange : ListingMode::Grouped;
    if (run.files.size() > 1) {
      print(path + "\n");
      print(list_changes(result.changes, mode, "  "));
    } else {
      print(list_changes(result.changes, mode, ""));
    }
    return true;
  }

  const std::string output = run.in_place ? path
                             : run.output ? *run.output
                                          : default_output_path(path, run.settings.old_mode);
  // Writing the output goes through its temporary file, so that must not be
  // the input either.
  if (!run.in_place &&
      (platform::same_file(path, output) ||
       platform::same_file(path, output + std::string(platform::kTemporarySuffix)))) {
    report_file_error(path, "kirish fayli ustiga yozilmaydi (--in-place bilan ruxsat bering)");
    return false;
  }
  // Over the input, write through links to the file itself and keep its
  // permission bits.
  const std::string target = run.in_place ? platform::resolved_path(path) : output;
  const std::optional<unsigned> mode =
      run.in_place ? platform::permission_bits(path) : std::optional<unsigned>{};
  if (!platform::replace_file(target, result.bytes, mode, error)) {
    report_file_error(output, error);
    return false;
  }
  print(path + " \u2192 " + output + " (" + std::to_string(result.changes.size()) +
        " ta o'zgarish)\n");
  return true;
}

}  // namespace

FileResult convert_file_bytes(std::string_view name, std::string_view bytes,
                              const TextSettings& settings) {
  switch (file_kind(name)) {
    case FileKind::Refused: return {{}, {}, refusal(name)};
    case FileKind::Text: return convert_text_file(bytes, settings);
    case FileKind::WordProcessing:
      return convert_package_file(bytes, PackageKind::WordProcessing, settings);
    case FileKind::Spreadsheet:
      return convert_package_file(bytes, PackageKind::Spreadsheet, settings);
  }
  return {{}, {}, refusal(name)};
}

int run_file(std::span<const std::string> args, const CliOptions& options) {
  const std::optional<FileRun> run = read_arguments(args, options);
  if (!run) return 1;
  bool all_succeeded = true;
  for (const std::string& path : run->files) {
    if (!convert_file(path, *run)) all_succeeded = false;
  }
  return all_succeeded ? 0 : 1;
}

}  // namespace vexo::cli
