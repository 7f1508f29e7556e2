// Lines that end in LF alone: the same passwords as the CR LF run of the same seed, for each
// way the engine makes lines (layouts, long lines filled in place, variable lengths, the
// every-set rule, a pool that holds CR), across blocks, on every vector path.
#include <gtest/gtest.h>

#include <string>

#include "engine/PasswordGenerator.h"
#include "tests/engine/RunHelpers.h"
#include "tests/engine/TempDir.h"

namespace {

// The CR LF file with the CR before each LF dropped. Exact while no password holds an LF.
std::string DropCrs(const std::string& crlf) {
  std::string lf;
  for (std::size_t at = 0; at < crlf.size(); ++at) {
    if (crlf[at] == '\n') {
      EXPECT_EQ(lf.back(), '\r') << "line end at " << at;
      lf.back() = '\n';
    } else {
      lf += crlf[at];
    }
  }
  return lf;
}

TEST(LineEnds, LfLinesAreTheCrLfRunsLinesWithTheirCrDropped) {
  struct Case {
    const char* name;
    int length;
    bool variable, everySet;
    const char* include;  // added to capitals, small letters and digits
    const char* mask;     // Masked when set
    std::int64_t count;
  };
  const Case cases[] = {
      {"fixed 8, over blocks", 8, false, false, "", nullptr, 300000},
      {"fixed 8, every set", 8, false, true, "", nullptr, 300000},
      {"fixed 300, filled in place", 300, false, false, "", nullptr, 5000},
      {"variable up to 16, over blocks", 16, true, false, "", nullptr, 300000},
      {"variable up to 16, every set", 16, true, true, "", nullptr, 200000},
      {"variable up to 300", 300, true, false, "", nullptr, 10000},
      {"variable, CR in the pool", 16, true, false, "\r", nullptr, 200000},
      {"masked", 0, false, false, "", "id-????-????", 200000},
  };
  TempDir dir;
  for (const FillPath path : Paths()) {
    PathLimit limit(path);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", path " + std::to_string(static_cast<int>(path)));
      CGenerationSettings s;
      s.length = c.length;
      s.variableLength = c.variable;
      s.useCapitals = s.useSmall = s.useDigits = 1;
      s.useInclude = *c.include != '\0';
      s.includeText = c.include;
      s.symbolMask = "?";
      if (c.mask) {
        s.mode = GenerationMode::Masked;
        s.mask = c.mask;
      }
      std::string files[2];
      for (const bool lf : {false, true}) {
        CRandomSource random;
        random.Seed(20261209);
        const std::string path = dir.File(lf ? "lf.txt" : "crlf.txt");
        ASSERT_EQ(
            CPasswordGenerator::Run(s, PasswordSink::File(path, lf), {false, &random, c.count, nullptr, c.everySet}),
            GenerateResult::Completed);
        files[lf] = TempDir::Read(path);
      }
      ASSERT_FALSE(files[0].empty());
      EXPECT_TRUE(files[1] == DropCrs(files[0])) << "the LF file differs (" << files[1].size() << " bytes)";
    }
  }
}

}  // namespace
