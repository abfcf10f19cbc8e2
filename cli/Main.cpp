// velmora-brand: inspect, brand and batch-brand programs from the command line,
// on the brander's own engine and rules.
#include "Commands.h"

#include "FwCodePage.h"
#include "FwFile.h"

#include <cstdio>

namespace {

constexpr const char* kUsageText =
    "usage: velmora-brand COMMAND [ARGS]\n"
    "\n"
    "  inspect FILE... [--json] [--codepage N|bytes]\n"
    "                             what each file carries, and whether it can be branded\n"
    "  brand FILE --name TEXT --link TEXT [--cbid TEXT] [--mirrowen TEXT]\n"
    "        [--quillburn TEXT] [--output PATH|-] [--codepage N|bytes]\n"
    "                             brand one file\n"
    "  batch MASTER --list FILE.csv --out-dir DIR [--jobs N] [--codepage N|bytes]\n"
    "                             one branded copy per row\n"
#ifdef VELMORA_SERVE
    "  serve --product NAME=MASTER --affiliates TABLE --listen HOST:PORT [--link-key FILE]\n"
    "                             a branded copy per download, over HTTP\n"
    "  link --id ID --product NAME --base URL [--link-key FILE]\n"
    "                             an affiliate's download link\n"
#endif
    "\n"
    "velmora-brand COMMAND --help tells more; --version the version.\n";

}  // namespace

int main(int argc, char** argv)
{
    // File names and texts are UTF-8 inside the program on every system.
    fw::SetFileNameCodePage(65001);
    fw::PrintUtf8ToConsole();
    std::vector<std::string> args = fw::CommandLineArguments(argc, argv);
    const std::string command = args.empty() ? "" : args[0];
    if (!args.empty())
        args.erase(args.begin());
    if (command == "inspect")
        return cli::RunInspect(args);
    if (command == "brand")
        return cli::RunBrand(args);
    if (command == "batch")
        return cli::RunBatch(args);
#ifdef VELMORA_SERVE
    if (command == "serve")
        return cli::RunServe(args);
    if (command == "link")
        return cli::RunLink(args);
#endif
    if (command == "--version") {
        std::printf("%s %s\n", cli::kProgram, cli::kVersion);
        return cli::kOk;
    }
    if (command == "--help" || command == "-h") {
        std::fputs(kUsageText, stdout);
        return cli::kOk;
    }
    if (!command.empty())
        cli::Complain("unknown command \"" + cli::PrintableName(command) + "\"");
    std::fputs(kUsageText, stderr);
    return cli::kUsage;
}
