#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace modrake {

// Names inside the game's files (morrowind.ini, MAST) are bytes in the
// Windows code page cp1252, while Wine names the files on disk in UTF-8. The
// key under which one name meets itself in either form and in any letter
// case: a name that is valid UTF-8 is read as UTF-8, any other as cp1252.
std::string FileNameKey(std::string_view name);
bool SameFileName(std::string_view a, std::string_view b);
// The form the game reads: the cp1252 bytes of a UTF-8 name that cp1252 can
// spell; any other name as it is.
std::string GameFileName(std::string_view name);

// Appends the UTF-8 bytes of one character.
void EncodeUtf8(char32_t c, std::string& out);

// A path from a name or path held as text, which is UTF-8 (or a name in the
// game's cp1252). Its own string() gives the UTF-8 text back. Linux takes the
// bytes as they are; Windows, whose paths are wide, decodes them (a plain
// std::filesystem::path would read them in the ANSI code page).
std::filesystem::path TextPath(std::string_view text);

// Text for a screen or terminal that shows UTF-8: well-formed UTF-8 stays as
// it is, and any other byte is read as cp1252, so that names and ids from
// the game's files show as the game shows them beside names from the disk.
std::string Utf8Text(std::string_view text);

// The game treats file names case-insensitively; on a case-sensitive file
// system this finds the entry of folder whose name matches name in any letter
// case and in either form (an exact match wins). Returns the full path, or
// none.
std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& folder,
                                                const std::string& name);

// Why that entry is not a regular file this process may read ("no such
// file", "not a file", or the system's reason); empty when it is one.
std::string WhyUnreadable(const std::filesystem::path& path);

// folder/name when such an entry exists in any letter case, else folder/name
// as given (for files about to be created).
std::filesystem::path ResolveNoCase(const std::filesystem::path& folder, const std::string& name);

}  // namespace modrake
