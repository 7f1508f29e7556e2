// Whole generation runs with arbitrary settings, with or without the every-set rule, into a
// file on any vector path the processor has (the input picks one) or into the list, held
// against the plain model: the bytes made, the rows, the result and where the random source
// stands afterwards. Secure runs cannot be foretold: their passwords are checked for their
// shape (pool, lengths, mask, line ends) and the rule, and the 15-bit generator must not move.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/FastFill.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"
#include "engine/SecureRandom.h"
#include "fuzz/Model.h"

namespace {

enum class Target { File, List, MissingFolder, FullDisk };
// The 15-bit generator, or the secure source keyed from the seed (so that a finding can be
// run again), or a secure source that fails.
enum class Source { Exact, Secure, SecureFails };

struct Case {
  CGenerationSettings settings;
  std::uint32_t seed = 0;
  Target target = Target::File;
  FillPath path = FillPath::Sse2;
  Source source = Source::Exact;
  bool everySet = false;  // every password holds each ticked set left in the pool
};

// Every path this processor can run.
const std::vector<FillPath>& Paths() {
  static const std::vector<FillPath> paths = [] {
    std::vector<FillPath> all;
    for (FillPath path : kFillPaths)
      if (LimitFillPath(path) == path) all.push_back(path);
    return all;
  }();
  return paths;
}

// Input: shape byte, flags byte, seed word, source byte, marker text, mask, include and
// exclude texts, then the words the shape's length and count take.
//   source: bits 0-3 the vector path (modulo the paths there are); bit 4 secure, and
//           with bit 5 too a secure source that fails; bit 6 the every-set rule.
//   shape: bit 0 Masked; bits 1-4 the size class (13 to 15 the costly ones, so they stay
//          rare); bits 5-7: 7 a folder that does not exist, 6 a disk that is full, else a file.
//   flags: bits 0-5 the six sets in the window's order, bit 6 variable length, bit 7
//          the list instead of a file.
Case Decode(Reader& in) {
  Case c;
  CGenerationSettings& s = c.settings;
  const std::uint8_t shape = in.Byte();
  const std::uint8_t flags = in.Byte();
  c.seed = in.Word();
  const std::uint8_t source = in.Byte();
  c.path = Paths()[(source & 15) % Paths().size()];
  c.source = !(source & 16) ? Source::Exact : source & 32 ? Source::SecureFails : Source::Secure;
  c.everySet = source >> 6 & 1;
  s.mode = shape & 1 ? GenerationMode::Masked : GenerationMode::Random;
  std::int32_t* const sets[] = {&s.useCapitals, &s.useSmall, &s.useDigits, &s.useSpecial, &s.useInclude, &s.useExclude};
  for (int k = 0; k < 6; ++k) *sets[k] = flags >> k & 1;
  s.variableLength = flags >> 6 & 1;
  c.target = flags & 0x80      ? Target::List
             : shape >> 5 == 7 ? Target::MissingFolder
             : shape >> 5 == 6 ? Target::FullDisk
                               : Target::File;

  const int size = shape >> 1 & 15;
  s.symbolMask = in.Text(3);
  s.mask = in.Text(size >= 13 ? 1000 : 40);
  s.includeText = in.Text(1100);
  s.excludeText = in.Text(1100);
  constexpr std::int64_t kBlock = CPasswordListFile::kBlockSize;
  if (size <= 12) {  // most runs: short and few
    s.length = static_cast<std::int32_t>(in.In(0, 40));
    s.count = static_cast<std::int32_t>(in.In(0, 40));
  } else if (size == 13) {  // up to the list's cap and beyond
    s.length = static_cast<std::int32_t>(in.In(0, 300));
    s.count = static_cast<std::int32_t>(in.In(0, 2000));
  } else if (size == 14) {  // enough lines for one to three blocks, ending near a block boundary
    s.length = static_cast<std::int32_t>(in.In(0, 300));
    const bool masked = s.mode == GenerationMode::Masked;
    const std::int64_t nominal = masked ? s.mask.size() : s.length;
    const std::int64_t width = !masked && s.variableLength && nominal >= 6 ? (nominal + 5) / 2 + 2 : nominal + 2;
    s.count = static_cast<std::int32_t>(std::max<std::int64_t>(0, in.In(1, 3) * kBlock / width + in.In(-3, 3)));
  } else {  // long lines: past the staged draws, and around a whole block
    s.length = static_cast<std::int32_t>(in.Byte() & 1 ? in.In(250, 5000) : in.In(kBlock - 8, kBlock + 4));
    s.count = static_cast<std::int32_t>(in.In(1, 3));
  }
  return c;
}

std::string Describe(const Case& c, const std::string& pool) {
  const CGenerationSettings& s = c.settings;
  return (s.mode == GenerationMode::Masked ? "masked, mask of " + std::to_string(s.mask.size())
                                           : "random, length " + std::to_string(s.length)) +
         (s.variableLength ? " variable" : "") + ", count " + std::to_string(s.count) + ", pool of " +
         std::to_string(pool.size()) + ", seed " + std::to_string(c.seed) + ", path " + FillPathName(ActiveFillPath()) +
         (c.source == Source::Secure        ? ", secure"
          : c.source == Source::SecureFails ? ", failing secure source"
                                            : "") +
         (c.everySet ? ", every set" : "");
}

struct Rows : PasswordRows {
  std::vector<std::string> ids, passwords;
  bool inOrder = true;
  void AddRow(int index, std::string_view id, std::string_view password) override {
    inOrder = inOrder && index == static_cast<int>(ids.size());
    ids.emplace_back(id);
    passwords.emplace_back(password);
  }
};

// The key source of secure runs: bytes that follow from the case's seed, or a failure.
std::uint64_t keyState = 0;
bool keyFails = false;
bool CaseKey(void* out, std::size_t n) {
  if (keyFails) return false;
  auto* bytes = static_cast<unsigned char*>(out);
  for (std::size_t i = 0; i < n; ++i) {
    keyState = keyState * 6364136223846793005u + 1442695040888963407u;
    bytes[i] = static_cast<unsigned char>(keyState >> 56);
  }
  return true;
}

// What the model says of a case before it runs.
struct Expectation {
  std::string pool;
  std::vector<std::string> required;                   // the sets every password holds; none without the rule
  GenerateResult refusal = GenerateResult::Completed;  // a refusal of the settings, or Completed
  std::uint64_t maxDraws = UINT64_MAX;                 // the model gives up beyond these
};

// Runs the case into `sink`; an exact run draws from `random`. Without the rule, through
// the entry points that know nothing of it.
GenerateResult Run(const Case& c, const PasswordSink& sink, CRandomSource& random) {
  if (c.source == Source::Exact)
    return c.everySet ? CPasswordGenerator::Run(c.settings, sink, RunOptions{false, &random, -1, nullptr, true})
                      : CPasswordGenerator::Generate(c.settings, sink, random);
  static const bool replaced = (ReplaceSystemRandom(&CaseKey), true);
  (void)replaced;
  keyState = c.seed;
  keyFails = c.source == Source::SecureFails;
  const std::uint32_t before = theRandom.State();
  const GenerateResult result =
      c.everySet ? CPasswordGenerator::Run(c.settings, sink, RunOptions{true, nullptr, -1, nullptr, true})
                 : CPasswordGenerator::GenerateSecure(c.settings, sink);
  Expect(theRandom.State() == before, "a secure run moved the 15-bit generator");
  return result;
}

// Whether a password has the shape the settings give: the mask's literal bytes, pool
// characters elsewhere, and a length they allow; and whether its drawn characters hold
// every required set.
bool HasShape(const CGenerationSettings& s, const std::string& pool, const std::vector<std::string>& required,
              std::string_view password) {
  const auto inPool = [&](char ch) { return pool.find(ch) != std::string::npos; };
  if (s.mode == GenerationMode::Masked) {
    if (password.size() != s.mask.size()) return false;
    std::string drawnChars;
    for (std::size_t p = 0; p < password.size(); ++p) {
      const bool drawn = !s.symbolMask.empty() && s.mask[p] == s.symbolMask[0];
      if (drawn ? !inPool(password[p]) : password[p] != s.mask[p]) return false;
      if (drawn) drawnChars += password[p];
    }
    return ModelPasses(required, drawnChars);
  }
  const auto nominal = static_cast<std::size_t>(s.length);
  const bool variable = s.variableLength && nominal >= 6;
  if (variable ? password.size() < 5 || password.size() > nominal : password.size() != nominal) return false;
  return std::all_of(password.begin(), password.end(), inPool) && ModelPasses(required, password);
}

// Whether a file holds the settings' count of lines of that shape, each with CR LF. Where
// the lengths vary, a pool holding CR or LF can make a line end look like characters, so
// every way of cutting the file into lines is followed: after line i, the places where it
// may end.
bool HasShape(const CGenerationSettings& s, const std::string& pool, const std::vector<std::string>& required,
              std::string_view bytes, std::size_t count) {
  const bool masked = s.mode == GenerationMode::Masked;
  const std::size_t nominal = masked ? s.mask.size() : static_cast<std::size_t>(s.length);
  const bool variable = !masked && s.variableLength && nominal >= 6;
  if (!variable) {
    if (bytes.size() != count * (nominal + 2)) return false;
    for (std::size_t at = 0; at < bytes.size(); at += nominal + 2)
      if (bytes.substr(at + nominal, 2) != "\r\n" || !HasShape(s, pool, required, bytes.substr(at, nominal)))
        return false;
    return true;
  }
  if (bytes.size() > count * (nominal + 2)) return false;
  if (pool.find('\r') == std::string::npos) {  // then every CR ends a line
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t end = bytes.find('\r', at);
      if (end == std::string::npos || bytes.substr(end, 2) != "\r\n" ||
          !HasShape(s, pool, required, bytes.substr(at, end - at)))
        return false;
      at = end + 2;
    }
    return at == bytes.size();
  }
  // The required sets each byte belongs to, as bits: a line may end where it has them all.
  std::array<unsigned, 256> setsOf{};
  for (std::size_t k = 0; k < required.size(); ++k)
    for (const char ch : required[k]) setsOf[static_cast<unsigned char>(ch)] |= 1u << k;
  const unsigned all = (1u << required.size()) - 1;
  std::vector<std::size_t> ends = {0}, next;
  for (std::size_t i = 0; i < count && !ends.empty(); ++i) {
    next.clear();
    for (const std::size_t at : ends) {
      // Pool characters from `at` on, then CR LF after 5 to N of them.
      unsigned found = 0;
      for (std::size_t n = 0; n <= nominal && at + n + 2 <= bytes.size(); ++n) {
        if (n >= 5 && found == all && bytes[at + n] == '\r' && bytes[at + n + 1] == '\n') next.push_back(at + n + 2);
        if (pool.find(bytes[at + n]) == std::string::npos) break;
        found |= setsOf[static_cast<unsigned char>(bytes[at + n])];
      }
    }
    std::sort(next.begin(), next.end());
    next.erase(std::unique(next.begin(), next.end()), next.end());
    ends.swap(next);
  }
  return std::find(ends.begin(), ends.end(), bytes.size()) != ends.end();
}

void CheckList(const Case& c, const Expectation& e) {
  const CGenerationSettings& s = c.settings;
  const int count = std::clamp(s.count, 0, PasswordSink::kMaxListRows);
  // An exact run's passwords from the model first: a case it gives up on is not run.
  ModelRandom model{c.seed};
  std::vector<std::string> expected;
  if (c.source == Source::Exact && e.refusal == GenerateResult::Completed &&
      !ModelPasswords(
          s, e.pool, count, model, [&](const std::string& password) { expected.push_back(password); }, e.required,
          e.maxDraws))
    return;

  Rows rows;
  CRandomSource random;
  random.Seed(c.seed);
  FindingContext() = " (list, " + Describe(c, e.pool) + ")";
  const GenerateResult result = Run(c, PasswordSink::List(rows), random);
  if (e.refusal != GenerateResult::Completed) {
    Expect(result == e.refusal && rows.ids.empty() && random.State() == c.seed,
           "settings that are refused were not refused cleanly");
    return;
  }
  if (c.source == Source::SecureFails) {
    Expect(result == GenerateResult::RandomFailed && rows.ids.empty(), "a failed secure source was not reported");
    return;
  }
  Expect(result == GenerateResult::Completed, "the run did not complete");
  Expect(rows.inOrder && rows.ids.size() == static_cast<std::size_t>(count), "wrong rows");
  for (std::size_t i = 0; i < rows.ids.size(); ++i) Expect(rows.ids[i] == std::to_string(i), "a wrong ID");
  if (c.source == Source::Secure) {
    for (const std::string& password : rows.passwords)
      Expect(HasShape(s, e.pool, e.required, password), "a row of a wrong shape or without a required set");
    return;
  }
  Expect(rows.passwords == expected, "rows differ from the model");
  Expect(random.State() == model.state, "the random state differs after the run");
}

// The names in a folder.
std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

void CheckFile(const Case& c, const Expectation& e) {
  static const std::string kOld = "an earlier file\r\n";
  const CGenerationSettings& s = c.settings;
  const std::string path = c.target == Target::MissingFolder ? Scratch::Get().File("missing/out.txt")
                           : c.target == Target::FullDisk    ? "/dev/full"
                                                             : Scratch::Get().File("out.txt");
  // An exact run's bytes from the model first: a case it gives up on is not run.
  ModelRandom model{c.seed};
  std::string expected;
  if (c.target == Target::File && c.source == Source::Exact && e.refusal == GenerateResult::Completed &&
      !ModelPasswords(
          s, e.pool, s.count, model,
          [&](const std::string& password) {
            expected += password;
            expected += "\r\n";
          },
          e.required, e.maxDraws))
    return;

  if (c.target == Target::File) Scratch::Write(path, kOld);
  CRandomSource random;
  random.Seed(c.seed);
  FindingContext() = " (" + path + ", " + Describe(c, e.pool) + ")";
  const GenerateResult result = Run(c, PasswordSink::File(path), random);

  const bool refused = e.refusal != GenerateResult::Completed;
  if (refused || c.source == Source::SecureFails) {
    Expect(result == (refused ? e.refusal : GenerateResult::RandomFailed) && random.State() == c.seed,
           refused ? "settings that are refused were not refused" : "a failed secure source was not reported");
    // Nothing beside the old file either: no temporary file was made.
    if (c.target == Target::File)
      Expect(Scratch::Read(path) == kOld &&
                 Names(std::filesystem::path(path).parent_path()) == std::vector<std::string>{"out.txt"},
             "a refused run touched the file");
    return;
  }
  if (c.target == Target::MissingFolder) {
    Expect(result == GenerateResult::CannotCreate && random.State() == c.seed && !std::filesystem::exists(path),
           "a file that cannot be created was not refused");
    return;
  }
  if (c.target == Target::FullDisk) {
    // Every line has at least its line end, so any line at all fails to be written.
    Expect(result == (s.count > 0 ? GenerateResult::WriteFailed : GenerateResult::Completed),
           "a full disk gave the wrong result");
    return;
  }
  Expect(result == GenerateResult::Completed, "the run did not complete");
  const std::string bytes = Scratch::Read(path);
  if (c.source == Source::Secure) {
    Expect(HasShape(s, e.pool, e.required, bytes, static_cast<std::size_t>(std::max(s.count, 0))),
           "a file of a wrong shape or with a password without a required set");
    return;
  }
  if (bytes != expected) {
    const auto at = std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end());
    const std::string what = "the file differs from the model: " + std::to_string(bytes.size()) + " bytes for " +
                             std::to_string(expected.size()) + ", first difference at byte " +
                             std::to_string(at.first - bytes.begin());
    Expect(false, what.c_str());
  }
  Expect(random.State() == model.state, "the random state differs after the run");
}

// The draws one password is expected to take under the rule: its draws over the chance that
// they pass, averaged over the lengths a variable length takes. Of those, at most 64 are
// looked at, each standing for the longer ones up to the next: the chance only grows with
// the length, so this errs on the high side. Infinite when a password cannot pass.
double ExpectedDraws(const CGenerationSettings& s, const Expectation& e) {
  const std::vector<std::size_t> sizes = ModelSetSizes(e.required, e.pool);
  const auto draws = [&](std::size_t places) {
    const double chance = ModelPassChance(sizes, e.pool.size(), places);
    return chance > 0 ? static_cast<double>(places) / chance : HUGE_VAL;
  };
  const auto nominal = static_cast<std::size_t>(std::max(s.length, 0));
  if (s.mode == GenerationMode::Masked || !s.variableLength || nominal < 6) return draws(ModelPlaces(s));
  const std::size_t lengths = nominal - 4, step = (lengths + 63) / 64;
  double sum = 0;
  for (std::size_t length = 5; length <= nominal; length += step)
    sum += static_cast<double>(std::min(step, nominal + 1 - length)) * (1 + draws(length));
  return sum / static_cast<double>(lengths);
}

// What the model expects of a case: the pool and, under the rule, the sets each password
// holds; a refusal (an empty pool first, then more sets than the shortest password has
// random characters); and how far the model draws. False for a case under the rule that is
// expected to take more than three times its draws without the rule and 2^16 besides: a
// rare set only makes a run slower, not more telling.
bool Foresee(const Case& c, Expectation& e) {
  const CGenerationSettings& s = c.settings;
  e.pool = ModelPool(s);
  if (c.everySet) e.required = ModelRequiredSets(s, e.pool);
  if (e.pool.empty() && ModelNeedsPool(s))
    e.refusal = GenerateResult::EmptyPool;
  else if (s.count > 0 && e.required.size() > ModelPlaces(s))
    e.refusal = GenerateResult::SetsDoNotFit;
  if (e.required.empty() || e.refusal != GenerateResult::Completed) return true;

  const double count = c.target == Target::List ? std::min(s.count, PasswordSink::kMaxListRows) : s.count;
  const double plain =
      count * static_cast<double>(s.mode == GenerationMode::Masked
                                      ? ModelPlaces(s)
                                      : static_cast<std::size_t>(s.length) + (s.variableLength ? 1 : 0));
  const double budget = 3 * plain + 65536;
  if (count * ExpectedDraws(s, e) > budget) return false;
  e.maxDraws = static_cast<std::uint64_t>(16 * budget);  // past this the 15-bit stream is stuck in a bad patch
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const Case c = Decode(in);
  Expectation e;
  if (!Foresee(c, e)) return 0;
  LimitFillPath(c.path);
  if (c.target == Target::List) {
    CheckList(c, e);
    return 0;
  }
  if (c.target == Target::FullDisk && !std::filesystem::exists("/dev/full")) return 0;

  CheckFile(c, e);
  return 0;
}
