// Random and Masked passwords, drawn in the fixed order that makes a seed reproducible:
// password after password; within one, the length draw first, then each marker or
// position from first to last.
#include "engine/PasswordGenerator.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/CharacterPool.h"
#include "engine/PasswordFiles.h"

namespace {

bool NeedsRandomCharacter(const CGenerationSettings& s, std::int64_t count, std::size_t nominal) {
  if (count <= 0 || nominal == 0) return false;
  if (s.mode != GenerationMode::Masked) return true;
  return !s.symbolMask.empty() && s.mask.find(s.symbolMask[0]) != std::string::npos;
}

}  // namespace

GenerateResult CPasswordGenerator::Generate(const CGenerationSettings& settings, const PasswordSink& sink,
                                            CRandomSource& random) {
  const CCharacterPool pool = CCharacterPool::Build(settings);
  const auto poolLength = static_cast<std::uint32_t>(pool.Length());
  const bool masked = settings.mode == GenerationMode::Masked;
  const std::size_t nominal = masked ? settings.mask.size() : static_cast<std::size_t>(std::max(settings.length, 0));
  std::int64_t count = std::max(settings.count, 0);
  if (sink.kind == PasswordSink::Kind::List) count = std::min<std::int64_t>(count, PasswordSink::kMaxListRows);

  if (poolLength == 0 && NeedsRandomCharacter(settings, count, nominal)) return GenerateResult::EmptyPool;

  CPasswordListFile file;
  if (sink.kind == PasswordSink::Kind::File && !file.Create(sink.path)) return GenerateResult::CannotCreate;

  const bool hasMarker = !settings.symbolMask.empty();
  const char marker = hasMarker ? settings.symbolMask[0] : '\0';
  std::vector<char> password(nominal + 2);  // room for the line end the file adds
  for (std::int64_t i = 0; i < count; ++i) {
    std::size_t length = nominal;
    if (masked) {
      for (std::size_t p = 0; p < nominal; ++p) {
        const char c = settings.mask[p];
        password[p] = hasMarker && c == marker ? static_cast<char>(pool.At(random.Pick(poolLength))) : c;
      }
    } else {
      if (settings.variableLength && nominal >= 6) length = 5 + random.Pick(static_cast<std::uint32_t>(nominal - 4));
      for (std::size_t p = 0; p < length; ++p) password[p] = static_cast<char>(pool.At(random.Pick(poolLength)));
    }
    if (sink.kind == PasswordSink::Kind::List) {
      sink.rows->AddRow(static_cast<int>(i), std::to_string(i), std::string_view(password.data(), length));
    } else if (!file.WriteLine(password.data(), length)) {
      file.Close();
      return GenerateResult::WriteFailed;
    }
  }
  if (sink.kind == PasswordSink::Kind::File && !file.Close()) return GenerateResult::WriteFailed;
  return GenerateResult::Completed;
}
