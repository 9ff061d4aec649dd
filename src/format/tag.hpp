#pragma once

#include <cstdint>
#include <string>

namespace modrake {

// A record or field type: its four characters read as a little-endian word,
// so tags compare as whole values.
using Tag = uint32_t;

constexpr Tag MakeTag(const char (&text)[5]) {
  return static_cast<Tag>(static_cast<unsigned char>(text[0])) |
         static_cast<Tag>(static_cast<unsigned char>(text[1])) << 8 |
         static_cast<Tag>(static_cast<unsigned char>(text[2])) << 16 |
         static_cast<Tag>(static_cast<unsigned char>(text[3])) << 24;
}

// The four characters of a tag, for messages.
std::string TagText(Tag tag);

namespace tags {
constexpr Tag TES3 = MakeTag("TES3");
constexpr Tag HEDR = MakeTag("HEDR");
constexpr Tag MAST = MakeTag("MAST");
constexpr Tag DATA = MakeTag("DATA");
constexpr Tag NAME = MakeTag("NAME");
constexpr Tag DELE = MakeTag("DELE");
constexpr Tag CELL = MakeTag("CELL");
constexpr Tag RGNN = MakeTag("RGNN");
constexpr Tag PGRD = MakeTag("PGRD");
constexpr Tag LAND = MakeTag("LAND");
constexpr Tag INTV = MakeTag("INTV");
constexpr Tag MGEF = MakeTag("MGEF");
constexpr Tag SKIL = MakeTag("SKIL");
constexpr Tag INDX = MakeTag("INDX");
constexpr Tag INFO = MakeTag("INFO");
constexpr Tag INAM = MakeTag("INAM");
constexpr Tag SSCR = MakeTag("SSCR");
constexpr Tag SCPT = MakeTag("SCPT");
constexpr Tag SCHD = MakeTag("SCHD");
constexpr Tag BODY = MakeTag("BODY");
constexpr Tag NPC_ = MakeTag("NPC_");
constexpr Tag LEVI = MakeTag("LEVI");
constexpr Tag LEVC = MakeTag("LEVC");
constexpr Tag MODL = MakeTag("MODL");
constexpr Tag FNAM = MakeTag("FNAM");
constexpr Tag BYDT = MakeTag("BYDT");
constexpr Tag RNAM = MakeTag("RNAM");
constexpr Tag CNAM = MakeTag("CNAM");
constexpr Tag ANAM = MakeTag("ANAM");
constexpr Tag BNAM = MakeTag("BNAM");
constexpr Tag KNAM = MakeTag("KNAM");
constexpr Tag SCRI = MakeTag("SCRI");
constexpr Tag FLAG = MakeTag("FLAG");
constexpr Tag NPCO = MakeTag("NPCO");
constexpr Tag NNAM = MakeTag("NNAM");
constexpr Tag PNAM = MakeTag("PNAM");
constexpr Tag DIAL = MakeTag("DIAL");
constexpr Tag GMST = MakeTag("GMST");
constexpr Tag LTEX = MakeTag("LTEX");
constexpr Tag FRMR = MakeTag("FRMR");
constexpr Tag AMBI = MakeTag("AMBI");
constexpr Tag WHGT = MakeTag("WHGT");
constexpr Tag NAM5 = MakeTag("NAM5");
constexpr Tag NAM0 = MakeTag("NAM0");
constexpr Tag MVRF = MakeTag("MVRF");
constexpr Tag CREA = MakeTag("CREA");
constexpr Tag AIDT = MakeTag("AIDT");
constexpr Tag NPCS = MakeTag("NPCS");
constexpr Tag BSGN = MakeTag("BSGN");
constexpr Tag RACE = MakeTag("RACE");
constexpr Tag ARMO = MakeTag("ARMO");
constexpr Tag FLTV = MakeTag("FLTV");
constexpr Tag STRV = MakeTag("STRV");
constexpr Tag ACTI = MakeTag("ACTI");
constexpr Tag ALCH = MakeTag("ALCH");
constexpr Tag APPA = MakeTag("APPA");
constexpr Tag BOOK = MakeTag("BOOK");
constexpr Tag CLAS = MakeTag("CLAS");
constexpr Tag CLOT = MakeTag("CLOT");
constexpr Tag CONT = MakeTag("CONT");
constexpr Tag DOOR = MakeTag("DOOR");
constexpr Tag ENCH = MakeTag("ENCH");
constexpr Tag FACT = MakeTag("FACT");
constexpr Tag INGR = MakeTag("INGR");
constexpr Tag LIGH = MakeTag("LIGH");
constexpr Tag LOCK = MakeTag("LOCK");
constexpr Tag MISC = MakeTag("MISC");
constexpr Tag PROB = MakeTag("PROB");
constexpr Tag REGN = MakeTag("REGN");
constexpr Tag REPA = MakeTag("REPA");
constexpr Tag SOUN = MakeTag("SOUN");
constexpr Tag SPEL = MakeTag("SPEL");
constexpr Tag STAT = MakeTag("STAT");
constexpr Tag WEAP = MakeTag("WEAP");
constexpr Tag AI_A = MakeTag("AI_A");
constexpr Tag AI_E = MakeTag("AI_E");
constexpr Tag AI_F = MakeTag("AI_F");
constexpr Tag AI_T = MakeTag("AI_T");
constexpr Tag AI_W = MakeTag("AI_W");
constexpr Tag CNDT = MakeTag("CNDT");
constexpr Tag DODT = MakeTag("DODT");
constexpr Tag DNAM = MakeTag("DNAM");
constexpr Tag ENAM = MakeTag("ENAM");
constexpr Tag SNAM = MakeTag("SNAM");
constexpr Tag SCVR = MakeTag("SCVR");
constexpr Tag AODT = MakeTag("AODT");
constexpr Tag WPDT = MakeTag("WPDT");
constexpr Tag CTDT = MakeTag("CTDT");
constexpr Tag PBDT = MakeTag("PBDT");
constexpr Tag LKDT = MakeTag("LKDT");
constexpr Tag RIDT = MakeTag("RIDT");
constexpr Tag BKDT = MakeTag("BKDT");
constexpr Tag LHDT = MakeTag("LHDT");
constexpr Tag MCDT = MakeTag("MCDT");
constexpr Tag ALDT = MakeTag("ALDT");
constexpr Tag SPDT = MakeTag("SPDT");
constexpr Tag MEDT = MakeTag("MEDT");
constexpr Tag AADT = MakeTag("AADT");
constexpr Tag ENDT = MakeTag("ENDT");
constexpr Tag NPDT = MakeTag("NPDT");
}  // namespace tags

}  // namespace modrake
