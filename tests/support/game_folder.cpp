#include "support/game_folder.hpp"

#include <stdexcept>

#include "platform/file_io.hpp"
#include "platform/file_names.hpp"

namespace modrake::test {

GameFolder::GameFolder(const std::string& dataFolderName) : dataFolderName_(dataFolderName) {
  std::filesystem::create_directories(data());
}

std::filesystem::path GameFolder::AddPlugin(const std::string& name, int64_t time,
                                            const std::vector<std::string>& masters,
                                            const std::string& records) {
  std::filesystem::path path = data() / TextPath(name);
  std::vector<std::pair<std::string, uint64_t>> listed;
  for (const auto& master : masters) listed.emplace_back(master, 1);
  WriteFile(path, HeaderRecord(listed) + records);
  if (!SetFileTime(path, time)) throw std::runtime_error("cannot set time");
  return path;
}

void GameFolder::WriteGameFiles(const std::vector<std::string>& names, const std::string& iniName) {
  std::string text = "[General]\r\nSubtitles=0\r\n\r\n[Game Files]\r\n";
  for (size_t i = 0; i < names.size(); ++i) {
    text += "GameFile" + std::to_string(i) + "=" + names[i] + "\r\n";
  }
  WriteFile(folder() / iniName, text);
}

std::string GameFolder::ReadIni(const std::string& iniName) const {
  return ReadFile(folder() / iniName);
}

int64_t GameFolder::TimeOf(const std::string& name) const {
  auto status = QueryFileStatus(data() / TextPath(name));
  return status ? status->modified : -1;
}

CommandResult GameFolder::Run(std::vector<std::string> args) const {
  args.insert(args.begin(), {"--game", folder().string(), "--home", home.path().string()});
  return RunModrake(args);
}

}  // namespace modrake::test
