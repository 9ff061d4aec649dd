#pragma once

#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/execution_log.hpp"
#include "core/options.hpp"
#include "core/session.hpp"
#include "install/game_installation.hpp"
#include "objectdb/object_index.hpp"
#include "support/recording_ui.hpp"
#include "support/test_support.hpp"

namespace modrake::test {

// A game folder with masters written from record bytes, and a Session on it.
class TestGame {
 public:
  TestGame() : log(ui, home / "modrake.log"), game(dir.path()) {
    std::filesystem::create_directories(dataFolder());
  }

  std::filesystem::path dataFolder() const { return dir / "Data Files"; }

  // Writes a file of a header naming the masters and the records; returns
  // each record's offset.
  std::vector<uint64_t> Write(
      const std::string& name, const std::vector<std::string>& records,
      std::initializer_list<std::pair<std::string, uint64_t>> masters = {}) {
    std::string bytes = HeaderRecord(masters);
    std::vector<uint64_t> offsets;
    for (const auto& r : records) {
      offsets.push_back(bytes.size());
      bytes += r;
    }
    WriteFile(dataFolder() / name, bytes);
    return offsets;
  }

  // Makes the named files the active plugins, in the given order.
  void Activate(const std::vector<std::string>& names) {
    PluginList active;
    for (const auto& name : names)
      active.push_back(std::make_unique<PluginFile>(dataFolder(), name));
    game.SetActivePlugins(std::move(active));
  }

  Session& session() {
    if (!session_) {
      session_ = std::make_unique<Session>(Session{ui, log, options, home.path()});
      session_->game = &game;
      session_->index = &index;
    }
    return *session_;
  }

  TempDir dir;
  TempDir home;
  RecordingUi ui;
  ExecutionLog log;
  Options options;
  GameInstallation game;
  ObjectIndex index;

 private:
  std::unique_ptr<Session> session_;
};

// The record of a record's bytes (header included), parsed.
inline std::unique_ptr<Record> ParseRecord(const std::string& bytes) {
  RecordHeader header;
  std::memcpy(&header.tag, bytes.data(), 4);
  std::memcpy(&header.flags, bytes.data() + 12, 4);
  auto record = CreateRecord(header);
  record->SetData(reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data() + 16)),
                  static_cast<uint32_t>(bytes.size() - 16), Record::DataMode::Copy);
  return record;
}

// Record builders for the usual shapes.
inline std::string Misc(const std::string& id, uint32_t value, uint32_t flags = 0) {
  return RecordBytes("MISC",
                     ZField("NAME", id) + ZField("MODL", "m\\misc.nif") +
                         Field("MCDT", Bytes().F32(1.0f).U32(value).U32(0).str()),
                     flags);
}

inline std::string Cell(const std::string& name, uint32_t flags, int32_t x, int32_t y,
                        const std::string& more = "") {
  return RecordBytes(
      "CELL", ZField("NAME", name) + Field("DATA", Bytes().U32(flags).I32(x).I32(y).str()) + more);
}

// A weapon whose chop damage runs from 1 to chopMax (slash and thrust 1 to 5).
inline std::string Weapon(const std::string& id, const std::string& name, float weight,
                          uint8_t chopMax) {
  return RecordBytes("WEAP", ZField("NAME", id) + ZField("MODL", "w\\sword.nif") +
                                 ZField("FNAM", name) +
                                 Field("WPDT", Bytes()
                                                   .F32(weight)
                                                   .U32(20)
                                                   .U16(1)
                                                   .U16(100)
                                                   .F32(1)
                                                   .F32(1)
                                                   .U16(0)
                                                   .U8(1)
                                                   .U8(chopMax)
                                                   .U8(1)
                                                   .U8(5)
                                                   .U8(1)
                                                   .U8(5)
                                                   .U32(0)
                                                   .str()));
}

// The fields of one cell reference: its number (the master's index in the
// high byte, 0 for a reference the file made itself), its object and more.
inline std::string Reference(uint32_t number, const std::string& id, const std::string& more = "") {
  return Field("FRMR", Bytes().U32(number).str()) + ZField("NAME", id) + more;
}

inline std::string Dial(const std::string& topic, uint8_t type = 0) {
  return RecordBytes("DIAL", ZField("NAME", topic) + Field("DATA", std::string(1, char(type))));
}

inline std::string Info(const std::string& id, const std::string& prev, const std::string& next,
                        const std::string& text) {
  return RecordBytes("INFO",
                     ZField("INAM", id) + ZField("PNAM", prev) + ZField("NNAM", next) +
                         Field("DATA", Bytes().U32(0).U32(10).U8(0xFF).U8(0).U8(0xFF).U8(0).str()) +
                         Field("NAME", text));
}

}  // namespace modrake::test
