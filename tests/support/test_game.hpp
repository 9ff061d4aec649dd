#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/execution_log.hpp"
#include "core/options.hpp"
#include "core/session.hpp"
#include "install/game_installation.hpp"
#include "objectdb/master_set.hpp"
#include "objectdb/object_index.hpp"
#include "support/recording_ui.hpp"
#include "support/records.hpp"
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
  std::vector<uint64_t> Write(const std::string& name, const std::vector<std::string>& records,
                              const std::vector<std::pair<std::string, uint64_t>>& masters = {},
                              uint32_t fileType = 0) {
    std::string bytes = HeaderRecord(masters, 0, fileType);
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
  // The masters of the session, over its index.
  MasterSet masters() { return MasterSet(session()); }

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

}  // namespace modrake::test
