#include "fields/field_formatter.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <span>

#include "core/text.hpp"
#include "fields/field_operations.hpp"

namespace modrake {
namespace {

// How a member is read from the field's bytes. Signedness of 32-bit numbers
// comes from the placeholder that prints them, as in the game's editor logs.
enum class Kind : uint8_t {
  None,
  U8,
  S8,
  U16,
  U32,
  Low24,         // the low 24 bits of a u32 (a reference number)
  F32,           // printed as a double
  F32Truncated,  // a float cut toward zero, for "%d"
  Text32,        // up to 32 bytes, stopping at a zero
  TextButLast,   // every byte but the last, stopping at a zero
  LastByte,      // u8 at the end of the field
};

struct Member {
  Kind kind = Kind::None;
  uint8_t offset = 0;
};

constexpr size_t kMaxMembers = 14;

// A printf format with exactly one placeholder per member, in order; a null
// format shows the field's text instead.
struct Layout {
  const char* format = nullptr;
  std::array<Member, kMaxMembers> members{};
};

constexpr Layout Text() {
  return {};
}
constexpr Layout Decode(const char* format, std::initializer_list<Member> members) {
  Layout layout{format, {}};
  size_t i = 0;
  for (const Member& m : members) layout.members[i++] = m;
  return layout;
}

// The records a row applies to: the listed ones, or all but the listed ones.
struct Records {
  std::array<Tag, 4> tags{};
  bool except = true;

  constexpr bool Holds(Tag record) const {
    bool listed = false;
    for (Tag t : tags) listed = listed || (t != 0 && t == record);
    return except ? !listed : listed;
  }
};

constexpr Records Any() {
  return {};
}
template <typename... Names>
constexpr Records Only(const Names&... names) {
  return {{MakeTag(names)...}, false};
}
template <typename... Names>
constexpr Records Except(const Names&... names) {
  return {{MakeTag(names)...}, true};
}

enum class Show : uint8_t { Hidden, Decoded };

// One row of the single-field tables: the first that matches the field's
// tag, the record and the size decides how the field is shown.
struct Row {
  Tag tag = 0;
  Records records;
  uint32_t size = 0;  // 0: any size
  Show show = Show::Decoded;
  Layout layout;

  bool Matches(Tag record, const Subrecord& field) const {
    return field.tag == tag && records.Holds(record) && (size == 0 || field.size == size);
  }
};

constexpr Row Hide(const char (&tag)[5], Records records = Any()) {
  return {MakeTag(tag), records, 0, Show::Hidden, {}};
}
constexpr Row Field(const char (&tag)[5], Records records, Layout layout, uint32_t size = 0) {
  return {MakeTag(tag), records, size, Show::Decoded, layout};
}
constexpr Row Field(const char (&tag)[5], Layout layout) {
  return Field(tag, Any(), layout);
}

// A field that spans its subrecord and the one or two that follow it.
struct Compound {
  std::array<Tag, 3> tags{};  // the first subrecord, then the ones that must follow
  Records records;
  char firstByte = 0;  // when set, the first subrecord must begin with it
  std::array<Layout, 3> parts{};

  unsigned Span() const { return tags[2] ? 3 : 2; }
};

constexpr Compound Pair(const char (&first)[5], const char (&second)[5], Records records, Layout a,
                        Layout b, char firstByte = 0) {
  return {{MakeTag(first), MakeTag(second), 0}, records, firstByte, {a, b, Layout{}}};
}
constexpr Compound Triple(const char (&first)[5], const char (&second)[5], const char (&third)[5],
                          Layout a, Layout b, Layout c) {
  return {{MakeTag(first), MakeTag(second), MakeTag(third)}, Any(), 0, {a, b, c}};
}

template <typename... Names>
constexpr auto TagList(const Names&... names) {
  return std::array<Tag, sizeof...(Names)>{MakeTag(names)...};
}

// Member makers: U32(4) is the u32 at offset 4.
template <Kind kind>
struct MemberAt {
  constexpr Member operator()(uint8_t offset) const { return {kind, offset}; }
};
constexpr MemberAt<Kind::U8> U8;
constexpr MemberAt<Kind::S8> S8;
constexpr MemberAt<Kind::U16> U16;
constexpr MemberAt<Kind::U32> U32;
constexpr MemberAt<Kind::F32> F32;
constexpr MemberAt<Kind::Text32> Text32;

constexpr Layout kReference = Decode("%u, %u", {{Kind::Low24, 0}, U8(3)});
constexpr Layout kGrid = Decode("XY=(%d, %d)", {U32(0), U32(4)});
constexpr Layout kPosition = Decode("XYZ=(%.2f, %.2f, %.2f) ROT=(%.2f, %.2f, %.2f)",
                                    {F32(0), F32(4), F32(8), F32(12), F32(16), F32(20)});
constexpr Layout kAiTarget = Decode("XYZ=(%.2f, %.2f, %.2f), Duration=%d, Name: %s",
                                    {F32(0), F32(4), F32(8), U16(12), Text32(14)});
constexpr Layout kInt = Decode("%d", {U32(0)});
constexpr Layout kShortInt = Decode("%d", {U16(0)});
constexpr Layout kUnsigned = Decode("%u", {U32(0)});
constexpr Layout kByte = Decode("%u", {U8(0)});
constexpr Layout kHex = Decode("%08X", {U32(0)});
constexpr Layout kFloat = Decode("%.2f", {F32(0)});

// Fields that are never shown.
constexpr Row kHidden[] = {
    Hide("NAME", Except("INFO", "SSCR")),
    Hide("NAM0"),
    Hide("DATA", Only("PGRD", "SSCR")),
    Hide("DELE", Except("CELL")),
    Hide("DESC"),
    Hide("SCHD"),
    Hide("SCDT"),
    Hide("RGNN"),
    Hide("INAM", Except("LEVI")),
    Hide("INDX", Only("SKIL", "MGEF", "LEVI", "LEVC")),
    Hide("INTV", Only("LAND")),
    Hide("SCVR", Only("SCPT")),
};

constexpr Compound kCompounds[] = {
    Pair("FRMR", "NAME", Any(), kReference, Text()),
    Pair("MVRF", "CNDT", Any(), kReference, kGrid),
    Pair("AI_E", "CNDT", Any(), kAiTarget, Text()),
    Pair("AI_F", "CNDT", Any(), kAiTarget, Text()),
    Pair("ANAM", "INTV", Only("FACT"), Text(), kInt),
    Pair("CNAM", "INTV", Only("LEVC"), Text(), kShortInt),
    Pair("INAM", "INTV", Only("LEVI"), Text(), kShortInt),
    Pair("DNAM", "FLTV", Only("CELL"), Text(), kUnsigned),
    // A global's type letter decides whether its value is shown as a float.
    Pair("FNAM", "FLTV", Only("GLOB"), Decode("%c", {U8(0)}), kFloat, 'f'),
    Pair("FNAM", "FLTV", Only("GLOB"), Decode("%c", {U8(0)}),
         Decode("%d", {{Kind::F32Truncated, 0}})),
    Pair("SCVR", "INTV", Any(), Text(), kInt),
    Pair("SCVR", "FLTV", Any(), Text(), kFloat),
    Pair("DODT", "DNAM", Only("NPC_"), kPosition, Text()),
    // Body-part entries: the part index with its male and female part names.
    Triple("INDX", "BNAM", "CNAM", kByte, Text(), Text()),
    Pair("INDX", "BNAM", Any(), kByte, Text()),
    Triple("INDX", "CNAM", "BNAM", kByte, Text(), Text()),
    Pair("INDX", "CNAM", Any(), kByte, Text()),
};

// Single fields with a layout, one table per record family.

constexpr Row kItemFields[] = {
    Field("AADT", Decode("Type=%u, Quality=%.2f, Weight=%.2f, Value=%u",
                         {U32(0), F32(4), F32(8), U32(12)})),
    Field("ALDT", Decode("Weight=%.2f, Value=%u, AutoCalc=%u", {F32(0), U32(4), U32(8)})),
    Field("AODT", Decode("Type=%u, Weight=%.2f, Value=%u, HP=%d, Ench=%u, AC=%d",
                         {U32(0), F32(4), U32(8), U32(12), U32(16), U32(20)})),
    Field("BKDT", Decode("Weight=%.2f, Value=%d, Scroll=%d, Skill=%d, Ench=%d",
                         {F32(0), U32(4), U32(8), U32(12), U32(16)})),
    Field("CTDT",
          Decode("Type=%u, Weight=%.2f, Value=%u, Ench=%u", {U32(0), F32(4), U16(8), U16(10)})),
    Field("CNDT", Only("CONT"), kFloat),
    Field("ENDT",
          Decode("Type=%u, Ench=%u, Charge=%u, AutoCalc=%u", {U32(0), U32(4), U32(8), U32(12)})),
    Field("LHDT", Decode("Weight=%.2f, Value=%u, Time=%d, Radius=%u, Color(%08X %08X)",
                         {F32(0), U32(4), U32(8), U32(12), U32(16), U32(20)})),
    Field("LKDT", Decode("Weight=%.2f, Value=%u, Quality=%.2f, Uses=%u",
                         {F32(0), U32(4), F32(8), U32(12)})),
    Field("PBDT", Decode("Weight=%.2f, Value=%u, Quality=%.2f, Uses=%u",
                         {F32(0), U32(4), F32(8), U32(12)})),
    Field("MCDT", Decode("Weight=%.2f, Value=%d, Flags=%08X", {F32(0), U32(4), U32(8)})),
    Field("RIDT", Decode("Weight=%.2f, Value=%u, Uses=%u, Quality=%.2f",
                         {F32(0), U32(4), U32(8), F32(12)})),
    Field("WPDT", Decode("wt=%.2f, val=%d, type=%d, HP=%d, spd=%.2f, r=%.2f, enc=%d, "
                         "c(%d %d) s(%d %d) t(%d %d) f=%d",
                         {F32(0), U32(4), U16(8), U16(10), F32(12), F32(16), U16(20), U8(22),
                          U8(23), U8(24), U8(25), U8(26), U8(27), U32(28)})),
};

constexpr Row kActorFields[] = {
    Field("AI_A", Decode("%s, %d", {{Kind::TextButLast, 0}, {Kind::LastByte, 0}})),
    Field("AI_E", kAiTarget),
    Field("AI_F", kAiTarget),
    Field("AI_T", Decode("XYZ=(%.2f, %.2f, %.2f), Unknown: %u", {F32(0), F32(4), F32(8), U32(12)})),
    Field("AI_W", Decode("Distance=%u, Duration=%u, Hour=%u, Idle(%u,%u,%u,%u,%u,%u,%u,%u)",
                         {U16(0), U16(2), U8(4), U8(5), U8(6), U8(7), U8(8), U8(9), U8(10), U8(11),
                          U8(12)})),
    Field("AIDT", Decode("Hello=%u, Fight=%u, Flee=%u, Alarm=%u, Flags=%08X",
                         {U8(0), U8(2), U8(3), U8(4), U32(8)})),
    Field("BYDT", Decode("Part=%d, vamp=%d, flags=%d, Type=%d", {U8(0), U8(1), U8(2), U8(3)})),
    Field("DODT", kPosition),
    Field("FLAG", kHex),
    Field("NPCO", Decode("%d, %s", {U32(0), Text32(4)})),
    Field("NPDT", Only("NPC_"),
          Decode("Level=%d, Disp=%d, Faction=%d, Rank=%d, Unknown(%u,%u,%u), Gold=%d",
                 {U16(0), U8(2), U8(3), U8(4), U8(5), U8(6), U8(7), U32(8)}),
          12),
};

constexpr Row kMagicFields[] = {
    Field("ENAM", Only("SPEL", "ENCH", "ALCH"),
          Decode("Effect(%d,%d,%d), Type=%d, Area=%d, Duration=%d, Range(%d,%d)",
                 {U16(0), U8(2), U8(3), U32(4), U32(8), U32(12), U32(16), U32(20)})),
    Field("MEDT",
          Decode("School=%u, Cost = %.2f, Flags(%08X), Color(%u,%u,%u), Spd=%.2f, "
                 "Size=%.2f, Cap=%.2f",
                 {U32(0), F32(4), U32(8), U32(12), U32(16), U32(20), F32(24), F32(28), F32(32)})),
    Field("SPDT", Decode("Type=%u, Cost=%d, Flags=%08X", {U32(0), U32(4), U32(8)})),
};

constexpr Row kWorldFields[] = {
    Field("AMBI", Decode("%08X %08X %08X %08X", {U32(0), U32(4), U32(8), U32(12)})),
    Field("CNAM", Only("REGN"), kHex),
    Field("SNAM", Only("REGN"), Decode("%-32s %u", {Text32(0), U8(32)})),
    Field("WEAT", Decode("%08X %08X", {U32(0), U32(4)})),
    Field("CNDT", Only("CELL"), kGrid),
    Field("DATA", Only("CELL"), Decode("Flags=%08X, XY=(%d, %d)", {U32(0), U32(4), U32(8)}), 12),
    Field("DATA", Only("CELL"), kPosition, 24),
    Field("DELE", Only("CELL"), kUnsigned, 4),
    Field("FRMR", kReference),
    Field("MVRF", kReference),
    Field("NAM5", kHex),
    Field("NAM9", kUnsigned),
    Field("FLTV", kFloat),
    Field("WHGT", kFloat),
    Field("XCHG", kFloat),
    Field("XSCL", kFloat),
    Field("INTV", kInt),
    Field("INDX", Any(), kByte, 1),
    Field("DATA", Only("LAND"), kInt),
    Field("DATA", Only("LTEX"), Text()),
    Field("DATA", Only("SOUN"), Decode("Volume=%u, Min=%u, Max=%u", {U8(0), U8(1), U8(2)})),
    Field("DATA", Only("SNDG"), Decode("Type=%d", {U32(0)})),
};

constexpr Row kDialogueAndListFields[] = {
    Field("DATA", Only("DIAL"), Decode("Type=%02X", {U8(0)}), 1),
    Field("DATA", Only("INFO"),
          Decode("Flag1=%u, Disposition=%d, Rank=%d, Gender=%d, PCRank=%d, Flag2=%u",
                 {U32(0), U32(4), S8(8), S8(9), S8(10), U8(11)})),
    Field("QSTF", kByte),
    Field("QSTN", kByte),
    Field("QSTR", kByte),
    Field("DATA", Only("LEVI", "LEVC"), Decode("Flags %02X", {U32(0)})),
    Field("NNAM", Only("LEVI", "LEVC"), Decode("NoneChance=%d", {U8(0)})),
};

constexpr std::span<const Row> kFamilies[] = {kItemFields, kActorFields, kMagicFields, kWorldFields,
                                              kDialogueAndListFields};

// Shown as text when no row above took them.
constexpr auto kTextFields = TagList(
    "ANAM", "ASND", "AVFX", "BNAM", "BSND", "BVFX", "CNAM", "CNDT", "CSND", "CVFX", "DNAM", "ENAM",
    "FNAM", "HSND", "HVFX", "INAM", "ITEX", "KNAM", "MODL", "NAME", "NNAM", "NPCS", "ONAM", "PNAM",
    "PTEX", "RNAM", "SCIP", "SCPT", "SCRI", "SCVR", "SNAM", "STRV", "TNAM", "XSOL");

// Known but not decoded: shown by their size.
constexpr auto kByteCountFields =
    TagList("CLDT", "FADT", "IRDT", "PGRC", "PGRP", "RADT", "SCTX", "SKDT", "TEXT", "UNAM", "VCLR",
            "VHGT", "VNML", "VTEX", "WNAM", "DATA", "DELE", "INDX", "NPDT");

// Every layout must pair its placeholders with its members one to one.
constexpr bool Consistent(const Layout& layout) {
  if (!layout.format) return true;
  size_t placeholders = 0;
  for (const char* p = layout.format; *p; ++p) placeholders += *p == '%';
  size_t members = 0;
  while (members < kMaxMembers && layout.members[members].kind != Kind::None) ++members;
  return placeholders == members;
}
template <size_t N>
constexpr bool Consistent(const Row (&rows)[N]) {
  for (const Row& row : rows) {
    if (!Consistent(row.layout)) return false;
  }
  return true;
}
constexpr bool CompoundsConsistent() {
  for (const Compound& c : kCompounds) {
    for (const Layout& part : c.parts) {
      if (!Consistent(part)) return false;
    }
  }
  return true;
}
static_assert(Consistent(kItemFields) && Consistent(kActorFields) && Consistent(kMagicFields) &&
              Consistent(kWorldFields) && Consistent(kDialogueAndListFields) &&
              CompoundsConsistent());

uint32_t Width(const Member& m) {
  switch (m.kind) {
    case Kind::U8:
    case Kind::S8:
    case Kind::LastByte:
      return 1;
    case Kind::U16:
      return 2;
    case Kind::Text32:
      return 32;
    case Kind::None:
    case Kind::TextButLast:
      return 0;
    default:
      return 4;
  }
}

// The bytes a layout reads; a shorter field is shown by its size instead.
uint32_t RequiredSize(const Layout& layout) {
  uint32_t required = 0;
  for (const Member& m : layout.members)
    required = std::max<uint32_t>(required, m.offset + Width(m));
  return required;
}

std::string ByteCount(const Subrecord& field) {
  return FormatText(" << %u bytes >>", field.size);
}

std::string TextAt(const Subrecord& field, uint32_t offset, uint32_t length) {
  const uint8_t* start = field.data + offset;
  const void* zero = std::memchr(start, 0, length);
  if (zero) length = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - start);
  return std::string(reinterpret_cast<const char*>(start), length);
}

// A member's number as the 32 bits the placeholder prints.
uint32_t NumberOf(const Subrecord& field, const Member& m) {
  switch (m.kind) {
    case Kind::U8:
      return field.ByteAt(m.offset);
    case Kind::S8:
      return static_cast<uint32_t>(
          static_cast<int32_t>(static_cast<int8_t>(field.ByteAt(m.offset))));
    case Kind::U16:
      return field.UInt16At(m.offset);
    case Kind::Low24:
      return field.UInt32At(m.offset) & 0xFFFFFF;
    case Kind::LastByte:
      return field.ByteAt(field.size - 1);
    case Kind::F32Truncated: {
      // Out of range gives the processor's "integer indefinite", as the game's tools show it.
      float value = field.FloatAt(m.offset);
      if (!(value > -2147483649.0f && value < 2147483648.0f)) return 0x80000000u;
      return static_cast<uint32_t>(static_cast<int32_t>(value));
    }
    default:
      return field.UInt32At(m.offset);
  }
}

// Formats one placeholder (with the text before it) with the member's value,
// passing the type that the placeholder expects.
void AppendMember(std::string& out, const std::string& piece, const Subrecord& field,
                  const Member& m) {
  char conversion = piece.empty() ? '\0' : piece.back();
  switch (conversion) {
    case 's': {
      std::string text = m.kind == Kind::TextButLast ? TextAt(field, 0, field.size - 1)
                                                     : TextAt(field, m.offset, Width(m));
      out += FormatText(piece.c_str(), text.c_str());
      break;
    }
    case 'f':
      out += FormatText(piece.c_str(), static_cast<double>(field.FloatAt(m.offset)));
      break;
    case 'c':
      // A zero would end the text in the middle of the line.
      if (NumberOf(field, m) == 0) break;
      [[fallthrough]];
    case 'd':
      out += FormatText(piece.c_str(), static_cast<int>(static_cast<int32_t>(NumberOf(field, m))));
      break;
    default:
      out += FormatText(piece.c_str(), NumberOf(field, m));
      break;
  }
}

std::string ShowLayout(const Subrecord& field, const Layout& layout) {
  if (!layout.format) return CopyDisplayText(field);
  if (field.size < RequiredSize(layout) || !field.data) return ByteCount(field);
  // Split the format before every placeholder but the first, so that each
  // piece prints exactly one member.
  std::string out;
  const char* format = layout.format;
  const char* pieceStart = format;
  const char* percent = std::strchr(format, '%');
  for (const Member& m : layout.members) {
    if (m.kind == Kind::None || !percent) break;
    const char* next = std::strchr(percent + 1, '%');
    const char* pieceEnd = next ? next : format + std::strlen(format);
    // The conversion letter ends the placeholder; literal text after it
    // belongs to this piece too.
    const char* letter = percent + 1;
    while (*letter && std::strchr("-+ #0123456789.", *letter)) ++letter;
    AppendMember(out, std::string(pieceStart, letter + 1), field, m);
    out.append(letter + 1, pieceEnd);
    pieceStart = pieceEnd;
    percent = next;
  }
  return out;
}

template <size_t N>
bool Listed(const std::array<Tag, N>& list, Tag tag) {
  for (Tag t : list) {
    if (t == tag) return true;
  }
  return false;
}

// The tag as a label: a zero byte in a damaged tag ends it.
std::string TagLabel(Tag tag) {
  std::string label = TagText(tag);
  label.resize(std::strlen(label.c_str()));
  return label;
}

}  // namespace

unsigned FormatField(const Record& record, SubrecordList::const_iterator field, std::string& label,
                     std::string& value) {
  const Subrecord& first = *field;
  label = TagLabel(first.tag);
  value.clear();

  for (const Row& row : kHidden) {
    if (row.Matches(record.tag, first)) return 0;
  }

  for (const Compound& compound : kCompounds) {
    if (compound.tags[0] != first.tag || !compound.records.Holds(record.tag)) continue;
    if (compound.firstByte && (first.size == 0 || first.data[0] != compound.firstByte)) continue;
    std::array<const Subrecord*, 3> parts{&first, nullptr, nullptr};
    unsigned span = compound.Span();
    auto it = field;
    bool follows = true;
    for (unsigned i = 1; i < span && follows; ++i) {
      ++it;
      follows = it != record.Fields().end() && it->tag == compound.tags[i];
      if (follows) parts[i] = &*it;
    }
    if (!follows) continue;
    for (unsigned i = 0; i < span; ++i) {
      if (i > 0) {
        label += '/';
        label += TagLabel(parts[i]->tag);
        value += " / ";
      }
      value += ShowLayout(*parts[i], compound.parts[i]);
    }
    return span;
  }

  for (std::span<const Row> family : kFamilies) {
    for (const Row& row : family) {
      if (row.Matches(record.tag, first)) {
        value = ShowLayout(first, row.layout);
        return 1;
      }
    }
  }

  if (Listed(kTextFields, first.tag)) {
    value = CopyDisplayText(first);
  } else if (Listed(kByteCountFields, first.tag)) {
    value = ByteCount(first);
  } else {
    value = FormatText("  <<UNDEFINED>> (%u bytes)", first.size);
  }
  return 1;
}

}  // namespace modrake
