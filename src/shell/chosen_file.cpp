#include "shell/chosen_file.hpp"

#include <system_error>

#include "core/session.hpp"
#include "install/game_installation.hpp"
#include "platform/file_names.hpp"

namespace modrake {

ChosenFile FindChosenFile(const Session& session, const std::filesystem::path& given) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(given, ec);
  std::string name = given.filename().string();
  if (!ec && !name.empty()) {
    if (auto here = FindNoCase(absolute.parent_path(), name)) {
      std::string why = WhyUnreadable(*here);
      if (!why.empty()) return {{}, why};
      return {*here, {}};
    }
  }
  if (given.has_parent_path() || name.empty() || !session.game) return {{}, "no such file"};
  const GameInstallation& game = *session.game;
  if (auto found = game.FindFile(name)) return {*found, {}};
  // A copy that cannot be read says why; the last folder wins, as it would.
  auto folders = game.DataFolders();
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    if (auto there = FindNoCase(*folder, name)) {
      std::string why = WhyUnreadable(*there);
      return {{}, why.empty() ? "cannot be read" : why};
    }
  }
  return {{},
          game.kind() == GameKind::kOpenMw ? "no such file here or in the game's data folders"
                                           : "no such file here or in \"Data Files\""};
}

}  // namespace modrake
