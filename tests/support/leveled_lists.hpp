#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/record.hpp"

namespace modrake::test {

struct ListEntry {
  std::string id;
  uint16_t level = 1;
};

// A LEVI or LEVC as the game's editor writes it: NAME, DATA, NNAM, INDX,
// then the entries with their INTV.
struct List {
  std::string tag = "LEVI";
  std::string id;
  uint32_t flags = 0;
  int chance = 0;  // -1: no NNAM
  std::vector<ListEntry> entries;
  uint32_t recordFlags = 0;
  bool dele = false;  // a DELE field after NAME
};

std::string ListBytes(const List& list);

// "LEVI id flags=1 none=50 count=2: a@1 b@3" ("-" for a missing field).
std::string DescribeList(const Record& record);

}  // namespace modrake::test
