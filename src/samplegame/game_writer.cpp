#include "samplegame/game_writer.hpp"

#include <cctype>
#include <cmath>

#include "core/text.hpp"

namespace modrake::samplegame {

std::string GameWriter::Key(std::string_view tag, std::string_view id) {
  std::string key(tag);
  key += ':';
  for (char c : id) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

std::string_view GameWriter::Bytes(std::string_view tag, std::string_view id) const {
  auto it = index.find(Key(tag, id));
  if (it == index.end()) return {};
  return b.View(it->second);
}

std::unique_ptr<Record> GameWriter::Copy(std::string_view tag, std::string_view id) const {
  std::string_view bytes = Bytes(tag, id);
  return RecordFromBytes(bytes);
}

void GameWriter::Repeat(const GameWriter& from, std::string_view tag, std::string_view id) {
  index[Key(tag, id)] = b.AppendRaw(from.Bytes(tag, id));
}

void GameWriter::Done(std::string_view tag, std::string_view id) {
  index[Key(tag, id)] = b.End();
}

void GameWriter::GmstF(const std::string& id, float v) {
  b.Begin("GMST").Z("NAME", id).F32("FLTV", v);
  Done("GMST", id);
}
void GameWriter::GmstI(const std::string& id, int32_t v) {
  b.Begin("GMST").Z("NAME", id).I32("INTV", v);
  Done("GMST", id);
}
void GameWriter::GmstS(const std::string& id, const std::string& v) {
  // The game stores setting texts without a terminator.
  b.Begin("GMST").Z("NAME", id).S("STRV", v);
  Done("GMST", id);
}

void GameWriter::Glob(const std::string& id, char type, float v) {
  b.Begin("GLOB").Z("NAME", id).S("FNAM", std::string(1, type)).F32("FLTV", v);
  Done("GLOB", id);
}

void GameWriter::Clas(const std::string& id, const std::string& name, int32_t specialization,
                      const std::string& description) {
  b.Begin("CLAS").Z("NAME", id).Z("FNAM", name).Sub("CLDT");
  b.i32(rng.Below(8)).i32(rng.Below(8)).i32(specialization);
  for (int i = 0; i < 10; ++i) b.i32(rng.Below(27));
  b.i32(1).i32(0).EndSub();
  b.S("DESC", description);
  Done("CLAS", id);
}

void GameWriter::Fact(const std::string& id, const std::string& name,
                      const std::vector<std::string>& ranks,
                      const std::vector<std::pair<std::string, int32_t>>& reactions) {
  b.Begin("FACT").Z("NAME", id).Z("FNAM", name);
  for (const auto& rank : ranks) b.Fixed("RNAM", rank, 32);
  b.Sub("FADT").i32(rng.Below(8)).i32(rng.Below(8));
  for (int r = 0; r < 10; ++r) b.i32(30 + 5 * r).i32(30 + 5 * r).i32(10 * r).i32(5 * r).i32(10 * r);
  for (int s = 0; s < 7; ++s) b.i32(rng.Below(27));
  b.i32(0).EndSub();
  for (const auto& [faction, reaction] : reactions) b.Z("ANAM", faction).I32("INTV", reaction);
  Done("FACT", id);
}

void GameWriter::Race(const std::string& id, const std::string& name,
                      const std::vector<std::string>& spells, bool playable) {
  b.Begin("RACE").Z("NAME", id).Z("FNAM", name).Sub("RADT");
  for (int i = 0; i < 7; ++i) b.i32(rng.Below(27)).i32(i < 3 ? 10 : 5);
  for (int i = 0; i < 8; ++i) b.i32(40 + rng.Below(11)).i32(40 + rng.Below(11));
  b.f32(1.0f).f32(0.95f).f32(1.0f).f32(0.9f).i32(playable ? 1 : 0).EndSub();
  for (const auto& spell : spells) b.Fixed("NPCS", spell, 32);
  b.S("DESC", "The " + name + " people.");
  Done("RACE", id);
}

void GameWriter::Soun(const std::string& id, const std::string& file, uint8_t volume) {
  b.Begin("SOUN").Z("NAME", id).Z("FNAM", file);
  b.Sub("DATA")
      .u8(volume)
      .u8(static_cast<uint8_t>(rng.Below(10)))
      .u8(static_cast<uint8_t>(50 + rng.Below(200)));
  Done("SOUN", id);
}

void GameWriter::Skil(int32_t index, int32_t attribute, int32_t specialization,
                      const std::string& text) {
  b.Begin("SKIL").I32("INDX", index);
  b.Sub("SKDT").i32(attribute).i32(specialization).f32(1.0f).f32(0.5f).f32(2.0f).f32(0.0f);
  b.S("DESC", text);
  Done("SKIL", FormatText("%3d", index));
}

void GameWriter::Mgef(int32_t index, int32_t school, float cost, const std::string& text) {
  static const char* kVfx[] = {"VFX_DestructCast", "VFX_AlterationCast", "VFX_IllusionCast",
                               "VFX_ConjureCast",  "VFX_MysticismCast",  "VFX_RestorationCast"};
  b.Begin("MGEF").I32("INDX", index);
  b.Sub("MEDT").i32(school).f32(cost).i32(static_cast<int32_t>(0x1F0 & rng.Next()));
  b.i32(rng.Below(256)).i32(rng.Below(256)).i32(rng.Below(256));
  b.f32(1.0f).f32(1.0f).f32(50.0f);
  b.Z("ITEX", FormatText("s\\tx_s_effect_%03d.dds", index));
  b.Z("PTEX", "vfx_particle064.tga");
  b.Z("CVFX", kVfx[school % 6]).Z("BVFX", "VFX_DefaultBolt").Z("HVFX", "VFX_DefaultHit");
  b.Z("AVFX", "VFX_DefaultArea").S("DESC", text);
  Done("MGEF", FormatText("%3d", index));
}

void GameWriter::Scpt(const std::string& id, int shorts, int longs, int floats,
                      const std::string& text) {
  std::string vars;
  for (int i = 0; i < shorts; ++i) vars += FormatText("state%d", i) + '\0';
  for (int i = 0; i < longs; ++i) vars += FormatText("counter%d", i) + '\0';
  for (int i = 0; i < floats; ++i) vars += FormatText("timer%d", i) + '\0';
  uint32_t compiled = 16 + static_cast<uint32_t>(text.size() / 3);
  b.Begin("SCPT").Sub("SCHD").fixed(id, 32).i32(shorts).i32(longs).i32(floats);
  b.i32(static_cast<int32_t>(compiled)).i32(static_cast<int32_t>(vars.size()));
  if (!vars.empty()) b.S("SCVR", vars);
  b.Sub("SCDT");
  rng.Fill(b.Grow(compiled), compiled);
  b.S("SCTX", text);
  Done("SCPT", id);
}

void GameWriter::Regn(const std::string& id, const std::string& name, bool snow, uint32_t color,
                      const std::string& sleepList, const std::vector<std::string>& sounds) {
  b.Begin("REGN").Z("NAME", id).Z("FNAM", name).Sub("WEAT");
  // Clear, cloudy, foggy, overcast, rain, thunder, ash, blight; the expansion adds snow.
  static const uint8_t kWeather[] = {40, 25, 10, 10, 10, 5, 0, 0, 0, 0};
  for (int i = 0; i < (snow ? 10 : 8); ++i) b.u8(kWeather[i]);
  if (!sleepList.empty()) b.Z("BNAM", sleepList);
  b.U32("CNAM", color);
  for (const auto& sound : sounds) b.Sub("SNAM").fixed(sound, 32).u8(10);
  Done("REGN", id);
}

void GameWriter::Bsgn(const std::string& id, const std::string& name,
                      const std::vector<std::string>& spells) {
  b.Begin("BSGN").Z("NAME", id).Z("FNAM", name);
  b.Z("TNAM", "birthsigns\\" + id + ".tga").Z("DESC", "Those born under " + name + ".");
  for (const auto& spell : spells) b.Fixed("NPCS", spell, 32);
  Done("BSGN", id);
}

void GameWriter::Ltex(const std::string& id, int32_t idx) {
  b.Begin("LTEX").Z("NAME", id).I32("INTV", idx).Z("DATA", "tx_" + id + ".tga");
  Done("LTEX", id);
}

void GameWriter::Stat(const std::string& id) {
  b.Begin("STAT").Z("NAME", id).Z("MODL", "x\\" + id + ".nif");
  Done("STAT", id);
}

void GameWriter::Door(const std::string& id, const std::string& name, const std::string& script) {
  b.Begin("DOOR").Z("NAME", id).Z("MODL", "d\\" + id + ".nif").Z("FNAM", name);
  if (!script.empty()) b.Z("SCRI", script);
  b.Z("SNAM", "Door Wooden Open").Z("ANAM", "Door Wooden Close");
  Done("DOOR", id);
}

void GameWriter::Item(std::string_view id, std::string_view name, std::string_view folder) {
  b.Z("NAME", id).Z("MODL", std::string(folder) + "\\" + std::string(id) + ".nif").Z("FNAM", name);
}

void GameWriter::Misc(const std::string& id, const std::string& name, float weight, int32_t value,
                      const std::string& script) {
  b.Begin("MISC");
  Item(id, name, "m");
  b.Sub("MCDT").f32(weight).i32(value).i32(0);
  if (!script.empty()) b.Z("SCRI", script);
  b.Z("ITEX", "m\\tx_" + id + ".tga");
  Done("MISC", id);
}

void GameWriter::Weap(const std::string& id, const std::string& name, int16_t type, float weight,
                      int32_t value, int16_t health, uint8_t damage, const std::string& enchant) {
  b.Begin("WEAP");
  Item(id, name, "w");
  b.Sub("WPDT").f32(weight).i32(value).i16(type).i16(health).f32(1.0f).f32(1.0f);
  b.i16(static_cast<int16_t>(health / 10)).u8(1).u8(damage).u8(1).u8(damage).u8(1).u8(damage);
  b.i32(0);
  b.Z("ITEX", "w\\tx_" + id + ".tga");
  if (!enchant.empty()) b.Z("ENAM", enchant);
  Done("WEAP", id);
}

void GameWriter::Cont(const std::string& id, const std::string& name, float capacity,
                      const std::vector<std::pair<int32_t, std::string>>& items) {
  b.Begin("CONT");
  Item(id, name, "o");
  b.F32("CNDT", capacity).I32("FLAG", 8);
  for (const auto& [count, item] : items) b.Sub("NPCO").i32(count).fixed(item, 32);
  Done("CONT", id);
}

void GameWriter::Effects(const std::vector<Effect>& effects) {
  for (const Effect& e : effects) {
    b.Sub("ENAM").i16(e.id).u8(static_cast<uint8_t>(e.skill)).u8(static_cast<uint8_t>(e.attribute));
    b.i32(e.range).i32(e.area).i32(e.duration).i32(e.magMin).i32(e.magMax);
  }
}

void GameWriter::Spel(const std::string& id, const std::string& name, int32_t type, int32_t cost,
                      const std::vector<Effect>& effects) {
  b.Begin("SPEL").Z("NAME", id).Z("FNAM", name).Sub("SPDT").i32(type).i32(cost).i32(0);
  Effects(effects);
  Done("SPEL", id);
}

void GameWriter::AiData(uint8_t hello, uint8_t fight, uint8_t flee, uint8_t alarm,
                        uint32_t services) {
  // Bytes 1 and 5 to 7 are unused by the game; the editor leaves what it had.
  b.Sub("AIDT").u8(hello).u8(0).u8(fight).u8(flee).u8(alarm).u8(0).u8(0).u8(0).u32(services);
}

void GameWriter::Crea(const std::string& id, const std::string& name, int32_t type, int32_t level,
                      const std::vector<std::pair<int32_t, std::string>>& items,
                      const std::vector<std::string>& spells, uint8_t fight, bool wander) {
  b.Begin("CREA").Z("NAME", id).Z("MODL", "r\\" + id + ".nif").Z("FNAM", name);
  b.Sub("NPDT").i32(type).i32(level);
  for (int i = 0; i < 8; ++i) b.i32(20 + rng.Below(60));
  b.i32(10 + level * 5).i32(level * 2).i32(100 + level * 10);
  b.i32(level * 10).i32(30 + level).i32(20 + level).i32(20 + level);
  for (int i = 0; i < 3; ++i) b.i32(1 + level / 2).i32(3 + level);
  b.i32(0);
  b.I32("FLAG", 0x48);
  for (const auto& [count, item] : items) b.Sub("NPCO").i32(count).fixed(item, 32);
  for (const auto& spell : spells) b.Fixed("NPCS", spell, 32);
  AiData(0, fight, 20, 0, 0);
  if (wander) {
    b.Sub("AI_W").i16(512).i16(5).u8(0);
    for (int i = 0; i < 8; ++i) b.u8(i < 4 ? 20 : 0);
    b.u8(1);
  }
  Done("CREA", id);
}

void GameWriter::Body(const std::string& id, const std::string& race, uint8_t part, uint8_t type) {
  b.Begin("BODY").Z("NAME", id).Z("MODL", "b\\" + id + ".nif").Z("FNAM", race);
  b.Sub("BYDT").u8(part).u8(0).u8(0).u8(type);
  Done("BODY", id);
}

void GameWriter::Ligh(const std::string& id, const std::string& name, int32_t time, int32_t radius,
                      uint32_t color, bool carry) {
  b.Begin("LIGH").Z("NAME", id).Z("MODL", "l\\" + id + ".nif");
  if (carry) b.Z("FNAM", name).Z("ITEX", "l\\tx_" + id + ".tga");
  b.Sub("LHDT").f32(carry ? 1.0f : 0.0f).i32(carry ? 5 : 0).i32(time).i32(radius).u32(color);
  b.i32(carry ? 0x2 | 0x8 : 0x8);
  b.Z("SNAM", "Fire");
  Done("LIGH", id);
}

void GameWriter::Ench(const std::string& id, int32_t type, int32_t cost, int32_t charge,
                      const std::vector<Effect>& effects) {
  b.Begin("ENCH").Z("NAME", id).Sub("ENDT").i32(type).i32(cost).i32(charge).i32(0);
  Effects(effects);
  Done("ENCH", id);
}

void GameWriter::Npc(const NpcSpec& n) {
  b.Begin("NPC_").Z("NAME", n.id).Z("FNAM", n.name).Z("RNAM", n.race).Z("CNAM", n.cls);
  b.Z("ANAM", n.faction).Z("BNAM", n.head).Z("KNAM", n.hair);
  if (!n.script.empty()) b.Z("SCRI", n.script);
  b.Sub("NPDT").i16(n.level);
  if (n.autoCalc) {
    b.u8(50).u8(0).u8(0).zeros(3).i32(n.level * 10);
  } else {
    for (int i = 0; i < 8; ++i) b.u8(static_cast<uint8_t>(30 + rng.Below(40)));
    for (int i = 0; i < 27; ++i) b.u8(static_cast<uint8_t>(5 + rng.Below(60)));
    b.u8(0).u16(static_cast<uint16_t>(40 + n.level * 6)).u16(static_cast<uint16_t>(60 + n.level));
    b.u16(static_cast<uint16_t>(150 + n.level * 4)).u8(50).u8(0).u8(0).u8(0).i32(n.level * 10);
  }
  uint32_t flags = 0x8;  // respawn off, blood: default
  if (n.female) flags |= 0x1;
  if (n.autoCalc) flags |= 0x10;
  b.I32("FLAG", static_cast<int32_t>(flags));
  for (const auto& [count, item] : n.items) b.Sub("NPCO").i32(count).fixed(item, 32);
  for (const auto& spell : n.spells) b.Fixed("NPCS", spell, 32);
  AiData(n.hello, n.fight, n.flee, n.alarm, n.services);
  if (!n.travelCell.empty()) {
    b.Sub("DODT").f32(-1024.0f).f32(2048.0f).f32(128.0f).f32(0).f32(0).f32(1.57f);
    b.Z("DNAM", n.travelCell);
  }
  if (n.wander) {
    b.Sub("AI_W").i16(128).i16(5).u8(0);
    for (int i = 0; i < 8; ++i) b.u8(i < 3 ? 40 : 0);
    b.u8(1);
  }
  Done("NPC_", n.id);
}

void GameWriter::Parts(const std::vector<BodyPart>& parts) {
  for (const BodyPart& p : parts) {
    b.U8("INDX", p.index);
    if (!p.male.empty()) b.Z("BNAM", p.male);
    if (!p.female.empty()) b.Z("CNAM", p.female);
  }
}

void GameWriter::Armo(const std::string& id, const std::string& name, int32_t type, float weight,
                      int32_t value, int32_t armor, const std::vector<BodyPart>& parts,
                      const std::string& enchant) {
  b.Begin("ARMO");
  Item(id, name, "a");
  b.Sub("AODT").i32(type).f32(weight).i32(value).i32(armor * 20).i32(armor * 5).i32(armor);
  b.Z("ITEX", "a\\tx_" + id + ".tga");
  Parts(parts);
  if (!enchant.empty()) b.Z("ENAM", enchant);
  Done("ARMO", id);
}

void GameWriter::Clot(const std::string& id, const std::string& name, int32_t type, float weight,
                      int16_t value, const std::vector<BodyPart>& parts,
                      const std::string& enchant) {
  b.Begin("CLOT");
  Item(id, name, "c");
  b.Sub("CTDT").i32(type).f32(weight).i16(value).i16(static_cast<int16_t>(value / 2));
  b.Z("ITEX", "c\\tx_" + id + ".tga");
  Parts(parts);
  if (!enchant.empty()) b.Z("ENAM", enchant);
  Done("CLOT", id);
}

void GameWriter::Repa(const std::string& id, const std::string& name, int32_t uses, float quality) {
  b.Begin("REPA");
  Item(id, name, "m");
  b.Sub("RIDT").f32(2.0f).i32(10 * uses).i32(uses).f32(quality);
  b.Z("ITEX", "m\\tx_" + id + ".tga");
  Done("REPA", id);
}

void GameWriter::Acti(const std::string& id, const std::string& name, const std::string& script) {
  b.Begin("ACTI");
  Item(id, name, "x");
  if (!script.empty()) b.Z("SCRI", script);
  Done("ACTI", id);
}

void GameWriter::Appa(const std::string& id, const std::string& name, int32_t type, float quality) {
  b.Begin("APPA");
  Item(id, name, "m");
  b.Sub("AADT").i32(type).f32(quality).f32(3.0f).i32(static_cast<int32_t>(quality * 20));
  b.Z("ITEX", "m\\tx_" + id + ".tga");
  Done("APPA", id);
}

void GameWriter::Tool(const char (&tag)[5], const char (&data)[5], const std::string& id,
                      const std::string& name, float quality, int32_t uses) {
  b.Begin(tag);
  Item(id, name, "m");
  b.Sub(data).f32(0.25f).i32(static_cast<int32_t>(quality * 20)).f32(quality).i32(uses);
  b.Z("ITEX", "m\\tx_" + id + ".tga");
  Done(tag, id);
}

void GameWriter::Lock(const std::string& id, const std::string& name, float quality, int32_t uses) {
  Tool("LOCK", "LKDT", id, name, quality, uses);
}

void GameWriter::Prob(const std::string& id, const std::string& name, float quality, int32_t uses) {
  Tool("PROB", "PBDT", id, name, quality, uses);
}

void GameWriter::Ingr(const std::string& id, const std::string& name, const int32_t (&effects)[4]) {
  b.Begin("INGR");
  Item(id, name, "n");
  b.Sub("IRDT").f32(0.1f).i32(static_cast<int32_t>(1 + rng.Below(20)));
  for (int32_t e : effects) b.i32(e);
  for (int32_t e : effects) b.i32(e == 21 || e == 26 ? static_cast<int32_t>(rng.Below(27)) : -1);
  for (int32_t e : effects) b.i32(e == 17 || e == 79 ? static_cast<int32_t>(rng.Below(8)) : -1);
  b.Z("ITEX", "n\\tx_" + id + ".tga");
  Done("INGR", id);
}

void GameWriter::Book(const std::string& id, const std::string& name, bool scroll, int32_t skill,
                      const std::string& text, const std::string& enchant) {
  b.Begin("BOOK");
  Item(id, name, "m");
  b.Sub("BKDT").f32(scroll ? 0.2f : 3.0f).i32(scroll ? 50 : 25).i32(scroll ? 1 : 0).i32(skill);
  b.i32(scroll ? 100 : 0);
  b.Z("ITEX", "m\\tx_" + id + ".tga").S("TEXT", text);
  if (!enchant.empty()) b.Z("ENAM", enchant);
  Done("BOOK", id);
}

void GameWriter::Alch(const std::string& id, const std::string& name, float weight, int32_t value,
                      const std::vector<Effect>& effects) {
  b.Begin("ALCH").Z("NAME", id).Z("MODL", "m\\" + id + ".nif").Z("TEXT", "m\\tx_" + id + ".tga");
  b.Z("FNAM", name).Sub("ALDT").f32(weight).i32(value).i32(0);
  Effects(effects);
  Done("ALCH", id);
}

void GameWriter::Leveled(bool creatures, const std::string& id, uint32_t flags, uint8_t noneChance,
                         const std::vector<LeveledEntry>& entries, uint32_t recordFlags) {
  const char* tag = creatures ? "LEVC" : "LEVI";
  b.Begin(creatures ? TagArg("LEVC") : TagArg("LEVI"), recordFlags).Z("NAME", id);
  b.U32("DATA", flags).U8("NNAM", noneChance).U32("INDX", static_cast<uint32_t>(entries.size()));
  for (const auto& e : entries) {
    b.Z(creatures ? TagArg("CNAM") : TagArg("INAM"), e.id).U16("INTV", e.level);
  }
  Done(tag, id);
}

void GameWriter::Refs(const std::vector<CellRef>& refs) {
  for (const CellRef& r : refs) {
    if (r.moved) b.U32("MVRF", r.refNum).Sub("CNDT").i32(r.movedGrid[0]).i32(r.movedGrid[1]);
    b.U32("FRMR", r.refNum).Z("NAME", r.id);
    if (r.scale != 1.0f) b.F32("XSCL", r.scale);
    if (!r.owner.empty()) b.Z("ANAM", r.owner);
    if (r.count != 0) b.I32("NAM9", r.count);
    if (r.lockLevel != 0) b.I32("FLTV", r.lockLevel);
    b.Sub("DATA").f32(r.pos[0]).f32(r.pos[1]).f32(r.pos[2]);
    b.f32(r.rot[0]).f32(r.rot[1]).f32(r.rot[2]);
  }
}

void GameWriter::CellInterior(const std::string& name, float water, uint32_t ambient,
                              const std::vector<CellRef>& refs) {
  b.Begin("CELL").Z("NAME", name).Sub("DATA").u32(0x01 | 0x02).i32(0).i32(0);
  b.F32("WHGT", water);
  b.Sub("AMBI").u32(ambient).u32(ambient | 0x202020).u32(0x101010).f32(0.5f);
  if (!refs.empty()) b.U32("NAM0", static_cast<uint32_t>(refs.size()));
  Refs(refs);
  Done("CELL", name);
}

void GameWriter::CellExterior(int32_t x, int32_t y, const std::string& name,
                              const std::string& region, const std::vector<CellRef>& refs) {
  b.Begin("CELL").Z("NAME", name).Sub("DATA").u32(0x02).i32(x).i32(y);
  if (!region.empty()) b.Z("RGNN", region);
  b.U32("NAM5", 0x00204060u + static_cast<uint32_t>((x * 7 + y * 3) & 0x1F));
  if (!refs.empty()) b.U32("NAM0", static_cast<uint32_t>(refs.size()));
  Refs(refs);
  Done("CELL", FormatText("%d,%d", x, y));
}

void GameWriter::Land(int32_t x, int32_t y, bool colors) {
  b.Begin("LAND").Sub("INTV").i32(x).i32(y).U32("DATA", colors ? 0x0F : 0x0D);
  b.Sub("VNML");
  char* normals = b.Grow(65 * 65 * 3);
  rng.Fill(normals, 65 * 65 * 3);
  for (int i = 0; i < 65 * 65; ++i) {
    normals[i * 3] = static_cast<char>(normals[i * 3] % 24);
    normals[i * 3 + 1] = static_cast<char>(normals[i * 3 + 1] % 24);
    normals[i * 3 + 2] = 120;
  }
  b.Sub("VHGT").f32(static_cast<float>(rng.Between(-64, 512)) * 8.0f);
  char* heights = b.Grow(65 * 65);
  rng.Fill(heights, 65 * 65);
  for (int i = 0; i < 65 * 65; ++i) heights[i] = static_cast<char>(heights[i] % 4);
  b.zeros(3);
  b.Sub("WNAM");
  rng.Fill(b.Grow(81), 81);
  if (colors) {
    b.Sub("VCLR");
    char* c = b.Grow(65 * 65 * 3);
    rng.Fill(c, 65 * 65 * 3);
    for (int i = 0; i < 65 * 65 * 3; ++i) c[i] = static_cast<char>(0xC0 | (c[i] & 0x3F));
  }
  b.Sub("VTEX");
  for (int i = 0; i < 256; ++i) b.u16(static_cast<uint16_t>(rng.Below(8)));
  Done("LAND", FormatText("%d,%d", x, y));
}

void GameWriter::Pgrd(int32_t x, int32_t y, const std::string& cell, int points) {
  b.Begin("PGRD").Sub("DATA").i32(x).i32(y).i16(1024).i16(static_cast<int16_t>(points));
  b.Z("NAME", cell);
  if (points > 0) {
    b.Sub("PGRP");
    for (int i = 0; i < points; ++i) {
      uint8_t links = points == 1 ? 0 : (i == 0 || i == points - 1 ? 1 : 2);
      b.i32(rng.Between(-4000, 4000)).i32(rng.Between(-4000, 4000)).i32(rng.Between(0, 800));
      b.u8(1).u8(links).i16(0);
    }
    if (points > 1) {
      b.Sub("PGRC");
      for (int i = 0; i < points; ++i) {
        if (i > 0) b.i32(i - 1);
        if (i < points - 1) b.i32(i + 1);
      }
    }
  }
  Done("PGRD", cell.empty() ? FormatText("%d,%d", x, y) : cell);
}

void GameWriter::Sndg(const std::string& id, int32_t type, const std::string& creature,
                      const std::string& sound) {
  b.Begin("SNDG").Z("NAME", id).I32("DATA", type);
  if (!creature.empty()) b.Z("CNAM", creature);
  b.Z("SNAM", sound);
  Done("SNDG", id);
}

void GameWriter::Dial(const std::string& id, uint8_t type, uint32_t flags) {
  b.Begin("DIAL", flags).Z("NAME", id).U8("DATA", type);
  Done("DIAL", id);
}

void GameWriter::Info(const InfoSpec& n) {
  b.Begin("INFO").Z("INAM", n.id).Z("PNAM", n.prev).Z("NNAM", n.next);
  b.Sub("DATA").i32(n.type).i32(n.disposition).u8(static_cast<uint8_t>(n.rank));
  b.u8(static_cast<uint8_t>(n.gender)).u8(static_cast<uint8_t>(n.pcRank)).u8(0);
  if (!n.actor.empty()) b.Z("ONAM", n.actor);
  if (!n.race.empty()) b.Z("RNAM", n.race);
  if (!n.cls.empty()) b.Z("CNAM", n.cls);
  if (!n.faction.empty()) b.Z("FNAM", n.faction);
  if (!n.cell.empty()) b.Z("ANAM", n.cell);
  if (!n.pcFaction.empty()) b.Z("DNAM", n.pcFaction);
  if (!n.sound.empty()) b.Z("SNAM", n.sound);
  b.S("NAME", n.text);
  for (const Condition& c : n.conditions) {
    b.S("SCVR", c.rule);
    if (c.isFloat) {
      b.F32("FLTV", c.floatValue);
    } else {
      b.I32("INTV", c.intValue);
    }
  }
  if (!n.result.empty()) b.S("BNAM", n.result);
  if (n.questName) b.U8("QSTN", 1);
  if (n.questFinished) b.U8("QSTF", 1);
  if (n.questRestart) b.U8("QSTR", 1);
  Done("INFO", n.id);
}

void GameWriter::Sscr(const std::string& id, const std::string& script) {
  b.Begin("SSCR").Z("DATA", id).Z("NAME", script);
  Done("SSCR", script);
}

CellRef GameWriter::RandomRef(const std::string& id, float spread, float baseX, float baseY) {
  CellRef r;
  r.refNum = NextRefNum();
  r.id = id;
  r.pos[0] = baseX + rng.Real(0, spread);
  r.pos[1] = baseY + rng.Real(0, spread);
  r.pos[2] = rng.Real(-50, 900);
  r.rot[2] = rng.Real(0, 6.28f);
  if (rng.Chance(15)) r.scale = rng.Real(0.7f, 1.4f);
  return r;
}

}  // namespace modrake::samplegame
