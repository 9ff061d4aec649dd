#include "report/report_group.hpp"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/execution_log.hpp"
#include "fields/field_formatter.hpp"
#include "fields/field_groups.hpp"
#include "fields/field_operations.hpp"
#include "format/plugin_file.hpp"
#include "objectdb/conflict_group.hpp"
#include "report/cross_references.hpp"
#include "report/report_sink.hpp"

namespace modrake {

namespace {

bool IsReference(const Subrecord& field) {
  return field.tag == tags::FRMR;
}

uint32_t ReferenceIndex(const Subrecord& reference) {
  return reference.UInt32At(0) & 0xFFFFFF;
}

// The end of the reference that starts at `reference`: the next FRMR or the
// record's end.
template <typename Iterator>
Iterator ReferenceEnd(Iterator reference, Iterator end) {
  return std::find_if(std::next(reference), end, IsReference);
}

// The first cell reference (FRMR) of the cell whose reference index (the
// value without its high byte) equals that of reference; the cell's end when
// there is none.
SubrecordList::iterator FindReference(Record& cell, const Subrecord& reference) {
  uint32_t index = ReferenceIndex(reference);
  return std::find_if(cell.Fields().begin(), cell.Fields().end(), [&](const Subrecord& f) {
    return IsReference(f) && ReferenceIndex(f) == index;
  });
}

// Whether two cell references, each from its FRMR up to the next FRMR or the
// end of its record, hold the same fields with the same bytes.
bool ReferenceGroupsEqual(const Record& cellA, SubrecordList::const_iterator a, const Record& cellB,
                          SubrecordList::const_iterator b) {
  auto endA = ReferenceEnd(a, cellA.Fields().end());
  auto endB = ReferenceEnd(b, cellB.Fields().end());
  for (; a != endA && b != endB; ++a, ++b) {
    if (!SubrecordEquals(*a, &*b)) return false;
  }
  return a == endA && b == endB;
}

const char* PluginName(const Record& record) {
  return record.file ? record.file->name.c_str() : "";
}

// What the passes know of one version before they take it apart.
struct Version {
  Record& record;
  bool live;       // not deleted
  bool takesPart;  // live, or a cell (a deleted cell still shows its fields)
};

class GroupReport {
 public:
  GroupReport(CrossReferences& crossReferences, ConflictGroup& group, ReportSink& sink,
              bool skipMergeable)
      : crossReferences_(crossReferences),
        group_(group),
        sink_(sink),
        skipMergeable_(skipMergeable) {
    for (auto& record : group.versions) {
      bool live = !record->IsDeleted();
      versions_.push_back({*record, live, live || record->tag == tags::CELL});
    }
    tag_ = group.versions[0]->tag;
  }

  void Write() {
    Record& first = versions_[0].record;
    sink_.Object(TagText(tag_), first.GetDisplayId(), group_.context ? *group_.context : "",
                 group_.masterVersion.get());
    if (skipMergeable_ && group_.masterVersion && (IsMergeableType(tag_) || tag_ == tags::INFO)) {
      DropMergeableFields();
    }
    DropEqualFields();
    DropEqualReferences();
    WriteVersionLines();
    WriteFieldLines();
  }

 private:
  void Partners(const Record& a, const Record& b) {
    crossReferences_.AddCrossReference(a.file, b.file);
  }

  // Leaves out the single fields that the object merge would merge without
  // loss: each plugin changed them against the master where no other did.
  void DropMergeableFields() {
    auto merged = CreateRecord(RecordHeader{tag_, 0, 0, 0});
    uint32_t kind = 0;
    for (Version& v : versions_) {
      if (!v.live) continue;
      // A version that turned the item into another kind cannot be merged.
      uint32_t key = ItemTypeKey(v.record);
      if (kind == 0) {
        kind = key;
      } else if (key != kind) {
        return;
      }
      auto& fields = v.record.Fields();
      for (auto it = fields.begin(); it != fields.end();) {
        unsigned size = FieldGroupSize(v.record, it);
        if (size < 2 && !IsListField(tag_, it->tag) && !merged->FindSubrecord(it->tag)) {
          AppendSubrecord(*merged, *it);
        }
        std::advance(it, size);
      }
    }
    const Record& master = *group_.masterVersion;
    for (Subrecord& m : merged->Fields()) {
      const Subrecord* original = master.FindSubrecord(m.tag);
      bool mergeable = true;
      for (Version& v : versions_) {
        if (!v.live) continue;
        const Subrecord* field = v.record.FindSubrecord(m.tag);
        if (!field || field->SameBytes(m)) continue;
        if (!original || (!SubrecordEquals(*original, field) &&
                          MergeFieldMembers(tag_, m, *field, *original) == kMemberConflict)) {
          mergeable = false;
          break;
        }
      }
      if (!mergeable) continue;
      for (Version& v : versions_) {
        if (v.live) v.record.RemoveSubrecord(v.record.FindSubrecord(m.tag));
      }
    }
  }

  // Leaves out the fields that the first version shares with every other one,
  // and the fields never shown; a version that lacks one of the first
  // version's fields conflicts with it.
  void DropEqualFields() {
    std::vector<SubrecordList::iterator> found(versions_.size());
    // The first version's fields are looked for in every other one.
    finders_.clear();
    for (size_t j = 1; j < versions_.size(); ++j) finders_.emplace_back(versions_[j].record, false);
    for (size_t i = 0; i < versions_.size(); ++i) {
      Version& v = versions_[i];
      if (!v.takesPart) continue;
      auto& fields = v.record.Fields();
      for (auto it = fields.begin(); it != fields.end() && !IsReference(*it);) {
        unsigned n = FormatField(v.record, it, label_, value_);
        if (n == 0) {
          it = fields.erase(it);
          continue;
        }
        if (i == 0 && FoundInEveryOther(it, n, found)) {
          for (size_t j = 1; j < versions_.size(); ++j) {
            finders_[j - 1].Forget(found[j], std::next(found[j], n));
            versions_[j].record.Fields().erase(found[j], std::next(found[j], n));
          }
          it = fields.erase(it, std::next(it, n));
          continue;
        }
        std::advance(it, n);
      }
      if (i == 0) finders_.clear();
    }
  }

  bool FoundInEveryOther(SubrecordList::iterator field, unsigned n,
                         std::vector<SubrecordList::iterator>& found) {
    Record& first = versions_[0].record;
    bool everywhere = true;
    for (size_t j = 1; j < versions_.size(); ++j) {
      Record& other = versions_[j].record;
      auto match = finders_[j - 1].Find(first, field, n);
      // A body-part entry must not match one that carries more part names.
      if (match != other.Fields().end() && (tag_ == tags::ARMO || tag_ == tags::CLOT) &&
          FieldGroupSize(other, match) != n) {
        match = other.Fields().end();
      }
      if (match == other.Fields().end()) {
        Partners(first, other);
        everywhere = false;
      }
      found[j] = match;
    }
    return everywhere;
  }

  // Leaves out the cell references that are the same wherever they occur, and
  // those the plugins made themselves (master byte 0), whose numbers mean
  // nothing across plugins.
  void DropEqualReferences() {
    std::vector<SubrecordList::iterator> found(versions_.size());
    for (size_t i = 0; i < versions_.size(); ++i) {
      auto& fields = versions_[i].record.Fields();
      auto it = std::find_if(fields.begin(), fields.end(), IsReference);
      while (it != fields.end()) {
        auto end = ReferenceEnd(it, fields.end());
        bool ownReference = it->ByteAt(3) == 0;
        if (!ownReference && !SameInEveryOther(i, it, found)) {
          it = end;
          continue;
        }
        for (size_t j = 0; j < versions_.size() && !ownReference; ++j) {
          auto& other = versions_[j].record.Fields();
          if (found[j] != other.end()) other.erase(found[j], ReferenceEnd(found[j], other.end()));
        }
        it = fields.erase(it, end);
      }
    }
  }

  // Whether no other version holds this reference differently; the versions
  // that hold it go to found (the others get their end).
  bool SameInEveryOther(size_t i, SubrecordList::iterator reference,
                        std::vector<SubrecordList::iterator>& found) {
    Record& cell = versions_[i].record;
    for (size_t j = 0; j < versions_.size(); ++j) {
      Record& other = versions_[j].record;
      found[j] = other.Fields().end();
      if (j == i) continue;
      auto match = FindReference(other, *reference);
      if (match == other.Fields().end()) continue;
      if (!ReferenceGroupsEqual(cell, reference, other, match)) {
        Partners(cell, other);
        return false;
      }
      found[j] = match;
    }
    return true;
  }

  void WriteVersionLines() {
    for (const Version& v : versions_) {
      if (v.record.tag != tags::CELL && !v.live) {
        sink_.Deleted(PluginName(v.record));
        for (const Version& other : versions_) {
          if (&other != &v && !other.record.Fields().empty()) Partners(v.record, other.record);
        }
      } else if (v.record.Fields().empty()) {
        sink_.NoConflicts(PluginName(v.record));
      }
    }
  }

  void WriteFieldLines() {
    using Kind = ReportSink::FieldKind;
    Record* master = group_.masterVersion.get();
    std::optional<FieldGroupFinder> masterFields;
    if (master) masterFields.emplace(*master, false);
    for (const Version& v : versions_) {
      if (!v.takesPart || v.record.Fields().empty()) continue;
      sink_.Version(PluginName(v.record));
      const auto& fields = v.record.Fields();
      bool inReferences = false;
      for (auto it = fields.begin(); it != fields.end();) {
        unsigned n = FormatField(v.record, it, label_, value_);
        if (n == 0) {
          ++it;
          continue;
        }
        if (IsReference(*it)) {
          sink_.Field(Kind::kReference, label_, value_, nullptr);
          inReferences = true;
        } else if (inReferences) {
          sink_.Field(Kind::kReferenceField, label_, value_, nullptr);
        } else if (master && masterFields->Find(v.record, it, n) != master->Fields().end()) {
          // The plugin keeps the master's value here.
          sink_.Field(Kind::kField, label_, value_, PluginName(*master));
        } else {
          sink_.Field(Kind::kField, label_, value_, nullptr);
        }
        std::advance(it, n);
      }
    }
  }

  CrossReferences& crossReferences_;
  ConflictGroup& group_;
  ReportSink& sink_;
  bool skipMergeable_;
  std::vector<Version> versions_;
  std::vector<FieldGroupFinder> finders_;  // of versions 1 on, while the first is compared
  Tag tag_ = 0;
  std::string label_;
  std::string value_;
};

}  // namespace

void ReportGroup(CrossReferences& crossReferences, ConflictGroup& group, ReportSink& sink,
                 bool skipMergeable, bool unrestrictedDialogs) {
  AllVersionsIdentical(group, unrestrictedDialogs);
  if (group.allIdentical || group.versions.empty()) return;
  GroupReport(crossReferences, group, sink, skipMergeable).Write();
}

}  // namespace modrake
