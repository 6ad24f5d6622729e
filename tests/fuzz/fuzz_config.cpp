// Bytes -> kelb701.ini -> the configuration reader. Besides surviving, the settings must stay inside their
// ranges and agree with a small independent reading of the same lines; small tables then go through the
// whole start-up reading (log, table, notices).
#include <string>
#include <string_view>

#include "driver/WBinout.h"
#include "driver/config.h"
#include "fuzz_support.h"
#include "search/hash.h"

using namespace kelb;
using namespace kelb::fuzz;

namespace {

// The reading written out once more, line by line: key to the first blank or '=', value from every later
// character but blanks and '=', ';' ends the line, a line ends at a line feed (CR before it dropped) and is
// cut to 255 characters.
struct Expected {
  int32_t hash = 0, weak = 0;
  bool weakDelay = true, book = true, resign = true, learn = true, log = false;
};

bool SmallNumber(const std::string& v, int32_t lo, int32_t hi, int32_t& out) {
  // Digits only, with an optional sign, leading blanks impossible here (blanks never reach a value); "$"
  // starts hexadecimal digits.
  size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  int base = 10;
  if (i < v.size() && v[i] == '$') {
    base = 16;
    ++i;
  }
  if (i == v.size()) return false;
  int64_t value = 0;
  for (; i < v.size(); ++i) {
    char c = v[i];
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : 99;
    if (d >= base) return false;
    value = value * base + d;
    if (value > 1LL << 40) return false;  // far outside every range
  }
  if (negative) value = -value;
  if (value < lo || value > hi) return false;
  out = static_cast<int32_t>(value);
  return true;
}

Expected ReadExpected(std::string_view bytes) {
  Expected e;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string line(bytes.substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 255) line.resize(255);
    std::string key, value;
    size_t i = 0;
    for (; i < line.size() && line[i] != ';' && line[i] != ' ' && line[i] != '='; ++i) key += line[i];
    for (; i < line.size() && line[i] != ';'; ++i)
      if (line[i] != ' ' && line[i] != '=') value += line[i];
    int32_t v = 0;
    if (key == "hashsize") e.hash = SmallNumber(value, 0, 1023, v) ? v : 0;
    if (key == "weak") e.weak = SmallNumber(value, 0, 50, v) ? v : 0;
    if (key == "weakdelay" && SmallNumber(value, 0, 1, v) && v == 0) e.weakDelay = false;
    if (key == "book" && SmallNumber(value, 0, 1, v) && v == 0) e.book = false;
    if (key == "resign" && SmallNumber(value, 0, 1, v) && v == 0) e.resign = false;
    if (key == "learn" && SmallNumber(value, 0, 1, v) && v == 0) e.learn = false;
    if (key == "log" && SmallNumber(value, 0, 1, v) && v == 1) e.log = true;
  }
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitFuzzing(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  EnterWorkFolder();
  WriteWorkFile("kelb701.ini", bytes);
  ReadSettingsFile("kelb701.ini");
  const Expected e = ReadExpected(bytes);
  if (settings.hashSizeMb != e.hash) Fail("hashsize read differently");
  if (settings.weakLevel != e.weak) Fail("weak read differently");
  if (settings.weakDelay != e.weakDelay || settings.bookEnabled != e.book ||
      settings.resignEnabled != e.resign || settings.learnEnabled != e.learn || settings.logEnabled != e.log)
    Fail("a switch read differently");
  if (settings.hashSizeMb <= 8) {
    // The whole start-up reading; a gigabyte table per input would only measure the allocator.
    ReadConfiguration();
    if (settings.hashSizeMb != e.hash || HashTable.enabled != (e.hash != 0)) Fail("table not as configured");
    CloseLog();
    FreeHashTable();
  }
  LeaveWorkFolder();
  return 0;
}
