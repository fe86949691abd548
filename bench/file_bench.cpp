// Office document conversion on a large generated word-processing document
// (over 20 MB of document XML): the XML part alone and the whole package.
// Reports throughput over the document XML and the process's peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <zip.h>

#include <string>
#include <vector>

#include "cli/ooxml.h"

namespace {

using vexo::cli::Change;
using vexo::cli::ElementSet;
using vexo::cli::PackageKind;
using vexo::cli::TextSettings;

// Paragraphs of several formatted runs, words split across runs, tabs and
// breaks, as a word processor writes them.
const std::string& document_xml() {
  static const std::string xml = [] {
    const char* paragraphs[] = {
        "<w:p w:rsidR=\"00A1\"><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:r><w:rPr><w:b/></w:rPr>"
        "<w:t>O'zbekiston Respublikasi poytaxti Toshkent </w:t></w:r><w:r><w:t "
        "xml:space=\"preserve\">"
        "shahrida ko'plab yangi maktablar qurilmoqda.</w:t></w:r></w:p>",
        "<w:p><w:r><w:t>Bugun ertalab bog'da cho</w:t></w:r><w:r><w:rPr><w:i/></w:rPr><w:t>y "
        "ichib, "
        "do'stlarim bilan</w:t></w:r><w:r><w:tab/><w:t>shahar markaziga bordik.</w:t><w:br/></w:r>"
        "</w:p>",
        "<w:p><w:r><w:t>Ma'lumotlarga ko'ra, 2024-yilda eksport hajmi 15 foizga o'sgan &amp; "
        "https://kun.uz/news sahifasida batafsil.</w:t></w:r></w:p>",
        "<w:p><w:r><w:t>Men bu kitobni oldim va uni do'konda ko'rdim.</w:t></w:r></w:p>",
    };
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document xmlns:w=\""
        "http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
    // A varying revision number and counter per paragraph keep the part
    // about as compressible as a real document.
    std::uint32_t seed = 12345;
    while (out.size() < (21u << 20)) {
      for (const char* p : paragraphs) {
        seed = seed * 1103515245u + 12345u;
        out += "<w:p w:rsidRPr=\"" + std::to_string(seed) + "\"><w:r><w:t>" +
               std::to_string(seed % 100000) + "-band</w:t></w:r></w:p>";
        out += p;
      }
    }
    out += "</w:body></w:document>";
    return out;
  }();
  return xml;
}

// The document in a package with a few untouched entries beside it.
const std::string& package_bytes() {
  static const std::string bytes = [] {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    const std::string types = "<Types/>";
    const std::string& xml = document_xml();
    zip_file_add(archive, "[Content_Types].xml",
                 zip_source_buffer(archive, types.data(), types.size(), 0), 0);
    zip_file_add(archive, "word/document.xml",
                 zip_source_buffer(archive, xml.data(), xml.size(), 0), 0);
    zip_file_add(archive, "word/styles.xml",
                 zip_source_buffer(archive, types.data(), types.size(), 0), 0);
    zip_close(archive);
    zip_stat_t stat;
    zip_source_stat(buffer, &stat);
    std::string out(stat.size, '\0');
    zip_source_open(buffer);
    zip_source_read(buffer, out.data(), out.size());
    zip_source_close(buffer);
    zip_source_free(buffer);
    return out;
  }();
  return bytes;
}

void report(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document_xml().size()));
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["xml_MB"] = static_cast<double>(document_xml().size()) / 1e6;
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_DocumentPart(benchmark::State& state) {
  const std::string& xml = document_xml();
  const TextSettings settings;
  for (auto _ : state) {
    std::vector<Change> changes;
    auto result = vexo::cli::convert_part(xml, "word/document.xml", ElementSet::WordProcessing,
                                          settings, changes);
    if (!result.ok()) state.SkipWithError(result.error.c_str());
    benchmark::DoNotOptimize(result);
  }
  report(state);
}
BENCHMARK(BM_DocumentPart)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DocumentPackage(benchmark::State& state) {
  const std::string& bytes = package_bytes();
  const TextSettings settings;
  for (auto _ : state) {
    std::vector<Change> changes;
    auto result = vexo::cli::convert_package(bytes, PackageKind::WordProcessing, settings, changes);
    if (!result.ok()) state.SkipWithError(result.error.c_str());
    benchmark::DoNotOptimize(result);
  }
  report(state);
}
BENCHMARK(BM_DocumentPackage)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
