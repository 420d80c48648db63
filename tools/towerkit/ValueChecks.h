#pragma once
// Checks of the values a user gives for a size, a door, a balcony or a wall. A value the building
// cannot use as given gets one warning line that names it and says what the building makes of it.
// A check never changes a value: the building is made exactly as it would be without the warning,
// so that scripts which work today keep working.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include <ostrel/utils/Messages.h>

namespace Towerkit {

// The start of a warning about a command-line value: "Value '3x' of option '-w'".
inline std::string OptionValue(const std::string& i_option, const std::string& i_value) {
  return "Value '" + i_value + "' of option '" + i_option + "'";
}

// The start of a warning about an answer in step-by-step mode: "Answer 'sc'".
inline std::string AnswerValue(const std::string& i_value) { return "Answer '" + i_value + "'"; }

// True when i_value is an optional sign and one or more decimal digits, and nothing else.
inline bool IsWholeNumber(const std::string& i_value) {
  std::string::size_type i = 0;
  if (i < i_value.size() && (i_value[i] == '+' || i_value[i] == '-')) ++i;
  if (i == i_value.size()) return false;
  for (; i < i_value.size(); ++i) {
    if (i_value[i] < '0' || i_value[i] > '9') return false;
  }
  return true;
}

// Warns unless i_value is a whole number. i_size names the size ("width"); i_used is the value
// that the size takes all the same (what the lenient conversion read from the text's start).
inline void CheckWholeNumber(const std::string& i_subject, const std::string& i_value, const char* i_size,
                             int i_used) {
  if (IsWholeNumber(i_value)) return;
  Ostrel::Message::PrintWarning(i_subject + " is not a whole number: the " + i_size + " is " +
                                std::to_string(i_used));
}

// The seed that a text gives: the digits it starts with, after an optional '+', saturating at
// 2^64 - 1; 0 when it starts otherwise (a '-' included: a seed is never negative).
inline std::uint64_t ReadSeed(const std::string& i_value) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::string::size_type i = !i_value.empty() && i_value[0] == '+' ? 1 : 0;
  std::uint64_t seed = 0;
  for (; i < i_value.size() && i_value[i] >= '0' && i_value[i] <= '9'; ++i) {
    const auto digit = static_cast<std::uint64_t>(i_value[i] - '0');
    seed = seed > (kMax - digit) / 10 ? kMax : seed * 10 + digit;
  }
  return seed;
}

// Warns unless i_value is a whole number from 0 to 2^64 - 1; i_used is the seed taken all the same.
inline void CheckSeed(const std::string& i_subject, const std::string& i_value, std::uint64_t i_used) {
  if (IsWholeNumber(i_value) && i_value[0] != '-') {
    std::string digits = i_value.substr(i_value[0] == '+' ? 1 : 0);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    const std::string largest = "18446744073709551615";
    if (digits.size() < largest.size() || (digits.size() == largest.size() && digits <= largest)) return;
  }
  Ostrel::Message::PrintWarning(i_subject +
                                " is not a whole number from 0 to 18446744073709551615: the seed is " +
                                std::to_string(i_used));
}

namespace detail {

inline bool IsSideLetter(char i_c) { return i_c == 'N' || i_c == 'S' || i_c == 'E' || i_c == 'W'; }

// Whether the first two letters of a door, balcony or wall request are a side and a letter of
// i_seconds: the building ignores a request whose first two letters are not.
inline bool IsUsableRequest(const std::string& i_value, const char* i_seconds) {
  return i_value.size() >= 2 && IsSideLetter(i_value[0]) &&
         std::string(i_seconds).find(i_value[1]) != std::string::npos;
}

// The building reads only the first two letters of a door, balcony or wall request.
inline void CheckTwoLetters(const std::string& i_subject, const std::string& i_value, const char* i_seconds,
                            const std::string& i_problem) {
  if (!IsUsableRequest(i_value, i_seconds)) {
    Ostrel::Message::PrintWarning(i_subject + i_problem);
    return;
  }
  if (i_value.size() == 2) return;
  Ostrel::Message::PrintWarning(i_subject + " has more than two letters: only '" + i_value.substr(0, 2) +
                                "' is used");
}

}  // namespace detail

// A kind of two-letter request, and why a value is not one.
struct RequestKind {
  const char* seconds;  // the letters that may follow the side
  const char* fault;    // why a value is not one
};

inline constexpr RequestKind kDoorRequest{
    "LCR", " is not a door: give a side N, S, E or W and a place L, C or R, such as SC"};
inline constexpr RequestKind kBalconyRequest{
    "AEOC", " is not a balcony request: give a side N, S, E or W and a pattern A, E, O or C, such as NA"};
inline constexpr RequestKind kWallRequest{
    "AEOC", " is not a wall request: give a side N, S, E or W and a pattern A, E, O or C, such as NA"};

// What is wrong with a request, for a sentence that starts with the value: empty when it is
// exactly two letters the building can use, else a fault such as " is not a door: give ...".
inline std::string RequestFault(const std::string& i_value, const RequestKind& i_kind) {
  if (!detail::IsUsableRequest(i_value, i_kind.seconds)) return i_kind.fault;
  if (i_value.size() != 2) return " has more than two letters";
  return std::string();
}

inline void CheckDoor(const std::string& i_subject, const std::string& i_value) {
  detail::CheckTwoLetters(i_subject, i_value, kDoorRequest.seconds,
                          std::string(kDoorRequest.fault) + "; no door is placed");
}

inline void CheckBalcony(const std::string& i_subject, const std::string& i_value) {
  detail::CheckTwoLetters(i_subject, i_value, kBalconyRequest.seconds,
                          std::string(kBalconyRequest.fault) + "; it adds no balcony");
}

inline void CheckWall(const std::string& i_subject, const std::string& i_value) {
  detail::CheckTwoLetters(i_subject, i_value, kWallRequest.seconds,
                          std::string(kWallRequest.fault) + "; it closes no window");
}

}  // namespace Towerkit
