#include "search/hash.h"

#include <cstdint>
#include <cstring>

#include "driver/WBinout.h"
#include "search_fixture.h"

namespace kelb {
namespace {

using test::SetPosition;

constexpr const char* kPosition = "r3k2r/pppq1ppp/2n2n2/3pp3/3PP3/2N2N2/PPPQ1PPP/R3K2R w KQkq - 0 1";

class HashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPosition(kPosition);
    Board.ply = 2;  // probes and stores use the slots of the node's ply
    onLeftmostLine[1] = 0;
    checksOnly[2] = 0;
    childDepthHint[2] = 1;
    nodeDepth[2] = 3;
    fullEval[2] = kNoStaticEval;
    hashMoveFrom[2] = 51;
    hashMoveTo[2] = 61;
  }
  void TearDown() override { Board.ply = 1; }

  static bool Probe(int32_t alpha, int32_t beta, int32_t depth, int32_t& score, int32_t repetition = 0) {
    return ProbeHash(alpha, beta, depth, repetition, score);
  }
};

TEST(HashSizeTest, EntryCounts) {
  EXPECT_EQ(HashEntryCount(0), 1310u);
  EXPECT_EQ(HashEntryCount(2), 43230u);
  EXPECT_EQ(HashEntryCount(16), 336670u);  // 16 MB
  EXPECT_EQ(HashEntryCount(32), 672030u);
  EXPECT_EQ(HashEntryCount(1023), 21447320u);
}

TEST(HashSizeTest, IndexIsTheKeyModuloTheEntryCount) {
  const uint32_t counts[] = {1310, 43230, 257 * 1310, 672030, 21447320};
  uint32_t key = 12345;
  for (uint32_t count : counts) {
    const uint64_t magic = UINT64_MAX / count + 1;
    for (int i = 0; i < 20000; i++) {
      key = key * 1664525u + 1013904223u;
      ASSERT_EQ(FastMod(key, count, magic), key % count) << key << " " << count;
    }
    EXPECT_EQ(FastMod(0xffffffffu, count, magic), 0xffffffffu % count);
    EXPECT_EQ(FastMod(count - 1, count, magic), count - 1);
    EXPECT_EQ(FastMod(count, count, magic), 0u);
  }
}

TEST(HashSizeTest, AllocationClampsAndDisables) {
  int32_t mb = 0;
  AllocateHashTable(mb);
  EXPECT_FALSE(HashTable.enabled);
  EXPECT_EQ(HashTable.entryCount, 1310u);
  mb = 32;
  AllocateHashTable(mb);
  EXPECT_TRUE(HashTable.enabled);
  EXPECT_EQ(HashTable.entryCount, 672030u);
  EXPECT_EQ(HashTable.generation, 0);
  FreeHashTable();
}

// A new table, also in memory a previous table has dirtied, holds nothing but empty slots, and it starts on a
// large-page boundary.
TEST(HashSizeTest, NewTableIsEmptyAndLargePageAligned) {
  int32_t mb = 4;
  for (int round = 0; round < 2; round++) {
    AllocateHashTable(mb);
    ASSERT_NE(HashTable.entries, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(HashTable.entries) % (uintptr_t{2} << 20), 0u);
    HashEntry empty{};
    SetEntryAge(empty, kEmptyAge);
    uint32_t dirty = 0;
    for (uint32_t i = 0; i < HashTable.entryCount; i++)
      if (std::memcmp(&HashTable.entries[i], &empty, sizeof empty) != 0) dirty++;
    EXPECT_EQ(dirty, 0u) << "round " << round;
    std::memset(HashTable.entries, 0xa5, static_cast<size_t>(HashTable.entryCount) * sizeof(HashEntry));
  }
  FreeHashTable();
  EXPECT_EQ(AllocateTableMemory(SIZE_MAX - 16), nullptr);
  FreeTableMemory(nullptr);
}

// A gigabyte of address space: fresh from the system and never cleared, it costs nothing until it is used.
TEST(HashSizeTest, OversizedRequestIsClampedAndWrittenBack) {
  int32_t mb = 5000;
  AllocateHashTable(mb);
  EXPECT_EQ(mb, 1023);
  EXPECT_EQ(HashTable.entryCount, 21447320u);
  FreeHashTable();
}

TEST_F(HashTest, DisabledTableAlwaysMisses) {
  int32_t mb = 0;
  AllocateHashTable(mb);
  StoreHash(50, -100, 100, 5, 0);
  int32_t score = 0;
  EXPECT_FALSE(Probe(-100, 100, 1, score));
  FreeHashTable();
}

TEST_F(HashTest, ExactEntryFoundWithItsMoveAndEval) {
  fullEval[2] = 77;
  StoreHash(40, -100, 100, 5, 0);
  hashMoveFrom[2] = hashMoveTo[2] = 0;
  fullEval[2] = kNoStaticEval;
  int32_t score = 0;
  EXPECT_TRUE(Probe(-100, 100, 5, score));
  EXPECT_EQ(score, 40);
  EXPECT_EQ(hashMoveFrom[2], 51);
  EXPECT_EQ(hashMoveTo[2], 61);
  EXPECT_EQ(fullEval[2], 77);
  // Too shallow for a deeper request: a miss that still hands over the move.
  hashMoveFrom[2] = 0;
  EXPECT_FALSE(Probe(-100, 100, 6, score));
  EXPECT_EQ(hashMoveFrom[2], 51);
}

TEST_F(HashTest, BoundsDecideOnlyOnTheirSide) {
  StoreHash(150, -100, 100, 4, 0);  // fail high: lower bound 100
  int32_t score = 0;
  EXPECT_TRUE(Probe(-100, 100, 4, score));
  EXPECT_EQ(score, 100);
  EXPECT_FALSE(Probe(-100, 120, 4, score));
  NextGeneration();
  StoreHash(-150, -100, 100, 4, 0);  // fail low: upper bound -100
  EXPECT_TRUE(Probe(-100, 100, 4, score));
  EXPECT_EQ(score, -100);
  EXPECT_FALSE(Probe(-120, 100, 4, score));
}

TEST_F(HashTest, LeftmostLineTakesNoCutoffs) {
  StoreHash(40, -100, 100, 5, 0);
  onLeftmostLine[1] = 1;
  int32_t score = 0;
  hashMoveFrom[2] = 0;
  EXPECT_FALSE(Probe(-100, 100, 5, score));
  EXPECT_EQ(hashMoveFrom[2], 51);
}

TEST_F(HashTest, QuiescenceDepthsAndCertainFailLow) {
  StoreHash(-50, -40, 100, -1, 0);
  int32_t score = 0;
  EXPECT_TRUE(Probe(-40, 100, 0, score));  // a depth 0 request needs -1 outside checks-only nodes
  checksOnly[2] = 1;
  EXPECT_FALSE(Probe(-40, 100, 0, score));
  checksOnly[2] = 0;
  certainFailLow[2] = 0;
  childDepthHint[2] = 3;  // stored nodeDepth 3 is deep enough
  EXPECT_TRUE(Probe(-40, 100, -1, score));
  EXPECT_EQ(certainFailLow[2], 1);
  certainFailLow[2] = 0;
  childDepthHint[2] = 4;
  EXPECT_TRUE(Probe(-40, 100, -1, score));
  EXPECT_EQ(certainFailLow[2], 0);
}

TEST_F(HashTest, NullMoveHintFromUpperBoundBelowBeta) {
  StoreHash(-150, -100, 100, 4, 0);
  noNullMove = false;
  int32_t score = 0;
  Probe(-300, 100, 9, score);
  EXPECT_TRUE(noNullMove);
}

TEST_F(HashTest, GenerationWindowIsTenSteps) {
  StoreHash(40, -100, 100, 5, 0);
  int32_t score = 0;
  for (int i = 0; i < 9; i++) NextGeneration();
  EXPECT_TRUE(Probe(-100, 100, 5, score));  // stored at g - 9 (the probe refreshes the age)
  SetUp();
  StoreHash(40, -100, 100, 5, 0);
  for (int i = 0; i < 10; i++) NextGeneration();
  EXPECT_FALSE(Probe(-100, 100, 5, score));  // stored at g - 10
}

TEST_F(HashTest, InvalidateHidesAllButLearnedEntries) {
  StoreHash(40, -100, 100, 5, 0);
  InvalidateHash();
  int32_t score = 0;
  EXPECT_FALSE(Probe(-100, 100, 5, score));
  StoreLearned(-25, 7);
  for (int i = 0; i < 3; i++) InvalidateHash();
  EXPECT_TRUE(Probe(-100, 100, 7, score));
  EXPECT_EQ(score, -25);
  EXPECT_EQ(EntryAge(HashBucket(Board.key)[0]), kLearnedAge);
  // An ordinary store never takes the even slot of a learned entry.
  StoreHash(90, -100, 100, 30, 0);
  EXPECT_EQ(EntryAge(HashBucket(Board.key)[0]), kLearnedAge);
  EXPECT_EQ(HashBucket(Board.key)[0].score, -25);
}

TEST_F(HashTest, LearnedStoreNeedsDepth) {
  StoreLearned(10, 0);
  int32_t score = 0;
  EXPECT_FALSE(Probe(-100, 100, 1, score));
}

TEST_F(HashTest, StateDifferencesMiss) {
  StoreHash(40, -100, 100, 5, 0);
  int32_t score = 0;
  EXPECT_FALSE(Probe(-100, 100, 5, score, 1));  // repetition flag
  Board.kingSideLost[kBlack] = 1;
  EXPECT_FALSE(Probe(-100, 100, 5, score));
  Board.kingSideLost[kBlack] = 0;
  Board.epFile = 4;
  EXPECT_FALSE(Probe(-100, 100, 5, score));
  Board.epFile = 0;
  Board.side = kBlack;  // same key on purpose: only the state byte differs
  EXPECT_FALSE(Probe(-100, 100, 5, score));
  Board.side = kWhite;
  EXPECT_TRUE(Probe(-100, 100, 5, score));
  // Same key, another placement (a forced collision) misses too.
  const int saved = Board.squares[11];
  Board.squares[11] = kEmpty;
  EXPECT_FALSE(Probe(-100, 100, 5, score));
  Board.squares[11] = saved;
}

// The placement check sees every square and every code: a forced collision that differs from the stored
// position on any one square, by any other piece, misses; the stored position itself still hits.
TEST_F(HashTest, EveryPlacementDifferenceMisses) {
  StoreHash(40, -100, 100, 5, 0);
  int32_t score = 0;
  for (int file = 1; file <= 8; file++) {
    for (int rank = 1; rank <= 8; rank++) {
      const int s = SquareAt(file, rank);
      const int saved = Board.squares[s];
      for (int code = kEmpty; code <= kBlackKing; code++) {
        if (code == saved) continue;
        Board.squares[s] = code;
        EXPECT_FALSE(Probe(-100, 100, 5, score)) << "square " << s << " code " << code;
      }
      Board.squares[s] = saved;
    }
  }
  EXPECT_TRUE(Probe(-100, 100, 5, score));
}

TEST_F(HashTest, MateScoresAreClamped) {
  HashEntry& even = HashBucket(Board.key)[0];
  StoreHash(32100, -32766, 32766, 5, 0);
  EXPECT_EQ(even.bound, kLowerBound);
  EXPECT_EQ(even.score, 32000);
  NextGeneration();
  StoreHash(-32100, -32766, 32766, 5, 0);
  EXPECT_EQ(even.bound, kUpperBound);
  EXPECT_EQ(even.score, -32000);
  NextGeneration();
  StoreHash(32100, 32200, 32300, 5, 0);  // fail low above 32000
  EXPECT_EQ(even.bound, kUpperBound);
  EXPECT_EQ(even.score, 32767);
  NextGeneration();
  StoreHash(-32050, -32300, -32100, 5, 0);  // fail high below -32000
  EXPECT_EQ(even.bound, kLowerBound);
  EXPECT_EQ(even.score, -32768);
}

TEST_F(HashTest, ProtectedSlots) {
  HashEntry* bucket = HashBucket(Board.key);
  StoreHash(40, -100, 100, 6, 0);
  EXPECT_EQ(bucket[0].depth, 6);
  const int freshBefore = HashTable.freshWrites;
  StoreHash(-70, -100, 100, 4, 0);  // same position, shallower, this generation: abandoned
  EXPECT_EQ(bucket[0].depth, 6);
  EXPECT_EQ(bucket[0].score, 40);
  EXPECT_EQ(HashTable.freshWrites, freshBefore);
  StoreHash(-70, -100, 100, 6, 0);  // equal depth against an exact entry: still protected
  EXPECT_EQ(bucket[0].score, 40);
  // Another position with the same bucket goes to the odd slot.
  const uint32_t savedKey = Board.key;
  Board.key = savedKey + HashTable.entryCount;
  ASSERT_EQ(HashBucket(Board.key), bucket);
  StoreHash(10, -100, 100, 2, 0);
  EXPECT_EQ(uint32_t{bucket[1].key}, Board.key);  // a copy: packed fields cannot be bound to references
  EXPECT_EQ(uint32_t{bucket[0].key}, savedKey);
  // From the next generation on the even slot is fair game again.
  NextGeneration();
  StoreHash(10, -100, 100, 1, 0);
  EXPECT_EQ(uint32_t{bucket[0].key}, Board.key);
  Board.key = savedKey;
}

TEST(HashGenerationTest, Wraps) {
  struct Step {
    const char* name;
    void (*change)();
    int from;
    int to;
  };
  for (const Step& step :
       {Step{"next from 253", NextGeneration, 253, 0}, Step{"invalidate from 240", InvalidateHash, 240, 0},
        Step{"invalidate from 233", InvalidateHash, 233, 243},
        Step{"previous from 0", PreviousGeneration, 0, 253}}) {
    HashTable.generation = step.from;
    step.change();
    EXPECT_EQ(HashTable.generation, step.to) << step.name;
  }
  HashTable.generation = 0;
}

TEST(HashFullTest, PerMill) {
  int32_t mb = 2;
  AllocateHashTable(mb);
  HashTable.freshWrites = 4300;
  EXPECT_EQ(HashFullPermill(), 100);  // 4300 div (43230 div 1000)
  HashTable.freshWrites = 0;
  FreeHashTable();
}

}  // namespace
}  // namespace kelb
