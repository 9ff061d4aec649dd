#include "report/report_sink.hpp"

#include <nlohmann/json.hpp>

#include "core/execution_log.hpp"
#include "core/text.hpp"
#include "fields/field_formatter.hpp"
#include "format/plugin_file.hpp"
#include "report/cross_references.hpp"

namespace modrake {

namespace {

constexpr char kRule[] =
    "\n; ------------------------------------------------------------------------\n";

class TextSink : public ReportSink {
 public:
  explicit TextSink(ExecutionLog& log) : log_(log) {}

  void Object(const std::string& tag, const std::string& id, const std::string& topic,
              const Record*) override {
    if (topic.empty()) {
      log_.Log("\n%s  %s\n", tag.c_str(), id.c_str());
    } else {
      log_.Log("\n%s  %s ; %s\n", tag.c_str(), id.c_str(), topic.c_str());
    }
  }
  void Deleted(const char* plugin) override { log_.Log("  > [DELETED] %s\n", plugin); }
  void NoConflicts(const char* plugin) override { log_.Log("  > [NO CONFLICTS] %s\n", plugin); }
  void Version(const char* plugin) override { log_.Log("  > %s\n", plugin); }
  void Field(FieldKind kind, const std::string& label, const std::string& value,
             const char* master) override {
    if (kind == FieldKind::kReferenceField) {
      log_.Log("             %s %s\n", label.c_str(), value.c_str());
    } else if (master) {
      log_.Log("        %-9s %-40s ; %s\n", label.c_str(), value.c_str(), master);
    } else {
      log_.Log("        %-9s %s\n", label.c_str(), value.c_str());
    }
  }
  void End(const CrossReferences& crossReferences) override {
    log_.Log("%s", kRule);
    log_.Log("; List of non-conflicting plugins\n\n");
    for (const auto& entry : crossReferences.entries()) {
      if (entry.partners.empty()) log_.Log("%s\n", entry.plugin->name.c_str());
    }
    log_.Log("%s", kRule);
    log_.Log("; Conflict plugin cross-reference list\n\n");
    for (const auto& entry : crossReferences.entries()) {
      if (entry.partners.empty()) continue;
      log_.Log("%s\n", entry.plugin->name.c_str());
      for (const PluginFile* partner : entry.partners) {
        log_.Log("        %s\n", partner->name.c_str());
      }
      log_.Log("\n");
    }
  }

 private:
  ExecutionLog& log_;
};

using Json = nlohmann::ordered_json;

// Ids, texts and names are bytes of the game's code page: UTF-8 for the document.
std::string Text(std::string_view bytes) {
  return Utf8Text(bytes);
}

class JsonSink : public ReportSink {
 public:
  explicit JsonSink(std::string& document) : document_(document) {
    doc_["schema"] = "modrake-report";
    doc_["version"] = 1;
    doc_["objects"] = Json::array();
  }

  void Object(const std::string& tag, const std::string& id, const std::string& topic,
              const Record* master) override {
    Json object = {{"tag", Text(tag)}, {"id", Text(id)}};
    if (!topic.empty()) object["topic"] = Text(topic);
    object["master"] = nullptr;
    if (master) {
      Json fields = Json::array();
      std::string label, value;
      const auto& all = master->Fields();
      for (auto it = all.begin(); it != all.end();) {
        unsigned n = FormatField(*master, it, label, value);
        if (n == 0) {
          ++it;
          continue;
        }
        fields.push_back({{"label", Text(label)}, {"value", Text(value)}});
        std::advance(it, n);
      }
      object["master"] = {{"file", Text(master->file ? master->file->name : "")},
                          {"fields", fields}};
    }
    object["versions"] = Json::array();
    doc_["objects"].push_back(std::move(object));
  }
  void Deleted(const char* plugin) override { AddVersion(plugin, "deleted"); }
  void NoConflicts(const char* plugin) override { AddVersion(plugin, "no conflicts"); }
  void Version(const char* plugin) override { AddVersion(plugin, "differs"); }
  void Field(FieldKind kind, const std::string& label, const std::string& value,
             const char* master) override {
    static const char* const kKinds[] = {"field", "reference", "reference field"};
    Json field = {{"kind", kKinds[static_cast<int>(kind)]},
                  {"label", Text(label)},
                  {"value", Text(value)},
                  {"keepsMaster", master != nullptr}};
    doc_["objects"].back()["versions"].back()["fields"].push_back(std::move(field));
  }
  void End(const CrossReferences& crossReferences) override {
    Json plugins = Json::array();
    for (const auto& entry : crossReferences.entries()) {
      Json partners = Json::array();
      for (const PluginFile* partner : entry.partners) partners.push_back(Text(partner->name));
      plugins.push_back({{"plugin", Text(entry.plugin->name)}, {"partners", partners}});
    }
    doc_["crossReferences"] = plugins;
    document_ = doc_.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  }

 private:
  void AddVersion(const char* plugin, const char* state) {
    doc_["objects"].back()["versions"].push_back(
        {{"plugin", Text(plugin)}, {"state", state}, {"fields", Json::array()}});
  }

  std::string& document_;
  Json doc_;
};

}  // namespace

std::unique_ptr<ReportSink> TextReport(ExecutionLog& log) {
  return std::make_unique<TextSink>(log);
}

std::unique_ptr<ReportSink> JsonReport(std::string& document) {
  return std::make_unique<JsonSink>(document);
}

}  // namespace modrake
