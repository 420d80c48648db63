// Checks of the values a user gives for a size, a door, a balcony or a wall.

#include "ValueChecks.h"

#include <cstdint>
#include <string>

#include <ostrel/utils/Messages.h>
#include <ostrel/utils/Numbers.h>

namespace Towerkit {

namespace {

bool IsSideLetter(char i_c) { return i_c == 'N' || i_c == 'S' || i_c == 'E' || i_c == 'W'; }

// Whether the first two letters of a door, balcony or wall request are a side and a letter of
// i_seconds: the building ignores a request whose first two letters are not.
bool IsUsableRequest(const std::string& i_value, const char* i_seconds) {
  return i_value.size() >= 2 && IsSideLetter(i_value[0]) &&
         std::string(i_seconds).find(i_value[1]) != std::string::npos;
}

// The building reads only the first two letters of a door, balcony or wall request.
void CheckTwoLetters(const std::string& i_subject, const std::string& i_value, const char* i_seconds,
                     const std::string& i_problem) {
  if (!IsUsableRequest(i_value, i_seconds)) {
    Ostrel::Message::PrintWarning(i_subject + i_problem);
    return;
  }
  if (i_value.size() == 2) return;
  Ostrel::Message::PrintWarning(i_subject + " has more than two letters: only '" + i_value.substr(0, 2) +
                                "' is used");
}

}  // namespace

std::string OptionValue(const std::string& i_option, const std::string& i_value) {
  return "Value '" + i_value + "' of option '" + i_option + "'";
}

std::string AnswerValue(const std::string& i_value) { return "Answer '" + i_value + "'"; }

bool IsWholeNumber(const std::string& i_value) {
  std::int64_t value = 0;
  const Ostrel::Numbers::WholeFault fault = Ostrel::Numbers::ParseWhole(i_value, value);
  return fault == Ostrel::Numbers::WholeFault::None || fault == Ostrel::Numbers::WholeFault::OutOfRange;
}

void CheckWholeNumber(const std::string& i_subject, const std::string& i_value, const char* i_size,
                      int i_used) {
  if (IsWholeNumber(i_value)) return;
  Ostrel::Message::PrintWarning(i_subject + " is not a whole number: the " + i_size + " is " +
                                std::to_string(i_used));
}

std::uint64_t ReadSeed(const std::string& i_value) {
  std::uint64_t seed = 0;
  Ostrel::Numbers::Clamp(Ostrel::Numbers::ReadLeading(i_value), seed);
  return seed;
}

void CheckSeed(const std::string& i_subject, const std::string& i_value, std::uint64_t i_used) {
  std::uint64_t seed = 0;
  if (Ostrel::Numbers::ParseWhole(i_value, seed) == Ostrel::Numbers::WholeFault::None) return;
  Ostrel::Message::PrintWarning(i_subject +
                                " is not a whole number from 0 to 18446744073709551615: the seed is " +
                                std::to_string(i_used));
}

std::string RequestFault(const std::string& i_value, const RequestKind& i_kind) {
  if (!IsUsableRequest(i_value, i_kind.seconds)) return i_kind.fault;
  if (i_value.size() != 2) return " has more than two letters";
  return std::string();
}

void CheckDoor(const std::string& i_subject, const std::string& i_value) {
  CheckTwoLetters(i_subject, i_value, kDoorRequest.seconds,
                  std::string(kDoorRequest.fault) + "; no door is placed");
}

void CheckBalcony(const std::string& i_subject, const std::string& i_value) {
  CheckTwoLetters(i_subject, i_value, kBalconyRequest.seconds,
                  std::string(kBalconyRequest.fault) + "; it adds no balcony");
}

void CheckWall(const std::string& i_subject, const std::string& i_value) {
  CheckTwoLetters(i_subject, i_value, kWallRequest.seconds,
                  std::string(kWallRequest.fault) + "; it closes no window");
}

}  // namespace Towerkit
