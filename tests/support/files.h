// Files and folders for the tests: a fresh temporary folder removed with everything in it at the end, the
// working folder moved into one for a test's life, whole files read and written, and a short pause.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kelb::test {

// A fresh folder under the system's temporary folder; the folder and all in it go with the object.
class TempDir {
 public:
  explicit TempDir(const std::string& stem = "kelbtest");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path; }
  std::string PathOf(const std::string& name) const { return path + "/" + name; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;  // empty if missing

 private:
  std::string path;
};

// A fresh temporary folder as the working folder, as the engine's own files (log, learning file, saved
// positions) land in it; the previous working folder comes back before the folder is removed.
class InTempDir : public TempDir {
 public:
  explicit InTempDir(const std::string& stem = "kelbtest");
  ~InTempDir();

 private:
  std::filesystem::path previous;
};

// The whole file as bytes; empty if missing.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

// The records of a book file as its bytes: 32-bit words, little-endian.
std::string BookBytes(const std::vector<int32_t>& records);

// The opening book shipped in the source tree's data folder, as bytes (empty if missing).
std::string ShippedBook();

// Lets the engine on the other end of a pipe get on with what it was sent.
void Pause(int ms);

}  // namespace kelb::test
