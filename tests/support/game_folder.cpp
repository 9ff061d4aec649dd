#include "support/game_folder.hpp"

#include <sys/stat.h>
#include <sys/time.h>

#include <stdexcept>

#include "platform/file_io.hpp"

namespace modrake::test {

GameFolder::GameFolder(const std::string& dataFolderName) : dataFolderName_(dataFolderName) {
  std::filesystem::create_directories(data());
}

std::filesystem::path GameFolder::AddPlugin(const std::string& name, int64_t time,
                                            const std::vector<std::string>& masters) {
  Bytes fields;
  fields.Append(
      Field("HEDR", Bytes().F32(1.3f).U32(0).Fixed("tester", 32).Fixed("", 256).U32(0).str()));
  for (const auto& master : masters) {
    fields.Append(ZField("MAST", master));
    fields.Append(Field("DATA", Bytes().U32(1).U32(0).str()));
  }
  std::filesystem::path path = data() / name;
  WriteFile(path, RecordBytes("TES3", fields.str()));
  struct timeval times[2] = {{static_cast<time_t>(time), 0}, {static_cast<time_t>(time), 0}};
  if (::utimes(path.c_str(), times) != 0) throw std::runtime_error("cannot set time");
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
  struct stat st {};
  if (::stat((data() / name).c_str(), &st) != 0) return -1;
  return st.st_mtim.tv_sec;
}

CliGame::CliGame() {
  std::filesystem::create_directory(data());
}

void CliGame::Write(const std::string& name, const std::vector<std::string>& records,
                    int64_t time) {
  std::string bytes = HeaderRecord();
  for (const auto& record : records) bytes += record;
  WriteFile(data() / name, bytes);
  SetFileTime(data() / name, time);
}

CommandResult CliGame::Run(std::vector<std::string> args) const {
  args.insert(args.begin(), {"--game", dir.path().string(), "--home", home.path().string()});
  return RunModrake(args);
}

}  // namespace modrake::test
