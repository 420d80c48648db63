#pragma once
// Checks of the values a user gives for a size, a door, a balcony or a wall. A value the building
// cannot use as given gets one warning line that names it and says what the building makes of it.
// A check never changes a value: the building is made exactly as it would be without the warning,
// so that scripts which work today keep working.

#include <cstdint>
#include <string>

namespace Towerkit {

// The start of a warning about a command-line value: "Value '3x' of option '-w'".
std::string OptionValue(const std::string& i_option, const std::string& i_value);

// The start of a warning about an answer in step-by-step mode: "Answer 'sc'".
std::string AnswerValue(const std::string& i_value);

// True when i_value is an optional sign and one or more decimal digits, and nothing else.
bool IsWholeNumber(const std::string& i_value);

// Warns unless i_value is a whole number. i_size names the size ("width"); i_used is the value
// that the size takes all the same (what the lenient conversion read from the text's start).
void CheckWholeNumber(const std::string& i_subject, const std::string& i_value, const char* i_size,
                      int i_used);

// The seed that a text gives: the digits it starts with, after an optional '+', saturating at
// 2^64 - 1; 0 when it starts otherwise (a '-' included: a seed is never negative).
std::uint64_t ReadSeed(const std::string& i_value);

// Warns unless i_value is a whole number from 0 to 2^64 - 1; i_used is the seed taken all the same.
void CheckSeed(const std::string& i_subject, const std::string& i_value, std::uint64_t i_used);

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
std::string RequestFault(const std::string& i_value, const RequestKind& i_kind);

void CheckDoor(const std::string& i_subject, const std::string& i_value);

void CheckBalcony(const std::string& i_subject, const std::string& i_value);

void CheckWall(const std::string& i_subject, const std::string& i_value);

}  // namespace Towerkit
