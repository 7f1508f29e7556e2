// Runs that put a character of every ticked set into each password: the passwords against
// drawing one at a time and drawing again, on every vector path, in the list and in files;
// the exact uniform law over the passing passwords; settings that cannot pass; a cancel
// while passwords rarely pass.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/CharacterPool.h"
#include "engine/FastFill.h"
#include "engine/PasswordGenerator.h"
#include "tests/engine/RunHelpers.h"
#include "tests/engine/TempDir.h"

namespace {

// Written from the rule, not from the engine: the sets ticked and present in the pool,
// each found among the drawn characters.
bool HoldsEverySet(const CGenerationSettings& s, const std::string& drawn) {
  const std::string pool(CCharacterPool::Build(s).View());
  const std::pair<int, std::string_view> sets[] = {{s.useCapitals, CCharacterPool::kCapitals},
                                                   {s.useSmall, CCharacterPool::kSmall},
                                                   {s.useDigits, CCharacterPool::kDigits},
                                                   {s.useSpecial, CCharacterPool::kSpecial}};
  for (const auto& [ticked, set] : sets) {
    const std::string chars(set);
    if (ticked && pool.find_first_of(chars) != std::string::npos && drawn.find_first_of(chars) == std::string::npos)
      return false;
  }
  return true;
}

// The characters of a password drawn at the mask's markers (all of them in Random mode).
std::string Drawn(const CGenerationSettings& s, const std::string& password) {
  if (s.mode != GenerationMode::Masked) return password;
  std::string drawn;
  for (std::size_t k = 0; k < password.size() && k < s.mask.size(); ++k)
    if (s.mask[k] == s.symbolMask[0]) drawn += password[k];
  return drawn;
}

// Drawing one at a time: the length once, then the characters until they pass.
std::vector<std::string> OneByOne(const CGenerationSettings& s, CRandomSource& random, int count) {
  const std::string pool(CCharacterPool::Build(s).View());
  const auto n = static_cast<std::uint32_t>(pool.size());
  std::vector<std::string> passwords;
  for (int i = 0; i < count; ++i) {
    std::string p = s.mode == GenerationMode::Masked ? s.mask : std::string(static_cast<std::size_t>(s.length), ' ');
    if (s.mode == GenerationMode::Random && s.variableLength && s.length >= 6)
      p.resize(5 + random.Pick(static_cast<std::uint32_t>(s.length - 4)));
    std::vector<std::size_t> places;
    for (std::size_t k = 0; k < p.size(); ++k)
      if (s.mode == GenerationMode::Random || s.mask[k] == s.symbolMask[0]) places.push_back(k);
    do {
      for (const std::size_t k : places) p[k] = static_cast<char>(pool[random.Pick(n)]);
    } while (!HoldsEverySet(s, Drawn(s, p)));
    passwords.push_back(p);
  }
  return passwords;
}

CGenerationSettings Settings(GenerationMode mode, int length, bool variable) {
  CGenerationSettings s;
  s.mode = mode;
  s.length = length;
  s.variableLength = variable;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  if (mode == GenerationMode::Masked) {
    s.mask = "??-??:??x";
    s.symbolMask = "?";
  }
  return s;
}

RunOptions Every(bool secure, CRandomSource* random, std::int64_t count) {
  RunOptions options;
  options.secure = secure;
  options.random = random;
  options.count = count;
  options.everySet = true;
  return options;
}

}  // namespace

// Each kind of line: the list and a file on every path hold the passwords that drawing one
// at a time and drawing again gives, and the generator stands after the last of them; the
// secure source's passwords all pass too.
TEST(EverySet, EveryPasswordPassesAndTheDrawsAreThoseOfDrawingOneAtATime) {
  struct Case {
    const char* name;
    CGenerationSettings settings;
  };
  CGenerationSettings special = Settings(GenerationMode::Random, 8, false);
  special.useSpecial = 1;
  special.useInclude = special.useExclude = 1;
  special.includeText = "\x80\xC1 ";  // 0xC1 is no capital, though its low seven bits are A
  special.excludeText = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXY!@#";  // one capital left
  CGenerationSettings longLines = Settings(GenerationMode::Random, 300, false);
  longLines.excludeText = "abcdefghijklmnopqrstuvwxy";  // one small letter among many
  longLines.useExclude = 1;
  const Case cases[] = {
      {"random 8", Settings(GenerationMode::Random, 8, false)},
      {"random 3", Settings(GenerationMode::Random, 3, false)},
      {"random 13", Settings(GenerationMode::Random, 13, false)},
      {"four sets, one capital", special},
      {"variable up to 16", Settings(GenerationMode::Random, 16, true)},
      {"variable up to 249", Settings(GenerationMode::Random, 249, true)},
      {"variable up to 300", Settings(GenerationMode::Random, 300, true)},
      {"masked", Settings(GenerationMode::Masked, 0, false)},
      {"long lines", longLines},
  };
  constexpr int kCount = 3000;
  TempDir dir;
  const std::string file = dir.File("every.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CRandomSource reference;
    reference.Seed(4242);
    const std::vector<std::string> expected = OneByOne(c.settings, reference, kCount);

    Rows rows;
    CRandomSource random;
    random.Seed(4242);
    ASSERT_EQ(CPasswordGenerator::Run(c.settings, PasswordSink::List(rows), Every(false, &random, kCount)),
              GenerateResult::Completed);
    EXPECT_EQ(rows.passwords, std::vector<std::string>(expected.begin(), expected.begin() + 1000));
    for (FillPath path : Paths()) {
      SCOPED_TRACE(static_cast<int>(path));
      const PathLimit limit(path);
      random.Seed(4242);
      ASSERT_EQ(CPasswordGenerator::Run(c.settings, PasswordSink::File(file), Every(false, &random, kCount)),
                GenerateResult::Completed);
      EXPECT_EQ(Lines(TempDir::Read(file)), expected);
      EXPECT_EQ(random.State(), reference.State());

      ASSERT_EQ(CPasswordGenerator::Run(c.settings, PasswordSink::File(file), Every(true, nullptr, kCount)),
                GenerateResult::Completed);
      const std::vector<std::string> secure = Lines(TempDir::Read(file));
      EXPECT_EQ(secure.size(), static_cast<std::size_t>(kCount));
      for (const std::string& p : secure)
        if (!HoldsEverySet(c.settings, Drawn(c.settings, p))) {
          ADD_FAILURE() << "a secure password lacks a set: " << p;
          break;
        }
    }
  }
}

// A pool of five characters in two sets (A B C, 1 2): every passing password of length 2
// and 3 is equally likely, and no failing one occurs. Chi-square against the exact uniform
// law, at a level that a correct run fails once in a million.
TEST(EverySet, PassingPasswordsAreExactlyUniform) {
  CGenerationSettings s;
  s.useCapitals = s.useDigits = s.useExclude = 1;
  s.excludeText = "DEFGHIJKLMNOPQRSTUVWXYZ03456789";
  TempDir dir;
  const std::string file = dir.File("uniform.txt");
  for (const int length : {2, 3}) {
    s.length = length;
    const int passing = length == 2 ? 12 : 90;  // 5^L - 3^L - 2^L
    const int count = passing * 400;
    for (const bool secure : {false, true}) {
      SCOPED_TRACE(std::to_string(length) + (secure ? " secure" : " 15-bit"));
      CRandomSource random;
      random.Seed(99);
      ASSERT_EQ(CPasswordGenerator::Run(s, PasswordSink::File(file), Every(secure, &random, count)),
                GenerateResult::Completed);
      std::map<std::string, int> seen;
      for (const std::string& p : Lines(TempDir::Read(file))) ++seen[p];
      ASSERT_EQ(seen.size(), static_cast<std::size_t>(passing))
          << "a failing password occurred, or a passing one never";
      double chi = 0;
      const double expected = static_cast<double>(count) / passing;
      for (const auto& [password, n] : seen) {
        EXPECT_TRUE(HoldsEverySet(s, password)) << password;
        chi += (n - expected) * (n - expected) / expected;
      }
      // Wilson-Hilferty: the chi-square quantile for `passing - 1` degrees of freedom at
      // z = 4.75 (one in a million).
      const double k = passing - 1, z = 4.75;
      const double limit = k * std::pow(1 - 2 / (9 * k) + z * std::sqrt(2 / (9 * k)), 3);
      EXPECT_LT(chi, limit);
    }
  }
}

// More sets than random characters: refused before anything is made or touched; the
// settings' own figures say why.
TEST(EverySet, SettingsThatCannotHoldEverySetAreRefused) {
  struct Case {
    const char* name;
    CGenerationSettings settings;
    int sets;
    std::size_t places;
  };
  CGenerationSettings four = Settings(GenerationMode::Random, 3, false);
  four.useSpecial = 1;
  CGenerationSettings noDigits = four;  // digits ticked but all excluded: not asked for
  noDigits.useExclude = 1;
  noDigits.excludeText = "0123456789";
  CGenerationSettings variable = Settings(GenerationMode::Random, 5, true);  // below 6: a fixed length
  variable.useSpecial = 1;
  CGenerationSettings variableShort = variable;  // 3 is fixed too, and too short
  variableShort.length = 3;
  CGenerationSettings variableLong = variable;  // the shortest of 5 to 6 holds four
  variableLong.length = 6;
  CGenerationSettings includeOnly = Settings(GenerationMode::Random, 1, false);  // include symbols are no set
  includeOnly.useCapitals = includeOnly.useDigits = 0;
  includeOnly.useInclude = 1;
  includeOnly.includeText = "A1#";
  CGenerationSettings masked = Settings(GenerationMode::Masked, 0, false);
  masked.mask = "x?y?";
  CGenerationSettings noMarker = masked;
  noMarker.mask = "xy";
  const Case cases[] = {
      {"four sets in three", four, 4, 3},          {"three sets in three", noDigits, 3, 3},
      {"variable up to 5", variable, 4, 5},        {"variable up to 3", variableShort, 4, 3},
      {"variable up to 6", variableLong, 4, 5},    {"small letters and include symbols in one", includeOnly, 1, 1},
      {"three sets in two markers", masked, 3, 2}, {"no marker", noMarker, 3, 0}};
  TempDir dir;
  const std::string old = dir.File("old.txt"), fresh = dir.File("new.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SetsAndPlaces needs = CPasswordGenerator::EverySetNeeds(c.settings);
    EXPECT_EQ(needs.sets, c.sets);
    EXPECT_EQ(needs.places, c.places);
    const bool refused = c.sets > static_cast<int>(c.places);
    TempDir::Write(old, "an earlier file\r\n");
    for (const std::string& path : {old, fresh}) {
      CRandomSource random;
      random.Seed(5);
      const GenerateResult result =
          CPasswordGenerator::Run(c.settings, PasswordSink::File(path), Every(false, &random, 10));
      EXPECT_EQ(result, refused ? GenerateResult::SetsDoNotFit : GenerateResult::Completed);
      if (refused) {
        EXPECT_EQ(random.State(), 5u);
      }
    }
    EXPECT_EQ(TempDir::Read(old) == "an earlier file\r\n", refused);
    EXPECT_EQ(std::filesystem::exists(fresh), !refused);
    std::filesystem::remove(fresh);
    Rows rows;
    EXPECT_EQ(CPasswordGenerator::Run(c.settings, PasswordSink::List(rows), Every(true, nullptr, 10)),
              refused ? GenerateResult::SetsDoNotFit : GenerateResult::Completed);
  }
}

// Four sets in four characters of a pool of 213 with one digit: about one password in
// 4,000 passes, so one block of a file takes seconds; the made count still moves within
// the block, and a cancel ends the run at once.
TEST(EverySet, ARunThatRarelyPassesStillReportsAndCancels) {
  CGenerationSettings s = Settings(GenerationMode::Random, 4, false);
  s.useSpecial = s.useInclude = s.useExclude = 1;
  for (int c = 0x80; c <= 0xFF; ++c) s.includeText += static_cast<char>(c);
  s.excludeText = "012345689";
  TempDir dir;
  const std::string path = dir.File("slow.txt");
  TempDir::Write(path, "kept\r\n");
  for (const bool secure : {false, true}) {
    CRunControl control;
    RunOptions options = Every(secure, nullptr, 100000000);
    options.control = &control;
    GenerateResult result = GenerateResult::Completed;
    std::thread run([&] { result = CPasswordGenerator::Run(s, PasswordSink::File(path), options); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::int64_t made = control.Made();
    const auto asked = std::chrono::steady_clock::now();
    control.Cancel();
    run.join();
    EXPECT_EQ(result, GenerateResult::Cancelled);
    EXPECT_GT(made, 0) << "no progress within the first block";
    // Generous: a cancel noticed only between blocks would take seconds here.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1500));
    EXPECT_EQ(TempDir::Read(path), "kept\r\n");
  }
}
