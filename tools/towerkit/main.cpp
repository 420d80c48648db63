// towerkit: builds the mesh of a rectangular building, or of a city of them, from a kit of unit
// meshes, and writes it as Wavefront OBJ or binary glTF.

#include <string>
#include <vector>

#include <ostrel/utils/Messages.h>

#include "CityRun.h"
#include "Interrupts.h"
#include "Options.h"
#include "RunFlow.h"

// Where `cmake --install` puts the shipped kit, relative to the folder of the installed tool.
#ifndef TOWERKIT_UNITS_FROM_BIN
#define TOWERKIT_UNITS_FROM_BIN "../share/towerkit/units"
#endif

int main(int argc, char** argv) {
  Ostrel::Message::SetAppName("towerkit");
  Ostrel::Message::SetAppVersion("0.1");
  Ostrel::Message::SetVerbosity(3);

  Towerkit::RemoveTemporariesOnInterrupt();

  Towerkit::RunSettings settings;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  // Before the first line: whether warnings are errors, and whether standard output is the file
  // being written, whose console lines then go to standard error.
  Towerkit::PrepareConsole(args);
  switch (Towerkit::ParseArguments(args, settings)) {
    case Towerkit::ParseOutcome::Help:
      Towerkit::showHelp();
      return Towerkit::kExitSuccess;
    case Towerkit::ParseOutcome::MissingValue:
      return Towerkit::kExitFailure;
    case Towerkit::ParseOutcome::Run:
      break;
  }
  // Under --strict, a warning about the arguments ends the run before anything is read.
  if (Ostrel::Message::StrictErrors() > 0) return Towerkit::kExitFailure;
  if (!settings.mergeTiles.empty()) return Towerkit::RunMergeTiles(settings);
  if (!settings.city.empty()) return Towerkit::RunCityFlow(settings, TOWERKIT_UNITS_FROM_BIN);
  return Towerkit::RunFlow(settings, TOWERKIT_UNITS_FROM_BIN);
}
