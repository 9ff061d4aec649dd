#pragma once

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

}  // namespace modrake
