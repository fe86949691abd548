// Entry point of vexo: global options, command dispatch, help and version,
// and the plain text commands (convert, old, cyr).
#include <vector>

#include "cli/app.h"
#include "cli/platform.h"
#include "cli/stream.h"
#include "core/to_cyr.h"
#include "core/unicode.h"
#include "core/version.h"

namespace vexo::cli {
namespace {

constexpr std::string_view kHelp =
    "vexo \u2014 o'zbek matnini 2026-yilgi alifboga (\u00f6 \u011f \u015f \u00e7 \u02bc) o'giradi\n"
    "\n"
    "ISHLATISH:\n"
    "  vexo [convert] [MATN...]      yangi alifboga (MATN bo'lmasa \u2014 stdin)\n"
    "  vexo old [--ascii] [MATN...]  yangi alifbodan eski lotinga\n"
    "  vexo cyr [MATN...]            lotindan (yangi yoki eski) o'zbek kirilliga\n"
    "  vexo explain MATN...          har bir so'z bo'yicha qaror va sabab\n"
    "  vexo eval FAYL.tsv            sifatni o'lchash (til<TAB>kirish<TAB>kutilgan)\n"
    "  vexo eval --typing FAYL.tsv   o'sha, so'zma-so'z yozish sessiyasi orqali\n"
    "  vexo file FAYL... [-o CHIQISH] [--old] [--dry-run] [--in-place]\n"
    "                                .docx, .xlsx, .txt, .md ni formatini saqlab o'girish;\n"
    "                                standart chiqish: FAYL.yangi.docx (--old bilan FAYL.eski.docx)\n"
    "  vexo diff [--old] [MATN...]   nima o'zgarishini ko'rsatish (qator: eski \u2192 yangi), yozmaydi\n"
    "  vexo --version, -V            dastur versiyasi\n"
    "\n"
    "SOZLAMALAR:\n"
    "  --no-guard      inglizcha so'zlarni himoya qilmaslik\n"
    "  --no-cyrillic   kirill matnga tegmaslik\n"
    "  --tutuq=C       chiqishdagi tutuq belgisi (standart: \u02bc U+02BC)\n"
    "  -j N            bir vaqtda N ta yadroda ishlash (standart: barcha yadrolar)\n"
    "  --dry-run, -n   (file) faylga yozmasdan o'zgarishlar ro'yxati va soni\n"
    "  --in-place      (file) kirish faylining o'ziga yozish\n";

constexpr std::string_view kVersion = "vexo " VEXO_VERSION "\n";

// The text of the arguments, converted whole, or standard input, converted
// piece by piece as it comes.
int run_text_command(std::span<const std::string> args, const CliOptions& options,
                     const PieceConversion& convert_piece) {
  if (args.empty()) return stream_standard_input(convert_piece, options.jobs);
  const std::optional<std::string> text = take_text(args);
  if (!text) return 1;
  std::string out;
  TextEvidence evidence;
  convert_piece.convert(*text, evidence, out);
  return write_result(out);
}

int run_convert(std::span<const std::string> args, const CliOptions& options) {
  MemoPool<ConversionMemo> memos;
  return run_text_command(args, options, new_spelling_pieces(options.convert, memos));
}

int run_old(std::span<const std::string> args, const CliOptions& options) {
  return run_text_command(args, options, old_spelling_pieces(options.ascii));
}

}  // namespace

// Cyrillic output takes no options: the conversion fixes its own.
int run_cyr(std::span<const std::string> args, const CliOptions& options) {
  MemoPool<CyrillicMemo> memos;
  const PieceConversion conversion{
      [&](std::string_view piece, TextEvidence&, std::string& out) {
        MemoPool<CyrillicMemo>::Lease lease(memos);
        out = to_cyrillic(piece, lease.memo());
      },
      nullptr};
  return run_text_command(args, options, conversion);
}

int run(std::vector<std::string> args) {
  const CliOptions options = take_global_options(args);
  if (args.empty()) return run_convert({}, options);

  const std::string& command = args.front();
  const std::span<const std::string> rest = std::span<const std::string>(args).subspan(1);
  if (command == "convert") return run_convert(rest, options);
  if (command == "old") return run_old(rest, options);
  if (command == "cyr") return run_cyr(rest, options);
  if (command == "explain") return run_explain(rest, options);
  if (command == "eval") return run_eval(rest, options);
  if (command == "diff") return run_diff(rest, options);
  if (command == "file") return run_file(rest, options);
  if (command == "-h" || command == "help" || command == "--help") return write_output(kHelp);
  if (command == "-V" || command == "--version") return write_output(kVersion);
  return run_convert(args, options);
}

int start(int argc, char** argv) {
  platform::init_console();
  std::vector<std::string> args;
  std::size_t bad = 0;
  if (!platform::arguments(argc, argv, args, bad)) {
    report_error(std::to_string(bad) + "-argumentni o'qib bo'lmadi: u to'g'ri Unicode (UTF-16) emas");
    return 1;
  }
  return run(std::move(args));
}

}  // namespace vexo::cli

// Windows enters through wmain (cli/main_win32.cpp).
#ifndef _WIN32
int main(int argc, char** argv) { return vexo::cli::start(argc, argv); }
#endif
