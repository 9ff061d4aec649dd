#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "format/plugin_file.hpp"

namespace modrake {

// Walks the records of a file from its start. The file is opened by the
// stream and closed when the walk ends, also when an error leaves it early.
//
//   RecordStream stream(file);
//   while (stream.Next()) {
//     if (wanted(stream.header())) use(stream.Read());
//   }
//
// A record that is neither read nor skipped is skipped by the next Next().
class RecordStream {
 public:
  explicit RecordStream(PluginFile& file);
  ~RecordStream();
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;

  // Moves to the next record header; false at the end of the file.
  bool Next();
  const RecordHeader& header() const { return header_; }
  // Where the current record's header starts.
  uint64_t offset() const { return offset_; }
  // Where the next record's header starts, once the current one was read or skipped.
  uint64_t position() const { return file_.FilePosition(); }

  std::unique_ptr<Record> Read();
  void Skip();
  // Reads the current record into the stream's own buffer and parses
  // nothing: far cheaper than Read where most records are only looked at.
  // The view lasts until the next record.
  const RecordView& View();
  // The record last viewed, as a record of its own (from this file).
  std::unique_ptr<Record> Keep() const;

  PluginFile& file() { return file_; }

 private:
  PluginFile& file_;
  RecordHeader header_;
  uint64_t offset_ = 0;
  bool pending_ = false;  // the current record's data has not been consumed
  std::vector<uint8_t> buffer_;
  RecordView view_;
};

// A topic as the responses of a DIAL are known by it: its display id, cut to
// the length the topic buffers of the game's tools hold.
inline constexpr size_t kTopicLimit = 99;
inline std::string_view CutTopic(std::string_view topic) {
  return topic.substr(0, kTopicLimit);
}

// The topic of the INFO records that follow a DIAL (see CutTopic).
class TopicTracker {
 public:
  // Takes the display id of a DIAL; other records leave the topic as it is.
  void Track(const Record& record);
  void Track(const RecordView& record);
  const std::string& topic() const { return topic_; }
  void Clear() { topic_.clear(); }

 private:
  void Take(std::string topic);

  std::string topic_;
};

}  // namespace modrake
