// The transposition table: search results by position, learned positions, and the search generation.
#pragma once
#include <cstdint>

namespace kelb {

#pragma pack(push, 1)
// One stored position, 50 bytes.
struct HashEntry {
  uint8_t packedBoard[32];  // the placement, a nibble per square (see PackBoard)
  uint8_t stateBits;  // 32 Black to move, 16/8 queen side lost W/B, 4/2 king side lost W/B, 1 repetition
  uint8_t epFile;
  uint8_t bestFrom;
  uint8_t bestTo;
  uint32_t key;
  int16_t depth;
  int16_t nodeDepth;  // depth argument of the storing node, before extensions
  int16_t score;
  int16_t staticEval;  // kNoStaticEval (search.h) when none was computed
  uint8_t ageCode;     // the age (see EntryAge) exclusive-or kEmptyAge, so that zeroed memory reads as empty
  uint8_t bound;
};
#pragma pack(pop)
static_assert(sizeof(HashEntry) == 50, "table entries are 50-byte records");

inline constexpr int kEntriesPerBlock = 1310;
inline constexpr int kMaxHashSizeMb = 1023;
inline constexpr uint8_t kEmptyAge = 254;
inline constexpr uint8_t kLearnedAge = 255;

// Generation 0..253 at store time, kEmptyAge or kLearnedAge. Stored in coded form: a new table is then empty
// without a write to any entry, and memory fresh from the system is never touched before the search needs it.
inline uint8_t EntryAge(const HashEntry& e) { return e.ageCode ^ kEmptyAge; }
inline void SetEntryAge(HashEntry& e, uint8_t age) { e.ageCode = age ^ kEmptyAge; }

// Bounds of a stored score.
inline constexpr uint8_t kLowerBound = 0;  // score >= stored value (a beta)
inline constexpr uint8_t kUpperBound = 1;  // score <= stored value (an alpha)
inline constexpr uint8_t kExactBound = 2;

struct HashTableState {
  bool enabled;
  HashEntry* entries;  // entryCount records, used as blocks of kEntriesPerBlock
  uint32_t entryCount;
  uint64_t indexMagic;  // 2^64 / entryCount rounded up: key mod entryCount by multiplications
  int32_t generation;   // 0..253
  int32_t freshWrites;  // stores into slots of another generation since the search started
};

extern HashTableState HashTable;

// Sizes the table; sizeMb above 1023 is clamped and written back, 0 disables it. Also rebuilds the
// position keys and reseeds the random generator.
void AllocateHashTable(int32_t& sizeMb);
void FreeHashTable();

// Looks up the current position; returns true with the stored score when the entry decides the window.
// Fills the hash move, staticEval and the null-move / certain-fail-low hints of the current ply.
bool ProbeHash(int32_t alpha, int32_t beta, int32_t depth, int32_t repetitionFlag, int32_t& score);
// Stores a node result; alpha and beta are the window the node was called with.
void StoreHash(int32_t score, int32_t alpha, int32_t beta, int32_t depth, int32_t repetitionFlag);
// Permanent entry for the current position (learning file).
void StoreLearned(int32_t score, int32_t depth);

// Generation steps: the next search, a wholesale invalidation (+10), a take-back.
void NextGeneration();
void InvalidateHash();
void PreviousGeneration();

// Fresh writes per mille of the table since the search started.
int32_t HashFullPermill();

// GCC and clang both have a 128-bit integer; marked as the extension it is for -pedantic.
__extension__ typedef unsigned __int128 UInt128;

// key mod count without a division (exact for every 32-bit key and count), magic = 2^64 / count rounded up.
inline uint32_t FastMod(uint32_t key, uint32_t count, uint64_t magic) {
  const uint64_t lowBits = magic * key;
  return static_cast<uint32_t>((static_cast<UInt128>(lowBits) * count) >> 64);
}

// The bucket of a key: [0] the even (depth-protected) slot, [1] the odd (replace-always) one. The index is
// key mod entryCount; blocks of 1310 entries lie back to back and hold an even number of entries, so the
// bucket's first slot is simply the index with its lowest bit cleared.
inline HashEntry* HashBucket(uint32_t key) {
  return HashTable.entries + (FastMod(key, HashTable.entryCount, HashTable.indexMagic) & ~1u);
}

// Entries of a table of sizeMb megabytes (0..1023).
uint32_t HashEntryCount(int32_t sizeMb);

// Starts loading the bucket of a position about to be probed, so the memory latency overlaps other work.
inline void PrefetchHash(uint32_t key) {
  if (HashTable.entries == nullptr) return;
  // A bucket is two 50-byte entries and may straddle three cache lines: fetch every line it touches.
  const char* bucket = reinterpret_cast<const char*>(HashBucket(key));
  __builtin_prefetch(bucket);
  __builtin_prefetch(bucket + 64);
  __builtin_prefetch(bucket + 2 * sizeof(HashEntry) - 1);
}

}  // namespace kelb
