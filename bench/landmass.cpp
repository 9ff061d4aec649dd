// modrake_landmass: writes a plugin that adds a landmass of new exterior
// cells, as the large land mods do, for bench/run to clean. Each cell is
// followed by its LAND (heights left out, so that 30,000 cells stay some
// 20 MB), every fourth also by a path grid; every tenth has neither and is
// cleaned away as empty.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_io.hpp"
#include "samplegame/game_writer.hpp"

namespace {

using modrake::samplegame::GameWriter;

// Far east of the sample game's own grid, so that no cell is a master's.
constexpr int32_t kFirstColumn = 100;
constexpr int32_t kColumns = 200;

void SlimLand(GameWriter& w, int32_t x, int32_t y) {
  w.b.Begin("LAND").Sub("INTV").i32(x).i32(y).EndSub().U32("DATA", 0x04);
  w.b.Sub("WNAM");
  w.rng.Fill(w.b.Grow(81), 81);
  w.b.EndSub().Sub("VTEX");
  for (int i = 0; i < 256; ++i) w.b.u16(static_cast<uint16_t>(w.rng.Below(8)));
  w.b.EndSub().End();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Writes a plugin that adds CELLS new exterior cells with their LAND and path grids.",
               "modrake_landmass"};
  std::string file;
  int cells = 30000;
  std::vector<std::string> masters;
  app.add_option("FILE", file, "The plugin to write")->required();
  app.add_option("CELLS", cells, "How many cells")->check(CLI::Range(1, 1000000));
  app.add_option("--master", masters, "A master file to list in the header, with its size");
  CLI11_PARSE(app, argc, argv);

  std::vector<std::pair<std::string, uint64_t>> listed;
  for (const auto& master : masters) {
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(master, ec);
    if (ec) {
      std::fprintf(stderr, "modrake_landmass: cannot read %s\n", master.c_str());
      return 1;
    }
    listed.emplace_back(std::filesystem::path(master).filename().string(), size);
  }

  GameWriter w(0x1A4D, static_cast<size_t>(cells) * 700);
  w.b.BeginFile(false, "modrake bench", "A landmass of new exterior cells", listed);
  for (int i = 0; i < cells; ++i) {
    int32_t x = kFirstColumn + i % kColumns;
    int32_t y = i / kColumns - kColumns / 2;
    w.CellExterior(x, y, "", i % 3 ? "Sheogorad Region" : "", {});
    if (i % 10 == 9) continue;
    SlimLand(w, x, y);
    if (i % 4 == 0) w.Pgrd(x, y, "", 1 + i % 5);
  }
  if (!modrake::WriteFileAtomically(file, w.b.Finish())) {
    std::fprintf(stderr, "modrake_landmass: cannot write %s\n", file.c_str());
    return 1;
  }
  return 0;
}
