#include "samplegame/sample_plugins.hpp"

#include <cstring>
#include <iterator>

#include "core/text.hpp"

namespace modrake::samplegame {
namespace {

using Masters = std::vector<std::pair<std::string, uint64_t>>;

template <typename... T>
std::string Pack(T... values) {
  std::string out;
  (out.append(reinterpret_cast<const char*>(&values), sizeof(values)), ...);
  return out;
}

std::string Padded(const std::string& text, size_t width) {
  std::string out = text.substr(0, width - 1);
  out.resize(width, '\0');
  return out;
}

std::string ZText(const std::string& text) {
  return text + '\0';
}

Subrecord* Nth(Record& r, Tag tag, int n = 0) {
  for (auto& s : r.Fields()) {
    if (s.tag == tag && n-- == 0) return &s;
  }
  return nullptr;
}

template <typename T>
void Poke(Record& r, Tag tag, uint32_t offset, T value, int n = 0) {
  Subrecord* s = Nth(r, tag, n);
  if (!s || offset + sizeof(T) > s->size) return;
  s->MakeOwned();
  std::memcpy(s->data + offset, &value, sizeof(T));
}

void SetField(Record& r, Tag tag, const std::string& bytes, int n = 0) {
  if (Subrecord* s = Nth(r, tag, n)) s->SetBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

Subrecord& Insert(Record& r, SubrecordList::iterator pos, Tag tag, const std::string& bytes) {
  Subrecord& s = CreateSubrecord(r.Fields(), pos, {tag, 0});
  s.SetBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
  return s;
}

Subrecord& Append(Record& r, Tag tag, const std::string& bytes) {
  return Insert(r, r.Fields().end(), tag, bytes);
}

SubrecordList::iterator After(Record& r, Subrecord* s) {
  return std::next(r.IteratorOf(s));
}

constexpr Tag T(const char (&text)[5]) {
  return MakeTag(text);
}

// One plugin being written.
class Plugin {
 public:
  Plugin(std::string name, const Masters& masters, bool esm = false)
      : w(SeedFrom(name), 1 << 16), name_(std::move(name)) {
    w.b.BeginFile(esm, "Modrake Sample", "Sample plugin: " + name_, masters);
  }

  GameWriter w;

  void Same(const GameWriter& from, std::string_view tag, std::string_view id) {
    w.b.AppendRaw(from.Bytes(tag, id));
  }
  void Add(Record& r) { w.b.Append(r); }
  BuiltPlugin Done(bool active = true) { return {name_, w.b.Finish(), active}; }

 private:
  std::string name_;
};

// References of a cell record: the iterator of each FRMR.
std::vector<SubrecordList::iterator> RefStarts(Record& cell) {
  std::vector<SubrecordList::iterator> out;
  for (auto it = cell.Fields().begin(); it != cell.Fields().end(); ++it) {
    if (it->tag == T("FRMR")) out.push_back(it);
  }
  return out;
}

// Gives each reference of a master's cell the master's index in its top byte,
// as a plugin names the references of its masters.
void AsPluginRefs(Record& cell, uint32_t masterIndex) {
  for (auto it : RefStarts(cell)) it->SetUInt32((masterIndex << 24) | it->UInt32At(0));
}

// Removes the references from number keep on (and what follows them).
void KeepRefs(Record& cell, size_t keep) {
  auto starts = RefStarts(cell);
  if (starts.size() > keep) cell.Fields().erase(starts[keep], cell.Fields().end());
}

std::string RefData(float x, float y, float z) {
  return Pack(x, y, z, 0.0f, 0.0f, 0.0f);
}

void AddRef(Record& cell, uint32_t refNum, const std::string& id, float x, float y) {
  Append(cell, T("FRMR"), Pack(refNum));
  Append(cell, T("NAME"), ZText(id));
  Append(cell, T("DATA"), RefData(x, y, 0));
}

InfoSpec NewInfo(const std::string& id, const std::string& prev, const std::string& next,
                 const std::string& text) {
  InfoSpec info;
  info.id = id;
  info.prev = prev;
  info.next = next;
  info.text = text;
  return info;
}

struct Context {
  const GameWriter& mw;
  const GameWriter& tr;
  const GameWriter& bm;
  Masters all;  // the three game masters
  Masters mwOnly;
};

BuiltPlugin EvilGmsts(const Context& c) {
  Plugin p("Evil_GMSTs.esp", c.all);
  p.w.GmstF("fWereWolfRunMult", 1.5f);
  p.w.GmstI("iWereWolfBounty", 10000);
  p.w.GmstS("sMaxSale", "Max Sale");
  p.w.GmstF("fCombatDistanceWerewolfMod", 0.3f);
  p.w.GmstS("sMagicCreature03ID", "sMagicCreature03ID");
  p.w.GmstS("sMagicFabricantID", "Fabricant");
  p.w.GmstS("sWerewolfPopup", "Werewolf");
  p.w.GmstF("fWereWolfSpeed", 175.0f);
  p.w.GmstS("sCompanionShare", "Share of the Loot");
  p.w.GmstI("iWereWolfLevelToAttack", 25);
  p.w.GmstF("fJumpAcrobaticsBase", 128.0f);
  p.w.GmstI("iMaxActivateDist", 220);
  p.w.GmstF("fMinWalkSpeed", 90.0f);
  p.w.GmstF("fFatigueRunMult", 3.5f);
  return p.Done();
}

BuiltPlugin IdenticalToMasters(const Context& c) {
  Plugin p("Identical_To_Masters.esp", c.all);
  p.Same(c.mw, "GLOB", "TimeScale");
  p.Same(c.bm, "REGN", "Bitter Coast Region");
  p.Same(c.mw, "STAT", "ex_common_house_01");
  p.Same(c.mw, "MISC", "misc_com_bucket_01");
  p.Same(c.tr, "MISC", "mh_misc_goblet");
  auto deleted = c.mw.Copy("MISC", "misc_skooma_vial");
  deleted->flags |= kDeletedFlag;
  Append(*deleted, tags::DELE, Pack(uint32_t{0}));
  p.Add(*deleted);
  p.Same(c.mw, "MISC", "misc_lw_platter");
  p.Same(c.tr, "WEAP", "silver longsword");
  p.w.Weap("steel_dagger", "Steel Dagger", 0, 3.0f, 18, 400, 6);
  p.Same(c.mw, "CONT", "chest_small_01");
  p.Same(c.mw, "SPEL", "hearth heal");
  p.Same(c.bm, "CREA", "BM_bear_black");
  p.Same(c.mw, "NPC_", "hrisskar flat-foot");
  p.Same(c.mw, "BOOK", "bk_ArkayTheEnemy");
  return p.Done();
}

BuiltPlugin AiDataAndSpells(const Context& c) {
  Plugin p("AI_Data_And_Spell_Padding.esp", c.mwOnly);
  auto fargoth = c.mw.Copy("NPC_", "fargoth");
  Poke<uint8_t>(*fargoth, T("AIDT"), 1, 0x5A);
  Poke<uint8_t>(*fargoth, T("AIDT"), 5, 0xFF);
  Poke<uint8_t>(*fargoth, T("AIDT"), 6, 0x3C);
  p.Add(*fargoth);
  auto caius = c.mw.Copy("NPC_", "caius cosades");
  SetField(*caius, tags::NPCS, ZText("sanctuary"), 0);
  SetField(*caius, tags::NPCS, ZText("hearth heal"), 1);
  p.Add(*caius);
  auto rat = c.mw.Copy("CREA", "rat");
  Poke<uint8_t>(*rat, T("AIDT"), 5, 0xFF);
  Poke<uint8_t>(*rat, T("AIDT"), 7, 0xFF);
  p.Add(*rat);
  auto scamp = c.mw.Copy("CREA", "scamp");
  SetField(*scamp, tags::NPCS, ZText("fireball"), 0);
  p.Add(*scamp);
  return p.Done();
}

BuiltPlugin JunkCells(const Context& c) {
  Plugin p("Junk_Cells.esp", c.mwOnly);
  auto plates = c.mw.Copy("CELL", "Balmora, Eight Plates");
  KeepRefs(*plates, 0);
  plates->RemoveSubrecord(Nth(*plates, tags::NAM0));
  p.Add(*plates);
  auto exterior = c.mw.Copy("CELL", "-3,-9");
  KeepRefs(*exterior, 0);
  exterior->RemoveSubrecord(Nth(*exterior, tags::NAM0));
  p.Add(*exterior);
  p.w.b.Begin("CELL").Z("NAME", "Balmora, Unused Storage").Sub("DATA").u32(1).i32(0).i32(0);
  p.w.b.End();
  p.w.b.Begin("CELL").Z("NAME", "").Sub("DATA").u32(0x02).i32(30).i32(30);
  p.w.b.Z("RGNN", "Sheogorad").End();
  return p.Done();
}

// A master cell with its references and NAM0 taken away: its bare header.
std::unique_ptr<Record> BareCell(const GameWriter& from, const std::string& key) {
  auto cell = from.Copy("CELL", key);
  KeepRefs(*cell, 0);
  cell->RemoveSubrecord(Nth(*cell, tags::NAM0));
  return cell;
}

BuiltPlugin CellWaterAndLight(const Context& c) {
  Plugin p("Cell_Water_And_Light.esp", c.mwOnly);
  auto census = BareCell(c.mw, "Seyda Neen, Census and Excise Office");
  Poke<float>(*census, tags::WHGT, 0, 20.5f);
  p.Add(*census);
  auto house = BareCell(c.mw, "Balmora, Caius Cosades' House");
  Poke<uint32_t>(*house, tags::AMBI, 0, 0x00607080u);
  p.Add(*house);
  return p.Done();
}

BuiltPlugin MovedReferences(const Context& c) {
  Plugin p("Moved_References.esp", c.mwOnly);
  auto tradehouse = c.mw.Copy("CELL", "Arrille's Tradehouse");
  AsPluginRefs(*tradehouse, 1);
  KeepRefs(*tradehouse, 4);
  auto starts = RefStarts(*tradehouse);
  for (size_t moved : {size_t{1}, size_t{3}}) {
    for (auto it = std::next(starts[moved]);
         it != tradehouse->Fields().end() && it->tag != T("FRMR"); ++it) {
      if (it->tag == tags::DATA) {
        it->MakeOwned();
        float x;
        std::memcpy(&x, it->data, 4);
        x += 64.0f;
        std::memcpy(it->data, &x, 4);
      }
    }
  }
  AddRef(*tradehouse, 1, "misc_lw_platter", -320.0f, 128.0f);
  SetField(*tradehouse, tags::NAM0, Pack(uint32_t{5}));
  p.Add(*tradehouse);
  // Empty copies that stay for the LAND and the path grid the plugin changes.
  p.Add(*BareCell(c.mw, "0,-7"));
  p.Add(*BareCell(c.mw, "Seyda Neen, Census and Excise Office"));
  // A Morrowind reference of (-2,-9) moved into (-3,-9).
  auto seyda = c.mw.Copy("CELL", "-2,-9");
  auto from = RefStarts(*seyda);
  auto target = BareCell(c.mw, "-3,-9");
  uint32_t refNum = 0x01000000u | from[1]->UInt32At(0);
  Append(*target, tags::MVRF, Pack(refNum));
  Append(*target, T("CNDT"), Pack(int32_t{-3}, int32_t{-9}));
  Append(*target, T("FRMR"), Pack(refNum));
  Append(*target, tags::NAME, ZText(std::string(std::next(from[1])->Text())));
  Append(*target, tags::DATA, RefData(-23000.0f, -72000.0f, 40.0f));
  p.Add(*target);
  p.w.Land(0, -7, true);
  p.w.Pgrd(0, 0, "Seyda Neen, Census and Excise Office", 4);
  return p.Done();
}

BuiltPlugin DuplicateRecords(const Context& c) {
  Plugin p("Duplicate_Records.esp", c.mwOnly);
  p.w.Misc("misc_com_wood_cup_01", "Wooden Cup", 1.0f, 2);
  p.w.Misc("misc_com_wood_cup_01", "Wooden Cup", 1.0f, 3);
  for (int value = 1; value <= 3; ++value) p.w.Misc("dup_sample_token", "Token", 0.1f, value);
  p.w.Weap("chitin war axe", "Chitin War Axe", 8, 16.0f, 25, 600, 15);
  p.w.Weap("chitin war axe", "Chitin War Axe", 8, 16.0f, 30, 600, 15);
  return p.Done();
}

BuiltPlugin EmptyTopics(const Context& c) {
  Plugin p("Empty_Topics.esp", c.mwOnly);
  p.Same(c.mw, "DIAL", "background");
  p.Same(c.mw, "DIAL", "my trade");
  auto info = c.mw.Copy("INFO", info_ids::kMyTrade[0]);
  SetField(*info, tags::NNAM, ZText(""));
  p.Add(*info);
  p.Same(c.mw, "DIAL", "A1_1_FindSpymaster");
  p.w.b.Begin("DIAL", kDeletedFlag).Z("NAME", "someone in particular").U8("DATA", 0);
  p.w.b.U32("DELE", 0).End();
  p.w.Dial("sample forgotten topic", 0);
  return p.Done();
}

BuiltPlugin AlreadyClean(const Context& c) {
  Plugin p("Already_Clean.esp", c.mwOnly);
  p.w.Misc("ac_sample_gem", "Polished Gem", 0.2f, 150);
  p.w.Weap("ac_sample_blade", "Polished Blade", 1, 14.0f, 300, 900, 14);
  p.w.Weap("iron club", "Iron Club", 3, 10.0f, 5, 700, 6);
  std::vector<CellRef> refs;
  for (const char* id : {"ac_sample_gem", "ac_sample_blade", "furn_com_table_01"}) {
    refs.push_back(p.w.RandomRef(id, 256, -128, -128));
  }
  p.w.CellInterior("Balmora, Sample Annex", -50.0f, 0x00303030, refs);
  p.w.Dial("sample gossip", 0);
  InfoSpec info = NewInfo("7100000000000000101", "", "", "Have you seen the new annex in Balmora?");
  p.w.Info(info);
  return p.Done();
}

const char* const kTownsForPlugins[4] = {"Balmora", "Vivec", "Caldera", "Suran"};

const std::vector<LeveledEntry> kMeleeBasic = {{"iron dagger", 1},
                                               {"iron club", 1},
                                               {"iron_spear", 3},
                                               {"chitin war axe", 5},
                                               {"steel longsword", 8}};
const std::vector<LeveledEntry> kBitterCoast = {
    {"mudcrab", 1}, {"rat", 1}, {"cliff racer", 3}, {"kagouti", 6}};

BuiltPlugin LeveledAdd(const Context& c) {
  Plugin p("Leveled_Lists_Add.esp", c.mwOnly);
  auto melee = kMeleeBasic;
  melee.push_back({"steel_dagger", 1});
  melee.push_back({"iron dagger", 1});
  p.w.Leveled(false, "random_weapon_melee_basic", 1, 0, melee);
  p.w.Leveled(false, "Random_Ingredient", 1, 25,
              {{"INGRED_SALTRICE_01", 1},
               {"ingred_marshmerrow_01", 1},
               {"ingred_kwama_cuttle_01", 3},
               {"ingred_bread_01", 1}});
  p.w.Leveled(false, "random_sample_mix", 0, 0, {{"misc_lw_platter", 2}});
  p.w.Leveled(false, "lla_sample_treasure", 0, 0, {{"Gold_001", 1}, {"misc_lw_platter", 5}});
  auto coast = kBitterCoast;
  coast.push_back({"scamp", 4});
  p.w.Leveled(true, "ex_bittercoast_sleep", 1, 40, coast);
  p.w.Leveled(true, "random_sample_mix", 0, 0, {{"rat", 1}});
  return p.Done();
}

BuiltPlugin LeveledChange(const Context& c) {
  Plugin p("Leveled_Lists_Change.esp", c.mwOnly);
  p.w.Leveled(false, "random_weapon_melee_basic", 2, 25,
              {{"iron dagger", 1},
               {"iron dagger", 1},
               {"iron dagger", 1},
               {"iron club", 1},
               {"chitin war axe", 5},
               {"steel longsword", 8},
               {"iron dagger", 5}});
  auto coast = kBitterCoast;
  coast.push_back({"scamp", 4});
  p.w.Leveled(true, "ex_bittercoast_sleep", 1, 40, coast);
  p.w.Leveled(false, "random_ingredient", 1, 25,
              {{"ingred_saltrice_01", 1},
               {"ingred_marshmerrow_01", 1},
               {"ingred_kwama_cuttle_01", 3},
               {"ingred_comberry_01", 1}});
  return p.Done();
}

BuiltPlugin LeveledDelete(const Context& c) {
  Plugin p("Leveled_Lists_Delete.esp", c.mwOnly);
  p.w.Leveled(false, "random_weapon_melee_basic", 0, 40, kMeleeBasic);
  p.w.b.Begin("LEVI", kDeletedFlag).Z("NAME", "random_ingredient").U32("DELE", 0).End();
  return p.Done();
}

// The reaction of a faction towards another, found by name.
void SetReaction(Record& faction, const std::string& other, int32_t value) {
  for (auto it = faction.Fields().begin(); it != faction.Fields().end(); ++it) {
    if (it->tag == T("ANAM") && it->Text() == other && std::next(it) != faction.Fields().end()) {
      std::next(it)->SetUInt32(static_cast<uint32_t>(value));
      return;
    }
  }
}

BuiltPlugin ObjectsA(const Context& c) {
  Plugin p("Objects_Merge_A.esp", c.mwOnly);
  auto fighters = c.mw.Copy("FACT", "Fighters Guild");
  SetReaction(*fighters, "Thieves Guild", -4);
  p.Add(*fighters);
  auto dunmer = c.mw.Copy("RACE", "Dark Elf");
  Insert(*dunmer, After(*dunmer, Nth(*dunmer, tags::NPCS, 1)), tags::NPCS, Padded("sanctuary", 32));
  p.Add(*dunmer);
  p.w.Misc("misc_com_bottle_01", "Bottle", 3.0f, 2);
  p.w.Misc("misc_de_pot_redware_01", "Redware Pot", 5.0f, 5);
  p.w.Misc("obj_sample_trinket", "Trinket", 1.0f, 10);
  p.w.Weap("iron dagger", "Iron Dagger", 0, 4.0f, 10, 300, 5);
  p.w.Weap("steel longsword", "Steel Longsword", 1, 22.0f, 100, 900, 12);
  p.w.Weap("iron_spear", "Iron Spear", 6, 9.0f, 20, 500, 10);
  p.w.Cont("barrel_01_food", "Barrel", 200.0f,
           {{5, "ingred_saltrice_01"}, {1, "misc_com_bottle_01"}, {1, "misc_lw_platter"}});
  p.w.Spel("fireball", "Fireball", 0, 21, {Fx(14, 2, 1, 40, 1, 5)});
  p.w.Spel("five fingers of pain", "Five Fingers of Pain", 0, 40,
           {Fx(14, 2, 5, 10, 1), Fx(15, 2, 5, 10, 1), Fx(16, 2, 5, 10, 1), Fx(27, 2, 2, 5, 10),
            Fx(18, 2, 5, 5, 5), Fx(19, 2, 5, 5, 5)});
  p.w.Spel("shockbloom", "Shockbloom", 0, 30,
           {Fx(15, 2, 5, 20, 1), Fx(23, 2, 5, 5, 5), Fx(24, 2, 3, 3, 5), Fx(25, 2, 1, 1, 5),
            Fx(26, 2, 1, 1, 5), Fx(28, 2, 1, 1, 5)});
  auto mudcrab = c.mw.Copy("CREA", "mudcrab");
  Poke<uint8_t>(*mudcrab, T("AIDT"), 2, 80);
  p.Add(*mudcrab);
  p.w.Ligh("light_com_candle_01", "Candle", 600, 160, 0x0080C0FF, true);
  p.w.Ench("cruel flame_en", 2, 40, 500, {Fx(14, 1, 10, 30, 1)});
  auto arrille = c.mw.Copy("NPC_", "arrille");
  Poke<int16_t>(*arrille, T("NPDT"), 0, 10);
  Poke<int32_t>(*arrille, T("NPDT"), 48, 500);
  p.Add(*arrille);
  p.w.Armo("steel_cuirass", "Steel Cuirass", 1, 30.0f, 150, 18,
           {{3, "a_steel_cuirass", "a_steel_cuirass_f"},
            {13, "a_steel_pauldron", ""},
            {14, "a_steel_pauldron", ""},
            {11, "a_steel_pauldron", ""},
            {12, "a_steel_pauldron", ""}});
  p.w.Armo("iron_helmet", "Iron Helmet", 1, 5.0f, 20, 10, {{0, "a_iron_helmet", ""}});
  p.w.Armo("netch_leather_boots", "Netch Leather Boots", 5, 6.0f, 15, 5,
           {{15, "a_netch_boot", ""},
            {16, "a_netch_boot", ""},
            {17, "a_netch_ankle", ""},
            {18, "a_netch_ankle", ""},
            {19, "a_netch_ankle", ""},
            {20, "a_netch_ankle", ""}});
  p.w.Clot("common_shirt_01", "Common Shirt", 1, 1.0f, 2,
           {{3, "c_m_shirt_common01", "c_f_shirt_common01"}, {13, "c_m_shirt_common01", ""}});
  auto history = c.mw.Copy("BOOK", "bk_BriefHistoryEmpire1");
  Poke<int32_t>(*history, T("BKDT"), 4, 40);
  p.Add(*history);
  p.w.Alch("p_restore_health_s", "Standard Restore Health", 1.0f, 35, {Fx(75, 0, 15, 15, 1)});
  return p.Done();
}

BuiltPlugin ObjectsB(const Context& c) {
  Plugin p("Objects_Merge_B.esp", c.mwOnly);
  auto fighters = c.mw.Copy("FACT", "Fighters Guild");
  SetReaction(*fighters, "Thieves Guild", -5);
  p.Add(*fighters);
  p.w.Misc("misc_com_bottle_01", "Bottle", 3.0f, 1, "bottleScript");
  p.w.b.Begin("MISC", kDeletedFlag).Z("NAME", "misc_de_pot_redware_01").U32("DELE", 0).End();
  p.w.Misc("obj_sample_trinket", "Shiny Trinket", 1.0f, 10);
  p.w.Weap("iron dagger", "Iron Dagger", 0, 3.0f, 15, 300, 5);
  p.w.Weap("steel longsword", "Steel Longsword", 1, 24.0f, 100, 900, 12);
  p.w.Weap("iron_spear", "Iron Spear", 6, 9.0f, 20, 500, 10);
  p.w.Cont("barrel_01_food", "Barrel", 200.0f,
           {{3, "ingred_saltrice_01"},
            {1, "misc_com_bottle_01"},
            {2, "ingred_marshmerrow_01"},
            {4, "ingred_comberry_01"}});
  p.w.Spel("five fingers of pain", "Five Fingers of Pain", 0, 40,
           {Fx(14, 2, 5, 10, 1), Fx(15, 2, 5, 10, 1), Fx(16, 2, 5, 10, 1), Fx(27, 2, 2, 5, 10),
            Fx(20, 2, 5, 5, 5), Fx(21, 2, 5, 5, 5), Fx(22, 2, 5, 5, 5)});
  p.w.Spel("shockbloom", "Shockbloom", 0, 30,
           {Fx(15, 2, 5, 20, 1), Fx(23, 2, 5, 5, 5), Fx(24, 2, 3, 3, 5), Fx(29, 2, 1, 1, 5),
            Fx(30, 2, 1, 1, 5)});
  auto mudcrab = c.mw.Copy("CREA", "mudcrab");
  Poke<int32_t>(*mudcrab, T("NPDT"), 92, 20);
  p.Add(*mudcrab);
  p.w.Body("obm_steel_cuirass_fancy", "", 3, 2);
  p.w.Ligh("light_com_candle_01", "Candle", 900, 128, 0x0080C0FF, true);
  p.w.Ench("cruel flame_en", 2, 30, 400, {Fx(14, 1, 10, 30, 1)});
  auto arrille = c.mw.Copy("NPC_", "arrille");
  Insert(*arrille, After(*arrille, Nth(*arrille, tags::NPCO, 1)), tags::NPCO,
         Pack(int32_t{1}) + Padded("misc_lw_platter", 32));
  p.Add(*arrille);
  p.w.Armo("steel_cuirass", "Steel Cuirass", 1, 30.0f, 150, 18,
           {{3, "obm_steel_cuirass_fancy", "a_steel_cuirass_f"},
            {13, "a_steel_pauldron", ""},
            {14, "a_steel_pauldron", ""}});
  p.w.Armo("iron_helmet", "Iron Helmet", 0, 5.0f, 25, 10, {{0, "a_iron_helmet", ""}});
  p.w.Armo("netch_leather_boots", "Netch Leather Boots", 5, 6.0f, 15, 5,
           {{15, "a_netch_boot", ""},
            {16, "a_netch_boot", ""},
            {17, "a_netch_ankle", ""},
            {18, "a_netch_ankle", ""},
            {21, "a_netch_ankle", ""},
            {22, "a_netch_ankle", ""}});
  p.w.Clot("common_shirt_01", "Common Shirt", 1, 1.0f, 4,
           {{3, "c_m_shirt_common01", ""}, {13, "c_m_shirt_common01", ""}});
  auto history = c.mw.Copy("BOOK", "bk_BriefHistoryEmpire1");
  Poke<float>(*history, T("BKDT"), 0, 2.0f);
  p.Add(*history);
  p.w.Alch("p_restore_health_s", "Standard Restore Health", 1.0f, 45, {Fx(75, 0, 10, 10, 1)});
  return p.Done();
}

BuiltPlugin DialogA(const Context& c) {
  using namespace info_ids;
  Plugin p("Dialog_Merge_A.esp", c.mwOnly);
  p.Same(c.mw, "DIAL", "little advice");
  p.w.Info(NewInfo("7001000000000000101", kLittleAdvice[1], kLittleAdvice[2],
                   "Keep your coin purse close in the Foreign Quarter."));
  auto fourth = c.mw.Copy("INFO", kLittleAdvice[3]);
  SetField(*fourth, tags::NAME, "Never trust a smiling Hlaalu trader.");
  p.Add(*fourth);
  p.Same(c.mw, "DIAL", "latest rumors");
  auto rumor = c.mw.Copy("INFO", kLatestRumors[1]);
  SetField(*rumor, tags::NAME, "Strange lights were seen over the Fields of Kummu.");
  p.Add(*rumor);
  p.Same(c.mw, "DIAL", "specific place");
  auto place = c.mw.Copy("INFO", "3458170192158732401");
  SetField(*place, tags::NAME, "Which town do you mean?");
  p.Add(*place);
  return p.Done();
}

BuiltPlugin DialogB(const Context& c) {
  using namespace info_ids;
  Plugin p("Dialog_Merge_B.esp", c.mwOnly);
  p.Same(c.mw, "DIAL", "little advice");
  auto first = c.mw.Copy("INFO", kLittleAdvice[0]);
  Poke<int32_t>(*first, tags::INTV, 0, 5);
  Append(*first, T("SCVR"), "25IX2Gold_001");
  Append(*first, tags::INTV, Pack(int32_t{50}));
  p.Add(*first);
  p.w.Info(NewInfo("7002000000000000201", kLittleAdvice[1], kLittleAdvice[2],
                   "The silt strider in Seyda Neen leaves at dawn."));
  auto fourth = c.mw.Copy("INFO", kLittleAdvice[3]);
  Poke<int32_t>(*fourth, tags::DATA, 4, 55);
  p.Add(*fourth);
  p.Same(c.mw, "DIAL", "latest rumors");
  auto rumor = c.mw.Copy("INFO", kLatestRumors[1]);
  Append(*rumor, T("SCVR"), "02sX0PCRace");
  Append(*rumor, tags::INTV, Pack(int32_t{3}));
  p.Add(*rumor);
  InfoSpec extra = NewInfo("7002000000000000202", kLatestRumors[2], "",
                           "They are building a shrine in the Kummu fields.");
  extra.cell = "Kummu Fields";
  p.w.Info(extra);
  return p.Done();
}

BuiltPlugin DialogDelete(const Context& c) {
  Plugin p("Dialog_Delete_Topic.esp", c.mwOnly);
  p.w.b.Begin("DIAL", kDeletedFlag).Z("NAME", "someone in particular").U8("DATA", 0);
  p.w.b.U32("DELE", 0).End();
  return p.Done();
}

BuiltPlugin Rename(const Context& c, const char* file, const char* name, bool clearPelagiad) {
  Plugin p(file, c.mwOnly);
  auto kummu = BareCell(c.mw, "2,-3");
  SetField(*kummu, tags::NAME, ZText(name));
  p.Add(*kummu);
  if (clearPelagiad) {
    auto pelagiad = BareCell(c.mw, "0,-7");
    SetField(*pelagiad, tags::NAME, ZText(""));
    p.Add(*pelagiad);
  }
  return p.Done();
}

// Small records for the plugins that test masters and names.
BuiltPlugin OneItem(const char* file, const Masters& masters, const char* id, int32_t value,
                    bool esm = false, bool active = true) {
  Plugin p(file, masters, esm);
  p.w.Misc(id, "Sample Item", 1.0f, value);
  return p.Done(active);
}

// A plugin of the kind players download: new objects, changed and repeated
// master objects, game settings, lists, cells and dialogue, in type order.
BuiltPlugin Generated(const Context& c, int number, int total) {
  std::string name = FormatText("Generated_Plugin_%03d.esp", number);
  Plugin p(name, c.mwOnly);
  SampleRandom& rng = p.w.rng;
  rng = SampleRandom(SeedFrom(name, static_cast<uint64_t>(total)));
  uint32_t size = rng.Below(100);
  int records = size < 60   ? rng.Between(5, 40)
                : size < 92 ? rng.Between(40, 400)
                            : rng.Between(400, 2500);
  auto share = [&](int percent) { return records * percent / 100 + (rng.Chance(50) ? 1 : 0); };
  std::string tag = FormatText("gp%03d_", number);

  if (rng.Chance(30)) p.w.GmstF("fWereWolfRunMult", 1.5f);
  if (rng.Chance(20)) p.w.GmstS("sMaxSale", "Max Sale");
  if (rng.Chance(15)) p.w.GmstF("fFatigueRunMult", rng.Real(2, 8));
  if (rng.Chance(25)) p.Same(c.mw, "STAT", "ex_common_house_01");
  for (int i = 0, n = share(20); i < n; ++i) p.w.Stat(FormatText("%sstatic_%03d", tag.c_str(), i));
  std::vector<std::string> items;
  for (int i = 0, n = share(20); i < n; ++i) {
    items.push_back(FormatText("%smisc_%03d", tag.c_str(), i));
    p.w.Misc(items.back(), "Curio", rng.Real(0.1f, 4), rng.Between(1, 300));
  }
  if (rng.Chance(35)) p.w.Misc("misc_com_bottle_01", "Bottle", 3.0f, rng.Between(2, 9));
  if (rng.Chance(20)) p.Same(c.mw, "MISC", "misc_lw_platter");
  if (rng.Chance(35))
    p.w.Weap("iron dagger", "Iron Dagger", 0, rng.Real(2, 5), rng.Between(8, 30), 300, 5);
  for (int i = 0, n = share(10); i < n; ++i) {
    items.push_back(FormatText("%sweapon_%03d", tag.c_str(), i));
    p.w.Weap(items.back(), "Fine Weapon", static_cast<int16_t>(rng.Below(13)), rng.Real(1, 30),
             rng.Between(10, 900), 800, static_cast<uint8_t>(rng.Between(4, 30)));
  }
  if (rng.Chance(15)) {
    p.w.Cont("barrel_01_food", "Barrel", 200.0f,
             {{3, "ingred_saltrice_01"},
              {1, "misc_com_bottle_01"},
              {2, "ingred_marshmerrow_01"},
              {1, "misc_com_wood_cup_01"},
              {1, items.empty() ? "Gold_001" : items[0]}});
  }
  if (rng.Chance(15)) p.Same(c.mw, "SPEL", "hearth heal");
  if (rng.Chance(25)) {
    auto rat = c.mw.Copy("CREA", "rat");
    Poke<uint8_t>(*rat, T("AIDT"), 5, 0xFF);
    p.Add(*rat);
  }
  for (int i = 0, n = share(8); i < n; ++i) {
    GameWriter::NpcSpec npc;
    npc.id = FormatText("%snpc_%03d", tag.c_str(), i);
    npc.name = "Traveller";
    npc.race = "Dark Elf";
    npc.cls = "Commoner";
    npc.head = "b_n_dark elf_m_head_01";
    npc.hair = "b_n_dark elf_m_hair_01";
    npc.autoCalc = rng.Chance(50);
    npc.level = static_cast<int16_t>(rng.Between(1, 20));
    if (!items.empty())
      npc.items.emplace_back(1, items[rng.Below(static_cast<uint32_t>(items.size()))]);
    p.w.Npc(npc);
  }
  if (rng.Chance(30))
    p.w.Armo("iron_helmet", "Iron Helmet", 0, 5.0f, rng.Between(20, 60), 10,
             {{0, "a_iron_helmet", ""}});
  for (int i = 0, n = share(6); i < n; ++i) {
    p.w.Book(FormatText("%sbook_%03d", tag.c_str(), i), "Journal", false, -1,
             "A traveller's notes.");
  }
  if (rng.Chance(40)) {
    auto melee = kMeleeBasic;
    if (!items.empty()) melee.push_back({items.back(), static_cast<uint16_t>(rng.Between(1, 15))});
    p.w.Leveled(false, "random_weapon_melee_basic", rng.Below(3),
                static_cast<uint8_t>(rng.Chance(30) ? 10 : 0), melee);
  }
  if (rng.Chance(20)) {
    auto coast = kBitterCoast;
    coast.push_back({"nix-hound", static_cast<uint16_t>(rng.Between(2, 9))});
    p.w.Leveled(true, "ex_bittercoast_sleep", 1, 0, coast);
  }
  for (int i = 0, n = share(size < 92 ? 3 : 8); i < n; ++i) {
    std::vector<CellRef> refs;
    for (int k = 0, m = rng.Between(5, 60); k < m; ++k) {
      refs.push_back(p.w.RandomRef(items.empty() || rng.Chance(50)
                                       ? "furn_com_table_01"
                                       : items[rng.Below(static_cast<uint32_t>(items.size()))],
                                   2048, -1024, -1024));
    }
    p.w.CellInterior(FormatText("%s, Sample House %d-%d",
                                kTownsForPlugins[static_cast<size_t>(number + i) % 4], number, i),
                     -100.0f, 0x00303030, refs);
  }
  if (rng.Chance(20)) p.Add(*BareCell(c.mw, "-2,-9"));
  if (size >= 92) {
    for (int i = 0, n = rng.Between(1, 6); i < n; ++i)
      p.w.Land(40 + number % 20, 40 + i, rng.Chance(50));
  }
  if (rng.Chance(30)) {
    p.Same(c.mw, "DIAL", "latest rumors");
    InfoSpec info = NewInfo(FormatText("80%03d0000000000001", number), info_ids::kLatestRumors[2],
                            "", "Did you hear what happened on the road to Balmora?");
    p.w.Info(info);
  }
  for (int i = 0, n = share(3); i < n; ++i) {
    std::string topic = FormatText("%stopic %d", tag.c_str(), i);
    p.w.Dial(topic, 0);
    int k = rng.Between(1, 5);
    for (int j = 0; j < k; ++j) {
      InfoSpec info = NewInfo(FormatText("81%03d%04d%04d", number, i, j),
                              j == 0 ? "" : FormatText("81%03d%04d%04d", number, i, j - 1),
                              j + 1 == k ? "" : FormatText("81%03d%04d%04d", number, i, j + 1),
                              "I have a story to tell.");
      p.w.Info(info);
    }
  }
  return p.Done(true);
}

}  // namespace

std::vector<BuiltPlugin> BuildPlugins(const SampleMasters& m, int count) {
  Context c{*m.morrowind, *m.tribunal, *m.bloodmoon, {}, {}};
  c.mwOnly = {{"Morrowind.esm", m.morrowind->b.Size()}};
  c.all = {{"Morrowind.esm", m.morrowind->b.Size()},
           {"Tribunal.esm", m.tribunal->b.Size()},
           {"Bloodmoon.esm", m.bloodmoon->b.Size()}};
  std::vector<BuiltPlugin> out;

  // The two non-game masters first: they load before every plugin.
  {
    Plugin extra("Active_Extra_Master.esm", c.mwOnly, true);
    extra.w.Misc("aem_lantern", "Brass Lantern", 2.0f, 30);
    extra.w.Weap("aem_blade", "Brass Blade", 1, 12.0f, 150, 700, 11);
    auto melee = kMeleeBasic;
    melee.push_back({"aem_blade", 4});
    extra.w.Leveled(false, "random_weapon_melee_basic", 0, 0, melee);
    out.push_back(extra.Done());
  }
  out.push_back(OneItem("Inactive_Master.esm", c.mwOnly, "im_shared_coin", 5, true, false));
  uint64_t extraSize = out[0].bytes.size(), inactiveSize = out[1].bytes.size();

  out.push_back(EvilGmsts(c));
  out.push_back(IdenticalToMasters(c));
  out.push_back(AiDataAndSpells(c));
  out.push_back(JunkCells(c));
  out.push_back(CellWaterAndLight(c));
  out.push_back(MovedReferences(c));
  out.push_back(DuplicateRecords(c));
  out.push_back(EmptyTopics(c));
  out.push_back(AlreadyClean(c));
  out.push_back(LeveledAdd(c));
  out.push_back(LeveledChange(c));
  out.push_back(LeveledDelete(c));
  out.push_back(ObjectsA(c));
  out.push_back(ObjectsB(c));
  out.push_back(DialogA(c));
  out.push_back(DialogB(c));
  out.push_back(DialogDelete(c));
  out.push_back(Rename(c, "Cell_Rename_First.esp", "Kummu Fields", false));
  out.push_back(Rename(c, "Cell_Rename_Second.esp", "Kummu Shrine Fields", true));
  out.push_back(
      OneItem("Extra_Master_Addon.esp",
              {{"Morrowind.esm", m.morrowind->b.Size()}, {"Active_Extra_Master.esm", extraSize}},
              "aem_lantern", 45));
  out.push_back(
      OneItem("Needs_Inactive_Master.esp",
              {{"Morrowind.esm", m.morrowind->b.Size()}, {"Inactive_Master.esm", inactiveSize}},
              "im_shared_coin", 9));
  out.push_back(OneItem("Needs_Missing_Master.esp",
                        {{"Morrowind.esm", m.morrowind->b.Size()}, {"Missing_Master.esm", 123456}},
                        "mm_orphan_ring", 60));
  {
    Plugin mixed("MixedCase_Plugin.ESP", {{"morrowind.esm", m.morrowind->b.Size()}});
    mixed.w.Stat("mc_sample_pillar");
    mixed.w.Clot("common_ring_01", "Common Ring", 8, 0.1f, 20, {});
    out.push_back(mixed.Done());
  }
  out.push_back(OneItem("Inactive_Plugin.esp", c.mwOnly, "ip_sample_box", 3, false, false));
  for (int i = 1; i <= count; ++i) out.push_back(Generated(c, i, count));
  return out;
}

}  // namespace modrake::samplegame
