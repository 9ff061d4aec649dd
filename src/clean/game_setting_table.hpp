#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace modrake {

// Game settings that plugins carry by accident (copied in by the editor):
// a GMST with one of these ids and exactly this value is removed by the
// cleaner whatever the masters hold.
class GameSettingTable {
 public:
  struct Row {
    std::string name;  // first letter: s text, f float, i integer
    int32_t integerValue = 0;
    float floatValue = 0;
    std::string textValue;
  };

  void AddGameSetting(std::string_view name, int32_t value);
  void AddGameSetting(std::string_view name, float value);
  void AddGameSetting(std::string_view name, std::string_view text);

  const std::vector<Row>& rows() const { return rows_; }

  // The table the program starts with.
  static GameSettingTable Standard();

 private:
  std::vector<Row> rows_;
};

}  // namespace modrake
