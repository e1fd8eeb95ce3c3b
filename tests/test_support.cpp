#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "text/sjis.h"

namespace vostrel::test {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
  std::random_device random;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() / ("vostrel-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::optional<std::filesystem::path> CorpusDir() {
  // VOSTREL_CORPUS names another folder (a worktree beside the clone).
  const char* env = std::getenv("VOSTREL_CORPUS");
#ifdef CORPUS_DIR
  std::filesystem::path dir = env ? env : CORPUS_DIR;
#else
  if (!env) return std::nullopt;
  std::filesystem::path dir = env;
#endif
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return std::nullopt;
  return dir;
}

std::string Sjis(const std::string& utf8) {
  auto bytes = sjis::FromUtf8(utf8);
  EXPECT_TRUE(bytes.has_value()) << "no Shift-JIS form: " << utf8;
  return bytes.value_or(std::string());
}

}  // namespace vostrel::test
