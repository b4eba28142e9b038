#pragma once
// A strict little JSON reader for checking the tool's --json output: it
// rejects anything that isn't valid JSON, so reading the output back is also
// the test that it is well-formed.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace jsontest {

struct Value {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Value> items;
  std::map<std::string, Value> members;
  std::vector<std::string> order;  // member names as they came

  const Value& operator[](const std::string& name) const {
    static const Value missing;
    auto it = members.find(name);
    return it == members.end() ? missing : it->second;
  }
};

class Reader {
 public:
  explicit Reader(std::string text) : s_(std::move(text)) {}

  // The value, or none when the text is not exactly one JSON value.
  std::optional<Value> Parse() {
    Value v;
    if (!value(v)) return std::nullopt;
    space();
    if (i_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  void space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
  }
  bool literal(const char* word) {
    std::string w = word;
    if (s_.compare(i_, w.size(), w) != 0) return false;
    i_ += w.size();
    return true;
  }
  bool value(Value& v) {
    space();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == '{') return object(v);
    if (c == '[') return array(v);
    if (c == '"') {
      v.kind = Value::String;
      return string(v.text);
    }
    if (literal("true")) { v.kind = Value::Bool; v.boolean = true; return true; }
    if (literal("false")) { v.kind = Value::Bool; return true; }
    if (literal("null")) { v.kind = Value::Null; return true; }
    size_t start = i_;
    if (s_[i_] == '-') ++i_;
    while (i_ < s_.size() && (isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.' ||
                              s_[i_] == 'e' || s_[i_] == 'E' || s_[i_] == '+' || s_[i_] == '-')) {
      ++i_;
    }
    if (i_ == start) return false;
    v.kind = Value::Number;
    v.number = std::stod(s_.substr(start, i_ - start));
    return true;
  }
  bool object(Value& v) {
    v.kind = Value::Object;
    ++i_;
    space();
    if (i_ < s_.size() && s_[i_] == '}') { ++i_; return true; }
    for (;;) {
      space();
      std::string name;
      if (i_ >= s_.size() || s_[i_] != '"' || !string(name)) return false;
      space();
      if (i_ >= s_.size() || s_[i_++] != ':') return false;
      Value member;
      if (!value(member) || v.members.count(name)) return false;
      v.order.push_back(name);
      v.members[name] = std::move(member);
      space();
      if (i_ >= s_.size()) return false;
      if (s_[i_] == ',') { ++i_; continue; }
      if (s_[i_] == '}') { ++i_; return true; }
      return false;
    }
  }
  bool array(Value& v) {
    v.kind = Value::Array;
    ++i_;
    space();
    if (i_ < s_.size() && s_[i_] == ']') { ++i_; return true; }
    for (;;) {
      Value item;
      if (!value(item)) return false;
      v.items.push_back(std::move(item));
      space();
      if (i_ >= s_.size()) return false;
      if (s_[i_] == ',') { ++i_; continue; }
      if (s_[i_] == ']') { ++i_; return true; }
      return false;
    }
  }
  static void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bool string(std::string& out) {
    ++i_;  // the opening quote
    while (i_ < s_.size()) {
      const auto c = static_cast<unsigned char>(s_[i_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;  // raw control characters are not allowed
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (i_ >= s_.size()) return false;
      const char e = s_[i_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (i_ + 4 > s_.size()) return false;
          appendUtf8(out, static_cast<uint32_t>(std::stoul(s_.substr(i_, 4), nullptr, 16)));
          i_ += 4;
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  std::string s_;
  size_t i_ = 0;
};

inline std::optional<Value> Parse(const std::string& text) { return Reader(text).Parse(); }

}  // namespace jsontest
