#include "cli/stream.h"

#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/app.h"
#include "cli/platform.h"
#include "core/lib.h"
#include "core/reverse.h"
#include "core/unicode.h"

namespace vexo::cli {
namespace {

// Converts consecutive pieces side by side; `evidence` enters the first and
// leaves the last.
std::vector<std::string> convert_batch(const std::vector<std::string_view>& pieces,
                                       const PieceConversion& conversion, TextEvidence& evidence) {
  std::vector<std::string> outs(pieces.size());
  if (pieces.size() == 1) {
    conversion.convert(pieces[0], evidence, outs[0]);
    return outs;
  }
  // What each piece shows by itself, then what enters each.
  std::vector<TextEvidence> entering(pieces.size(), evidence);
  if (conversion.evidence_after) {
    std::vector<TextEvidence> shown(pieces.size());
    run_at_once(pieces.size(), [&](std::size_t i) {
      shown[i] = conversion.evidence_after(pieces[i], TextEvidence{});
    });
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      entering[i] = evidence;
      if (shown[i].apostrophes != ApostropheUse::Unknown) evidence = shown[i];
    }
  }
  run_at_once(pieces.size(), [&](std::size_t i) {
    TextEvidence own = entering[i];
    conversion.convert(pieces[i], own, outs[i]);
  });
  return outs;
}

}  // namespace

PieceConversion new_spelling_pieces(const ConvertOptions& options,
                                    MemoPool<ConversionMemo>& memos) {
  return {[&options, &memos](std::string_view piece, TextEvidence& evidence, std::string& out) {
            MemoPool<ConversionMemo>::Lease lease(memos);
            out = convert(piece, options, evidence, lease.memo());
          },
          [&options](std::string_view piece, TextEvidence before) {
            return evidence_after(piece, options, before);
          }};
}

PieceConversion old_spelling_pieces(bool ascii) {
  return {[ascii](std::string_view piece, TextEvidence&, std::string& out) {
            out = to_old(piece, ascii);
          },
          nullptr};
}

void run_at_once(std::size_t count, const std::function<void(std::size_t)>& task) {
  if (count == 0) return;
  std::vector<std::exception_ptr> errors(count);
  const auto work = [&](std::size_t i) {
    try {
      task(i);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(count);
  std::size_t started = 1;
  try {
    for (; started < count; ++started) threads.emplace_back(work, started);
  } catch (const std::system_error&) {
    // No more threads to be had: the rest runs here.
  }
  work(0);
  for (std::size_t i = started; i < count; ++i) work(i);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : errors) {
    if (e) std::rethrow_exception(e);
  }
}

unsigned effective_jobs(unsigned jobs) {
  if (jobs != 0) return jobs;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

std::string convert_in_pieces(std::string_view text, const PieceConversion& convert,
                              unsigned jobs) {
  jobs = effective_jobs(jobs);
  TextEvidence evidence;
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  while (!text.empty()) {
    std::vector<std::string_view> batch;
    while (batch.size() < jobs && !text.empty()) {
      const std::size_t length = next_piece(text, true);
      batch.push_back(text.substr(0, length));
      text.remove_prefix(length);
    }
    for (const std::string& piece : convert_batch(batch, convert, evidence)) out += piece;
  }
  return out;
}

StreamEnd convert_stream(const ReadText& read, const PieceConversion& convert, unsigned jobs,
                         const TakePiece& take, CutPiece cut) {
  jobs = effective_jobs(jobs);
  TextEvidence evidence;
  std::string pending;
  bool ended = false;
  while (!(ended && pending.empty())) {
    // Take up to `jobs` whole pieces, reading more input as needed.
    std::vector<std::size_t> lengths;
    std::size_t used = 0;
    while (lengths.size() < jobs && !(ended && used == pending.size())) {
      const std::size_t length = cut(std::string_view(pending).substr(used), ended);
      if (length != 0) {
        lengths.push_back(length);
        used += length;
      } else if (!lengths.empty()) {
        break;  // convert what is ready rather than wait for more
      } else if (const ReadStatus status = read(pending, ended); status != ReadStatus::Ok) {
        return status == ReadStatus::Failed ? StreamEnd::ReadFailed : StreamEnd::NotText;
      }
    }
    std::vector<std::string_view> batch;
    bool bad_input = false;
    std::size_t start = 0;
    for (const std::size_t length : lengths) {
      const std::string_view piece = std::string_view(pending).substr(start, length);
      start += length;
      if (!is_valid_utf8(piece)) {
        bad_input = true;
        break;
      }
      batch.push_back(piece);
    }
    const std::vector<std::string> outs = convert_batch(batch, convert, evidence);
    for (std::size_t i = 0; i < outs.size(); ++i) {
      if (!take(batch[i], outs[i])) return StreamEnd::Stopped;
    }
    if (bad_input) return StreamEnd::NotText;
    pending.erase(0, used);
  }
  return StreamEnd::Done;
}

int stream_standard_input(const PieceConversion& convert, unsigned jobs) {
  bool line_open = true;  // nothing written yet counts as an open line
  platform::WriteStatus written = platform::WriteStatus::Ok;
  const StreamEnd end = convert_stream(
      [](std::string& out, bool& ended) {
        return platform::read_standard_input_some(out, ended) ? ReadStatus::Ok : ReadStatus::Failed;
      },
      convert, jobs,
      [&](std::string_view, std::string_view out) {
        if (out.empty()) return true;
        written = platform::write_standard_output(out);
        line_open = out.back() != '\n';
        return written == platform::WriteStatus::Ok;
      });
  switch (end) {
    case StreamEnd::Done: break;
    case StreamEnd::Stopped:
      if (written == platform::WriteStatus::ClosedPipe) return 0;
      report_error("natijani chiqishga yozib bo'lmadi");
      return 1;
    case StreamEnd::ReadFailed: report_error("kirishni o'qib bo'lmadi"); return 1;
    case StreamEnd::NotText:
      report_error("kirish UTF-8 emas (matnni UTF-8 sifatida saqlang)");
      return 1;
  }
  return line_open ? write_output("\n") : 0;
}

}  // namespace vexo::cli
