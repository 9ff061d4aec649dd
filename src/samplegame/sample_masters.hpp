#pragma once

#include <memory>
#include <string>

#include "samplegame/game_writer.hpp"

namespace modrake::samplegame {

// The three game masters, built in memory; plugins copy records from them.
struct SampleMasters {
  std::unique_ptr<GameWriter> morrowind;
  std::unique_ptr<GameWriter> tribunal;
  std::unique_ptr<GameWriter> bloodmoon;
};

SampleMasters BuildMasters(double scale);

// Ids of the responses that the scenario plugins change.
namespace info_ids {
inline constexpr const char* kLittleAdvice[5] = {"1618927451138214811", "1618927451138214812",
                                                 "1618927451138214813", "1618927451138214814",
                                                 "1618927451138214815"};
inline constexpr const char* kLatestRumors[3] = {"2390813313121127301", "2390813313121127302",
                                                 "2390813313121127303"};
inline constexpr const char* kMyTrade[2] = {"3187122193051512641", "3187122193051512642"};
inline constexpr const char* kSpymaster[3] = {"4410290031652219991", "4410290031652219992",
                                              "4410290031652219993"};
inline constexpr const char* kTribunalRumor = "5261921632271218871";
}  // namespace info_ids

}  // namespace modrake::samplegame
