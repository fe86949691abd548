// Commands whose implementation has not been written yet.
#include "cli/app.h"

namespace vexo::cli {
namespace {
int not_ready() {
  report_error("bu buyruq hali tayyor emas");
  return 1;
}
}  // namespace

int run_cyr(std::span<const std::string>, const CliOptions&) { return not_ready(); }

}  // namespace vexo::cli
