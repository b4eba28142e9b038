#pragma once
// Making archive text safe to print. Names and comments come from the archive
// and may hold anything: control characters that would drive the terminal,
// bytes that are not UTF-8. Nothing from an archive reaches the output without
// passing through one of these.
#include <cstdint>
#include <string>
#include <string_view>

namespace cli {

// For a terminal: printable UTF-8 passes unchanged; C0 and C1 control
// characters, DEL and bytes that are not part of valid UTF-8 become \xNN (one
// per byte), and a backslash becomes \\, so that the result reads back
// unambiguously.
std::string EscapeForTerminal(std::string_view bytes);

// A quoted JSON string. Control characters are escaped; bytes that are not
// valid UTF-8 become U+FFFD, so that the output is always valid JSON.
std::string JsonString(std::string_view bytes);
void AppendJsonString(std::string& out, std::string_view bytes);

// One JSON object on one line, members in the order they were added.
class JsonObject {
 public:
  JsonObject& AddString(std::string_view name, std::string_view value);
  JsonObject& AddNumber(std::string_view name, int64_t value);
  JsonObject& AddBool(std::string_view name, bool value);
  JsonObject& AddNull(std::string_view name);
  std::string Text() const { return "{" + members_ + "}"; }

 private:
  JsonObject& key(std::string_view name);
  std::string members_;
};

}  // namespace cli
