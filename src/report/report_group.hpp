#pragma once

#include "format/record.hpp"

namespace modrake {

struct ConflictGroup;
class CrossReferences;
class ReportSink;

// Writes the report section of one object to the sink: only the fields in which its
// versions differ, or nothing when all versions are identical. Partners found
// on the way go to the cross-references. The versions are taken apart while
// it works and are of no use afterwards. With skipMergeable, the fields a
// merge would combine are left out; unrestrictedDialogs compares responses
// from their data on.
void ReportGroup(CrossReferences& crossReferences, ConflictGroup& group, ReportSink& sink,
                 bool skipMergeable, bool unrestrictedDialogs);

// The first cell reference (FRMR) of the cell whose reference index (the
// value without its high byte) equals that of reference; the cell's end when
// there is none.
SubrecordList::iterator FindReference(Record& cell, const Subrecord& reference);

// Whether two cell references, each from its FRMR up to the next FRMR or the
// end of its record, hold the same fields with the same bytes.
bool ReferenceGroupsEqual(const Record& cellA, SubrecordList::const_iterator a, const Record& cellB,
                          SubrecordList::const_iterator b);

}  // namespace modrake
