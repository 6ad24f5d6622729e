#include "support/files.h"

#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kelb::test {

TempDir::TempDir(const std::string& stem) {
  const std::string templ = (std::filesystem::temp_directory_path() / (stem + ".XXXXXX")).string();
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + templ);
  path = name.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  WriteFile(PathOf(name), content);
}

std::string TempDir::Read(const std::string& name) const { return ReadFile(PathOf(name)); }

InTempDir::InTempDir(const std::string& stem) : TempDir(stem), previous(std::filesystem::current_path()) {
  std::filesystem::current_path(Path());
}

InTempDir::~InTempDir() {
  std::error_code ec;
  std::filesystem::current_path(previous, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string BookBytes(const std::vector<int32_t>& records) {
  std::string bytes;
  for (int32_t v : records) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((u >> shift) & 255));
  }
  return bytes;
}

std::string ShippedBook() { return ReadFile(KELB_SOURCE_DIR "/data/kelb701.bok"); }

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace kelb::test
