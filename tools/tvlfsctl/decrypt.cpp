#include "Subcommand.h"

namespace {

int run(const std::vector<std::string>& args) { return 1; }

}  // namespace

extern const Subcommand decryptSubcommand{"decrypt", "decrypt", &run};
