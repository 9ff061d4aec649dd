#pragma once

// The sample game: a complete, deterministic game installation for the demo,
// the tests and the benchmarks. WriteSampleGame(DIR, options) writes
//
//   DIR/Morrowind.ini            CRLF, several sections; [Game Files] lists the
//                                active files (not in load order, as players'
//                                files rarely are)
//   DIR/.modrake-sample-game     marks the folder as written by this writer
//   DIR/Data Files/*.esm, *.esp
//
// Load order (file times from kSampleEpoch, 2002-05-01 00:00:00 UTC; masters
// oldest, plugins five minutes apart, generated plugins two minutes apart
// after them):
//
//   Morrowind.esm, Tribunal.esm, Bloodmoon.esm   the game masters
//   Active_Extra_Master.esm   active non-game master (LEVI random_weapon_melee_basic
//                             adds "aem_blade" at level 4; MISC aem_lantern)
//   Inactive_Master.esm       non-game master, present but not in [Game Files]
//   then the scenario plugins in the order of kScenarioPlugins below, then
//   Generated_Plugin_001.esp ... (--plugins N).
//
// Key records of the masters (ids as written):
//   Morrowind.esm: GMST fJumpAcrobaticsBase 128, fFatigueRunMult 5, iMaxActivateDist 192,
//     fMinWalkSpeed 100; WEAP "iron dagger" (weight 3, value 10), "steel longsword" (weight 20),
//     "silver longsword", "iron_spear", "chitin war axe", "steel_dagger", "iron club";
//     MISC misc_com_bottle_01, misc_com_bucket_01, misc_com_wood_cup_01, misc_lw_platter,
//     misc_de_pot_redware_01, misc_skooma_vial, Gold_001; CONT barrel_01_food (3 saltrice,
//     1 bottle, 2 marshmerrow, 1 wood cup), chest_small_01; SPEL fireball (1 effect),
//     "five fingers of pain" (4 effects), shockbloom (3 effects), "hearth heal", sanctuary;
//     ARMO steel_cuirass (3 body parts), iron_helmet (type 0), netch_leather_boots (4 parts);
//     CLOT common_shirt_01; NPC_ fargoth (52-byte NPDT), "caius cosades" (12-byte NPDT,
//     spells sanctuary and "hearth heal"), arrille, "hrisskar flat-foot", "sellus gravius";
//     CREA mudcrab, rat, scamp (spells fireball, "hearth heal"); FACT "Fighters Guild"
//     (reaction "Thieves Guild" -2); LEVI random_weapon_melee_basic (iron dagger 1, iron club 1,
//     iron_spear 3, chitin war axe 5, steel longsword 8; flags 0, none chance 0),
//     random_ingredient (flags 1, none chance 25); LEVC ex_bittercoast_sleep (flags 1);
//     interior CELLs "Seyda Neen, Census and Excise Office", "Balmora, Caius Cosades' House",
//     "Arrille's Tradehouse", "Balmora, Eight Plates"; exterior CELLs (-2,-9) "Seyda Neen",
//     (-3,-9) unnamed, (2,-3) "Fields of Kummu", (0,-7) "Pelagiad", (-3,-2) "Balmora", each
//     with its LAND; DIAL "little advice" (INFO ids info_ids::kLittleAdvice),
//     "latest rumors" (kLatestRumors; the second names the cell "Fields of Kummu" in ANAM),
//     "my trade", "someone in particular", "specific place", "background",
//     journal "A1_1_FindSpymaster", greeting "Greeting 5".
//   Tribunal.esm: the Tribunal game settings of the cleaner's table; changes
//     misc_com_bucket_01 (value 2), "silver longsword" (weight 19), fMinWalkSpeed (90),
//     random_weapon_melee_basic and exterior (-2,-9); repeats misc_com_wood_cup_01 unchanged;
//     replaces the first "latest rumors" response and adds one after it.
//   Bloodmoon.esm (masters Morrowind.esm, Tribunal.esm): the Bloodmoon game settings of the
//     table at their table values; puts misc_com_bucket_01 and fMinWalkSpeed back to the
//     Morrowind state; iMaxActivateDist 220; every region with 10-byte WEAT; moves a
//     Morrowind reference of (-2,-9) into (-3,-9) (MVRF); Solstheim cells with LAND.
//
// What cleaning each plugin against the three masters gives (default options):
//   Evil_GMSTs.esp: removes fWereWolfRunMult, iWereWolfBounty, sMaxSale,
//     fCombatDistanceWerewolfMod, sMagicCreature03ID, sMagicFabricantID, sWerewolfPopup,
//     fJumpAcrobaticsBase, iMaxActivateDist; keeps fWereWolfSpeed, sCompanionShare,
//     iWereWolfLevelToAttack, fMinWalkSpeed, fFatigueRunMult.
//   Identical_To_Masters.esp: keeps only the deleted misc_skooma_vial and steel_dagger.
//   AI_Data_And_Spell_Padding.esp: removes all four (fargoth and rat only differ in AIDT
//     bytes 1 and 5 to 7, so with StrictAIDT they stay).
//   Junk_Cells.esp: left with its header.
//   Cell_Water_And_Light.esp: census office keeps WHGT (AMBI removed), Caius Cosades'
//     house keeps AMBI (WHGT removed).
//   Moved_References.esp: Arrille's Tradehouse loses WHGT, AMBI and its 1st and 3rd
//     references (plugin FRMR 0x01000000 | master index); the 2nd and 4th are moved
//     (DATA x + 64) and a new reference (FRMR 1) is added, so they stay with NAM0 3; (0,-7)
//     stays for its LAND, the census office for its PGRD, (-3,-9) for its MVRF.
//   Duplicate_Records.esp: the last misc_com_wood_cup_01, dup_sample_token and
//     "chitin war axe" stay.
//   Empty_Topics.esp: removes INFO info_ids::kMyTrade[0] (differs only in NNAM) and the
//     topics background, "my trade", "sample forgotten topic"; keeps the journal
//     A1_1_FindSpymaster and the deleted "someone in particular".
//   Already_Clean.esp: nothing.
//
// --scale S multiplies the bulk of the masters; 1 gives about the real game's sizes, the
// default kDefaultScale a few hundred KB. The records above exist at every scale.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace modrake::samplegame {

inline constexpr int64_t kSampleEpoch = 1020211200;  // 2002-05-01 00:00:00 UTC
inline constexpr double kDefaultScale = 0.003;
inline constexpr const char* kMarkerName = ".modrake-sample-game";

struct ScenarioPlugin {
  const char* name;
  const char* exercises;
};

// In load order.
inline constexpr ScenarioPlugin kScenarioPlugins[] = {
    {"Evil_GMSTs.esp",
     "GMSTs at the cleaner's table values (removed) and away from them (kept), one equal to a "
     "Morrowind value and one to a Bloodmoon value (removed), fMinWalkSpeed at the Tribunal "
     "value that Bloodmoon undid (kept)"},
    {"Identical_To_Masters.esp",
     "records byte-identical to a version of Morrowind.esm, Tribunal.esm and Bloodmoon.esm "
     "(removed), a deleted record and a real change (kept)"},
    {"AI_Data_And_Spell_Padding.esp",
     "NPC_/CREA equal to the master but for the unused AIDT bytes (removed unless StrictAIDT) "
     "or for unpadded NPCS spell ids (removed)"},
    {"Junk_Cells.esp",
     "unchanged exterior and interior cells and new empty cells: cleaned down to the header"},
    {"Cell_Water_And_Light.esp",
     "cells whose only change is the water height (WHGT kept) or the ambient light (AMBI kept)"},
    {"Moved_References.esp",
     "untouched copies of master references (removed, NAM0 recounted), moved references and a "
     "new one (kept), an MVRF move, empty cells kept for a related LAND or PGRD"},
    {"Duplicate_Records.esp", "the same object two and three times: only the last copy stays"},
    {"Empty_Topics.esp",
     "topics left without responses (removed), a journal topic and a deleted topic (kept), an "
     "INFO that differs from the master only in NNAM"},
    {"Already_Clean.esp", "new records and real changes only: nothing to clean"},
    {"Leveled_Lists_Add.esp",
     "leveled lists: added and repeated entries, PC Level flag, a none chance of 40, a list "
     "named in other letter case, a list of its own, a LEVI and a LEVC with one id"},
    {"Leveled_Lists_Change.esp",
     "leveled lists: an entry three times, a removed entry, an entry at another level, the "
     "each-item flag, a none chance of 25, a version identical to the previous plugin's, the "
     "other-case list in lower case"},
    {"Leveled_Lists_Delete.esp",
     "a deleted leveled list version (ignored by the merge) and a none chance of 40"},
    {"Objects_Merge_A.esp",
     "object merge, first plugin: weights, a container's items added, removed and recounted, "
     "spell effects, body parts, an armour type change, NPC_ and CREA data, faction reaction"},
    {"Objects_Merge_B.esp",
     "object merge, second plugin: other fields of the same objects and the same fields "
     "differently (loss), 9 effects and 8 body parts (refused), a deleted object, a version "
     "identical to the first plugin's"},
    {"Dialog_Merge_A.esp",
     "dialogue: a response inserted after a master response, a master response's text changed, "
     "a topic that only this plugin changes"},
    {"Dialog_Merge_B.esp",
     "dialogue: a second response inserted at the same place, the same master response's "
     "disposition changed, conditions updated and added, a response naming the renamed cell"},
    {"Dialog_Delete_Topic.esp", "a deleted dialogue topic"},
    {"Cell_Rename_First.esp",
     "renames exterior cell (2,-3) from \"Fields of Kummu\" to \"Kummu Fields\""},
    {"Cell_Rename_Second.esp",
     "renames (2,-3) again to \"Kummu Shrine Fields\" and gives \"Pelagiad\" (0,-7) an empty name"},
    {"Extra_Master_Addon.esp", "depends on the active non-game master Active_Extra_Master.esm"},
    {"Needs_Inactive_Master.esp",
     "depends on Inactive_Master.esm, present in Data Files but not active"},
    {"Needs_Missing_Master.esp", "depends on Missing_Master.esm, which does not exist"},
    {"MixedCase_Plugin.ESP",
     "a file name in mixed letter case, listed as mixedcase_plugin.esp in Morrowind.ini, with "
     "its master named morrowind.esm"},
    {"Inactive_Plugin.esp", "a plugin that is not active"},
};

struct SampleGameOptions {
  int plugins = 0;
  double scale = kDefaultScale;
};

// What was written, for the caller to report.
struct SampleGameResult {
  std::vector<std::filesystem::path> files;  // in load order, Morrowind.ini last
  uint64_t bytes = 0;
};

// Writes the sample game into folder. Refuses (FatalError) a folder that holds
// a game installation it did not write; a folder it wrote is written anew, and
// plugin files it no longer writes are removed from it.
SampleGameResult WriteSampleGame(const std::filesystem::path& folder,
                                 const SampleGameOptions& options);

}  // namespace modrake::samplegame
