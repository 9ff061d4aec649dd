// modrake_long_lists: writes two plugins that each give one container, one
// NPC and one spell a list of N entries of their own (items; items and
// spells; effects), half of them shared with the other plugin, for bench/run
// to merge and report: the time must grow with N, not with N squared.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_io.hpp"
#include "samplegame/game_writer.hpp"

namespace {

using modrake::samplegame::Effect;
using modrake::samplegame::GameWriter;

std::string WritePlugin(const std::string& description, int first, int count) {
  std::vector<std::pair<int32_t, std::string>> items;
  std::vector<std::string> spells;
  std::vector<Effect> effects;
  for (int i = first; i < first + count; ++i) {
    items.emplace_back(1 + i % 5, "bench_item_" + std::to_string(i));
    spells.push_back("bench_spell_" + std::to_string(i));
    Effect effect;
    effect.id = static_cast<int16_t>(i % 30000);
    effect.skill = static_cast<int8_t>(i / 30000);
    effects.push_back(effect);
  }
  GameWriter w(0x115F, static_cast<size_t>(count) * 200);
  w.b.BeginFile(false, "modrake bench", description, {});
  w.Cont("bench_long_chest", "Long Chest", 1000, items);
  GameWriter::NpcSpec npc;
  npc.id = "bench_long_npc";
  npc.name = "Long Npc";
  npc.race = "Dark Elf";
  npc.cls = "Guard";
  npc.level = 10;
  npc.autoCalc = true;
  npc.items = items;
  npc.spells = spells;
  w.Npc(npc);
  w.Spel("bench_long_spell", "Long Spell", 0, 10, effects);
  return w.b.Finish();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Writes Long_Lists_A.esp and Long_Lists_B.esp into FOLDER, each giving a container, "
      "an NPC and a spell N entries.",
      "modrake_long_lists"};
  std::string folder;
  int count = 30000;
  app.add_option("FOLDER", folder, "Where to write the two plugins")->required();
  app.add_option("N", count, "Entries each plugin gives")->check(CLI::Range(2, 1000000));
  CLI11_PARSE(app, argc, argv);

  const std::pair<const char*, int> plugins[] = {{"Long_Lists_A.esp", 0},
                                                 {"Long_Lists_B.esp", count / 2}};
  for (const auto& [name, first] : plugins) {
    const std::string path = folder + "/" + name;
    if (!modrake::WriteFileAtomically(path, WritePlugin("Long lists", first, count))) {
      std::fprintf(stderr, "modrake_long_lists: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
