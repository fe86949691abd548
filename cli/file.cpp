// `vexo file`: converts whole files (plain UTF-8 text and Office Open XML
// packages) and writes each result next to its input, into a chosen file, or
// over the input. Each file is handled on its own; one failure does not stop
// the others.
#include "cli/file.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "cli/app.h"
#include "cli/changes.h"
#include "cli/ooxml.h"
#include "cli/ordered_jobs.h"
#include "cli/platform.h"
#include "cli/stream.h"
#include "cli/text_file.h"
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
  for (std::string_view deck : {"pptx", "pptm", "potx", "potm", "ppsx", "ppsm"}) {
    if (extension == deck) return FileKind::Presentation;
  }
  for (std::string_view open : {"odt", "ods", "odp", "ott", "ots", "otp"}) {
    if (extension == open) return FileKind::OpenDocument;
  }
  for (std::string_view refused : {"doc", "xls", "pdf", "rtf", "ppt"}) {
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

constexpr std::string_view kHelp =
    "vexo file FAYL... [-o CHIQISH] [--old] [--dry-run] [--in-place] [--] \u2014 fayllarni o'girish\n"
    "\n"
    "  .docx .docm .dotx .dotm, .xlsx .xlsm .xltx .xltm: matni o'giriladi, formati saqlanadi;\n"
    "  boshqa fayllar matn sifatida o'qiladi (UTF-8, yoki belgili UTF-16).\n"
    "  Natija: FAYL.yangi.KENGAYTMA (--old bilan FAYL.eski.KENGAYTMA).\n"
    "\n"
    "  -o, --output CHIQISH  natijani shu faylga yozish (faqat bitta fayl bilan)\n"
    "  --old                 yangi alifbodan eski lotinga\n"
    "  --dry-run, -n         yozmasdan o'zgarishlar ro'yxati va soni\n"
    "  --in-place            kirish faylining o'ziga yozish (ruxsatlar va egasi saqlanadi)\n"
    "  -j N                  bir vaqtda N ta fayl (standart: har yadroga bittadan)\n"
    "  --                    bundan keyingi hamma narsa fayl nomi\n"
    "  -h, --help            shu yordam\n";

// One message line on standard error.
void complain(std::string_view message) {
  platform::write_standard_error(std::string(message) + "\n");
}

// What the conversion of one file has to say, kept until the files before it
// have said theirs: lines for standard output and standard error, in order.
// A report that no other waits for may write its lines at once instead.
class FileReport {
 public:
  void print(std::string text) { add(false, std::move(text)); }
  void complain(std::string_view message) { add(true, std::string(message) + "\n"); }
  void error(std::string_view path, std::string_view message) {
    complain(std::string(path) + ": " + std::string(message));
  }
  // Adds the lines of another report after these.
  void append(FileReport&& other) {
    for (auto& [is_error, text] : other.lines_) add(is_error, std::move(text));
    other.lines_.clear();
  }

  // Writes the lines out and forgets them.
  void send() {
    for (const auto& [is_error, text] : lines_) write(is_error, text);
    std::vector<std::pair<bool, std::string>>().swap(lines_);
  }

  // From now on every line is written as it comes: for a report whose turn
  // to be written has come before its file is converted.
  void write_through() {
    send();
    direct_ = true;
  }
  bool writes_through() const { return direct_; }

 private:
  void add(bool is_error, std::string text) {
    if (direct_) {
      write(is_error, text);
    } else {
      lines_.emplace_back(is_error, std::move(text));
    }
  }

  static void write(bool is_error, const std::string& text) {
    if (is_error) {
      platform::write_standard_error(text);
    } else {
      (void)platform::write_standard_output(text);
    }
  }

  std::vector<std::pair<bool, std::string>> lines_;
  bool direct_ = false;
};

struct FileRun {
  TextSettings settings;
  bool dry_run = false;
  bool in_place = false;
  bool help = false;
  unsigned piece_jobs = 1;  // pieces of one text file converted at once (0: one per core)
  std::optional<std::string> output;
  std::vector<std::string> files;
};

// The arguments of the command, or nullopt after reporting what is wrong.
std::optional<FileRun> read_arguments(std::span<const std::string> args,
                                      const CliOptions& options) {
  FileRun run;
  run.settings.options = options.convert;
  run.settings.ascii = options.ascii;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg == "-" || !arg.starts_with("-")) {
      run.files.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      run.help = true;
      return run;
    } else if (arg == "--old") {
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
  // The cores go to the files when there are several, else to the pieces.
  run.piece_jobs = run.files.size() == 1 ? options.jobs : 1;
  return run;
}

// The last path component and what comes before it.
std::pair<std::string_view, std::string_view> split_path(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  if (separator == std::string_view::npos) return {".", path};
  return {path.substr(0, separator + 1), path.substr(separator + 1)};
}

// True when the input is the output, or a lock or temporary file that
// writing the output would take over or remove.
bool input_is_output(const std::string& input, const std::string& output) {
  if (platform::same_file(input, output)) return true;
  const auto [input_dir, input_name] = split_path(input);
  const auto [output_dir, output_name] = split_path(output);
  return platform::is_work_file_name(input_name, output_name) &&
         platform::same_file(std::string(input_dir), std::string(output_dir));
}

// Counts changes without keeping them.
class ChangeCounter final : public ChangeSink {
 public:
  void add(std::string_view, std::string_view, std::string_view) override { ++count; }
  bool counts_only() const override { return true; }
  std::size_t count = 0;
};

class InputAdapter final : public PackageInput {
 public:
  explicit InputAdapter(platform::InputFile& file) : file_(file) {}
  std::uint64_t size() const override { return file_.size(); }
  std::int64_t read_at(std::uint64_t offset, char* out, std::size_t length,
                       std::string& error) override {
    return file_.read_at(offset, out, length, error);
  }

 private:
  platform::InputFile& file_;
};

// Writes a new package straight into the replacement file, remembering
// whether a failure was the output's.
class OutputAdapter final : public PackageOutput {
 public:
  explicit OutputAdapter(platform::ReplacementFile& file) : file_(file) {}
  bool write_at(std::uint64_t offset, std::string_view bytes, std::string& error) override {
    failed = failed || !file_.write_at(offset, bytes, error);
    if (failed && error_.empty()) error_ = error;
    return !failed;
  }
  bool clear(std::string& error) override {
    failed = failed || !file_.clear(error);
    if (failed && error_.empty()) error_ = error;
    return !failed;
  }
  bool failed = false;
  const std::string& error() const { return error_; }

 private:
  platform::ReplacementFile& file_;
  std::string error_;
};

// Where the result of one file goes, or nullopt after reporting why it
// cannot be written.
struct Destination {
  std::string output;  // as the user knows it
  std::string target;  // the file actually replaced
  std::optional<platform::FileAttributes> attributes;
};

std::optional<Destination> choose_destination(const std::string& path, const FileRun& run,
                                              FileReport& report) {
  Destination out;
  out.output = run.in_place ? path
               : run.output ? *run.output
                            : default_output_path(path, run.settings.old_mode);
  // Writing the output takes over its temporary and lock files, so none of
  // them may be the input either.
  if (!run.in_place && input_is_output(path, out.output)) {
    report.error(path, "kirish fayli ustiga yozilmaydi (--in-place bilan ruxsat bering)");
    return std::nullopt;
  }
  // Over the input, write through links to the file itself and keep its
  // permissions, owner and group.
  out.target = run.in_place ? platform::resolved_path(path) : out.output;
  if (run.in_place) out.attributes = platform::file_attributes(path);
  return out;
}

// Reads a text held in memory, as a file would be read.
ReadBytes memory_reader(std::string_view& bytes) {
  return [&bytes](char* out, std::size_t length, std::string&) {
    const std::size_t n = std::min(length, bytes.size());
    std::copy_n(bytes.data(), n, out);
    bytes.remove_prefix(n);
    return static_cast<std::int64_t>(n);
  };
}

// The conversion of a file's bytes in memory (convert_file_bytes).
FileResult convert_text_bytes(std::string_view bytes, const TextSettings& settings) {
  FileResult result;
  ChangeList changes;
  std::string error;
  const TextFileEnd end = convert_text_file(
      memory_reader(bytes),
      [&](std::string_view out) {
        result.bytes += out;
        return true;
      },
      changes, TextFileOptions{settings}, error);
  if (end != TextFileEnd::Done) return {{}, {}, std::string(kNotTextMessage)};
  result.changes = std::move(changes.changes);
  return result;
}

FileResult convert_package_bytes(std::string_view bytes, PackageKind kind,
                                 const TextSettings& settings) {
  FileResult result;
  OoxmlResult package = convert_package(bytes, kind, settings, result.changes);
  if (!package.ok()) return {{}, {}, std::move(package.error)};
  result.bytes = std::move(package.bytes);
  return result;
}

std::string_view kept_label(KeptReason reason) {
  return reason == KeptReason::SheetName ? "varaq nomi" : "kod";
}

// "; eski imloda qoldi: 1 ta varaq nomi, 2 ta kod" for the per-file line, or
// empty when nothing was left.
std::string kept_summary(const KeptTexts& kept) {
  std::string out;
  for (const KeptReason reason : {KeptReason::SheetName, KeptReason::Code}) {
    if (kept.count(reason) == 0) continue;
    out += out.empty() ? "; eski imloda qoldi: " : ", ";
    out += std::to_string(kept.count(reason)) + " ta " + std::string(kept_label(reason));
  }
  return out;
}

// One line per text left in the old spelling on purpose, for the dry run.
std::string list_kept(const KeptTexts& kept, std::string_view prefix) {
  std::string out;
  for (const KeptText& k : kept.listed()) {
    out += std::string(prefix) + "eski imloda qoldi (" + std::string(kept_label(k.reason)) +
           ", " + k.location + "): " + k.text + "\n";
  }
  return out;
}

void report_written(FileReport& report, const std::string& path, const std::string& output,
                    std::size_t changes, const KeptTexts& kept = {}) {
  report.print(path + " \u2192 " + output + " (" + std::to_string(changes) + " ta o'zgarish" +
        kept_summary(kept) + ")\n");
}

// A dry run's listing, under the file's name when there are several files.
void print_heading(FileReport& report, const std::string& path, const FileRun& run) {
  if (run.files.size() > 1) report.print(path + "\n");
}

void print_listing(FileReport& report, const std::string& path, const FileRun& run,
                   std::string listing) {
  print_heading(report, path, run);
  report.print(std::move(listing));
}

// The listing of a text file's dry run. A report written at once gets the
// lines as soon as kMaxHeldListingBytes of them are made, so that a long
// file's listing is not held whole; the lines stand before a fault found
// later in the file, which is then reported after them.
class TextListing final : public ChangeSink {
 public:
  static constexpr std::size_t kMaxHeldListingBytes = std::size_t{4} << 20;

  TextListing(FileReport& report, const std::string& path, const FileRun& run)
      : report_(report), path_(path), run_(run), listing_(run.files.size() > 1 ? "  " : "") {}

  void add(std::string_view location, std::string_view old_word,
           std::string_view new_word) override {
    listing_.add(location, old_word, new_word);
    if (report_.writes_through() && listing_.held_bytes() >= kMaxHeldListingBytes) {
      if (!printed_) print_heading(report_, path_, run_);
      printed_ = true;
      report_.print(listing_.take_lines());
    }
  }

  // Prints the rest and the closing line.
  void finish() {
    std::string rest = listing_.take_lines() + listing_.summary();
    if (printed_) {
      report_.print(std::move(rest));
    } else {
      print_listing(report_, path_, run_, std::move(rest));
    }
  }

 private:
  FileReport& report_;
  const std::string& path_;
  const FileRun& run_;
  ChangeListing listing_;
  bool printed_ = false;
};

// Reads an input file from its start on.
ReadBytes file_reader(platform::InputFile& input, std::uint64_t& offset) {
  return [&input, &offset](char* out, std::size_t length, std::string& error) {
    const std::int64_t n = input.read_at(offset, out, length, error);
    if (n > 0) offset += static_cast<std::uint64_t>(n);
    return n;
  };
}

// A text file is read, converted and written a piece at a time; nothing is
// written when it turns out not to be text, and a fault of the input is
// reported before one of the output, as when the whole file was read first.
bool convert_text_file(const std::string& path, platform::InputFile& input, const FileRun& run,
                       FileReport& report) {
  std::uint64_t offset = 0;
  const ReadBytes read = file_reader(input, offset);
  const TextFileOptions options{run.settings, run.piece_jobs};
  std::string error;
  const auto input_failed = [&](TextFileEnd end) {
    report.error(path, end == TextFileEnd::NotText ? kNotTextMessage : std::string_view(error));
    return false;
  };
  if (run.dry_run) {
    TextListing listing(report, path, run);
    const TextFileEnd end = convert_text_file(read, nullptr, listing, options, error);
    if (end != TextFileEnd::Done) return input_failed(end);
    listing.finish();
    return true;
  }
  FileReport held;
  const std::optional<Destination> destination = choose_destination(path, run, held);
  if (!destination) {
    const TextFileEnd end = check_text_file(read, error);
    if (end != TextFileEnd::Done) return input_failed(end);
    report.append(std::move(held));
    return false;
  }
  platform::ReplacementFile replacement;
  std::string output_error;
  if (!replacement.begin(destination->target, output_error)) {
    const TextFileEnd end = check_text_file(read, error);
    if (end != TextFileEnd::Done) return input_failed(end);
    report.error(destination->output, output_error);
    return false;
  }
  std::uint64_t written = 0;
  ChangeCounter changes;
  const TextFileEnd end = convert_text_file(
      read,
      [&](std::string_view bytes) {
        if (!replacement.write_at(written, bytes, output_error)) return false;
        written += bytes.size();
        return true;
      },
      changes, options, error);
  if (end == TextFileEnd::WriteFailed) {
    report.error(destination->output, output_error);
    return false;
  }
  if (end != TextFileEnd::Done) return input_failed(end);
  // The input may be the target (--in-place), which Windows cannot replace
  // while it is open.
  input.close();
  if (!replacement.commit(destination->attributes, output_error)) {
    report.error(destination->output, output_error);
    return false;
  }
  report_written(report, path, destination->output, changes.count);
  return true;
}

bool convert_package_file(const std::string& path, platform::InputFile& file, PackageKind kind,
                          const FileRun& run, FileReport& report) {
  InputAdapter input(file);
  if (run.dry_run) {
    ChangeTally tally;
    KeptTexts kept;
    const std::string error = convert_package(input, nullptr, kind, run.settings, tally, &kept);
    if (!error.empty()) {
      report.error(path, error);
      return false;
    }
    const std::string_view prefix = run.files.size() > 1 ? "  " : "";
    print_listing(report, path, run, tally.listing(prefix) + list_kept(kept, prefix));
    return true;
  }
  const std::optional<Destination> destination = choose_destination(path, run, report);
  if (!destination) return false;
  platform::ReplacementFile replacement;
  std::string error;
  if (!replacement.begin(destination->target, error)) {
    report.error(destination->output, error);
    return false;
  }
  OutputAdapter output(replacement);
  ChangeCounter changes;
  KeptTexts kept;
  error = convert_package(input, &output, kind, run.settings, changes, &kept);
  if (!error.empty()) {
    if (output.failed) {
      report.error(destination->output, output.error());
    } else {
      report.error(path, error);
    }
    return false;
  }
  // The input may be the target (--in-place), which Windows cannot replace
  // while it is open.
  file.close();
  if (!replacement.commit(destination->attributes, error)) {
    report.error(destination->output, error);
    return false;
  }
  report_written(report, path, destination->output, changes.count, kept);
  return true;
}

PackageKind package_kind(FileKind kind) {
  switch (kind) {
    case FileKind::Spreadsheet: return PackageKind::Spreadsheet;
    case FileKind::Presentation: return PackageKind::Presentation;
    case FileKind::OpenDocument: return PackageKind::OpenDocument;
    default: return PackageKind::WordProcessing;
  }
}

std::string refusal(std::string_view path) {
  std::string message(".");
  message += ascii_lower(file_extension(path));
  message += " qo'llab-quvvatlanmaydi \u2014 .docx, .xlsx yoki matn (.txt, .md) sifatida saqlang";
  return message;
}

// Converts one file; false when it failed (the failure is already reported).
bool convert_file(const std::string& path, const FileRun& run, FileReport& report) {
  const FileKind kind = file_kind(path);
  if (kind == FileKind::Refused) {
    report.error(path, refusal(path));
    return false;
  }
  platform::InputFile input;
  std::string error;
  if (!input.open(path, error)) {
    report.error(path, error);
    return false;
  }
  // Running out of memory fails this file only; whatever it was writing is
  // removed as the stack unwinds.
  try {
    if (kind == FileKind::Text) return convert_text_file(path, input, run, report);
    return convert_package_file(path, input, package_kind(kind), run, report);
  } catch (const std::bad_alloc&) {
    report.error(path, kOutOfMemoryMessage);
    return false;
  }
}

// The last path components, ASCII lower-cased, of the files converting
// `path` reads or writes: two files that share one, or where one is the other's
// lock or temporary file, are converted one after the other. Comparing names
// rather than files also keeps apart links to one file and names that differ
// only in case, at the cost of serializing equal names in different folders.
std::vector<std::string> touched_names(const std::string& path, const FileRun& run) {
  std::vector<std::string> names{path, default_output_path(path, run.settings.old_mode)};
  if (run.output) names.push_back(*run.output);
  if (run.in_place) names.push_back(platform::resolved_path(path));
  for (std::string& name : names) name = ascii_lower(split_path(name).second);
  return names;
}

bool share_a_file(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  for (const std::string& x : a) {
    for (const std::string& y : b) {
      if (x == y || platform::is_work_file_name(x, y) || platform::is_work_file_name(y, x)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

FileResult convert_file_bytes(std::string_view name, std::string_view bytes,
                              const TextSettings& settings) {
  const FileKind kind = file_kind(name);
  switch (kind) {
    case FileKind::Refused: return {{}, {}, refusal(name)};
    case FileKind::Text: return convert_text_bytes(bytes, settings);
    default: return convert_package_bytes(bytes, package_kind(kind), settings);
  }
}

int run_file(std::span<const std::string> args, const CliOptions& options) {
  const std::optional<FileRun> run = read_arguments(args, options);
  if (!run) return 1;
  if (run->help) return write_output(kHelp);
  // Several files convert at once, each with its own lock and temporary file;
  // their reports come out in the order of the arguments, as one after the
  // other would give them.
  const std::vector<std::string>& files = run->files;
  const unsigned jobs = effective_jobs(options.jobs);
  std::vector<FileReport> reports(files.size());
  // One file, or files one after another: each report's turn comes before
  // its file is converted.
  if (jobs <= 1 || files.size() == 1) {
    for (FileReport& report : reports) report.write_through();
  }
  std::vector<char> succeeded(files.size(), false);
  std::vector<std::vector<std::string>> names;
  if (jobs > 1) {
    for (const std::string& path : files) names.push_back(touched_names(path, *run));
  }
  bool all_succeeded = true;
  OrderedJobs items;
  items.work = [&](std::size_t i) { succeeded[i] = convert_file(files[i], *run, reports[i]); };
  items.deliver = [&](std::size_t i) {
    reports[i].send();
    all_succeeded = all_succeeded && succeeded[i];
  };
  items.must_follow = [&](std::size_t earlier, std::size_t later) {
    return share_a_file(names[earlier], names[later]);
  };
  run_ordered(files.size(), jobs, items);
  return all_succeeded ? 0 : 1;
}

}  // namespace vexo::cli
