#include "samplegame/sample_game.hpp"

#include <algorithm>
#include <system_error>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "platform/file_io.hpp"
#include "platform/file_names.hpp"
#include "samplegame/sample_masters.hpp"
#include "samplegame/sample_plugins.hpp"

namespace modrake::samplegame {
namespace {

constexpr int64_t kDay = 24 * 3600;

// An installation the writer did not make must never be overwritten.
void CheckFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::exists(folder, ec)) return;
  if (!std::filesystem::is_directory(folder, ec)) {
    FatalError("Cannot write the sample game: %s is not a folder", folder.string().c_str());
  }
  bool holdsGame = FindNoCase(folder, "Morrowind.ini").has_value() ||
                   FindNoCase(folder, "Data Files").has_value();
  if (holdsGame && !std::filesystem::exists(folder / kMarkerName, ec)) {
    FatalError(
        "%s already holds a game installation that the sample game did not write; "
        "choose an empty folder",
        folder.string().c_str());
  }
}

void Write(const std::filesystem::path& path, const std::string& bytes, int64_t time) {
  if (WriteResult written = WriteFileAtomically(path, bytes); !written) WriteFailed(path, written);
  SetFileTime(path, time);
}

std::string IniText(const std::vector<std::string>& active) {
  std::string t;
  auto line = [&](const std::string& text) { t += text + "\r\n"; };
  line("[General]");
  line("; Game settings. Lines starting with ; are comments.");
  line("Beta Comment File=");
  line("Create Maps Enable=0");
  line("Screen Shot Enable=0");
  line("Screen Shot Base Name=ScreenShot");
  line("SkipProgramFlows=1");
  line("Show FPS=0");
  line("Subtitles=1");
  line("");
  line("[Moons]");
  line("Masser Size=94");
  line("Masser Fade In Start=14");
  line("Secunda Size=40");
  line("Secunda Fade In Start=14");
  line("");
  line("[Weather]");
  line("; How fast the weather changes, in game hours.");
  line("Hours Between Weather Changes=20");
  line("Sunrise Time=6");
  line("Sunset Time=18");
  line("");
  line("[Level Up]");
  line("Level2=You realize that all your life you have been coasting along.");
  line("Default=You have learned a great deal.");
  line("");
  line("[Game Files]");
  for (size_t i = 0; i < active.size(); ++i)
    line(FormatText("GameFile%zu=%s", i, active[i].c_str()));
  line("");
  line("[Archives]");
  line("Archive 0=Tribunal.bsa");
  line("Archive 1=Bloodmoon.bsa");
  line("");
  line("[Movies]");
  line("Company Logo=bethesda logo.bik");
  line("Morrowind Logo=mw_logo.bik");
  line("New Game=mw_intro.bik");
  line("");
  line("[Blood]");
  line("; Blood textures, by creature blood type.");
  line("Model 0=BloodSplat.nif");
  line("Texture 0=Tx_Blood.tga");
  return t;
}

}  // namespace

SampleGameResult WriteSampleGame(const std::filesystem::path& folder,
                                 const SampleGameOptions& options) {
  CheckFolder(folder);
  std::filesystem::path data = folder / "Data Files";
  std::error_code ec;
  std::filesystem::create_directories(data, ec);
  if (ec) FatalError("Cannot create folder %s", data.string().c_str());
  // The marker goes first: a run that fails half way can be repeated.
  Write(folder / kMarkerName, "Written by modrake sample-game\r\n", kSampleEpoch);

  SampleGameResult result;
  SampleMasters masters = BuildMasters(options.scale);
  std::vector<BuiltPlugin> plugins = BuildPlugins(masters, options.plugins);

  auto put = [&](const std::string& name, const std::string& bytes, int64_t time) {
    Write(data / TextPath(name), bytes, time);
    result.files.push_back(data / TextPath(name));
    result.bytes += bytes.size();
  };
  put("Morrowind.esm", masters.morrowind->b.Finish(), kSampleEpoch);
  put("Tribunal.esm", masters.tribunal->b.Finish(), kSampleEpoch + 180 * kDay);
  put("Bloodmoon.esm", masters.bloodmoon->b.Finish(), kSampleEpoch + 365 * kDay);

  std::vector<std::string> scenarioActive, generatedActive;
  int64_t time = kSampleEpoch + 400 * kDay;
  size_t masterCount = 0, scenarioCount = 0;
  for (const BuiltPlugin& p : plugins) {
    bool isMaster = p.name.size() > 4 && EqualsNoCase(p.name.substr(p.name.size() - 4), ".esm");
    bool generated = p.name.rfind("Generated_Plugin_", 0) == 0;
    if (isMaster) {
      time = kSampleEpoch + (400 + static_cast<int64_t>(masterCount++)) * kDay;
    } else if (!generated) {
      time = kSampleEpoch + 730 * kDay + static_cast<int64_t>(scenarioCount++) * 300;
    } else {
      time += 120;
    }
    if (generated && time < kSampleEpoch + 731 * kDay) time = kSampleEpoch + 731 * kDay;
    put(p.name, p.bytes, time);
    if (!p.active) continue;
    // The ini names the mixed-case plugin in lower case, as players' files often do.
    std::string listed = p.name == "MixedCase_Plugin.ESP" ? "mixedcase_plugin.esp" : p.name;
    (generated ? generatedActive : scenarioActive).push_back(listed);
  }

  // [Game Files] lists the files by name, not in load order, and at most 255.
  std::sort(scenarioActive.begin(), scenarioActive.end(),
            [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
  std::vector<std::string> active = {"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"};
  active.insert(active.end(), scenarioActive.begin(), scenarioActive.end());
  for (const auto& name : generatedActive) {
    if (active.size() >= 255) break;
    active.push_back(name);
  }
  std::string ini = IniText(active);
  Write(folder / "Morrowind.ini", ini, time + 600);
  result.files.push_back(folder / "Morrowind.ini");
  result.bytes += ini.size();

  // A folder written before may hold plugins this run does not write.
  for (const auto& entry : std::filesystem::directory_iterator(data, ec)) {
    std::string ext = entry.path().extension().string();
    if (!EqualsNoCase(ext, ".esp") && !EqualsNoCase(ext, ".esm")) continue;
    if (std::find(result.files.begin(), result.files.end(), entry.path()) == result.files.end()) {
      std::filesystem::remove(entry.path(), ec);
    }
  }
  SetFileTime(data, time + 600);
  SetFileTime(folder / kMarkerName, kSampleEpoch);
  return result;
}

}  // namespace modrake::samplegame
