#include "merge/leveled/leveled_list.hpp"

namespace modrake {

SubrecordList::iterator FirstEntry(LeveledListRecord& list) {
  auto it = list.Fields().begin();
  while (it != list.Fields().end() && it->tag != list.entryTag) ++it;
  return it;
}

void SetNoneChance(LeveledListRecord& list, uint8_t value) {
  if (list.nnam) {
    if (list.nnam->size > 0) {
      list.nnam->data[0] = value;
    } else {
      list.nnam->SetBytes(&value, 1);
    }
    return;
  }
  Subrecord& nnam = CreateSubrecord(list.Fields(), list.Fields().end(), {tags::NNAM, 0});
  nnam.SetBytes(&value, 1);
  list.nnam = &nnam;
  InsertSubrecordAfter(list, list.data, list.Fields(), std::prev(list.Fields().end()));
}

uint32_t RecountEntries(LeveledListRecord& list) {
  list.entryTag = list.tag == tags::LEVC ? tags::CNAM : tags::INAM;
  uint32_t count = 0;
  for (const Subrecord& field : list.Fields()) {
    if (field.tag == list.entryTag) ++count;
  }
  if (list.indx) list.indx->SetUInt32(count);
  return count;
}

void InsertSubrecordAfter(LeveledListRecord& list, const Subrecord* anchor, SubrecordList& source,
                          SubrecordList::iterator field) {
  SubrecordList& fields = list.Fields();
  auto to = fields.begin();
  if (anchor && !fields.empty() && anchor == &fields.back()) {
    to = fields.end();  // appending: no walk through a long list
  } else if (anchor) {
    to = list.IteratorOf(anchor);
    if (to != fields.end()) ++to;
  }
  if (&source == &fields) {
    // Within one list only the field itself moves; the rest stays in place.
    if (to != field) fields.splice(to, fields, field);
  } else {
    fields.splice(to, source, field, source.end());
  }
}

}  // namespace modrake
