#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "format/record.hpp"
#include "samplegame/byte_builder.hpp"

namespace modrake::samplegame {

// One magic effect of a spell, potion or enchantment (ENAM, 24 bytes).
struct Effect {
  int16_t id = 0;
  int8_t skill = -1;
  int8_t attribute = -1;
  int32_t range = 0;  // 0 self, 1 touch, 2 target
  int32_t area = 0;
  int32_t duration = 0;
  int32_t magMin = 1;
  int32_t magMax = 1;
};

inline Effect Fx(int16_t id, int32_t range, int32_t magMin, int32_t magMax, int32_t duration = 0,
                 int32_t area = 0) {
  Effect e;
  e.id = id;
  e.range = range;
  e.magMin = magMin;
  e.magMax = magMax;
  e.duration = duration;
  e.area = area;
  return e;
}

// A body-part entry of armour and clothing: INDX with its BNAM and CNAM.
struct BodyPart {
  uint8_t index = 0;
  std::string male;
  std::string female;
};

// A reference placed in a cell.
struct CellRef {
  uint32_t refNum = 0;  // the master's index in the top byte, 0 for the file's own
  std::string id;
  float pos[3] = {0, 0, 0};
  float rot[3] = {0, 0, 0};
  float scale = 1.0f;
  std::string owner;
  int32_t count = 0;      // NAM9 when not 0
  int32_t lockLevel = 0;  // FLTV when not 0
  bool moved = false;     // preceded by MVRF and CNDT
  int32_t movedGrid[2] = {0, 0};
};

// One dialogue condition: SCVR with its INTV or FLTV value.
struct Condition {
  std::string rule;
  bool isFloat = false;
  int32_t intValue = 0;
  float floatValue = 0;
};

// One dialogue response.
struct InfoSpec {
  std::string id, prev, next;
  uint8_t type = 0;         // the topic's type
  int32_t disposition = 0;  // or the journal index
  int8_t rank = -1, gender = -1, pcRank = -1;
  std::string actor, race, cls, faction, cell, pcFaction, sound, text;
  std::vector<Condition> conditions;
  std::string result;
  bool questName = false, questFinished = false, questRestart = false;
};

struct LeveledEntry {
  std::string id;
  uint16_t level = 1;
};

// Writes the records of one file in the game's layouts and field order, and
// remembers where each one lies so that plugins can copy master records.
class GameWriter {
 public:
  GameWriter(uint64_t seed, size_t reserve) : b(reserve), rng(seed) {}

  ByteBuilder b;
  SampleRandom rng;
  std::unordered_map<std::string, RecordSpan> index;  // "TAG:lower id"

  static std::string Key(std::string_view tag, std::string_view id);
  // A copy of a record written here, parsed, for plugins to change.
  std::unique_ptr<Record> Copy(std::string_view tag, std::string_view id) const;
  std::string_view Bytes(std::string_view tag, std::string_view id) const;
  uint32_t NextRefNum() { return ++refNum_; }
  // Writes another file's record unchanged.
  void Repeat(const GameWriter& from, std::string_view tag, std::string_view id);

  void GmstF(const std::string& id, float v);
  void GmstI(const std::string& id, int32_t v);
  void GmstS(const std::string& id, const std::string& v);
  void Glob(const std::string& id, char type, float v);
  void Clas(const std::string& id, const std::string& name, int32_t specialization,
            const std::string& description);
  void Fact(const std::string& id, const std::string& name, const std::vector<std::string>& ranks,
            const std::vector<std::pair<std::string, int32_t>>& reactions);
  void Race(const std::string& id, const std::string& name, const std::vector<std::string>& spells,
            bool playable);
  void Soun(const std::string& id, const std::string& file, uint8_t volume);
  void Skil(int32_t index, int32_t attribute, int32_t specialization, const std::string& text);
  void Mgef(int32_t index, int32_t school, float cost, const std::string& text);
  void Scpt(const std::string& id, int shorts, int longs, int floats, const std::string& text);
  void Regn(const std::string& id, const std::string& name, bool snow, uint32_t color,
            const std::string& sleepList, const std::vector<std::string>& sounds);
  void Bsgn(const std::string& id, const std::string& name, const std::vector<std::string>& spells);
  void Ltex(const std::string& id, int32_t index);
  void Stat(const std::string& id);
  void Door(const std::string& id, const std::string& name, const std::string& script);
  void Misc(const std::string& id, const std::string& name, float weight, int32_t value,
            const std::string& script = {});
  void Weap(const std::string& id, const std::string& name, int16_t type, float weight,
            int32_t value, int16_t health, uint8_t damage, const std::string& enchant = {});
  void Cont(const std::string& id, const std::string& name, float capacity,
            const std::vector<std::pair<int32_t, std::string>>& items);
  void Spel(const std::string& id, const std::string& name, int32_t type, int32_t cost,
            const std::vector<Effect>& effects);
  void Crea(const std::string& id, const std::string& name, int32_t type, int32_t level,
            const std::vector<std::pair<int32_t, std::string>>& items,
            const std::vector<std::string>& spells, uint8_t fight, bool wander);
  void Body(const std::string& id, const std::string& race, uint8_t part, uint8_t type);
  void Ligh(const std::string& id, const std::string& name, int32_t time, int32_t radius,
            uint32_t color, bool carry);
  void Ench(const std::string& id, int32_t type, int32_t cost, int32_t charge,
            const std::vector<Effect>& effects);
  struct NpcSpec {
    std::string id, name, race, cls, faction, head, hair, script;
    bool female = false, autoCalc = false;
    int16_t level = 1;
    std::vector<std::pair<int32_t, std::string>> items;
    std::vector<std::string> spells;
    uint8_t fight = 30, flee = 30, alarm = 0, hello = 30;
    uint32_t services = 0;
    std::string travelCell;  // a travel destination (DODT with DNAM)
    bool wander = true;
  };
  void Npc(const NpcSpec& npc);
  void Armo(const std::string& id, const std::string& name, int32_t type, float weight,
            int32_t value, int32_t armor, const std::vector<BodyPart>& parts,
            const std::string& enchant = {});
  void Clot(const std::string& id, const std::string& name, int32_t type, float weight,
            int16_t value, const std::vector<BodyPart>& parts, const std::string& enchant = {});
  void Repa(const std::string& id, const std::string& name, int32_t uses, float quality);
  void Acti(const std::string& id, const std::string& name, const std::string& script = {});
  void Appa(const std::string& id, const std::string& name, int32_t type, float quality);
  void Lock(const std::string& id, const std::string& name, float quality, int32_t uses);
  void Prob(const std::string& id, const std::string& name, float quality, int32_t uses);
  void Ingr(const std::string& id, const std::string& name, const int32_t (&effects)[4]);
  void Book(const std::string& id, const std::string& name, bool scroll, int32_t skill,
            const std::string& text, const std::string& enchant = {});
  void Alch(const std::string& id, const std::string& name, float weight, int32_t value,
            const std::vector<Effect>& effects);
  void Leveled(bool creatures, const std::string& id, uint32_t flags, uint8_t noneChance,
               const std::vector<LeveledEntry>& entries, uint32_t recordFlags = 0);
  void CellInterior(const std::string& name, float water, uint32_t ambient,
                    const std::vector<CellRef>& refs);
  void CellExterior(int32_t x, int32_t y, const std::string& name, const std::string& region,
                    const std::vector<CellRef>& refs);
  void Land(int32_t x, int32_t y, bool colors);
  void Pgrd(int32_t x, int32_t y, const std::string& cell, int points);
  void Sndg(const std::string& id, int32_t type, const std::string& creature,
            const std::string& sound);
  void Dial(const std::string& id, uint8_t type, uint32_t flags = 0);
  void Info(const InfoSpec& info);
  void Sscr(const std::string& id, const std::string& script);

  // Random references for filling cells.
  CellRef RandomRef(const std::string& id, float spread, float baseX, float baseY);

 private:
  // Lockpicks and probes share one layout.
  void Tool(const char (&tag)[5], const char (&data)[5], const std::string& id,
            const std::string& name, float quality, int32_t uses);
  void Item(std::string_view id, std::string_view name, std::string_view folder);
  void Effects(const std::vector<Effect>& effects);
  void Parts(const std::vector<BodyPart>& parts);
  void AiData(uint8_t hello, uint8_t fight, uint8_t flee, uint8_t alarm, uint32_t services);
  void Refs(const std::vector<CellRef>& refs);
  void Done(std::string_view tag, std::string_view id);

  uint32_t refNum_ = 0;
};

}  // namespace modrake::samplegame
