#pragma once

#include <memory>
#include <string>

namespace modrake {

class ExecutionLog;
class Record;
class CrossReferences;

// Where the conflict report goes: the log file as text, or one JSON document
// for other programs (docs/report.schema.json).
class ReportSink {
 public:
  enum class FieldKind { kField, kReference, kReferenceField };

  virtual ~ReportSink() = default;
  // A new object: its tag, id, the topic of a response (else empty) and its
  // master version (null: no master has it).
  virtual void Object(const std::string& tag, const std::string& id, const std::string& topic,
                      const Record* master) = 0;
  virtual void Deleted(const char* plugin) = 0;
  virtual void NoConflicts(const char* plugin) = 0;
  virtual void Version(const char* plugin) = 0;
  // A field of the version last begun; master names the master when the
  // plugin keeps the master's value there, else null.
  virtual void Field(FieldKind kind, const std::string& label, const std::string& value,
                     const char* master) = 0;
  // Which plugins conflict with which, after the last object.
  virtual void End(const CrossReferences& crossReferences) = 0;
};

std::unique_ptr<ReportSink> TextReport(ExecutionLog& log);
// End writes the document into `document`.
std::unique_ptr<ReportSink> JsonReport(std::string& document);

}  // namespace modrake
