// The texts of the runs that did not complete.
#include "engine/RunMessages.h"

RunMessage RunFailureMessage(GenerateResult result, bool kept, const SetsAndPlaces& needs) {
  switch (result) {
    case GenerateResult::Completed:
    case GenerateResult::Cancelled:
      break;
    case GenerateResult::CannotCreate:
      return {"The file ", true, " could not be created."};
    case GenerateResult::EmptyPool:
      return {
          "No passwords were made: there are no characters to choose from.\n"
          "Tick at least one character set, or add symbols to include."};
    case GenerateResult::WriteFailed:
      return {"The file ", true,
              std::string(" could not be written completely. The disk may be full.") +
                  (kept ? " The existing file was left as it was." : "")};
    case GenerateResult::RandomFailed:
      return {"The system's secure random source failed. No passwords were made."};
    case GenerateResult::OutOfMemory:
      return {"There is not enough memory to make these passwords. No passwords were made."};
    case GenerateResult::SetsDoNotFit:
      return {"A password of " + std::to_string(needs.places) +
              " random characters cannot hold a character of each of the " + std::to_string(needs.sets) +
              " ticked sets."};
  }
  return {};
}
