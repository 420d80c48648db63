#pragma once
// What the fuzz harnesses share: a check that stops the process with a report, and a check of
// the OBJ text that a build writes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace Fuzz {

// An abort is what libFuzzer and the replay test both take for a finding.
[[noreturn]] inline void Fail(const char* i_what, const char* i_file, int i_line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", i_file, i_line, i_what);
  std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : ::Fuzz::Fail(#condition, __FILE__, __LINE__))

// Counts of the element lines of an OBJ text.
struct ObjCounts {
  std::uint64_t vertices = 0;
  std::uint64_t normals = 0;
  std::uint64_t uvs = 0;
  std::uint64_t faces = 0;
};

namespace detail {

inline bool IsDigit(char i_c) { return i_c >= '0' && i_c <= '9'; }

// A float as the writer prints it: an optional "-", digits with at most one ".", then an
// optional exponent "e+dd" or "e-dd". Rejects "nan", "inf" and anything else.
inline bool IsNumber(std::string_view i_text) {
  std::size_t i = 0;
  if (i < i_text.size() && i_text[i] == '-') ++i;
  const std::size_t digitsStart = i;
  bool point = false;
  for (; i < i_text.size() && (IsDigit(i_text[i]) || (i_text[i] == '.' && !point)); ++i) {
    if (i_text[i] == '.') point = true;
  }
  if (i == digitsStart || !IsDigit(i_text[digitsStart])) return false;
  if (i == i_text.size()) return true;
  if (i_text[i] != 'e' || i + 4 > i_text.size() || (i_text[i + 1] != '+' && i_text[i + 1] != '-')) return false;
  for (i += 2; i < i_text.size(); ++i) {
    if (!IsDigit(i_text[i])) return false;
  }
  return true;
}

// Splits i_line at single blanks: the words after the keyword, which must number i_count.
inline bool HasNumbers(std::string_view i_rest, int i_count) {
  for (int k = 0; k < i_count; ++k) {
    const std::size_t blank = i_rest.find(' ');
    const std::string_view word = i_rest.substr(0, blank);
    if (!IsNumber(word)) return false;
    if (k + 1 < i_count) {
      if (blank == std::string_view::npos) return false;
      i_rest.remove_prefix(blank + 1);
    } else if (blank != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// A 1-based index in [i_low, i_high]; an empty field or one out of range fails.
inline bool IndexIn(std::string_view i_field, std::uint64_t i_low, std::uint64_t i_high) {
  if (i_field.empty() || i_field.size() > 19) return false;
  std::uint64_t value = 0;
  for (const char c : i_field) {
    if (!IsDigit(c)) return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value >= i_low && value <= i_high;
}

// One face corner "v", "v/t", "v//n" or "v/t/n" against the element counts.
inline bool CornerValid(std::string_view i_corner, std::uint64_t i_vertexOffset, const ObjCounts& i_counts) {
  const std::size_t first = i_corner.find('/');
  if (!IndexIn(i_corner.substr(0, first), i_vertexOffset + 1, i_vertexOffset + i_counts.vertices)) return false;
  if (first == std::string_view::npos) return true;
  const std::string_view rest = i_corner.substr(first + 1);
  const std::size_t second = rest.find('/');
  const std::string_view uv = rest.substr(0, second);
  if (second == std::string_view::npos) return IndexIn(uv, 1, i_counts.uvs);
  if (!uv.empty() && !IndexIn(uv, 1, i_counts.uvs)) return false;
  return IndexIn(rest.substr(second + 1), 1, i_counts.normals);
}

// The lines a building may hold beside v, vn, vt and f.
inline bool IsOtherLine(std::string_view i_line) {
  for (const std::string_view keyword : {"g ", "s ", "usemtl ", "mtllib ", "#"}) {
    if (i_line.substr(0, keyword.size()) == keyword) return true;
  }
  return false;
}

}  // namespace detail

// Checks the OBJ text of buildings: v, vn, vt and f lines in blocks in that order within each
// object (an "o" line starts the next), each number finite, every face of three or more corners
// whose indices name existing elements (the vertex numbers counting from i_vertexOffset + 1),
// every line ended by a line feed. Besides these, only object, group, smoothing, material and
// comment lines. Returns the counts; fails the process otherwise.
inline ObjCounts CheckObjText(std::string_view i_text, std::uint64_t i_vertexOffset) {
  ObjCounts counts;
  int block = 0;  // 0 v, 1 vn, 2 vt, 3 f: a block never comes back once a later one began
  std::size_t pos = 0;
  std::size_t facesStart = std::string_view::npos;
  while (pos < i_text.size()) {
    const std::size_t end = i_text.find('\n', pos);
    FUZZ_CHECK(end != std::string_view::npos);
    const std::string_view line = i_text.substr(pos, end - pos);
    int kind = -1;
    if (line.rfind("v ", 0) == 0) {
      kind = 0;
      FUZZ_CHECK(detail::HasNumbers(line.substr(2), 3));
      ++counts.vertices;
    } else if (line.rfind("vn ", 0) == 0) {
      kind = 1;
      FUZZ_CHECK(detail::HasNumbers(line.substr(3), 3));
      ++counts.normals;
    } else if (line.rfind("vt ", 0) == 0) {
      kind = 2;
      FUZZ_CHECK(detail::HasNumbers(line.substr(3), 2));
      ++counts.uvs;
    } else if (line.rfind("f ", 0) == 0) {
      kind = 3;
      if (facesStart == std::string_view::npos) facesStart = pos;
      ++counts.faces;
    } else if (line.rfind("o ", 0) == 0) {
      block = 0;
    } else {
      FUZZ_CHECK(detail::IsOtherLine(line));
    }
    if (kind >= 0) {
      FUZZ_CHECK(kind >= block);
      block = kind;
    }
    pos = end + 1;
  }
  // Faces last, now that the counts are known. Every corner is followed by one blank.
  for (pos = facesStart; pos != std::string_view::npos && pos < i_text.size();) {
    const std::size_t end = i_text.find('\n', pos);
    if (i_text.compare(pos, 2, "f ") != 0) {
      pos = end + 1;
      continue;
    }
    std::string_view corners = i_text.substr(pos + 2, end - pos - 2);
    int cornerCount = 0;
    while (!corners.empty()) {
      const std::size_t blank = corners.find(' ');
      FUZZ_CHECK(blank != std::string_view::npos);
      FUZZ_CHECK(detail::CornerValid(corners.substr(0, blank), i_vertexOffset, counts));
      corners.remove_prefix(blank + 1);
      ++cornerCount;
    }
    FUZZ_CHECK(cornerCount >= 3);
    pos = end + 1;
  }
  return counts;
}

}  // namespace Fuzz
