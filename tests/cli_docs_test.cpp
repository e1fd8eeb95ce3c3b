// The documents shipped beside vostrelc keep up with it: every option its
// --help lists has an entry in the manual page and is offered by the bash
// completion.

#include <gtest/gtest.h>

#include <QProcess>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/test_support.h"

namespace vostrel::test {
namespace {

const std::string kPackaging = std::string(GOLDEN_DIR) + "/../../packaging/";

// The options named at the start of the option lines of --help ("  -o FILE",
// "  --help, --version", "  --   every argument ...").
std::set<std::string> HelpOptions() {
  QProcess process;
  process.start(VOSTRELC_PATH, {"--help"});
  EXPECT_TRUE(process.waitForFinished(60000));
  std::istringstream help(process.readAllStandardOutput().toStdString());
  const std::regex optionLine(R"(^  (-[^ ,]*(, -[^ ,]*)*)( |$))");
  const std::regex option(R"(--?[a-z0-9-]*)");
  std::set<std::string> options;
  for (std::string line; std::getline(help, line);) {
    std::smatch match;
    if (!std::regex_search(line, match, optionLine)) continue;
    const std::string names = match[1];
    for (auto it = std::sregex_iterator(names.begin(), names.end(), option); it != std::sregex_iterator(); ++it)
      options.insert(it->str());
  }
  return options;
}

// The options of the manual page's entries: the line after each ".TP", with
// the font escapes removed and "\-" read as "-".
std::set<std::string> ManualOptions() {
  std::istringstream page(ReadFile(kPackaging + "vostrelc.1"));
  const std::regex option(R"((^|[ ,"])(--?[a-z0-9-]*))");
  std::set<std::string> options;
  bool tag = false;
  for (std::string line; std::getline(page, line);) {
    if (line == ".TP") {
      tag = true;
      continue;
    }
    if (!tag) continue;
    tag = false;
    line = std::regex_replace(line, std::regex(R"(\\f[BIRP])"), "");
    line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
    line = std::regex_replace(line, std::regex(R"(^\.B[IR]? )"), " ");
    for (auto it = std::sregex_iterator(line.begin(), line.end(), option); it != std::sregex_iterator(); ++it)
      options.insert((*it)[2].str());
  }
  return options;
}

// The words the completion offers for an argument that starts with "-".
std::set<std::string> CompletionOptions() {
  const std::string script = ReadFile(kPackaging + "vostrelc.bash-completion");
  const std::size_t offered = script.find("if [[ $cur == -* ]]");
  EXPECT_NE(offered, std::string::npos);
  const std::size_t open = script.find("-W '", offered) + 4;
  std::istringstream words(script.substr(open, script.find('\'', open) - open));
  std::set<std::string> options;
  for (std::string word; words >> word;) options.insert(word);
  return options;
}

TEST(ShippedDocuments, EveryOptionIsInTheManualAndTheCompletion) {
  const std::set<std::string> help = HelpOptions();
  // What --help lists today, as a floor: a parsing slip would empty the set.
  for (const char* known : {"-o", "--stdout", "--check", "--diagnostics", "--diagnostics-file", "--toolpath",
                            "--decimal-point", "--help", "--version", "--"})
    EXPECT_TRUE(help.count(known)) << known << " not read from --help";
  const std::set<std::string> manual = ManualOptions(), completion = CompletionOptions();
  for (const std::string& option : help) {
    EXPECT_TRUE(manual.count(option)) << option << " has no entry in vostrelc.1";
    EXPECT_TRUE(completion.count(option)) << option << " is not offered by the completion";
  }
}

}  // namespace
}  // namespace vostrel::test
