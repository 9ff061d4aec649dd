#include "support/objects.hpp"

#include "support/test_support.hpp"

namespace modrake::test {

std::string MiscItem(const std::string& id, float weight, uint32_t value, const std::string& script,
                     uint32_t flags) {
  std::string fields = ZField("NAME", id) + ZField("MODL", "m\\misc.nif") + ZField("FNAM", id) +
                       Field("MCDT", Bytes().F32(weight).U32(value).U32(0).str());
  if (!script.empty()) fields += ZField("SCRI", script);
  return RecordBytes("MISC", fields, flags);
}

std::string Weapon(const std::string& id, float weight, uint32_t value, uint16_t type) {
  Bytes data;
  data.F32(weight).U32(value).U16(type).U16(300).F32(1.0f).F32(1.0f).U16(0);
  data.U8(1).U8(5).U8(1).U8(5).U8(1).U8(5).U32(0);
  return RecordBytes("WEAP", ZField("NAME", id) + ZField("MODL", "w\\weapon.nif") +
                                 ZField("FNAM", id) + Field("WPDT", data.str()));
}

std::string Armour(const std::string& id, uint32_t type, uint32_t value,
                   const std::vector<BodyPart>& parts) {
  std::string fields =
      ZField("NAME", id) + ZField("MODL", "a\\armour.nif") + ZField("FNAM", id) +
      Field("AODT", Bytes().U32(type).F32(10.0f).U32(value).U32(100).U32(0).U32(8).str()) +
      ZField("ITEX", "a\\armour.dds");
  for (const BodyPart& part : parts) {
    fields += Field("INDX", Bytes().U8(part.index).str());
    if (!part.male.empty()) fields += ZField("BNAM", part.male);
    if (!part.female.empty()) fields += ZField("CNAM", part.female);
  }
  return RecordBytes("ARMO", fields);
}

std::string Container(const std::string& id,
                      const std::vector<std::pair<int32_t, std::string>>& items) {
  std::string fields = ZField("NAME", id) + ZField("MODL", "o\\barrel.nif") + ZField("FNAM", id) +
                       Field("CNDT", Bytes().F32(100.0f).str()) + U32Field("FLAG", 8);
  for (const auto& [count, item] : items) {
    fields += Field("NPCO", Bytes().I32(count).Fixed(item, 32).str());
  }
  return RecordBytes("CONT", fields);
}

std::string Spell(const std::string& id, const std::vector<Effect>& effects) {
  std::string fields =
      ZField("NAME", id) + ZField("FNAM", id) + Field("SPDT", Bytes().U32(0).U32(10).U32(0).str());
  for (const Effect& effect : effects) {
    Bytes data;
    data.U16(effect.index).U8(0xFF).U8(0xFF).U32(2).U32(0).U32(5);
    data.U32(effect.magnitude).U32(effect.magnitude);
    fields += Field("ENAM", data.str());
  }
  return RecordBytes("SPEL", fields);
}

std::string Faction(const std::string& id,
                    const std::vector<std::pair<std::string, int32_t>>& reactions) {
  std::string fields = ZField("NAME", id) + ZField("FNAM", id) + ZField("RNAM", "Rank");
  for (const auto& [other, value] : reactions) {
    fields += ZField("ANAM", other) + U32Field("INTV", static_cast<uint32_t>(value));
  }
  return RecordBytes("FACT", fields);
}

std::string DescribeFields(const Record& record) {
  std::string text;
  for (const Subrecord& field : record.subrecords) {
    if (!text.empty()) text += ' ';
    text += TagText(field.tag) + ":" + std::to_string(field.size);
    std::string_view shown = field.Text();
    bool printable = !shown.empty();
    for (char c : shown) printable = printable && c >= 32 && c < 127;
    if (printable) text += ":" + std::string(shown);
  }
  return text;
}

}  // namespace modrake::test
