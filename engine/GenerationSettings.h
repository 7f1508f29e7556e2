// The record that carries every input of one generation run from the window to the engine.
#pragma once

#include <cstdint>
#include <string>

// Equal to the index of the selected tab.
enum class GenerationMode : std::int32_t { Random = 0, Masked = 1 };

// Every number and flag is 0 and every text empty until the window fills the record.
// Texts are ANSI byte strings, compared byte for byte.
struct CGenerationSettings {
  GenerationMode mode = GenerationMode::Random;
  std::string mask;         // template of a Masked password
  std::string symbolMask;   // its first byte is the marker; the rest is ignored
  std::int32_t length = 0;  // Random length, or its upper bound when variable
  std::int32_t variableLength = 0;
  // The six set flags, in the order of the window's check boxes.
  std::int32_t useCapitals = 0;
  std::int32_t useSmall = 0;
  std::int32_t useDigits = 0;
  std::int32_t useSpecial = 0;
  std::int32_t useInclude = 0;
  std::int32_t useExclude = 0;
  std::string includeText;  // any length; the pool reads at most the first 1,000 bytes
  std::string excludeText;  // likewise
  std::int32_t count = 0;
};

// The process-wide record, filled by the window's generating commands.
extern CGenerationSettings theSettings;
