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

const RecordView& RecordStream::View() {
  pending_ = false;
  view_ = file_.ReadRecordView(header_, buffer_);
  return view_;
}

std::unique_ptr<Record> RecordStream::Keep() const {
  auto record = CopyRecord(view_);
  record->file = &file_;
  return record;
}

void RecordStream::Skip() {
  pending_ = false;
  file_.SkipRecord(header_);
}

void TopicTracker::Track(const Record& record) {
  if (record.tag == tags::DIAL) Take(record.GetDisplayId());
}

void TopicTracker::Track(const RecordView& record) {
  if (record.header.tag == tags::DIAL) Take(record.GetDisplayId());
}

void TopicTracker::Take(std::string topic) {
  topic_ = std::move(topic);
  topic_.resize(CutTopic(topic_).size());
}

}  // namespace modrake
