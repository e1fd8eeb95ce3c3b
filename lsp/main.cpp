// vostrel-lsp: the compile pipeline as a language server for editors,
// speaking the language server protocol on standard input and output.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "langserver/engine.h"
#include "lsp/server.h"
#include "platform/console.h"
#include "text/path_text.h"
#include "version.h"

namespace {

constexpr const char* kUsage =
    "Usage: vostrel-lsp [--ini FILE] [--word-list FILE] [--exe-dir DIR] [--stdio]\n"
    "\n"
    "A language server for NC sources (Shift-JIS text): an editor starts it and\n"
    "speaks the language server protocol with it on standard input and output.\n"
    "It reports every finding of a compile run as it checks (vostrelc --check),\n"
    "finds definitions and references of names, renames them, and completes\n"
    "names, word-list words and #IF words. It never writes a file.\n"
    "\n"
    "  --ini FILE        read the run options from this settings file (default:\n"
    "                    vostrel.INI in the editor's folder, else the desktop\n"
    "                    program's settings file)\n"
    "  --word-list FILE  the word list of the syntax check\n"
    "  --exe-dir DIR     stands in for the program's own folder\n"
    "  --stdio           accepted and ignored (standard input and output are\n"
    "                    always used)\n"
    "  --help, --version\n"
    "\n"
    "The #IF words come from the editor's settings (vostrel.ifWords).\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace vostrel;
  platform::UseUtf8Console();
  platform::UseBinaryInput();
  const std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
  langserver::EngineSettings settings;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "--ini" || arg == "--word-list" || arg == "--exe-dir";
    if (takesValue && i + 1 >= args.size()) {
      std::cerr << "vostrel-lsp: " << arg << " needs a value\n\n" << kUsage;
      return 2;
    }
    if (arg == "--ini") settings.ini = PathFromUtf8(args[++i]);
    else if (arg == "--word-list") settings.wordList = PathFromUtf8(args[++i]);
    else if (arg == "--exe-dir") settings.exeDir = PathFromUtf8(args[++i]);
    else if (arg == "--stdio") continue;
    else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "vostrel-lsp " VOSTREL_VERSION "\n";
      return 0;
    } else {
      std::cerr << "vostrel-lsp: unknown argument '" << arg << "'\n\n" << kUsage;
      return 2;
    }
  }
  lsp::Server server(std::move(settings), stdin, stdout);
  return server.Serve();
}
