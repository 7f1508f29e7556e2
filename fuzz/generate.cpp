// Whole generation runs with arbitrary settings, into a file on any vector path the
// processor has (the input picks one) or into the list, held against the plain model: the
// bytes made, the rows, the result and where the random source stands afterwards.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/FastFill.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"
#include "fuzz/Model.h"

namespace {

enum class Target { File, List, MissingFolder, FullDisk };

struct Case {
  CGenerationSettings settings;
  std::uint32_t seed = 0;
  Target target = Target::File;
  FillPath path = FillPath::Sse2;
};

// Every path this processor can run.
const std::vector<FillPath>& Paths() {
  static const std::vector<FillPath> paths = [] {
    std::vector<FillPath> all;
    for (FillPath path : {FillPath::Sse2, FillPath::Avx2, FillPath::Avx512})
      if (LimitFillPath(path) == path) all.push_back(path);
    return all;
  }();
  return paths;
}

// Input: shape byte, flags byte, seed word, vector path byte, marker text, mask, include
// and exclude texts, then the words the shape's length and count take.
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
  c.path = Paths()[in.Byte() % Paths().size()];
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
         std::to_string(pool.size()) + ", seed " + std::to_string(c.seed) + ", path " +
         std::to_string(static_cast<int>(ActiveFillPath()));
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

void CheckList(const Case& c, const std::string& pool, bool refused) {
  const CGenerationSettings& s = c.settings;
  Rows rows;
  CRandomSource random;
  random.Seed(c.seed);
  const GenerateResult result = CPasswordGenerator::Generate(s, PasswordSink::List(rows), random);
  FindingContext() = " (list, " + Describe(c, pool) + ")";
  if (refused) {
    Expect(result == GenerateResult::EmptyPool && rows.ids.empty() && random.State() == c.seed,
           "an empty pool was not refused cleanly");
    return;
  }
  Expect(result == GenerateResult::Completed, "the run did not complete");
  ModelRandom model{c.seed};
  std::vector<std::string> expected;
  ModelPasswords(s, pool, std::min(s.count, PasswordSink::kMaxListRows), model,
                 [&](const std::string& password) { expected.push_back(password); });
  Expect(rows.inOrder, "rows out of order");
  Expect(rows.passwords == expected, "rows differ from the model");
  for (std::size_t i = 0; i < rows.ids.size(); ++i) Expect(rows.ids[i] == std::to_string(i), "a wrong ID");
  Expect(random.State() == model.state, "the random state differs after the run");
}

void CheckFile(const Case& c, const std::string& pool, bool refused) {
  static const std::string kOld = "an earlier file\r\n";
  const CGenerationSettings& s = c.settings;
  const std::string path = c.target == Target::MissingFolder ? Scratch::Get().File("missing/out.txt")
                           : c.target == Target::FullDisk    ? "/dev/full"
                                                             : Scratch::Get().File("out.txt");
  if (c.target == Target::File) Scratch::Write(path, kOld);
  CRandomSource random;
  random.Seed(c.seed);
  const GenerateResult result = CPasswordGenerator::Generate(s, PasswordSink::File(path), random);
  FindingContext() = " (" + path + ", " + Describe(c, pool) + ")";

  if (refused) {
    Expect(result == GenerateResult::EmptyPool && random.State() == c.seed, "an empty pool was not refused");
    if (c.target == Target::File) Expect(Scratch::Read(path) == kOld, "a refused run touched the file");
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
  ModelRandom model{c.seed};
  std::string expected;
  ModelPasswords(s, pool, s.count, model, [&](const std::string& password) {
    expected += password;
    expected += "\r\n";
  });
  const std::string bytes = Scratch::Read(path);
  if (bytes != expected) {
    const auto at = std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end());
    const std::string what = "the file differs from the model: " + std::to_string(bytes.size()) + " bytes for " +
                             std::to_string(expected.size()) + ", first difference at byte " +
                             std::to_string(at.first - bytes.begin());
    Expect(false, what.c_str());
  }
  Expect(random.State() == model.state, "the random state differs after the run");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const Case c = Decode(in);
  const std::string pool = ModelPool(c.settings);
  const bool refused = pool.empty() && ModelNeedsPool(c.settings);
  if (c.target == Target::List) {
    CheckList(c, pool, refused);
    return 0;
  }
  if (c.target == Target::FullDisk && !std::filesystem::exists("/dev/full")) return 0;

  LimitFillPath(c.path);
  CheckFile(c, pool, refused);
  return 0;
}
