#include "clean/game_setting_table.hpp"

namespace modrake {

void GameSettingTable::AddGameSetting(std::string_view name, int32_t value) {
  rows_.push_back({std::string(name), value, 0.0f, {}});
}

void GameSettingTable::AddGameSetting(std::string_view name, float value) {
  rows_.push_back({std::string(name), 0, value, {}});
}

void GameSettingTable::AddGameSetting(std::string_view name, std::string_view text) {
  rows_.push_back({std::string(name), 0, 0.0f, std::string(text)});
}

GameSettingTable GameSettingTable::Standard() {
  GameSettingTable t;
  using sv = std::string_view;
  t.AddGameSetting("sTeleportDisabled", sv("Teleportation magic does not work here."));
  t.AddGameSetting("sLevitateDisabled", sv("Levitation magic does not work here."));
  t.AddGameSetting("sWerewolfRefusal", sv("You cannot do this as a werewolf."));
  t.AddGameSetting("sWerewolfPopup", sv("Werewolf"));
  t.AddGameSetting("sWerewolfRestMessage", sv("You cannot rest in werewolf form."));
  t.AddGameSetting("sWerewolfAlarmMessage",
                   sv("You have been detected changing from a werewolf state."));
  t.AddGameSetting("sMaxSale", sv("Max Sale"));
  t.AddGameSetting("sDeleteNote", sv("Delete Note?"));
  t.AddGameSetting("sEditNote", sv("Edit Note"));
  t.AddGameSetting("sProfitValue", sv("Profit Value"));
  t.AddGameSetting("sCompanionShare", sv("Companion Share"));
  t.AddGameSetting("sCompanionWarningMessage",
                   sv("Your mercenary is poorer now than when he contracted with you.  Your "
                      "mercenary will quit if you do not give him gold or goods to bring his "
                      "Profit Value to a positive value."));
  t.AddGameSetting("sCompanionWarningButtonOne", sv("Let the mercenary quit."));
  t.AddGameSetting("sCompanionWarningButtonTwo", sv("Return to Companion Share display."));
  t.AddGameSetting("fWereWolfRunMult", 1.5f);
  t.AddGameSetting("fWereWolfSilverWeaponDamageMult", 1.5f);
  t.AddGameSetting("iWereWolfBounty", int32_t{10000});
  t.AddGameSetting("fWereWolfStrength", 150.0f);
  t.AddGameSetting("fWereWolfAgility", 150.0f);
  t.AddGameSetting("fWereWolfEndurance", 150.0f);
  t.AddGameSetting("fWereWolfSpeed", 150.0f);
  t.AddGameSetting("fWereWolfHandtoHand", 100.0f);
  t.AddGameSetting("fWereWolfUnarmored", 100.0f);
  t.AddGameSetting("iWereWolfLevelToAttack", int32_t{20});
  t.AddGameSetting("iWereWolfFightMod", int32_t{100});
  t.AddGameSetting("iWereWolfFleeMod", int32_t{100});
  t.AddGameSetting("fWereWolfAthletics", 150.0f);
  t.AddGameSetting("fWereWolfAcrobatics", 150.0f);
  t.AddGameSetting("fWereWolfHealth", 2.0f);
  t.AddGameSetting("fWereWolfFatigue", 400.0f);
  t.AddGameSetting("fWereWolfMagicka", 100.0f);
  for (const char* name :
       {"fWereWolfIntellegence", "fWereWolfWillPower",   "fWereWolfPersonality",
        "fWereWolfLuck",         "fWereWolfBlock",       "fWereWolfArmorer",
        "fWereWolfMediumArmor",  "fWereWolfHeavyArmor",  "fWereWolfBluntWeapon",
        "fWereWolfLongBlade",    "fWereWolfAxe",         "fWereWolfSpear",
        "fWereWolfDestruction",  "fWereWolfAlteration",  "fWereWolfIllusion",
        "fWereWolfConjuration",  "fWereWolfMysticism",   "fWereWolfRestoration",
        "fWereWolfEnchant",      "fWereWolfAlchemy",     "fWereWolfSecurity",
        "fWereWolfSneak",        "fWereWolfLightArmor",  "fWereWolfShortBlade",
        "fWereWolfMarksman",     "fWereWolfMerchantile", "fWereWolfSpeechcraft"}) {
    t.AddGameSetting(name, 1.0f);
  }
  t.AddGameSetting("fCombatDistanceWerewolfMod", 0.3f);
  t.AddGameSetting("fFleeDistance", 3000.0f);
  // These settings hold their own names when a plugin carries them by accident.
  for (const char* name :
       {"sEffectSummonFabricant", "sEffectSummonCreature01", "sEffectSummonCreature02",
        "sEffectSummonCreature03", "sEffectSummonCreature04", "sEffectSummonCreature05"}) {
    t.AddGameSetting(name, sv(name));
  }
  t.AddGameSetting("sMagicFabricantID", sv("Fabricant"));
  for (const char* name : {"sMagicCreature01ID", "sMagicCreature02ID", "sMagicCreature03ID",
                           "sMagicCreature04ID", "sMagicCreature05ID"}) {
    t.AddGameSetting(name, sv(name));
  }
  return t;
}

}  // namespace modrake
