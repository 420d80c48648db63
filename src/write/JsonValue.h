// The JSON documents the writers make (a .glb's, a tileset's): a value built as a tree, then written
// as compact text, in one place. JSON is only written here, never read; the text is what nlohmann's
// JSON library wrote for the same tree, byte for byte (objects' keys sorted, reals in their
// shortest text that reads back, ill-formed UTF-8 as U+FFFD), so files keep their bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace Ostrel::Buildings {

// How a document's reals are written: as doubles, or as floats (a .glb, whose numbers are floats,
// holds "0.1" for 0.1f, not "0.10000000149011612").
enum class JsonReals { Doubles, Floats };

class JsonValue {
 public:
  enum class Kind : std::uint8_t { Null, Boolean, Signed, Unsigned, Real, String, Array, Object };

  JsonValue() = default;
  JsonValue(bool i_value) : m_kind(Kind::Boolean) { m_scalar.boolean = i_value; }
  template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
  JsonValue(T i_value) {
    if constexpr (std::is_signed_v<T>) {
      m_kind = Kind::Signed;
      m_scalar.whole = i_value;
    } else {
      m_kind = Kind::Unsigned;
      m_scalar.count = i_value;
    }
  }
  template <typename T, std::enable_if_t<std::is_floating_point_v<T>, int> = 0>
  JsonValue(T i_value) : m_kind(Kind::Real) {
    m_scalar.real = static_cast<double>(i_value);
  }
  JsonValue(const char* i_text) : JsonValue(std::string(i_text)) {}
  JsonValue(std::string i_text);
  template <typename T, std::size_t N>
  JsonValue(const std::array<T, N>& i_values) : JsonValue(array()) {
    for (const T& value : i_values) push_back(value);
  }
  // A list of [key, value] pairs (each a list of two whose first is a string) is an object, the
  // first of a repeated key kept; any other list is an array. {} is an empty object.
  JsonValue(std::initializer_list<JsonValue> i_values);

  JsonValue(const JsonValue& i_other);
  JsonValue(JsonValue&& i_other) noexcept;
  JsonValue& operator=(const JsonValue& i_other);
  JsonValue& operator=(JsonValue&& i_other) noexcept;
  ~JsonValue();

  static JsonValue array();
  static JsonValue object();

  Kind kind() const { return m_kind; }
  // An object's member, added as null when it has none; a null value becomes an empty object first.
  JsonValue& operator[](const std::string& i_key);
  // An array's element, the array grown with nulls to hold it; a null value becomes an empty array.
  JsonValue& operator[](std::size_t i_index);
  // Appends to an array; a null value becomes an empty array first.
  void push_back(JsonValue i_value);
  JsonValue& back();  // an array's last element, which it has
  bool contains(const std::string& i_key) const;  // an object's member
  void erase(const std::string& i_key);           // an object's member, if it has it
  std::size_t size() const;  // elements or members; 0 for null, 1 for any other value
  bool empty() const { return size() == 0; }

  // The compact text: no spaces, no line breaks.
  std::string dump(JsonReals i_reals = JsonReals::Doubles) const;

 private:
  struct Tree;  // a string's text, an array's elements or an object's members
  Tree& tree();
  void become(Kind i_kind);  // from null to an empty array or object
  void put(std::string& io_text, JsonReals i_reals) const;

  union Scalar {
    bool boolean;
    std::int64_t whole;   // Signed
    std::uint64_t count;  // Unsigned
    double real;
  };

  Kind m_kind = Kind::Null;
  Scalar m_scalar{};
  std::unique_ptr<Tree> m_tree;  // a string's, an array's or an object's; null for the others
};

struct JsonValue::Tree {
  std::string text;
  std::vector<JsonValue> elements;
  std::map<std::string, JsonValue> members;
};

}  // namespace Ostrel::Buildings
