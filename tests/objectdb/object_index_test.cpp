#include "objectdb/object_index.hpp"

#include <gtest/gtest.h>

#include <cstring>

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
  const struct {
    const char* what;
    std::string record, topic, key;
  } cases[] = {
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

  EXPECT_NE(KeyText(Response("1", "", "", "x"), std::string(130, 'T') + "1"),
            KeyText(Response("1", "", "", "x"), std::string(130, 'T') + "2"))
      << "responses of two long topics";
}

}  // namespace
}  // namespace modrake
