// Makes the passwords of one run from a filled settings record into a sink.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/GenerationSettings.h"
#include "engine/RandomSource.h"

// Whatever shows the list sink's rows (the window's list view; a container in tests).
class PasswordRows {
 public:
  virtual ~PasswordRows() = default;
  // Row `index` (0 upwards), its ID text (the index in decimal) and the password bytes.
  virtual void AddRow(int index, std::string_view id, std::string_view password) = 0;
};

// Where a run's passwords go: a list of at most kMaxListRows rows, or a password list
// file at `path` that receives every requested password. The path is the system's own
// (UTF-16 on Windows), so that any folder name works. The file kind may instead be the
// process's standard output, written as it stands (no temporary file; what was written
// stays there), and its lines may end in LF alone.
struct PasswordSink {
  enum class Kind { List, File };
  static constexpr int kMaxListRows = 1000;

  static PasswordSink List(PasswordRows& rows) { return {Kind::List, &rows, {}}; }
  static PasswordSink File(std::filesystem::path path, bool lf = false) {
    return {Kind::File, nullptr, std::move(path), false, lf};
  }
  static PasswordSink StandardOutput(bool lf) { return {Kind::File, nullptr, {}, true, lf}; }

  Kind kind;
  PasswordRows* rows;          // list kind only; not owned
  std::filesystem::path path;  // file kind only, when not standardOutput
  bool standardOutput = false;
  bool lf = false;  // file kind: each line ends in LF, not CR LF
};

enum class GenerateResult : std::int32_t {
  Completed = 0,
  CannotCreate = -1,  // the output file cannot be created; nothing was made
  EmptyPool = -2,     // a random character is needed and the pool is empty; nothing was made
  WriteFailed = -3,   // a write failed; the run stopped there and the file keeps what was written
  RandomFailed = -4,  // the system's secure random source failed; nothing was made, no file touched
  Cancelled = -5,     // cancelled through CRunControl; a file run leaves the target as it was
  OutOfMemory = -6,   // a list run could not get its memory; no row was added
  SetsDoNotFit = -7,  // every ticked set is asked for in each password, and there are more
                      // such sets than random characters in one; nothing was made, no file touched
};

// Progress and cancel of one run, shared by the thread that runs it and any that watch it.
class CRunControl {
 public:
  // Any thread: asks the run to stop. It stops at its next check: within one block of a
  // file (about 1 MiB of lines) or one row of the list.
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
  // Any thread: the passwords made so far.
  std::int64_t Made() const { return made_.load(std::memory_order_relaxed); }
  // The run: says how many passwords are made so far; true when it is to stop.
  bool Report(std::int64_t made) {
    made_.store(made, std::memory_order_relaxed);
    return Cancelled();
  }

 private:
  std::atomic<bool> cancelled_{false};
  std::atomic<std::int64_t> made_{0};
};

// Everything a run takes beside the settings and the sink.
struct RunOptions {
  bool secure = false;              // draw from the system's secure source, not the 15-bit generator
  CRandomSource* random = nullptr;  // the 15-bit generator to draw from; null for theRandom
  std::int64_t count = -1;          // passwords to make; below 0, settings.count
  CRunControl* control = nullptr;   // progress and cancel; none when null
  // Each password holds at least one character of each built-in set that is ticked and
  // has a character left in the pool: one that does not is drawn again whole (a variable
  // length is kept), so that every passing password of a length is equally likely.
  bool everySet = false;
};

// What the every-set rule asks of one password of some settings.
struct SetsAndPlaces {
  int sets = 0;            // the ticked sets with a character in the pool
  std::size_t places = 0;  // the random characters of the shortest password
};

class CPasswordGenerator {
 public:
  // One run, from either source, with progress and cancel: the way the window and the
  // command line run the engine. Generate and GenerateSecure below are this run too.
  // With options.control, the passwords made are reported at least once per block of the
  // file and per row of the list, and a run asked to stop returns Cancelled: a file run
  // stops making at its next block and drops what is not yet written (the file layer then
  // leaves the target as it was); the 15-bit generator then stands after the passwords
  // made (a file's: after the blocks made). A file run that cannot get its memory or its
  // writer thread returns CannotCreate before the file is touched; a list run that cannot
  // get its memory returns OutOfMemory.
  static GenerateResult Run(const CGenerationSettings& settings, const PasswordSink& sink,
                            const RunOptions& options = {});
  // The sets and places of the every-set rule: a run with everySet is refused with
  // SetsDoNotFit when sets > places.
  static SetsAndPlaces EverySetNeeds(const CGenerationSettings& settings);
  // Builds the pool, then makes `count` passwords (at most 1,000 for a list) drawing
  // from `random`, and hands each to the sink. A run that would need a random character
  // from an empty pool is refused before any file is touched.
  static GenerateResult Generate(const CGenerationSettings& settings, const PasswordSink& sink,
                                 CRandomSource& random = theRandom);
  // The same with `count` in place of settings.count: any count, beyond the window's
  // range too (the benchmark). A file run that cannot get its memory (or its writer
  // thread) says CannotCreate, and the old file stays untouched.
  static GenerateResult Generate(const CGenerationSettings& settings, const PasswordSink& sink, CRandomSource& random,
                                 std::int64_t count);
  // The same run with every random decision drawn from the system's secure source (through
  // a ChaCha20 stream keyed for this run alone); never reads or advances any
  // CRandomSource. Refuses an empty pool as Generate does, then draws the key before any
  // file is touched.
  static GenerateResult GenerateSecure(const CGenerationSettings& settings, const PasswordSink& sink);
  // The same with `count` in place of settings.count (the benchmark).
  static GenerateResult GenerateSecure(const CGenerationSettings& settings, const PasswordSink& sink,
                                       std::int64_t count);
};
