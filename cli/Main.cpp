// velmora-brand: inspect, brand and batch-brand programs from the command line,
// on the brander's own engine and rules.
#include "Commands.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsageText =
    "usage: velmora-brand COMMAND [ARGS]\n"
    "\n"
    "  inspect FILE... [--json]   what each file carries, and whether it can be branded\n"
    "  brand FILE --name TEXT --link TEXT [--cbid TEXT] [--mirrowen TEXT]\n"
    "        [--quillburn TEXT] [--output PATH|-]\n"
    "                             brand one file\n"
    "  batch MASTER --list FILE.csv --out-dir DIR [--jobs N]\n"
    "                             one branded copy per row\n"
    "\n"
    "velmora-brand COMMAND --help tells more; --version the version.\n";

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 1 ? 2 : 1), argv + argc);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "inspect")
        return cli::RunInspect(args);
    if (command == "brand")
        return cli::RunBrand(args);
    if (command == "batch")
        return cli::RunBatch(args);
    if (command == "--version") {
        std::printf("%s %s\n", cli::kProgram, cli::kVersion);
        return cli::kOk;
    }
    if (command == "--help" || command == "-h") {
        std::fputs(kUsageText, stdout);
        return cli::kOk;
    }
    if (!command.empty())
        cli::Complain("unknown command \"" + command + "\"");
    std::fputs(kUsageText, stderr);
    return cli::kUsage;
}
