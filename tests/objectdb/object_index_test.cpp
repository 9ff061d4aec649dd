#include "objectdb/object_index.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

std::string KeyText(const std::string& recordBytes, std::string_view topic = {}) {
  ObjectKey key;
  auto record = RecordFromBytes(recordBytes);
  BuildKey(key, *record, topic);
  EXPECT_EQ(key.length, 4 + std::strlen(key.text));
  // The master index keys records that were only looked at: the same bytes.
  ObjectKey viewed;
  BuildKey(viewed, RecordView{record->Header(), record->RawData()}, topic);
  EXPECT_EQ(std::memcmp(&viewed, &key, sizeof key), 0) << key.text;
  return std::string(key.tag, 4) + "|" + key.text;
}

TEST(ObjectIndexTest, KeysFollowTheTextRules) {
  std::string longId(130, 'A');
  struct Case {
    const char* what;
    std::string record;
    std::string topic;
    std::string key;
  };
  const Case cases[] = {
      {"exterior cell by grid", Cell("Balmora", 0, -3, 7), "", "CELL|<x=-3, y=7>"},
      {"interior cell by id", Cell("Balmora, Guild Of Mages", 1, 0, 0), "",
       "CELL|balmora, guild of mages"},
      {"id lower-cased", Misc("Gold_001", 1), "", "MISC|gold_001"},
      {"response with its topic keeping its case", Response("123", "", "", "hi"), "Balmora",
       "INFO|123Balmora"},
      {"topic ignored for other records", Misc("x", 1), "Balmora", "MISC|x"},
      {"no usable id", RecordBytes("MISC", ZField("MODL", "a.nif")), "", "MISC|<<unknown>>"},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyText(c.record, c.topic), c.key) << c.what;

  // Ids too long for a key keep their start and stay apart by the rest.
  std::set<std::string> longKeys;
  for (char last : {'a', 'b', 'c', 'd'}) {
    std::string key = KeyText(Misc(longId + last, 1), "");
    EXPECT_EQ(key, KeyText(Misc(longId + last, 2), "")) << "the same id, the same key";
    EXPECT_EQ(key.size(), 5u + 123u);
    EXPECT_EQ(key.rfind("MISC|" + std::string(100, 'a'), 0), 0u);
    longKeys.insert(key);
  }
  EXPECT_EQ(longKeys.size(), 4u);
  EXPECT_NE(KeyText(Response("1", "", "", "x"), std::string(130, 'T') + "1"),
            KeyText(Response("1", "", "", "x"), std::string(130, 'T') + "2"))
      << "responses of two long topics";
}

TEST(ObjectIndexTest, LookupIsCaseInsensitiveInIdsButNotInTopics) {
  ObjectIndex index;
  EXPECT_EQ(index.LookupObject(*RecordFromBytes(Misc("a", 1)), ""), nullptr) << "empty index";
  for (const auto& r :
       {Misc("Gold_001", 1), Misc("iron_dagger", 1), Response("123", "", "", "t")}) {
    ObjectKey key;
    BuildKey(key, *RecordFromBytes(r), "Balmora");
    index.Append(key);
  }
  index.Publish();
  EXPECT_NE(index.LookupObject(*RecordFromBytes(Misc("GOLD_001", 9)), ""), nullptr);
  EXPECT_NE(index.LookupObject(*RecordFromBytes(Response("123", "", "", "t")), "Balmora"), nullptr);
  EXPECT_EQ(index.LookupObject(*RecordFromBytes(Response("123", "", "", "t")), "balmora"), nullptr);
  EXPECT_EQ(
      index.LookupObject(*RecordFromBytes(RecordBytes("WEAP", ZField("NAME", "gold_001"))), ""),
      nullptr);

  // Later loads publish keys that fall between the earlier ones.
  for (const char* id : {"a", "h", "z"}) {
    ObjectKey key;
    BuildKey(key, *RecordFromBytes(Misc(id, 1)), "");
    index.Append(key);
  }
  index.Publish();
  for (const char* id : {"a", "gold_001", "h", "iron_dagger", "z"}) {
    EXPECT_NE(index.LookupObject(*RecordFromBytes(Misc(id, 1)), ""), nullptr) << id;
  }
}

}  // namespace
}  // namespace modrake
