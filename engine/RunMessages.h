// What the user is told of a run that did not complete: the window shows it in a message
// box, the command line prints it. One text for both.
#pragma once

#include <string>

#include "engine/PasswordGenerator.h"

// A message that may name the output file: the text is `before`, then the quoted path when
// namesFile, then `after`. The path stays out of here because the window shows it in
// UTF-16 and the command line as bytes.
struct RunMessage {
  std::string before;
  bool namesFile = false;
  std::string after = {};
};

// The message for `result`. `kept`: the output file existed before the run (a failed write
// leaves it as it was). `needs`: the every-set figures of the settings, for SetsDoNotFit.
// Empty for Completed and Cancelled (the user asked for a cancel: nothing to say).
RunMessage RunFailureMessage(GenerateResult result, bool kept, const SetsAndPlaces& needs);
