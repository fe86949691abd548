// Text commands on long input: the text is cut into pieces (next_piece in
// core/lib.h), which convert independently, several at once, and are written
// in order as soon as they are done.
//
// Memory stays bounded whatever the input size: at most `jobs` pieces (of at
// most kMaxPieceBytes each) are held with their results at any time.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/lib.h"

namespace vexo::cli {

// How a command converts a piece. `convert` sets `out` to the conversion of
// one piece, reading and updating the evidence the pieces before it handed on;
// it is called from several threads at once and must not touch shared state.
// `evidence_after` (see core/lib.h) is given when the evidence matters; pieces
// are then converted side by side only once the evidence entering each is
// known, so the bytes are the same whatever the number of cores.
struct PieceConversion {
  std::function<void(std::string_view piece, TextEvidence& evidence, std::string& out)> convert;
  std::function<TextEvidence(std::string_view piece, TextEvidence before)> evidence_after;
};

// Memos carried from one piece of a text to the next: a piece borrows one no
// other piece is using, and gives it back when done. Which memo a piece gets
// never changes its result.
template <typename Memo>
class MemoPool {
 public:
  class Lease {
   public:
    explicit Lease(MemoPool& pool) : pool_(pool) {
      {
        const std::lock_guard<std::mutex> lock(pool_.mutex_);
        if (!pool_.idle_.empty()) {
          memo_ = std::move(pool_.idle_.back());
          pool_.idle_.pop_back();
        }
      }
      if (!memo_) memo_ = std::make_unique<Memo>();
    }
    ~Lease() {
      try {
        const std::lock_guard<std::mutex> lock(pool_.mutex_);
        pool_.idle_.push_back(std::move(memo_));
      } catch (...) {
        // Not kept: the next piece starts a memo of its own.
      }
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Memo& memo() { return *memo_; }

   private:
    MemoPool& pool_;
    std::unique_ptr<Memo> memo_;
  };

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Memo>> idle_;
};

// The pieces of an old-spelling text written in the new spelling with
// `options`, each borrowing a memo of `memos` (both must outlive the result).
PieceConversion new_spelling_pieces(const ConvertOptions& options,
                                    MemoPool<ConversionMemo>& memos);

// The pieces of a new-spelling text written back in the old spelling, with
// plain ' apostrophes when `ascii`.
PieceConversion old_spelling_pieces(bool ascii);

// Runs task(0) .. task(count - 1), each on a thread of its own (task 0 on
// the calling one, and all here when no more threads can be had). An
// exception of any task reaches the caller once all are done.
void run_at_once(std::size_t count, const std::function<void(std::size_t)>& task);

// The number of pieces converted at once for a -j value: 0 means one per core.
unsigned effective_jobs(unsigned jobs);

// Converts a whole text with up to `jobs` pieces at once. The result is the
// same bytes whatever `jobs` is.
std::string convert_in_pieces(std::string_view text, const PieceConversion& convert, unsigned jobs);

// Where streamed text comes from: appends the next bytes of input (a bounded
// amount) to `out` and sets `ended` at the end of the input.
enum class ReadStatus { Ok, Failed, NotText };
using ReadText = std::function<ReadStatus(std::string& out, bool& ended)>;

// Takes the converted pieces in order, each with the input it came from;
// false stops the work.
using TakePiece = std::function<bool(std::string_view piece, std::string_view converted)>;

// Where the next piece of a text ends: next_piece (core/lib.h), or any other
// cut at line breaks that follows its contract.
using CutPiece = std::size_t (*)(std::string_view text, bool input_ended);

enum class StreamEnd {
  Done,
  Stopped,     // `take` returned false
  ReadFailed,  // `read` returned Failed
  NotText,     // `read` returned NotText, or a piece was not UTF-8
};

// Reads, converts and hands on a text piece by piece, up to `jobs` pieces at
// once; the pieces before one that is not UTF-8 are still handed on. At most
// `jobs` pieces with their results and one read are held at a time.
StreamEnd convert_stream(const ReadText& read, const PieceConversion& convert, unsigned jobs,
                         const TakePiece& take, CutPiece cut = next_piece);

// Converts standard input to standard output piece by piece and ends the
// output with a line feed. Input that is not UTF-8 stops the work at the piece
// that holds it (the pieces before it are written) and is reported; a reader
// that went away stops the work silently. Returns the exit status.
int stream_standard_input(const PieceConversion& convert, unsigned jobs);

}  // namespace vexo::cli
