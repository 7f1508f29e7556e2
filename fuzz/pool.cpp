// The character pool from arbitrary include and exclude bytes and set flags, held
// against the plain model: order, repeats, zero bytes, the 1,000-byte cut and the
// 255-character bound.
#include <cstdint>
#include <string>

#include "engine/CharacterPool.h"
#include "fuzz/Model.h"

namespace {

// A text of `head` repeated `times` and then `tail`: a short input still reaches past the
// 1,000 bytes that are read, with bytes after the cut that would otherwise count.
std::string RepeatedText(Reader& in) {
  const std::string head = in.Text(1100);
  const int times = in.Byte() % 16;
  std::string text;
  for (int k = 0; k < times; ++k) text += head;
  return text + in.Text(1100);
}

}  // namespace

// Input: flags byte (bits 0-5 the six sets in the window's order), then the include and
// the exclude text, each as head, repeat count and tail.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  CGenerationSettings s;
  const std::uint8_t flags = in.Byte();
  std::int32_t* const sets[] = {&s.useCapitals, &s.useSmall, &s.useDigits, &s.useSpecial, &s.useInclude, &s.useExclude};
  for (int k = 0; k < 6; ++k) *sets[k] = flags >> k & 1;
  s.includeText = RepeatedText(in);
  s.excludeText = RepeatedText(in);

  const CCharacterPool pool = CCharacterPool::Build(s);
  const std::string expected = ModelPool(s);
  Expect(pool.View() == expected, "the pool differs from the model");
  Expect(pool.Length() == static_cast<int>(expected.size()) && pool.Length() <= 255, "a wrong pool length");
  for (int i = 0; i < pool.Length(); ++i) Expect(pool.At(i) == static_cast<unsigned char>(expected[i]), "At differs");
  return 0;
}
