#include "samplegame/sample_masters.hpp"

#include <algorithm>
#include <cmath>
#include <set>

#include "core/text.hpp"

namespace modrake::samplegame {
namespace {

using Items = std::vector<std::pair<int32_t, std::string>>;
using Strings = std::vector<std::string>;

const Strings kTowns = {"Balmora",   "Vivec",       "Ald'ruhn",  "Sadrith Mora", "Caldera",
                        "Suran",     "Gnisis",      "Maar Gan",  "Ebonheart",    "Khuul",
                        "Dagon Fel", "Tel Branora", "Molag Mar", "Ald Velothi",  "Gnaar Mok",
                        "Hla Oad",   "Vos",         "Tel Mora",  "Tel Aruhn",    "Tel Vos"};
const Strings kBuildings = {
    "Guild of Fighters", "Guild of Mages", "Temple",    "Council Club", "Tradehouse",
    "Common House",      "Manor",          "Shack",     "Hut",          "Tower",
    "Cornerclub",        "Pawnbroker",     "Outfitter", "Smith",        "Alchemist",
    "Bookseller",        "Ancestral Tomb", "Cave",      "Egg Mine",     "Ruin"};
const Strings kStyles = {"common", "hlaalu", "redoran", "imp",      "velothi",
                         "dwrv",   "de",     "nord",    "telvanni", "ashl"};
const Strings kThings = {"house",  "wall", "tower", "bridge", "rock",  "tree",  "plant", "stair",
                         "pillar", "ruin", "crate", "lamp",   "shelf", "table", "bench", "rug"};
const Strings kSyllables = {"al",  "dre", "va", "nor", "ith", "ul",  "sa",  "mo",
                            "ren", "dar", "el", "bra", "so",  "vel", "tha", "an"};
const Strings kWords = {"the",       "ash",   "storm",   "comes", "from",  "Red",  "Mountain",
                        "and",       "you",   "should",  "keep",  "your",  "eyes", "open",
                        "outlander", "House", "Hlaalu",  "trade", "guard", "road", "the",
                        "Temple",    "says",  "nothing", "about", "it",    "but",  "people",
                        "talk",      "in",    "every",   "tavern"};
const Strings kTopicWords = {"Ashlanders",    "Dwemer ruins", "Great Houses", "the Temple",
                             "Sixth House",   "Morag Tong",   "kwama mines",  "silt striders",
                             "netch leather", "ebony",        "glass armor",  "moon sugar",
                             "corprus",       "Nerevarine",   "the Blight",   "smugglers"};

const Strings kRegions = {
    "Bitter Coast Region",  "Ascadian Isles Region", "West Gash Region", "Ashlands Region",
    "Azura's Coast Region", "Grazelands Region",     "Molag Mar Region", "Sheogorad",
    "Red Mountain Region"};

// The regions of Morrowind; the second expansion writes them again with snow.
void WriteRegions(GameWriter& w, bool snow) {
  for (size_t i = 0; i < kRegions.size(); ++i) {
    w.Regn(kRegions[i], kRegions[i].substr(0, kRegions[i].find(" Region")), snow,
           0x00306080u + static_cast<uint32_t>(i * 0x101010), "ex_bittercoast_sleep",
           {"Bitter Coast Wind", "Fire"});
  }
}

int Count(double scale, double atOne, int minimum) {
  return std::max(minimum, static_cast<int>(std::llround(atOne * scale)));
}

std::string Syllables(uint32_t n, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += kSyllables[n % kSyllables.size()];
    n /= static_cast<uint32_t>(kSyllables.size());
  }
  return out;
}

std::string Sentence(SampleRandom& rng, int words) {
  std::string out;
  for (int i = 0; i < words; ++i) {
    if (i > 0) out += ' ';
    out += kWords[rng.Below(static_cast<uint32_t>(kWords.size()))];
  }
  if (!out.empty()) out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
  return out + ".";
}

const std::string& Pick(SampleRandom& rng, const Strings& from) {
  return from[rng.Below(static_cast<uint32_t>(from.size()))];
}

// The object ids of one file by type, for filling cells and lists.
struct Pools {
  Strings statics, items, containers, lights, doors, actors, creatures, scripts;
};

// A dialogue topic with its responses, linked in order.
void Topic(GameWriter& w, const std::string& name, uint8_t type, std::vector<InfoSpec> infos) {
  w.Dial(name, type);
  for (size_t i = 0; i < infos.size(); ++i) {
    infos[i].type = type;
    infos[i].prev = i == 0 ? "" : infos[i - 1].id;
    infos[i].next = i + 1 == infos.size() ? "" : infos[i + 1].id;
    w.Info(infos[i]);
  }
}

InfoSpec Response(const std::string& id, const std::string& text) {
  InfoSpec info;
  info.id = id;
  info.text = text;
  return info;
}

Condition Cond(const std::string& rule, int32_t value) {
  Condition c;
  c.rule = rule;
  c.intValue = value;
  return c;
}

Condition CondF(const std::string& rule, float value) {
  Condition c;
  c.rule = rule;
  c.isFloat = true;
  c.floatValue = value;
  return c;
}

std::vector<CellRef> FillRefs(GameWriter& w, const Pools& pools, int count, float baseX,
                              float baseY, float spread) {
  std::vector<CellRef> refs;
  refs.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    uint32_t roll = w.rng.Below(100);
    const Strings& from = roll < 62   ? pools.statics
                          : roll < 80 ? pools.items
                          : roll < 86 ? pools.containers
                          : roll < 92 ? pools.lights
                          : roll < 94 ? pools.doors
                          : roll < 97 ? pools.actors
                                      : pools.creatures;
    CellRef r = w.RandomRef(Pick(w.rng, from.empty() ? pools.statics : from), spread, baseX, baseY);
    if (&from == &pools.items && w.rng.Chance(10)) r.count = w.rng.Between(2, 25);
    if (&from == &pools.containers && w.rng.Chance(30)) r.lockLevel = w.rng.Between(5, 80);
    refs.push_back(std::move(r));
  }
  return refs;
}

// Shared bulk writers: each adds count generated records to the pools.
void BulkObjects(GameWriter& w, Pools& pools, const std::string& prefix, double scale,
                 double factor) {
  auto n = [&](double atOne) { return Count(scale * factor, atOne, 2); };
  for (int i = 0, c = n(2800); i < c; ++i) {
    std::string id = FormatText("%sex_%s_%s_%02d", prefix.c_str(), kStyles[i % 10].c_str(),
                                kThings[(i / 10) % 16].c_str(), i / 160 + 10);
    w.Stat(id);
    pools.statics.push_back(id);
  }
  for (int i = 0, c = n(140); i < c; ++i) {
    std::string id = FormatText("%sdoor_%s_%02d", prefix.c_str(), kStyles[i % 10].c_str(), i / 10);
    w.Door(id, "Door", "");
    pools.doors.push_back(id);
  }
}

void BulkScripts(GameWriter& w, Pools& pools, const std::string& prefix, int count) {
  for (int i = 0; i < count; ++i) {
    std::string id = FormatText("%s%sScript%03d", prefix.c_str(), kThings[i % 16].c_str(), i);
    std::string text = "Begin " + id + "\r\n\r\nshort doOnce\r\n\r\nif ( doOnce == 0 )\r\n";
    for (int k = 0, lines = 5 + w.rng.Between(0, 60); k < lines; ++k) {
      text += FormatText("\tset state%d to %d\r\n", k % 3, w.rng.Between(0, 100));
    }
    text += "\tset doOnce to 1\r\nendif\r\n\r\nEnd\r\n";
    w.Scpt(id, 3, 1, 1, text);
    pools.scripts.push_back(id);
  }
}

void BulkItems(GameWriter& w, Pools& pools, const std::string& prefix, double scale,
               double factor) {
  auto n = [&](double atOne) { return Count(scale * factor, atOne, 1); };
  for (int i = 0, c = n(540); i < c; ++i) {
    std::string id = FormatText("%smisc_%s_%s_%02d", prefix.c_str(), kStyles[i % 10].c_str(),
                                kThings[(i / 10) % 16].c_str(), i / 160);
    w.Misc(id, "Trinket", w.rng.Real(0.1f, 5.0f), w.rng.Between(1, 80));
    pools.items.push_back(id);
  }
  for (int i = 0, c = n(480); i < c; ++i) {
    std::string id = FormatText("%s%s_weapon_%03d", prefix.c_str(), kStyles[i % 10].c_str(), i);
    w.Weap(id, "Weapon", static_cast<int16_t>(i % 13), w.rng.Real(1, 30), w.rng.Between(5, 2000),
           static_cast<int16_t>(w.rng.Between(100, 2000)),
           static_cast<uint8_t>(w.rng.Between(3, 40)));
    pools.items.push_back(id);
  }
  for (int i = 0, c = n(890); i < c; ++i) {
    std::string id = FormatText("%scontain_%s_%03d", prefix.c_str(), kThings[i % 16].c_str(), i);
    Items items;
    for (int k = 0, m = w.rng.Between(0, 6); k < m && !pools.items.empty(); ++k) {
      items.emplace_back(w.rng.Between(1, 5), Pick(w.rng, pools.items));
    }
    w.Cont(id, "Container", w.rng.Real(50, 400), items);
    pools.containers.push_back(id);
  }
}

void BulkSpells(GameWriter& w, const std::string& prefix, int count) {
  for (int i = 0; i < count; ++i) {
    std::vector<Effect> effects;
    for (int k = 0, m = w.rng.Between(1, 4); k < m; ++k) {
      effects.push_back(Fx(static_cast<int16_t>(w.rng.Below(137)), w.rng.Between(0, 2),
                           w.rng.Between(1, 10), w.rng.Between(10, 60), w.rng.Between(0, 60)));
    }
    w.Spel(FormatText("%s%s_spell_%03d", prefix.c_str(),
                      Syllables(static_cast<uint32_t>(i), 2).c_str(), i),
           "Spell", i % 5 == 0 ? 1 : 0, w.rng.Between(5, 120), effects);
  }
}

void BulkCreatures(GameWriter& w, Pools& pools, const std::string& prefix, int count) {
  for (int i = 0; i < count; ++i) {
    std::string id = FormatText("%s%s_%02d", prefix.c_str(),
                                Syllables(static_cast<uint32_t>(i), 2).c_str(), i / 256);
    w.Crea(id, "Creature", i % 4, w.rng.Between(1, 30), {}, {},
           static_cast<uint8_t>(w.rng.Between(0, 100)), true);
    pools.creatures.push_back(id);
  }
}

void BulkNpcs(GameWriter& w, Pools& pools, const std::string& prefix, int count,
              const Strings& races, const Strings& classes) {
  for (int i = 0; i < count; ++i) {
    std::string first = Syllables(static_cast<uint32_t>(i), 3);
    std::string id = prefix + first + (i >= 4096 ? FormatText("_%d", i / 4096) : "");
    GameWriter::NpcSpec npc;
    npc.id = id;
    npc.name = first + " " + Syllables(w.rng.Below(256), 2);
    npc.name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(npc.name[0])));
    npc.race = Pick(w.rng, races);
    npc.cls = Pick(w.rng, classes);
    npc.head = "b_n_dark elf_m_head_01";
    npc.hair = "b_n_dark elf_m_hair_01";
    npc.female = w.rng.Chance(40);
    npc.autoCalc = w.rng.Chance(35);
    npc.level = static_cast<int16_t>(w.rng.Between(1, 30));
    for (int k = 0, m = w.rng.Between(0, 4); k < m && !pools.items.empty(); ++k) {
      npc.items.emplace_back(1, Pick(w.rng, pools.items));
    }
    npc.fight = static_cast<uint8_t>(w.rng.Between(0, 40));
    w.Npc(npc);
    pools.actors.push_back(id);
  }
}

void BulkDialogue(GameWriter& w, const std::string& prefix, int topics, int infosPerTopic,
                  uint32_t idBase, const Strings& places) {
  uint32_t counter = 0;
  for (int t = 0; t < topics; ++t) {
    std::string name = FormatText("%s%s %s", prefix.c_str(), kTopicWords[t % 16].c_str(),
                                  places[(t / 16) % places.size()].c_str());
    if (t >= static_cast<int>(16 * places.size())) name += FormatText(" %d", t);
    std::vector<InfoSpec> infos;
    int count = std::max(1, infosPerTopic + w.rng.Between(-3, 3));
    for (int k = 0; k < count; ++k) {
      InfoSpec info = Response(FormatText("%u%010u", idBase, ++counter),
                               Sentence(w.rng, w.rng.Between(12, 40)));
      info.disposition = w.rng.Between(0, 70);
      if (w.rng.Chance(30)) info.cell = Pick(w.rng, places);
      if (w.rng.Chance(25)) info.faction = "Hlaalu";
      if (w.rng.Chance(40)) info.conditions.push_back(Cond("02sX0PCRace", w.rng.Between(0, 9)));
      if (w.rng.Chance(20)) info.conditions.push_back(CondF("12fX2GameHour", 6.0f));
      if (w.rng.Chance(10)) info.result = "Goodbye";
      infos.push_back(std::move(info));
    }
    Topic(w, name, 0, std::move(infos));
  }
}

void ExteriorGrid(GameWriter& w, const Pools& pools, int cells, int x0, int y0, int refs,
                  const std::set<std::pair<int, int>>& taken, const Strings& regions,
                  std::vector<std::pair<int, int>>& written) {
  int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(cells + taken.size()))));
  for (int k = 0; static_cast<int>(written.size()) < cells && k < side * side * 4; ++k) {
    int x = x0 + k % side, y = y0 + k / side;
    if (taken.count({x, y})) continue;
    w.CellExterior(x, y, "", regions[static_cast<size_t>((x + y + 100) / 3) % regions.size()],
                   FillRefs(w, pools, w.rng.Between(refs / 2, refs * 3 / 2), x * 8192.0f,
                            y * 8192.0f, 8192.0f));
    written.emplace_back(x, y);
  }
}

void WriteMorrowind(GameWriter& w, double scale) {
  Pools pools;
  w.b.BeginFile(true, "Modrake sample game", "The main data file for Morrowind", {});

  // Game settings.
  w.GmstF("fJumpAcrobaticsBase", 128.0f);
  w.GmstF("fFatigueRunMult", 5.0f);
  w.GmstI("iMaxActivateDist", 192);
  w.GmstF("fMinWalkSpeed", 100.0f);
  w.GmstF("fMaxWalkSpeed", 200.0f);
  w.GmstF("fPickLockMult", -1.0f);
  w.GmstI("iLevelupTotal", 10);
  w.GmstF("fEncumbranceStrMult", 5.0f);
  w.GmstS("sMonthMorningstar", "Morning Star");
  w.GmstS("sOK", "OK");
  w.GmstS("sCancel", "Cancel");
  static const Strings kSettingWords = {"Combat", "Magic",   "Fatigue", "Barter", "Sneak", "Travel",
                                        "Repair", "Enchant", "Swim",    "Fall",   "Bribe", "Crime"};
  static const Strings kSettingEnds = {"Base", "Mult",  "Min",   "Max",
                                       "Mod",  "Scale", "Delay", "Bonus"};
  for (int i = 0, c = Count(scale, 1450, 20); i < c; ++i) {
    std::string stem = kSettingWords[i % 12] + kSettingEnds[(i / 12) % 8] +
                       (i >= 96 ? FormatText("%d", i / 96) : "");
    switch (i % 3) {
      case 0:
        w.GmstF("f" + stem, w.rng.Real(0, 10));
        break;
      case 1:
        w.GmstI("i" + stem, w.rng.Between(0, 500));
        break;
      default:
        w.GmstS("s" + stem, Sentence(w.rng, w.rng.Between(1, 6)));
        break;
    }
  }

  w.Glob("GameHour", 'f', 9.0f);
  w.Glob("Day", 's', 16.0f);
  w.Glob("Month", 's', 7.0f);
  w.Glob("Year", 's', 427.0f);
  w.Glob("DaysPassed", 's', 1.0f);
  w.Glob("TimeScale", 'f', 30.0f);
  w.Glob("PCRace", 's', 0.0f);
  w.Glob("PCVampire", 's', 0.0f);
  w.Glob("CharGenState", 's', -1.0f);
  w.Glob("NPCVoiceDistance", 'f', 750.0f);
  for (int i = 0, c = Count(scale, 60, 2); i < c; ++i) {
    w.Glob(FormatText("%sState%02d", kTopicWords[i % 16].substr(0, 4).c_str(), i), 'l', 0.0f);
  }

  const Strings classes = {"Warrior",  "Mage",     "Thief",  "Agent",  "Guard",
                           "Commoner", "Publican", "Trader", "Healer", "Pauper"};
  for (size_t i = 0; i < classes.size(); ++i) {
    w.Clas(classes[i], classes[i], static_cast<int32_t>(i % 3), "A " + classes[i] + ".");
  }
  for (int i = 0, c = Count(scale, 67, 1); i < c; ++i) {
    std::string id = FormatText("%s Service %02d", classes[i % 10].c_str(), i);
    w.Clas(id, classes[i % 10], i % 3, "An occupation of the people.");
  }

  w.Fact("Fighters Guild", "Fighters Guild",
         {"Associate", "Apprentice", "Journeyman", "Swordsman", "Protector", "Defender", "Warder",
          "Guardian", "Champion", "Master"},
         {{"Fighters Guild", 3}, {"Thieves Guild", -2}, {"Camonna Tong", -3}, {"Mages Guild", 1}});
  w.Fact("Mages Guild", "Mages Guild",
         {"Associate", "Apprentice", "Journeyman", "Evoker", "Conjurer", "Magician", "Warlock",
          "Wizard", "Master Wizard", "Arch-Mage"},
         {{"Mages Guild", 3}, {"Fighters Guild", 1}, {"Telvanni", -2}});
  w.Fact("Thieves Guild", "Thieves Guild",
         {"Toad", "Wet Ear", "Footpad", "Blackcap", "Operative", "Bandit", "Captain", "Ringleader",
          "Mastermind", "Master Thief"},
         {{"Thieves Guild", 3}, {"Fighters Guild", -2}, {"Camonna Tong", -3}});
  w.Fact("Imperial Legion", "Imperial Legion",
         {"Recruit", "Spearman", "Trooper", "Agent", "Champion", "Knight Errant", "Knight Bachelor",
          "Knight Protector", "Knight of the Garland", "Knight of the Imperial Dragon"},
         {{"Imperial Legion", 3}, {"Blades", 2}});
  w.Fact("Hlaalu", "Hlaalu",
         {"Hireling", "Retainer", "Oathman", "Lawman", "Kinsman", "House Cousin", "House Brother",
          "House Father", "Councilman", "Grandmaster"},
         {{"Hlaalu", 3}, {"Redoran", -1}, {"Telvanni", -1}, {"Camonna Tong", 1}});
  w.Fact("Redoran", "Redoran",
         {"Hireling", "Retainer", "Oathman", "Lawman", "Kinsman", "House Cousin", "House Brother",
          "House Father", "Councilman", "Archmaster"},
         {{"Redoran", 3}, {"Hlaalu", -1}});
  w.Fact("Telvanni", "Telvanni",
         {"Hireling", "Retainer", "Oathman", "Lawman", "Mouth", "Spellwright", "Wizard", "Master",
          "Magister", "Archmagister"},
         {{"Telvanni", 3}, {"Mages Guild", -2}});
  w.Fact("Camonna Tong", "Camonna Tong",
         {"Hireling", "Thug", "Enforcer", "Oathman", "Blackheart", "Rockbreaker", "Underboss",
          "Boss", "Godfather", "Don"},
         {{"Camonna Tong", 3}, {"Thieves Guild", -3}, {"Fighters Guild", -3}});
  w.Fact("Blades", "Blades",
         {"Novice", "Apprentice", "Journeyman", "Agent", "Operative", "Master", "Knight",
          "Knight Protector", "Knight of the Order", "Spymaster"},
         {{"Blades", 3}, {"Imperial Legion", 2}});

  const Strings races = {"Argonian", "Breton", "Dark Elf", "High Elf", "Imperial",
                         "Khajiit",  "Nord",   "Orc",      "Redguard", "Wood Elf"};
  const Strings racialSpells[10] = {
      {"water breathing", "immune to poison"},      {"resist magicka_50", "dragon skin"},
      {"ancestor guardian", "resist fire_75"},      {"fortify magicka_50", "weakness fire_50"},
      {"star of the west", "voice of the emperor"}, {"eye of night", "eye of fear"},
      {"thunder fist", "woad", "resist shock_50"},  {"berserk", "resist magicka_25"},
      {"adrenaline rush", "resist poison_75"},      {"beast tongue", "resist disease_75"}};
  for (size_t i = 0; i < races.size(); ++i) w.Race(races[i], races[i], racialSpells[i], true);

  const Strings sounds = {
      "Door Wooden Open", "Door Wooden Close", "Door Stone Open", "Door Stone Close",  "Fire",
      "Torch Out",        "mudcrab moan",      "mudcrab roar",    "rat moan",          "rat roar",
      "scamp moan",       "Item Gold Up",      "Item Misc Up",    "Bitter Coast Wind", "Ashstorm"};
  for (const auto& s : sounds) w.Soun(s, "Fx\\" + s + ".wav", 200);
  for (int i = 0, c = Count(scale, 415, 2); i < c; ++i) {
    w.Soun(
        FormatText("%s %s %02d", kStyles[i % 10].c_str(), kThings[(i / 10) % 16].c_str(), i / 160),
        FormatText("Fx\\envrn\\sample_%03d.wav", i), static_cast<uint8_t>(100 + i % 150));
  }

  static const char* kSkills[27] = {
      "Block",      "Armorer",     "Medium Armor", "Heavy Armor", "Blunt Weapon", "Long Blade",
      "Axe",        "Spear",       "Athletics",    "Enchant",     "Destruction",  "Alteration",
      "Illusion",   "Conjuration", "Mysticism",    "Restoration", "Alchemy",      "Unarmored",
      "Security",   "Sneak",       "Acrobatics",   "Light Armor", "Short Blade",  "Marksman",
      "Mercantile", "Speechcraft", "Hand-to-hand"};
  for (int i = 0; i < 27; ++i) {
    w.Skil(i, i % 8, i % 3, std::string("The ") + kSkills[i] + " skill.");
  }
  for (int i = 0; i < 137; ++i) {
    w.Mgef(i, i % 6, 1.0f + static_cast<float>(i % 20), FormatText("Magic effect %d.", i));
  }

  // Scripts the objects below name, then the bulk.
  for (const char* id : {"LegionUniform", "OutsideBanner", "nolore", "CharGenDoorExit",
                         "bottleScript", "fargothRingScript"}) {
    w.Scpt(id, 1, 0, 1,
           std::string("Begin ") + id +
               "\r\n\r\nshort state0\r\nfloat timer0\r\n\r\nif ( OnActivate == 1 "
               ")\r\n\tActivate\r\nendif\r\n\r\nEnd " +
               id + "\r\n");
    pools.scripts.push_back(id);
  }
  BulkScripts(w, pools, "", Count(scale, 624, 2));

  const Strings& regions = kRegions;
  WriteRegions(w, false);

  static const char* kSigns[13] = {"The Warrior",  "The Mage",   "The Thief", "The Serpent",
                                   "The Lady",     "The Steed",  "The Lord",  "The Apprentice",
                                   "The Atronach", "The Ritual", "The Lover", "The Shadow",
                                   "The Tower"};
  for (int i = 0; i < 13; ++i) {
    w.Bsgn(FormatText("Sign %02d", i), kSigns[i], {FormatText("%s blessing", kSigns[i] + 4)});
  }

  static const char* kTextures[8] = {"Sand", "Grass", "Rock", "Dirt",
                                     "Mud",  "Swamp", "Ash",  "Cobblestone"};
  for (int i = 0; i < 8; ++i) w.Ltex(kTextures[i], i);
  for (int i = 8, c = Count(scale, 107, 12); i < c; ++i) {
    w.Ltex(FormatText("%s_%02d", kTextures[i % 8], i), i);
  }

  for (const char* id : {"ex_common_house_01", "in_common_wall_01", "flora_bc_tree_01",
                         "terrain_rock_bc_01", "ex_hlaalu_b_01", "furn_com_table_01"}) {
    w.Stat(id);
    pools.statics.push_back(id);
  }
  // Statics and doors of the bulk share one pass.
  BulkObjects(w, pools, "", scale, 1.0);
  w.Door("ex_common_door_01", "Door", "");
  w.Door("in_common_door_01", "Door", "");
  w.Door("chargen door exit", "Door", "CharGenDoorExit");
  pools.doors.insert(pools.doors.end(), {"ex_common_door_01", "in_common_door_01"});

  // Items that the scenario plugins change.
  w.Misc("misc_com_bottle_01", "Bottle", 3.0f, 1);
  w.Misc("misc_com_bucket_01", "Bucket", 3.0f, 1);
  w.Misc("misc_com_wood_cup_01", "Wooden Cup", 1.0f, 1);
  w.Misc("Gold_001", "Gold", 0.0f, 1);
  w.Misc("misc_lw_platter", "Platter", 4.0f, 12);
  w.Misc("misc_de_pot_redware_01", "Redware Pot", 5.0f, 3);
  w.Misc("misc_skooma_vial", "Skooma Vial", 0.5f, 5);
  pools.items.insert(pools.items.end(), {"misc_com_bottle_01", "misc_com_bucket_01",
                                         "misc_com_wood_cup_01", "Gold_001", "misc_lw_platter"});
  w.Weap("iron dagger", "Iron Dagger", 0, 3.0f, 10, 300, 5);
  w.Weap("steel longsword", "Steel Longsword", 1, 20.0f, 100, 900, 12);
  w.Weap("silver longsword", "Silver Longsword", 1, 21.0f, 220, 800, 13);
  w.Weap("iron_spear", "Iron Spear", 6, 9.0f, 12, 500, 10);
  w.Weap("chitin war axe", "Chitin War Axe", 8, 16.0f, 20, 600, 15);
  w.Weap("steel_dagger", "Steel Dagger", 0, 3.0f, 15, 400, 6);
  w.Weap("iron club", "Iron Club", 3, 10.0f, 3, 700, 6);
  pools.items.insert(pools.items.end(),
                     {"iron dagger", "steel longsword", "iron_spear", "iron club"});
  BulkItems(w, pools, "", scale, 1.0);

  w.Cont("barrel_01_food", "Barrel", 200.0f,
         {{3, "ingred_saltrice_01"},
          {1, "misc_com_bottle_01"},
          {2, "ingred_marshmerrow_01"},
          {1, "misc_com_wood_cup_01"}});
  w.Cont("chest_small_01", "Chest", 150.0f, {{10, "Gold_001"}, {1, "iron dagger"}});
  w.Cont("crate_01_misc", "Crate", 300.0f, {});
  pools.containers.insert(pools.containers.end(),
                          {"barrel_01_food", "chest_small_01", "crate_01_misc"});

  w.Spel("fireball", "Fireball", 0, 21, {Fx(14, 2, 1, 30, 1, 5)});
  w.Spel("hearth heal", "Hearth Heal", 0, 15, {Fx(75, 0, 10, 25)});
  w.Spel("bound dagger", "Bound Dagger", 0, 10, {Fx(120, 0, 1, 1, 60)});
  w.Spel("five fingers of pain", "Five Fingers of Pain", 0, 40,
         {Fx(14, 2, 5, 10, 1), Fx(15, 2, 5, 10, 1), Fx(16, 2, 5, 10, 1), Fx(27, 2, 2, 5, 10)});
  w.Spel("shockbloom", "Shockbloom", 0, 30,
         {Fx(15, 2, 5, 20, 1), Fx(23, 2, 5, 5, 5), Fx(24, 2, 3, 3, 5)});
  for (const Strings& list : racialSpells) {
    for (const auto& id : list)
      w.Spel(id, id, 1, 0, {Fx(static_cast<int16_t>(90 + id.size()), 0, 50, 50)});
  }
  w.Spel("sanctuary", "Sanctuary", 0, 12, {Fx(42, 0, 10, 10, 30)});
  BulkSpells(w, "", Count(scale, 950, 3));

  w.Crea("mudcrab", "Mudcrab", 0, 2, {}, {}, 30, true);
  w.Crea("rat", "Rat", 0, 1, {}, {}, 90, true);
  w.Crea("scamp", "Scamp", 1, 5, {{1, "ingred_scamp_skin_01"}}, {"fireball", "hearth heal"}, 70,
         true);
  w.Crea("cliff racer", "Cliff Racer", 0, 3, {}, {}, 90, true);
  w.Crea("kagouti", "Kagouti", 0, 6, {}, {}, 90, true);
  w.Crea("nix-hound", "Nix-Hound", 0, 4, {}, {}, 90, true);
  w.Crea("guar", "Guar", 0, 3, {}, {}, 0, true);
  pools.creatures.insert(pools.creatures.end(), {"mudcrab", "rat", "cliff racer", "kagouti"});
  BulkCreatures(w, pools, "", Count(scale, 253, 2));

  for (const auto& race : {"dark elf", "imperial", "nord", "wood elf"}) {
    for (const auto& sex : {"m", "f"}) {
      w.Body(FormatText("b_n_%s_%s_head_01", race, sex), race, 0, 0);
      w.Body(FormatText("b_n_%s_%s_hair_01", race, sex), race, 1, 0);
    }
  }
  for (const char* part :
       {"a_steel_cuirass", "a_steel_cuirass_f", "a_steel_pauldron", "a_iron_helmet", "a_netch_boot",
        "a_netch_ankle", "c_m_shirt_common01", "c_f_shirt_common01"}) {
    w.Body(part, "", 3, 2);
  }
  for (int i = 0, c = Count(scale, 1100, 2); i < c; ++i) {
    w.Body(FormatText("b_sample_%s_%03d", kStyles[i % 10].c_str(), i), races[i % 10],
           static_cast<uint8_t>(i % 15), 0);
  }

  w.Ligh("light_com_candle_01", "Candle", 600, 128, 0x0080C0FF, true);
  w.Ligh("torch_infinite_time", "Torch", -1, 256, 0x0040A0FF, true);
  w.Ligh("light_de_lantern_01", "Lantern", 0, 300, 0x0060B0FF, false);
  pools.lights.insert(pools.lights.end(),
                      {"light_com_candle_01", "torch_infinite_time", "light_de_lantern_01"});
  for (int i = 0, c = Count(scale, 570, 2); i < c; ++i) {
    std::string id = FormatText("light_%s_%03d", kStyles[i % 10].c_str(), i);
    w.Ligh(id, "Light", 0, w.rng.Between(64, 512), static_cast<uint32_t>(w.rng.Next() & 0xFFFFFF),
           i % 4 == 0);
    pools.lights.push_back(id);
  }

  w.Ench("fireball_en", 0, 20, 100, {Fx(14, 2, 5, 25, 1, 5)});
  w.Ench("cruel flame_en", 2, 40, 400, {Fx(14, 1, 10, 30, 1)});
  w.Ench("spirit of nerevar_en", 3, 0, 0, {Fx(79, 0, 10, 10), Fx(84, 0, 20, 20)});
  for (int i = 0, c = Count(scale, 700, 2); i < c; ++i) {
    w.Ench(FormatText("sample_%s_en_%03d", kThings[i % 16].c_str(), i), i % 4, w.rng.Between(5, 80),
           w.rng.Between(50, 800), {Fx(static_cast<int16_t>(w.rng.Below(137)), i % 3, 1, 20, 10)});
  }

  GameWriter::NpcSpec fargoth;
  fargoth.id = "fargoth";
  fargoth.name = "Fargoth";
  fargoth.race = "Wood Elf";
  fargoth.cls = "Commoner";
  fargoth.head = "b_n_wood elf_m_head_01";
  fargoth.hair = "b_n_wood elf_m_hair_01";
  fargoth.script = "fargothRingScript";
  fargoth.level = 2;
  fargoth.items = {{1, "misc_com_bottle_01"}};
  w.Npc(fargoth);
  GameWriter::NpcSpec caius = fargoth;
  caius.id = "caius cosades";
  caius.name = "Caius Cosades";
  caius.race = "Imperial";
  caius.cls = "Agent";
  caius.faction = "Blades";
  caius.head = "b_n_imperial_m_head_01";
  caius.hair = "b_n_imperial_m_hair_01";
  caius.script = "";
  caius.autoCalc = true;
  caius.level = 20;
  caius.items = {{1, "iron dagger"}};
  caius.spells = {"sanctuary", "hearth heal"};
  w.Npc(caius);
  GameWriter::NpcSpec arrille = fargoth;
  arrille.id = "arrille";
  arrille.name = "Arrille";
  arrille.race = "High Elf";
  arrille.cls = "Trader";
  arrille.script = "";
  arrille.level = 8;
  arrille.items = {{5, "misc_com_bottle_01"}, {2, "iron dagger"}};
  arrille.services = 0x00000401;
  w.Npc(arrille);
  GameWriter::NpcSpec hrisskar = fargoth;
  hrisskar.id = "hrisskar flat-foot";
  hrisskar.name = "Hrisskar Flat-Foot";
  hrisskar.race = "Nord";
  hrisskar.cls = "Warrior";
  hrisskar.script = "";
  hrisskar.level = 6;
  w.Npc(hrisskar);
  GameWriter::NpcSpec gravius = caius;
  gravius.id = "sellus gravius";
  gravius.name = "Sellus Gravius";
  gravius.cls = "Guard";
  gravius.faction = "Imperial Legion";
  gravius.spells = {};
  gravius.travelCell = "Seyda Neen, Census and Excise Office";
  w.Npc(gravius);
  pools.actors.insert(pools.actors.end(), {"fargoth", "arrille", "hrisskar flat-foot"});
  BulkNpcs(w, pools, "", Count(scale, 2665, 3), races, classes);

  w.Armo("steel_cuirass", "Steel Cuirass", 1, 30.0f, 150, 18,
         {{3, "a_steel_cuirass", "a_steel_cuirass_f"},
          {13, "a_steel_pauldron", ""},
          {14, "a_steel_pauldron", ""}});
  w.Armo("iron_helmet", "Iron Helmet", 0, 5.0f, 20, 10, {{0, "a_iron_helmet", ""}});
  w.Armo("netch_leather_boots", "Netch Leather Boots", 5, 6.0f, 15, 5,
         {{15, "a_netch_boot", ""},
          {16, "a_netch_boot", ""},
          {17, "a_netch_ankle", ""},
          {18, "a_netch_ankle", ""}});
  for (int i = 0, c = Count(scale, 277, 2); i < c; ++i) {
    w.Armo(FormatText("%s_armor_%03d", kStyles[i % 10].c_str(), i), "Armor", i % 11,
           w.rng.Real(1, 40), w.rng.Between(10, 3000), w.rng.Between(3, 80),
           {{static_cast<uint8_t>(i % 27), "a_steel_cuirass", ""}});
  }
  w.Clot("common_shirt_01", "Common Shirt", 1, 1.0f, 2,
         {{3, "c_m_shirt_common01", ""}, {13, "c_m_shirt_common01", ""}});
  w.Clot("common_pants_01", "Common Pants", 0, 1.0f, 2, {{4, "c_m_shirt_common01", ""}});
  w.Clot("common_ring_01", "Common Ring", 8, 0.1f, 15, {});
  w.Clot("exquisite_amulet_01", "Exquisite Amulet", 9, 0.1f, 120, {}, "spirit of nerevar_en");
  for (int i = 0, c = Count(scale, 506, 2); i < c; ++i) {
    w.Clot(FormatText("%s_clothing_%03d", kStyles[i % 10].c_str(), i), "Clothing", i % 10,
           w.rng.Real(0.1f, 3), static_cast<int16_t>(w.rng.Between(1, 400)),
           {{3, "c_m_shirt_common01", "c_f_shirt_common01"}});
  }

  w.Repa("hammer_repair", "Apprentice's Armorer's Hammer", 10, 0.5f);
  w.Repa("repair_journeyman_01", "Journeyman's Armorer's Hammer", 20, 1.0f);
  w.Repa("repair_master_01", "Master's Armorer's Hammer", 25, 1.3f);
  w.Acti("furn_banner_tavern_01", "Tavern Banner", "OutsideBanner");
  w.Acti("active_sign_c_arrille", "Arrille's Tradehouse");
  for (int i = 0, c = Count(scale, 700, 2); i < c; ++i) {
    std::string id = FormatText("active_%s_%s_%02d", kStyles[i % 10].c_str(),
                                kThings[(i / 10) % 16].c_str(), i / 160);
    w.Acti(id, "Activator", pools.scripts.empty() || i % 3 ? "" : Pick(w.rng, pools.scripts));
    pools.statics.push_back(id);
  }
  w.Appa("apparatus_a_mortar_01", "Apprentice's Mortar and Pestle", 0, 0.5f);
  w.Appa("apparatus_a_alembic_01", "Apprentice's Alembic", 1, 0.5f);
  w.Appa("apparatus_j_calcinator_01", "Journeyman's Calcinator", 2, 1.0f);
  w.Lock("pick_apprentice_01", "Apprentice's Lockpick", 1.0f, 25);
  w.Lock("pick_journeyman_01", "Journeyman's Lockpick", 1.2f, 25);
  w.Prob("probe_apprentice_01", "Apprentice's Probe", 0.5f, 25);
  w.Prob("probe_journeyman_01", "Journeyman's Probe", 0.75f, 25);
  w.Ingr("ingred_saltrice_01", "Saltrice", {77, 81, -1, -1});
  w.Ingr("ingred_marshmerrow_01", "Marshmerrow", {75, 17, 21, -1});
  w.Ingr("ingred_kwama_cuttle_01", "Kwama Cuttle", {90, 1, 23, 26});
  w.Ingr("ingred_bread_01", "Bread", {77, -1, -1, -1});
  w.Ingr("ingred_comberry_01", "Comberry", {75, 91, 17, -1});
  w.Ingr("ingred_scamp_skin_01", "Scamp Skin", {23, 79, -1, -1});
  for (int i = 0, c = Count(scale, 89, 2); i < c; ++i) {
    w.Ingr(FormatText("ingred_%s_%02d", Syllables(static_cast<uint32_t>(i), 2).c_str(), i),
           "Ingredient", {static_cast<int32_t>(w.rng.Below(137)), -1, -1, -1});
  }
  w.Book("bk_BriefHistoryEmpire1", "A Brief History of the Empire v 1", false, 10,
         Sentence(w.rng, 400));
  w.Book("bk_ArkayTheEnemy", "Arkay the Enemy", false, -1, Sentence(w.rng, 300));
  w.Book("sc_paper plain", "Paper", true, -1, "");
  w.Book("sc_firstbarrier", "Scroll of the First Barrier", true, -1, Sentence(w.rng, 20),
         "fireball_en");
  for (int i = 0, c = Count(scale, 566, 2); i < c; ++i) {
    std::string id = FormatText("bk_%s_%03d", Syllables(static_cast<uint32_t>(i), 2).c_str(), i);
    w.Book(id, "Book", false, i % 9 == 0 ? i % 27 : -1, Sentence(w.rng, w.rng.Between(50, 800)));
    pools.items.push_back(id);
  }
  w.Alch("p_restore_health_s", "Standard Restore Health", 1.0f, 35, {Fx(75, 0, 10, 10, 1)});
  w.Alch("potion_cyro_whiskey_01", "Cyrodiilic Brandy", 1.0f, 40,
         {Fx(79, 0, 10, 10, 60), Fx(17, 0, 5, 5, 60)});
  w.Alch("p_fortify_strength_c", "Cheap Fortify Strength", 1.0f, 10, {Fx(79, 0, 5, 5, 15)});
  for (int i = 0, c = Count(scale, 257, 2); i < c; ++i) {
    w.Alch(FormatText("p_sample_%s_%03d", kThings[i % 16].c_str(), i), "Potion", 1.0f,
           w.rng.Between(5, 200), {Fx(static_cast<int16_t>(w.rng.Below(137)), 0, 5, 20, 30)});
  }

  w.Leveled(false, "random_weapon_melee_basic", 0, 0,
            {{"iron dagger", 1},
             {"iron club", 1},
             {"iron_spear", 3},
             {"chitin war axe", 5},
             {"steel longsword", 8}});
  w.Leveled(
      false, "random_ingredient", 1, 25,
      {{"ingred_saltrice_01", 1}, {"ingred_marshmerrow_01", 1}, {"ingred_kwama_cuttle_01", 3}});
  w.Leveled(false, "random_loot_misc", 3, 50, {{"misc_com_bottle_01", 1}, {"Gold_001", 1}});
  for (int i = 0, c = Count(scale, 227, 2); i < c; ++i) {
    std::vector<LeveledEntry> entries;
    for (int k = 0, m = w.rng.Between(1, 8); k < m; ++k) {
      entries.push_back({Pick(w.rng, pools.items), static_cast<uint16_t>(w.rng.Between(1, 20))});
    }
    w.Leveled(false, FormatText("l_sample_%s_%03d", kThings[i % 16].c_str(), i), w.rng.Below(4),
              static_cast<uint8_t>(w.rng.Chance(30) ? w.rng.Between(5, 75) : 0), entries);
  }
  w.Leveled(true, "ex_bittercoast_sleep", 1, 0,
            {{"mudcrab", 1}, {"rat", 1}, {"cliff racer", 3}, {"kagouti", 6}});
  w.Leveled(true, "in_cave_creatures", 0, 10, {{"rat", 1}, {"nix-hound", 2}});
  for (int i = 0, c = Count(scale, 108, 2); i < c; ++i) {
    std::vector<LeveledEntry> entries;
    for (int k = 0, m = w.rng.Between(1, 6); k < m; ++k) {
      entries.push_back(
          {Pick(w.rng, pools.creatures), static_cast<uint16_t>(w.rng.Between(1, 20))});
    }
    w.Leveled(true, FormatText("ex_sample_%s_lev+%d", kStyles[i % 10].c_str(), i), 1, 0, entries);
  }

  // Cells: the named ones the scenarios use, then the bulk.
  std::vector<CellRef> census = FillRefs(w, pools, 12, -512, -512, 1024);
  census[0].id = "chest_small_01";
  census[1].id = "fargoth";
  w.CellInterior("Seyda Neen, Census and Excise Office", 0.0f, 0x00303848, census);
  w.CellInterior("Balmora, Caius Cosades' House", -200.0f, 0x00202428,
                 FillRefs(w, pools, 10, -256, -256, 512));
  std::vector<CellRef> arrilleRefs = FillRefs(w, pools, 14, -700, -300, 1200);
  arrilleRefs[0].id = "arrille";
  arrilleRefs[1].id = "barrel_01_food";
  w.CellInterior("Arrille's Tradehouse", -100.0f, 0x00383028, arrilleRefs);
  w.CellInterior("Balmora, Eight Plates", -150.0f, 0x00282020,
                 FillRefs(w, pools, 8, -300, -300, 600));
  std::vector<std::pair<int, int>> exteriors = {{-2, -9}, {-3, -9}, {2, -3}, {0, -7}, {-3, -2}};
  w.CellExterior(-2, -9, "Seyda Neen", "Bitter Coast Region",
                 FillRefs(w, pools, 30, -16384, -73728, 8192));
  w.CellExterior(-3, -9, "", "Bitter Coast Region", FillRefs(w, pools, 20, -24576, -73728, 8192));
  w.CellExterior(2, -3, "Fields of Kummu", "Ascadian Isles Region",
                 FillRefs(w, pools, 25, 16384, -24576, 8192));
  w.CellExterior(0, -7, "Pelagiad", "Ascadian Isles Region",
                 FillRefs(w, pools, 25, 0, -57344, 8192));
  w.CellExterior(-3, -2, "Balmora", "West Gash Region",
                 FillRefs(w, pools, 40, -24576, -16384, 8192));
  std::set<std::pair<int, int>> taken(exteriors.begin(), exteriors.end());
  std::vector<std::pair<int, int>> grid;
  ExteriorGrid(w, pools, Count(scale, 1300, 4), -15, -15, 160, taken, regions, grid);
  exteriors.insert(exteriors.end(), grid.begin(), grid.end());
  Strings interiors;
  for (int i = 0, c = Count(scale, 1240, 4); i < c; ++i) {
    std::string name =
        FormatText("%s, %s", kTowns[i % 20].c_str(), kBuildings[(i / 20) % 20].c_str());
    if (i >= 400) name += FormatText(" %d", i / 400 + 1);
    w.CellInterior(name, w.rng.Real(-400, 0), static_cast<uint32_t>(w.rng.Next() & 0x3F3F3F),
                   FillRefs(w, pools, w.rng.Between(55, 300), -2048, -2048, 4096));
    interiors.push_back(name);
  }

  for (const auto& [x, y] : exteriors) w.Land(x, y, (x * 31 + y * 17) % 5 != 0);

  w.Pgrd(0, 0, "Seyda Neen, Census and Excise Office", 6);
  w.Pgrd(0, 0, "Arrille's Tradehouse", 5);
  for (int i = 0, c = Count(scale, 998, 1); i < c; ++i) {
    if (i % 2 == 0 && static_cast<size_t>(i / 2) < interiors.size()) {
      w.Pgrd(0, 0, interiors[static_cast<size_t>(i / 2)], w.rng.Between(4, 40));
    } else if (static_cast<size_t>(i / 2) < exteriors.size()) {
      auto [x, y] = exteriors[static_cast<size_t>(i / 2)];
      w.Pgrd(x, y, "", w.rng.Between(4, 40));
    }
  }

  w.Sndg("mudcrab0000", 0, "mudcrab", "mudcrab moan");
  w.Sndg("mudcrab0001", 1, "mudcrab", "mudcrab roar");
  w.Sndg("rat0000", 0, "rat", "rat moan");
  w.Sndg("scamp0000", 0, "scamp", "scamp moan");
  for (int i = 0, c = Count(scale, 326, 2); i < c && !pools.creatures.empty(); ++i) {
    const std::string& creature = pools.creatures[static_cast<size_t>(i) % pools.creatures.size()];
    w.Sndg(FormatText("%s%04d", creature.c_str(), i + 100), i % 8, creature, Pick(w.rng, sounds));
  }

  // Dialogue: the topics the scenarios change first.
  {
    std::vector<InfoSpec> advice;
    for (int i = 0; i < 5; ++i) {
      InfoSpec r = Response(info_ids::kLittleAdvice[i],
                            FormatText("Advice %d: %s", i + 1, Sentence(w.rng, 14).c_str()));
      r.disposition = 10 * i;
      advice.push_back(r);
    }
    advice[0].conditions = {Cond("02sX0PCRace", 2), Cond("14JX3A1_1_FindSpymaster", 10)};
    advice[2].faction = "Hlaalu";
    advice[2].rank = 2;
    advice[4].conditions = {CondF("02fX4GameHour", 20.0f)};
    Topic(w, "little advice", 0, advice);

    std::vector<InfoSpec> rumors;
    for (int i = 0; i < 3; ++i) {
      rumors.push_back(Response(info_ids::kLatestRumors[i],
                                FormatText("Rumor %d: %s", i + 1, Sentence(w.rng, 16).c_str())));
    }
    rumors[1].cell = "Fields of Kummu";
    rumors[2].actor = "fargoth";
    Topic(w, "latest rumors", 0, rumors);

    std::vector<InfoSpec> trade = {
        Response(info_ids::kMyTrade[0], "I sell what I have."),
        Response(info_ids::kMyTrade[1], "Come back when you have gold.")};
    trade[1].cls = "Trader";
    Topic(w, "my trade", 0, trade);
    Topic(w, "someone in particular", 0,
          {Response("3301882211192629201", "Who are you looking for?")});
    Topic(w, "specific place", 0, {Response("3458170192158732401", "Where do you want to go?")});
    Topic(w, "background", 0, {Response("3692112513289124001", "I was born here.")});
    std::vector<InfoSpec> quest;
    for (int i = 0; i < 3; ++i) {
      InfoSpec r = Response(info_ids::kSpymaster[i], FormatText("Journal %d: %s", (i + 1) * 10,
                                                                Sentence(w.rng, 18).c_str()));
      r.disposition = (i + 1) * 10;
      quest.push_back(r);
    }
    quest[0].questName = true;
    quest[0].text = "Report to Caius Cosades";
    quest[2].questFinished = true;
    Topic(w, "A1_1_FindSpymaster", 4, quest);
    std::vector<InfoSpec> greetings = {Response("3911729128318322401", "What do you want?"),
                                       Response("3911729128318322402", "Welcome, outlander.")};
    greetings[0].conditions = {Cond("07XX1fargoth", 0)};
    greetings[1].conditions = {Cond("05IX2Gold_001", 100)};
    Topic(w, "Greeting 5", 2, greetings);
  }
  BulkDialogue(w, "", Count(scale, 2290, 3), 11, 1711, kTowns);

  w.Sscr("5765412230311427631", "Main");
  w.Sscr("5765412230311427632", "CharGenDoorExit");
  w.Sscr("5765412230311427633", "LegionUniform");
  w.b.Finish();
}

void WriteTribunal(GameWriter& w, const GameWriter& mw, double scale) {
  Pools pools;
  w.b.BeginFile(true, "Modrake sample game", "The main data file for Tribunal.",
                {{"Morrowind.esm", mw.b.Size()}});
  w.GmstS("sTeleportDisabled", "Teleportation magic does not work here.");
  w.GmstS("sLevitateDisabled", "Levitation magic does not work here.");
  w.GmstS("sMaxSale", "Max Sale");
  w.GmstS("sDeleteNote", "Delete Note?");
  w.GmstS("sEditNote", "Edit Note");
  w.GmstS("sProfitValue", "Profit Value");
  w.GmstS("sCompanionShare", "Companion Share");
  w.GmstS("sCompanionWarningMessage",
          "Your mercenary is poorer now than when he contracted with you.  Your mercenary will "
          "quit if you do not give him gold or goods to bring his Profit Value to a positive "
          "value.");
  w.GmstS("sCompanionWarningButtonOne", "Let the mercenary quit.");
  w.GmstS("sCompanionWarningButtonTwo", "Return to Companion Share display.");
  w.GmstF("fMinWalkSpeed", 90.0f);  // put back by the next expansion
  w.Glob("TR_MournholdState", 's', 0.0f);
  w.Fact("Royal Guard", "Royal Guard", {"Guard", "Captain", "Knight"},
         {{"Royal Guard", 3}, {"Hlaalu", 1}});
  w.Scpt(
      "tr_dbAttackScript", 2, 0, 1,
      "Begin tr_dbAttackScript\r\n\r\nshort state0\r\nshort state1\r\nfloat timer0\r\n\r\nEnd\r\n");
  BulkScripts(w, pools, "mh_", Count(scale, 60, 1));
  w.Stat("in_mh_palace_wall_01");
  pools.statics.push_back("in_mh_palace_wall_01");
  BulkObjects(w, pools, "mh_", scale, 0.06);
  // A changed Morrowind item, one repeated unchanged, one changed and later put back.
  w.Misc("misc_com_bucket_01", "Bucket", 3.0f, 2);
  w.Repeat(mw, "MISC", "misc_com_wood_cup_01");
  w.Misc("mh_misc_goblet", "Mournhold Goblet", 1.0f, 40);
  pools.items.push_back("mh_misc_goblet");
  w.Weap("silver longsword", "Silver Longsword", 1, 19.0f, 250, 800, 13);
  BulkItems(w, pools, "mh_", scale, 0.05);
  w.Spel("mh_summon_goblin", "Summon Goblin", 0, 30, {Fx(134, 0, 1, 1, 60)});
  w.Crea("goblin_grunt", "Goblin", 0, 8, {}, {}, 90, true);
  pools.creatures.push_back("goblin_grunt");
  BulkCreatures(w, pools, "mh_", Count(scale, 30, 1));
  BulkNpcs(w, pools, "mh_", Count(scale, 400, 2), {"Dark Elf", "Imperial"}, {"Guard", "Trader"});
  w.Leveled(false, "random_weapon_melee_basic", 0, 0,
            {{"iron dagger", 1},
             {"iron club", 1},
             {"iron_spear", 3},
             {"chitin war axe", 5},
             {"steel longsword", 8},
             {"silver longsword", 12}});
  for (int i = 0, c = Count(scale, 200, 2); i < c; ++i) {
    w.CellInterior(FormatText("Mournhold, %s", kBuildings[static_cast<size_t>(i) % 20].c_str()) +
                       (i >= 20 ? FormatText(" %d", i) : ""),
                   -300.0f, 0x00404040,
                   FillRefs(w, pools, w.rng.Between(100, 250), -2048, -2048, 4096));
  }
  // The expansion adds one note to a Morrowind town.
  std::vector<CellRef> seyda = {w.RandomRef("mh_misc_goblet", 512, -16000, -73000)};
  w.CellExterior(-2, -9, "Seyda Neen", "Bitter Coast Region", seyda);
  {
    // Replaces one Morrowind rumor and adds one of its own after it.
    InfoSpec changed = Response(info_ids::kLatestRumors[0],
                                "Rumor 1: they say the Dark Brotherhood walks the roads.");
    changed.prev = "";
    changed.next = info_ids::kTribunalRumor;
    InfoSpec added = Response(info_ids::kTribunalRumor, "Have you heard of Mournhold?");
    added.prev = info_ids::kLatestRumors[0];
    added.next = info_ids::kLatestRumors[1];
    w.Dial("latest rumors", 0);
    w.Info(changed);
    w.Info(added);
    Topic(w, "TR_DBAttack", 4, {Response("5261921632271218901", "I was attacked while sleeping.")});
  }
  BulkDialogue(w, "mh_", Count(scale, 400, 2), 12, 5261, {"Mournhold", "Almalexia", "Helseth"});
  w.Sscr("5261921632271219001", "tr_dbAttackScript");
  w.b.Finish();
}

void WriteBloodmoon(GameWriter& w, const GameWriter& mw, const GameWriter& tr, double scale) {
  Pools pools;
  w.b.BeginFile(true, "Modrake sample game", "The main data file for Bloodmoon.",
                {{"Morrowind.esm", mw.b.Size()}, {"Tribunal.esm", tr.b.Size()}});
  w.GmstS("sWerewolfRefusal", "You cannot do this as a werewolf.");
  w.GmstS("sWerewolfPopup", "Werewolf");
  w.GmstS("sWerewolfRestMessage", "You cannot rest in werewolf form.");
  w.GmstS("sWerewolfAlarmMessage", "You have been detected changing from a werewolf state.");
  w.GmstF("fWereWolfRunMult", 1.5f);
  w.GmstF("fWereWolfSilverWeaponDamageMult", 1.5f);
  w.GmstI("iWereWolfBounty", 10000);
  for (const char* id : {"fWereWolfStrength", "fWereWolfAgility", "fWereWolfEndurance",
                         "fWereWolfSpeed", "fWereWolfAthletics", "fWereWolfAcrobatics"}) {
    w.GmstF(id, 150.0f);
  }
  w.GmstF("fWereWolfHandtoHand", 100.0f);
  w.GmstF("fWereWolfUnarmored", 100.0f);
  w.GmstI("iWereWolfLevelToAttack", 20);
  w.GmstI("iWereWolfFightMod", 100);
  w.GmstI("iWereWolfFleeMod", 100);
  w.GmstF("fWereWolfHealth", 2.0f);
  w.GmstF("fWereWolfFatigue", 400.0f);
  w.GmstF("fWereWolfMagicka", 100.0f);
  for (const char* id : {"fWereWolfIntellegence", "fWereWolfWillPower",   "fWereWolfPersonality",
                         "fWereWolfLuck",         "fWereWolfBlock",       "fWereWolfArmorer",
                         "fWereWolfMediumArmor",  "fWereWolfHeavyArmor",  "fWereWolfBluntWeapon",
                         "fWereWolfLongBlade",    "fWereWolfAxe",         "fWereWolfSpear",
                         "fWereWolfDestruction",  "fWereWolfAlteration",  "fWereWolfIllusion",
                         "fWereWolfConjuration",  "fWereWolfMysticism",   "fWereWolfRestoration",
                         "fWereWolfEnchant",      "fWereWolfAlchemy",     "fWereWolfSecurity",
                         "fWereWolfSneak",        "fWereWolfLightArmor",  "fWereWolfShortBlade",
                         "fWereWolfMarksman",     "fWereWolfMerchantile", "fWereWolfSpeechcraft"}) {
    w.GmstF(id, 1.0f);
  }
  w.GmstF("fCombatDistanceWerewolfMod", 0.3f);
  w.GmstF("fFleeDistance", 3000.0f);
  for (const char* id :
       {"sEffectSummonFabricant", "sEffectSummonCreature01", "sEffectSummonCreature02",
        "sEffectSummonCreature03", "sEffectSummonCreature04", "sEffectSummonCreature05"}) {
    w.GmstS(id, id);
  }
  w.GmstS("sMagicFabricantID", "Fabricant");
  for (const char* id : {"sMagicCreature01ID", "sMagicCreature02ID", "sMagicCreature03ID",
                         "sMagicCreature04ID", "sMagicCreature05ID"}) {
    w.GmstS(id, id);
  }
  w.Repeat(mw, "GMST", "fMinWalkSpeed");  // puts back the Morrowind value
  w.GmstI("iMaxActivateDist", 220);
  w.Glob("PCWerewolf", 's', 0.0f);
  w.Fact("East Empire Company", "East Empire Company", {"Clerk", "Factor", "Agent"},
         {{"East Empire Company", 3}});
  BulkScripts(w, pools, "BM_", Count(scale, 100, 1));
  // Every region gains the snow weather of the expansion.
  WriteRegions(w, true);
  w.Regn("Moesring Mountains Region", "Moesring Mountains", true, 0x00E0E0F0, "", {"Ashstorm"});
  w.Regn("Felsaad Coast Region", "Felsaad Coast", true, 0x00C0D0F0, "", {});
  w.Ltex("Snow", 120);
  w.Ltex("Ice", 121);
  BulkObjects(w, pools, "BM_", scale, 0.08);
  w.Repeat(mw, "MISC", "misc_com_bucket_01");
  w.Misc("BM_misc_bear_pelt", "Bear Pelt", 6.0f, 50);
  pools.items.push_back("BM_misc_bear_pelt");
  BulkItems(w, pools, "BM_", scale, 0.08);
  w.Crea("BM_bear_black", "Black Bear", 0, 10, {}, {}, 90, true);
  w.Crea("BM_wolf_grey", "Grey Wolf", 0, 6, {}, {}, 90, true);
  pools.creatures.insert(pools.creatures.end(), {"BM_bear_black", "BM_wolf_grey"});
  BulkCreatures(w, pools, "BM_", Count(scale, 50, 1));
  BulkNpcs(w, pools, "BM_", Count(scale, 300, 2), {"Nord", "Imperial", "Dark Elf"},
           {"Warrior", "Trader"});
  w.Leveled(true, "ex_bittercoast_sleep", 1, 0,
            {{"mudcrab", 1}, {"rat", 1}, {"cliff racer", 3}, {"kagouti", 6}, {"BM_wolf_grey", 8}});
  w.Leveled(true, "BM_ex_felsaad_lev+0", 1, 0, {{"BM_wolf_grey", 1}, {"BM_bear_black", 5}});
  for (int i = 0, c = Count(scale, 25, 2); i < c; ++i) {
    w.CellInterior(FormatText("Raven Rock, %s", kBuildings[static_cast<size_t>(i) % 20].c_str()) +
                       (i >= 20 ? FormatText(" %d", i) : ""),
                   -200.0f, 0x00506070,
                   FillRefs(w, pools, w.rng.Between(60, 160), -2048, -2048, 4096));
  }
  // A Morrowind reference moved into a neighbouring cell.
  CellRef moved = w.RandomRef("flora_bc_tree_01", 1024, -24576, -73728);
  auto seyda = mw.Copy("CELL", "-2,-9");
  if (const Subrecord* frmr = seyda->FindSubrecord(MakeTag("FRMR"))) {
    moved.refNum = 0x01000000u | frmr->UInt32At(0);
    auto it = seyda->IteratorOf(frmr);
    if (++it != seyda->Fields().end() && it->tag == tags::NAME) moved.id = std::string(it->Text());
  }
  moved.moved = true;
  moved.movedGrid[0] = -3;
  moved.movedGrid[1] = -9;
  w.CellExterior(-3, -9, "", "Bitter Coast Region", {moved});
  std::vector<std::pair<int, int>> grid;
  ExteriorGrid(w, pools, Count(scale, 190, 3), -28, 17, 120, {},
               {"Moesring Mountains Region", "Felsaad Coast Region"}, grid);
  for (const auto& [x, y] : grid) w.Land(x, y, true);
  for (size_t i = 0; i < grid.size(); i += 3)
    w.Pgrd(grid[i].first, grid[i].second, "", w.rng.Between(4, 30));
  w.Sndg("BM_bear_black0000", 0, "BM_bear_black", "rat moan");
  Topic(w, "BM_WereWolf", 4, {Response("6123918221113311201", "I have been bitten.")});
  BulkDialogue(w, "BM_", Count(scale, 330, 2), 12, 6123,
               {"Solstheim", "Raven Rock", "Skaal", "Thirsk"});
  w.Sscr("6123918221113319001", "BM_bearScript");
  w.b.Finish();
}

}  // namespace

SampleMasters BuildMasters(double scale) {
  SampleMasters m;
  m.morrowind = std::make_unique<GameWriter>(SeedFrom("Morrowind.esm"),
                                             static_cast<size_t>(85e6 * scale) + (1 << 20));
  WriteMorrowind(*m.morrowind, scale);
  m.tribunal = std::make_unique<GameWriter>(SeedFrom("Tribunal.esm"),
                                            static_cast<size_t>(5e6 * scale) + (1 << 18));
  WriteTribunal(*m.tribunal, *m.morrowind, scale);
  m.bloodmoon = std::make_unique<GameWriter>(SeedFrom("Bloodmoon.esm"),
                                             static_cast<size_t>(10e6 * scale) + (1 << 18));
  WriteBloodmoon(*m.bloodmoon, *m.morrowind, *m.tribunal, scale);
  return m;
}

}  // namespace modrake::samplegame
