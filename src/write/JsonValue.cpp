#include "write/JsonValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>

// nlohmann's shortest-text conversion of floats and doubles alone (its Grisu2, which is not always
// the shortest text, so no other conversion gives the same bytes), without the rest of the library,
// whose templates cost every unit that reads it seconds to compile.
#include <nlohmann/detail/conversions/to_chars.hpp>

namespace Ostrel::Buildings {

JsonValue::JsonValue(std::string i_text) : m_kind(Kind::String), m_tree(std::make_unique<Tree>()) {
  m_tree->text = std::move(i_text);
}

JsonValue::JsonValue(std::initializer_list<JsonValue> i_values) : m_tree(std::make_unique<Tree>()) {
  const bool pairs = std::all_of(i_values.begin(), i_values.end(), [](const JsonValue& i_value) {
    return i_value.m_kind == Kind::Array && i_value.m_tree->elements.size() == 2 &&
           i_value.m_tree->elements[0].m_kind == Kind::String;
  });
  if (!pairs) {
    m_kind = Kind::Array;
    m_tree->elements.assign(i_values.begin(), i_values.end());
    return;
  }
  m_kind = Kind::Object;
  for (const JsonValue& pair : i_values)
    m_tree->members.emplace(pair.m_tree->elements[0].m_tree->text, pair.m_tree->elements[1]);
}

JsonValue::JsonValue(const JsonValue& i_other)
    : m_kind(i_other.m_kind),
      m_scalar(i_other.m_scalar),
      m_tree(i_other.m_tree ? std::make_unique<Tree>(*i_other.m_tree) : nullptr) {}

JsonValue::JsonValue(JsonValue&& i_other) noexcept = default;

JsonValue& JsonValue::operator=(const JsonValue& i_other) {
  if (this != &i_other) *this = JsonValue(i_other);
  return *this;
}

JsonValue& JsonValue::operator=(JsonValue&& i_other) noexcept = default;

JsonValue::~JsonValue() = default;

JsonValue JsonValue::array() {
  JsonValue value;
  value.become(Kind::Array);
  return value;
}

JsonValue JsonValue::object() {
  JsonValue value;
  value.become(Kind::Object);
  return value;
}

void JsonValue::become(Kind i_kind) {
  if (m_kind != Kind::Null) return;
  m_kind = i_kind;
  m_tree = std::make_unique<Tree>();
}

JsonValue& JsonValue::operator[](const std::string& i_key) {
  become(Kind::Object);
  return m_tree->members[i_key];
}

JsonValue& JsonValue::operator[](std::size_t i_index) {
  become(Kind::Array);
  if (i_index >= m_tree->elements.size()) m_tree->elements.resize(i_index + 1);
  return m_tree->elements[i_index];
}

void JsonValue::push_back(JsonValue i_value) {
  become(Kind::Array);
  m_tree->elements.push_back(std::move(i_value));
}

JsonValue& JsonValue::back() { return m_tree->elements.back(); }

bool JsonValue::contains(const std::string& i_key) const {
  return m_kind == Kind::Object && m_tree->members.count(i_key) > 0;
}

void JsonValue::erase(const std::string& i_key) {
  if (m_kind == Kind::Object) m_tree->members.erase(i_key);
}

std::size_t JsonValue::size() const {
  switch (m_kind) {
    case Kind::Null: return 0;
    case Kind::Array: return m_tree->elements.size();
    case Kind::Object: return m_tree->members.size();
    default: return 1;
  }
}

namespace {

// The one ill-formed UTF-8 sequence's replacement, U+FFFD.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The bytes a UTF-8 sequence that starts with i_lead takes, and the range of its second byte (the
// later ones are 0x80 to 0xBF): shorter forms, surrogates and code points past U+10FFFF are
// ill-formed. 0 for a byte that starts no sequence.
int JsonSequenceBytes(unsigned char i_lead, unsigned char& o_low, unsigned char& o_high) {
  o_low = 0x80;
  o_high = 0xBF;
  if (i_lead >= 0xC2 && i_lead <= 0xDF) return 2;
  if (i_lead >= 0xE0 && i_lead <= 0xEF) {
    if (i_lead == 0xE0) o_low = 0xA0;
    if (i_lead == 0xED) o_high = 0x9F;
    return 3;
  }
  if (i_lead >= 0xF0 && i_lead <= 0xF4) {
    if (i_lead == 0xF0) o_low = 0x90;
    if (i_lead == 0xF4) o_high = 0x8F;
    return 4;
  }
  return 0;
}

void PutJsonCharacter(std::string& io_text, unsigned char i_byte) {
  switch (i_byte) {
    case '\b': io_text += "\\b"; return;
    case '\t': io_text += "\\t"; return;
    case '\n': io_text += "\\n"; return;
    case '\f': io_text += "\\f"; return;
    case '\r': io_text += "\\r"; return;
    case '"': io_text += "\\\""; return;
    case '\\': io_text += "\\\\"; return;
    default: break;
  }
  if (i_byte >= 0x20) {
    io_text += static_cast<char>(i_byte);
    return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  io_text += "\\u00";
  io_text += kHex[i_byte >> 4];
  io_text += kHex[i_byte & 15];
}

// The text between quotes, escaped; each ill-formed sequence is replaced where it is found to be
// ill-formed: a byte that starts none, or a sequence's well-formed beginning up to the byte that
// breaks it (which is then read again as a start) or up to the end of the text.
void PutJsonString(std::string& io_text, std::string_view i_text) {
  io_text += '"';
  std::size_t at = 0;
  while (at < i_text.size()) {
    const unsigned char lead = static_cast<unsigned char>(i_text[at]);
    if (lead < 0x80) {
      PutJsonCharacter(io_text, lead);
      ++at;
      continue;
    }
    unsigned char low = 0, high = 0;
    const int bytes = JsonSequenceBytes(lead, low, high);
    if (bytes == 0) {
      io_text += kReplacement;
      ++at;
      continue;
    }
    int good = 1;  // bytes of the sequence that may still be well-formed
    while (good < bytes && at + good < i_text.size()) {
      const unsigned char next = static_cast<unsigned char>(i_text[at + good]);
      if (next < low || next > high) break;
      low = 0x80;
      high = 0xBF;
      ++good;
    }
    if (good == bytes) io_text.append(i_text.substr(at, bytes));
    else io_text += kReplacement;
    at += good;
  }
  io_text += '"';
}

}  // namespace

void JsonValue::put(std::string& io_text, JsonReals i_reals) const {
  char buffer[64];
  switch (m_kind) {
    case Kind::Null: io_text += "null"; return;
    case Kind::Boolean: io_text += m_scalar.boolean ? "true" : "false"; return;
    case Kind::Signed:
      io_text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, m_scalar.whole).ptr);
      return;
    case Kind::Unsigned:
      io_text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, m_scalar.count).ptr);
      return;
    case Kind::Real: {
      if (i_reals == JsonReals::Floats) {
        const float real = static_cast<float>(m_scalar.real);
        if (!std::isfinite(real)) io_text += "null";
        else io_text.append(buffer, nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, real));
      } else {
        const double real = m_scalar.real;
        if (!std::isfinite(real)) io_text += "null";
        else io_text.append(buffer, nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, real));
      }
      return;
    }
    case Kind::String: PutJsonString(io_text, m_tree->text); return;
    case Kind::Array: {
      io_text += '[';
      for (std::size_t i = 0; i < m_tree->elements.size(); ++i) {
        if (i > 0) io_text += ',';
        m_tree->elements[i].put(io_text, i_reals);
      }
      io_text += ']';
      return;
    }
    case Kind::Object: {
      io_text += '{';
      bool first = true;
      for (const auto& [key, value] : m_tree->members) {
        if (!first) io_text += ',';
        first = false;
        PutJsonString(io_text, key);
        io_text += ':';
        value.put(io_text, i_reals);
      }
      io_text += '}';
      return;
    }
  }
}

std::string JsonValue::dump(JsonReals i_reals) const {
  std::string text;
  put(text, i_reals);
  return text;
}

}  // namespace Ostrel::Buildings
