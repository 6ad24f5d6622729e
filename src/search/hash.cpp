#include "search/hash.h"

#include <cassert>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "board/board.h"
#include "board/movegen.h"
#include "board/random.h"
#include "driver/WBinout.h"
#include "driver/config.h"
#include "search/ordering.h"
#include "search/search.h"

namespace kelb {

HashTableState HashTable;

void AllocateHashTable(int32_t& sizeMb) {
  if (sizeMb > kMaxHashSizeMb) sizeMb = kMaxHashSizeMb;
  if (sizeMb < 0) sizeMb = 0;
  FreeHashTable();
  HashTable.enabled = sizeMb != 0;
  HashTable.entryCount = HashEntryCount(sizeMb);
  HashTable.indexMagic = UINT64_MAX / HashTable.entryCount + 1;
  HashTable.entries = static_cast<HashEntry*>(
      AllocateTableMemory(static_cast<size_t>(HashTable.entryCount) * sizeof(HashEntry)));
  if (HashTable.entries == nullptr) {
    // Not enough memory: run without a table rather than crash.
    HashTable.enabled = false;
    HashTable.entryCount = 0;
    sizeMb = 0;
  }
  // Zeroed memory: every entry reads as empty (kEmptyAge) as it is.
  InitKeys();
  HashTable.generation = 0;
  HashTable.freshWrites = 0;
  SeedRandomFromClock();
}

uint32_t HashEntryCount(int32_t sizeMb) {
  // 65520 (not the 65500 of a block) is the divisor: the count must match tables built that way.
  const uint32_t blocks = static_cast<uint32_t>(static_cast<int64_t>(sizeMb) * 1048576 / 65520 + 1);
  return blocks * kEntriesPerBlock;
}

void FreeHashTable() {
  FreeTableMemory(HashTable.entries);
  HashTable.entries = nullptr;
  HashTable.entryCount = 0;
  HashTable.enabled = false;
}

// Full placement, so that key collisions never give false hits: the code of every square (each below 16) in
// one nibble. Byte i of each half holds file 1 + i / 8 (low nibble) and file 3 + i / 8 (high nibble) at rank
// i % 8 + 1; the second half does the same for files 5 to 8. The layout only has to be the same for the
// probe and the store, so it follows what the vector packing instructions give.
static inline void PackBoard(uint8_t packed[32]) {
  const int32_t* codes = &Board.squares[11];  // a1; file f starts 10 * (f - 1) further on
#if defined(__SSE2__)
  // Two files to sixteen bytes, one code per byte.
  auto files = [codes](int first) {
    const int32_t* a = codes + 10 * (first - 1);
    const int32_t* b = a + 10;
    const __m128i fa = _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4)));
    const __m128i fb = _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4)));
    return _mm_packus_epi16(fa, fb);
  };
  // A byte below 16 shifted by four stays inside its byte.
  const __m128i low = _mm_or_si128(files(1), _mm_slli_epi16(files(3), 4));
  const __m128i high = _mm_or_si128(files(5), _mm_slli_epi16(files(7), 4));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(packed), low);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + 16), high);
#else
  for (int half = 0; half < 2; half++)
    for (int i = 0; i < 16; i++) {
      const int file = 4 * half + 1 + i / 8, rank = i % 8 + 1;
      packed[16 * half + i] =
          static_cast<uint8_t>(codes[10 * (file - 1) + rank - 1] | codes[10 * (file + 1) + rank - 1] << 4);
    }
#endif
}

// The entries are packed records: copy through memcpy rather than through a misaligned pointer.
static void StorePackedBoard(HashEntry& e) {
  uint8_t packed[32];
  PackBoard(packed);
  std::memcpy(reinterpret_cast<char*>(&e) + offsetof(HashEntry, packedBoard), packed, sizeof packed);
}

static uint8_t StateBits(int32_t repetitionFlag) {
  return static_cast<uint8_t>((Board.side << 5) | (Board.queenSideLost[kWhite] << 4) |
                              (Board.queenSideLost[kBlack] << 3) | (Board.kingSideLost[kWhite] << 2) |
                              (Board.kingSideLost[kBlack] << 1) | (repetitionFlag != 0 ? 1 : 0));
}

static bool SamePosition(const HashEntry& e, int32_t repetitionFlag) {
  if (e.stateBits != StateBits(repetitionFlag) || e.epFile != Board.epFile) return false;
  uint8_t packed[32];
  PackBoard(packed);
  return std::memcmp(reinterpret_cast<const char*>(&e) + offsetof(HashEntry, packedBoard), packed,
                     sizeof packed) == 0;
}

// Only the last ten generations count. The window does not wrap: InvalidateHash relies on a jump to 0
// leaving every older entry outside it.
// The bucket of the position is a whole pair of entries inside the table.
[[maybe_unused]] static bool BucketInTable(const HashEntry* bucket) {
  return bucket >= HashTable.entries && bucket + 2 <= HashTable.entries + HashTable.entryCount &&
         (bucket - HashTable.entries) % 2 == 0;
}

static bool InGenerationWindow(int age) {
  const int g = HashTable.generation;
  return age >= g - 9 && age <= g;
}

bool ProbeHash(int32_t alpha, int32_t beta, int32_t depth, int32_t repetitionFlag, int32_t& score) {
  if (!HashTable.enabled || settings.weakLevel != 0) return false;
  HashEntry* bucket = HashBucket(Board.key);
  assert(BucketInTable(bucket) && Board.ply >= 1 && Board.ply < kMaxPly);
  HashEntry* e = nullptr;
  if (bucket[0].key == Board.key)
    e = &bucket[0];
  else if (bucket[1].key == Board.key)
    e = &bucket[1];
  if (e == nullptr) return false;
  const uint8_t age = EntryAge(*e);
  if (age != kLearnedAge && !InGenerationWindow(age)) return false;
  if (!SamePosition(*e, repetitionFlag)) return false;
  if (age != kLearnedAge) SetEntryAge(*e, static_cast<uint8_t>(HashTable.generation));

  const int ply = Board.ply;
  hashMoveFrom[ply] = e->bestFrom;
  hashMoveTo[ply] = e->bestTo;
  if ((e->bound == kUpperBound || e->bound == kExactBound) && e->score < beta) noNullMove = true;
  fullEval[ply] = e->staticEval;

  // Just below the leftmost line the search must see real scores, not cut-offs.
  if (onLeftmostLine[ply - 1]) return false;
  const int32_t required = depth > 0 ? depth : (checksOnly[ply] ? 0 : -1);
  if (e->depth < required) return false;
  const bool decides = e->bound == kExactBound || (e->bound == kUpperBound && e->score <= alpha) ||
                       (e->bound == kLowerBound && e->score >= beta);
  if (!decides) return false;
  if ((e->bound == kUpperBound || e->bound == kExactBound) && e->score <= alpha &&
      e->nodeDepth >= childDepthHint[ply])
    certainFailLow[ply] = 1;
  score = e->score;
  return true;
}

// A slot keeps its entry against a shallower store of this generation, and learned entries always.
static bool Protected(const HashEntry& e, int32_t depth) {
  const uint8_t age = EntryAge(e);
  if (age == kLearnedAge) return true;
  if (age != HashTable.generation) return false;
  return e.depth > depth || (e.depth == depth && e.bound == kExactBound);
}

void StoreHash(int32_t score, int32_t alpha, int32_t beta, int32_t depth, int32_t repetitionFlag) {
  if (!HashTable.enabled) return;
  HashEntry* bucket = HashBucket(Board.key);
  assert(BucketInTable(bucket) && Board.ply >= 0 && Board.ply < kMaxPly);
  assert(depth >= -32768 && depth <= 32767);
  HashEntry* e;
  if (Protected(bucket[0], depth)) {
    if (bucket[0].key == Board.key) return;
    if (Protected(bucket[1], depth) && bucket[1].key == Board.key) return;
    e = &bucket[1];
  } else {
    e = &bucket[0];
  }
  if (EntryAge(*e) != HashTable.generation) HashTable.freshWrites++;

  const int ply = Board.ply;
  e->key = Board.key;
  StorePackedBoard(*e);
  e->stateBits = StateBits(repetitionFlag);
  e->epFile = static_cast<uint8_t>(Board.epFile);
  e->depth = static_cast<int16_t>(depth);
  e->nodeDepth = static_cast<int16_t>(nodeDepth[ply]);
  SetEntryAge(*e, static_cast<uint8_t>(HashTable.generation));
  e->bestFrom = static_cast<uint8_t>(hashMoveFrom[ply]);
  e->bestTo = static_cast<uint8_t>(hashMoveTo[ply]);
  e->staticEval = static_cast<int16_t>(fullEval[ply]);

  uint8_t bound;
  int32_t value;
  if (score <= alpha) {
    bound = kUpperBound;
    value = alpha;
  } else if (score >= beta) {
    bound = kLowerBound;
    value = beta;
  } else {
    bound = kExactBound;
    value = score;
  }
  // Mate distances are relative to the storing node: never hand them on as exact values.
  if (value > 32000) {
    if (bound == kUpperBound)
      value = 32767;
    else {
      bound = kLowerBound;
      value = 32000;
    }
  }
  if (value < -32000) {
    if (bound == kLowerBound)
      value = -32768;
    else {
      bound = kUpperBound;
      value = -32000;
    }
  }
  e->bound = bound;
  e->score = static_cast<int16_t>(value);
}

void StoreLearned(int32_t score, int32_t depth) {
  if (!HashTable.enabled || depth < 1) return;
  HashEntry& e = HashBucket(Board.key)[0];
  assert(BucketInTable(&e));
  e.key = Board.key;
  StorePackedBoard(e);
  e.stateBits = StateBits(0);
  e.epFile = static_cast<uint8_t>(Board.epFile);
  e.depth = static_cast<int16_t>(depth);
  e.nodeDepth = static_cast<int16_t>(nodeDepth[Board.ply]);
  SetEntryAge(e, kLearnedAge);
  e.bestFrom = e.bestTo = 0;
  e.staticEval = kNoStaticEval;
  e.bound = kExactBound;
  e.score = static_cast<int16_t>(score);
}

void NextGeneration() { HashTable.generation = HashTable.generation > 252 ? 0 : HashTable.generation + 1; }

void InvalidateHash() { HashTable.generation = HashTable.generation > 233 ? 0 : HashTable.generation + 10; }

void PreviousGeneration() {
  HashTable.generation = HashTable.generation <= 0 ? 253 : HashTable.generation - 1;
}

int32_t HashFullPermill() {
  const int32_t perMill = static_cast<int32_t>(HashTable.entryCount / 1000);
  return perMill == 0 ? 0 : HashTable.freshWrites / perMill;
}

}  // namespace kelb
