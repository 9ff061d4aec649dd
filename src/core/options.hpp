#pragma once

namespace modrake {

// The twelve check boxes of the options panel, as stored in the settings file.
struct CheckBoxes {
  bool keepFileName = false;              // "Don't change plugin filenames"
  bool keepFileDate = false;              // "Retain file time, when cleaning"
  bool forceSave = false;                 // "Force save for clean plugins"
  bool ignoreTribunal = false;            // "Ignore tribunal.esm"
  bool ignoreBloodmoon = false;           // "Ignore bloodmoon.esm"
  bool restrictedDialogCleaning = false;  // "Restricted dialog cleaning"
  bool restrictedCellCleaning = false;    // "Restricted cell cleaning"
  bool fullConflictReport = false;        // "Report LEVI/LEVC/LTEX conflicts"
  bool ignoreMergeableConflicts = false;  // "Do not report mergeable conflicts"
  bool mergeUnchangedObjects = false;     // "Merge unchanged objects"
  bool mergeListsAgainstMasters = false;  // "Merge leveled lists against their masters"
  bool allMasters = false;                // "Every active master counts as a master"
};

// Sets a flag for as long as it lives and gives back the value it had,
// however the scope is left.
class ScopedFlag {
 public:
  ScopedFlag(bool& flag, bool value) : flag_(flag), saved_(flag) { flag = value; }
  ~ScopedFlag() { flag_ = saved_; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

// The check boxes plus the flags the commands steer by. The flags are copied
// from the boxes when the options panel closes and changed by the pipeline.
struct Options {
  CheckBoxes boxes;

  bool unrestrictedDialogCleaning = true;
  bool unrestrictedCellCleaning = true;
  bool skipMergeableConflicts = false;
  bool mergeUnchangedObjects = false;
  bool mergeListsAgainstMasters = false;
  bool allMasters = false;
  bool relaxedAiData = true;  // General/StrictAIDT is 0

  // How many runs' backups stay, and how much room they take at most
  // (Backups/KeepRuns and Backups/KeepMegabytes of the settings file).
  unsigned backupRuns = 20;
  unsigned long long backupBytes = 2ull << 30;

  // What closing the options panel does to the flags.
  void CopyBoxesToFlags() {
    unrestrictedDialogCleaning = !boxes.restrictedDialogCleaning;
    unrestrictedCellCleaning = !boxes.restrictedCellCleaning;
    skipMergeableConflicts = boxes.ignoreMergeableConflicts;
    mergeUnchangedObjects = boxes.mergeUnchangedObjects;
    mergeListsAgainstMasters = boxes.mergeListsAgainstMasters;
    allMasters = boxes.allMasters;
  }
};

}  // namespace modrake
