// Makes the passwords of one run from a filled settings record into a sink.
#pragma once

#include <cstdint>
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
// file at `path` that receives every requested password.
struct PasswordSink {
  enum class Kind { List, File };
  static constexpr int kMaxListRows = 1000;

  static PasswordSink List(PasswordRows& rows) { return {Kind::List, &rows, {}}; }
  static PasswordSink File(std::string path) { return {Kind::File, nullptr, std::move(path)}; }

  Kind kind;
  PasswordRows* rows;  // list kind only; not owned
  std::string path;    // file kind only
};

enum class GenerateResult : std::int32_t {
  Completed = 0,
  CannotCreate = -1,  // the output file cannot be created; nothing was made
  EmptyPool = -2,     // a random character is needed and the pool is empty; nothing was made
  WriteFailed = -3,   // a write failed; the run stopped there and the file keeps what was written
  RandomFailed = -4,  // the system's secure random source failed; nothing was made, no file touched
};

class CPasswordGenerator {
 public:
  // Builds the pool, then makes `count` passwords (at most 1,000 for a list) drawing
  // from `random`, and hands each to the sink. A run that would need a random character
  // from an empty pool is refused before any file is touched.
  static GenerateResult Generate(const CGenerationSettings& settings, const PasswordSink& sink,
                                 CRandomSource& random = theRandom);
  // The same run with every random decision drawn from the system's secure source (through
  // a ChaCha20 stream keyed for this run alone); never reads or advances any
  // CRandomSource. Refuses an empty pool as Generate does, then draws the key before any
  // file is touched. Defined in SecureLines.cpp.
  static GenerateResult GenerateSecure(const CGenerationSettings& settings, const PasswordSink& sink);
};
