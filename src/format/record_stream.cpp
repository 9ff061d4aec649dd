#include "format/record_stream.hpp"

namespace modrake {

RecordStream::RecordStream(PluginFile& file) : file_(file) {
  file_.OpenFile();
}

RecordStream::~RecordStream() {
  file_.CloseFile();
}

bool RecordStream::Next() {
  if (pending_) Skip();
  if (!file_.IsOpen()) return false;
  offset_ = file_.FilePosition();
  pending_ = file_.ReadObjectHeader(header_);
  return pending_;
}

std::unique_ptr<Record> RecordStream::Read() {
  pending_ = false;
  return file_.ReadRecord(header_);
}

void RecordStream::Skip() {
  pending_ = false;
  file_.SkipRecord(header_);
}

void TopicTracker::Track(const Record& record) {
  if (record.tag != tags::DIAL) return;
  topic_ = record.GetDisplayId();
  if (topic_.size() > kLimit) topic_.resize(kLimit);
}

}  // namespace modrake
