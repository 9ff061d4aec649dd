#include "shell/dump.hpp"

#include <cstring>
#include <string>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "format/plugin_file.hpp"
#include "format/record_stream.hpp"

namespace modrake {

namespace {
void AppendHex8(std::string& out, uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

bool Flush(std::string& lines, std::FILE* out) {
  bool ok = std::fwrite(lines.data(), 1, lines.size(), out) == lines.size();
  lines.clear();
  return ok;
}
}  // namespace

void DumpRecords(const std::filesystem::path& file, std::FILE* out) {
  PluginFile plugin(file.parent_path(), file.filename().string());
  plugin.ClearRecords();
  RecordStream stream(plugin);
  // A master has tens of thousands of lines: they are put together here and
  // written a block at a time rather than formatted one call each.
  constexpr size_t kBlock = 64 * 1024;
  std::string lines;
  lines.reserve(kBlock + 1024);
  bool ok = true;
  while (stream.Next()) {
    // The line needs a few fields: the record is looked at, not parsed.
    const RecordView& record = stream.View();
    const RecordHeader& header = record.header;
    AppendInt(lines, static_cast<int64_t>(stream.offset()));
    lines += '\t';
    lines += TagText(header.tag);
    lines += '\t';
    AppendHex8(lines, header.flags);
    lines += '\t';
    AppendInt(lines, header.dataSize);
    lines += '\t';
    record.AppendDisplayId(lines);
    lines += '\n';
    if (lines.size() >= kBlock) ok = Flush(lines, out) && ok;
  }
  ok = Flush(lines, out) && ok;
  if (!ok || std::fflush(out) != 0) {
    FatalError("Cannot write the records of %s", file.string().c_str());
  }
}

}  // namespace modrake
