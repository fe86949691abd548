// The embedded word-list data, generated at build time from core/data/ by
// tools/gen_lexicon.py. Everything here lives in read-only data and is
// constant-initialised: nothing is parsed or copied at start-up.
#pragma once

#include <string_view>

#include "core/lexicon.h"

namespace vexo::list_data {

extern const Lexicon uzbek;          // core/data/uzbek.tsv
extern const Lexicon english;        // core/data/english.tsv
extern const Lexicon sh_exceptions;  // core/data/sh_exceptions.tsv
extern const Lexicon context;        // core/data/context.tsv

// Line lists: one lowercase entry per line, CR LF line ends, '#' comments.
extern const std::string_view brands_text;         // core/data/brands.txt
extern const std::string_view foreign_names_text;  // core/data/foreign_names.txt

}  // namespace vexo::list_data
