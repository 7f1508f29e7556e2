// The option table of keymoor-cli and the reader that walks it.
#include "cli/Options.h"

#include <cstring>

namespace {

enum class Id {
  Count,
  Length,
  Variable,
  Mask,
  Marker,
  Sets,
  Include,
  Exclude,
  IncludeFile,
  ExcludeFile,
  EverySet,
  Output,
  Seed,
  Lf,
  CrLf,
  Entropy,
  Quiet,
  Help,
  Version,
};

struct OptionInfo {
  Id id;
  const char* name;  // the long name, without "--"
  char shortName;    // 0: none
  bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {Id::Count, "count", 'n', true},
    {Id::Length, "length", 'l', true},
    {Id::Variable, "variable", 0, false},
    {Id::Mask, "mask", 'm', true},
    {Id::Marker, "marker", 0, true},
    {Id::Sets, "sets", 's', true},
    {Id::Include, "include", 0, true},
    {Id::Exclude, "exclude", 0, true},
    {Id::IncludeFile, "include-file", 0, true},
    {Id::ExcludeFile, "exclude-file", 0, true},
    {Id::EverySet, "every-set", 0, false},
    {Id::Output, "output", 'o', true},
    {Id::Seed, "seed", 0, true},
    {Id::Lf, "lf", 0, false},
    {Id::CrLf, "crlf", 0, false},
    {Id::Entropy, "entropy", 0, false},
    {Id::Quiet, "quiet", 'q', false},
    {Id::Help, "help", 'h', false},
    {Id::Version, "version", 0, false},
};

constexpr std::int64_t kMaxCount = 1'000'000'000'000;
constexpr std::int64_t kMaxLength = 1'000'000;
constexpr std::int64_t kMaxSeed = 4'294'967'295;

// Decimal digits only, no sign or space; nothing when above `max` or not a number.
std::optional<std::int64_t> Number(const std::string& text, std::int64_t max) {
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');  // never wraps: it stops once above max, and max < 2^59
    if (value > max) return std::nullopt;
  }
  return value;
}

std::string Display(const OptionInfo& o) { return std::string("--") + o.name; }

class CReader {
 public:
  explicit CReader(ParsedCommandLine& out) : out_(out) { out_.options.emplace(); }

  // Applies one option with its value; false after an error is set.
  bool Apply(const OptionInfo& o, const std::string& value) {
    CliOptions& c = *out_.options;
    CGenerationSettings& s = c.settings;
    switch (o.id) {
      case Id::Count:
        return NumberInto(o, value, 1, kMaxCount, "1 to 1000000000000", c.count);
      case Id::Length: {
        std::int64_t n = 0;
        if (!NumberInto(o, value, 1, kMaxLength, "1 to 1000000", n)) return false;
        s.length = static_cast<std::int32_t>(n);
        return true;
      }
      case Id::Seed: {
        std::int64_t n = 0;
        if (!NumberInto(o, value, 0, kMaxSeed, "0 to 4294967295", n)) return false;
        c.seed = static_cast<std::uint32_t>(n);
        return true;
      }
      case Id::Variable:
        s.variableLength = 1;
        return true;
      case Id::Mask:
        if (value.empty()) return Fail(Display(o) + " needs a non-empty text");
        s.mode = GenerationMode::Masked;
        s.mask = value;
        return true;
      case Id::Marker:
        if (value.size() != 1) return Fail(Display(o) + " needs exactly one character, not \"" + value + "\"");
        s.symbolMask = value;
        return true;
      case Id::Sets:
        return Sets(o, value);
      case Id::Include:
        s.useInclude = 1;
        s.includeText = value;
        return true;
      case Id::Exclude:
        s.useExclude = 1;
        s.excludeText = value;
        return true;
      case Id::IncludeFile:
      case Id::ExcludeFile:
        if (value.empty()) return Fail(Display(o) + " needs a file name");
        (o.id == Id::IncludeFile ? c.includeFile : c.excludeFile) = value;
        return true;
      case Id::EverySet:
        c.everySet = true;
        return true;
      case Id::Output:
        if (value.empty()) return Fail(Display(o) + " needs a file name");
        c.output = value;
        return true;
      case Id::Lf:
      case Id::CrLf: {
        const LineEnd wanted = o.id == Id::Lf ? LineEnd::Lf : LineEnd::CrLf;
        if (c.lineEnd != LineEnd::Platform && c.lineEnd != wanted) return Fail("--lf and --crlf exclude each other");
        c.lineEnd = wanted;
        return true;
      }
      case Id::Entropy:
        c.entropy = true;
        return true;
      case Id::Quiet:
        c.quiet = true;
        return true;
      case Id::Help:
        c.help = true;
        return true;
      case Id::Version:
        c.version = true;
        return true;
    }
    return Fail("unknown option");
  }

  // Checks that hold between options, once all are read.
  bool Finish() {
    const CliOptions& c = *out_.options;
    const CGenerationSettings& s = c.settings;
    if (s.useInclude && !c.includeFile.empty()) return Fail("--include and --include-file exclude each other");
    if (s.useExclude && !c.excludeFile.empty()) return Fail("--exclude and --exclude-file exclude each other");
    if (s.mode == GenerationMode::Masked && s.variableLength)
      return Fail("--variable applies to random passwords, not to --mask");
    return true;
  }

  bool Fail(const std::string& message) {
    out_.options.reset();
    out_.error = "keymoor-cli: " + message;
    out_.status = 2;
    return false;
  }

 private:
  bool NumberInto(const OptionInfo& o, const std::string& value, std::int64_t min, std::int64_t max, const char* range,
                  std::int64_t& into) {
    const auto n = Number(value, max);
    if (!n || *n < min) return Fail(Display(o) + " needs a whole number from " + range + ", not \"" + value + "\"");
    into = *n;
    return true;
  }

  bool Sets(const OptionInfo& o, const std::string& value) {
    CGenerationSettings& s = out_.options->settings;
    s.useCapitals = s.useSmall = s.useDigits = s.useSpecial = 0;
    for (const char letter : value) {
      switch (letter) {
        case 'C':
          s.useCapitals = 1;
          break;
        case 'S':
          s.useSmall = 1;
          break;
        case 'D':
          s.useDigits = 1;
          break;
        case 'P':
          s.useSpecial = 1;
          break;
        default:
          return Fail(Display(o) +
                      " takes letters of C (capitals), S (small), D (digits), P (special symbols), not \"" + value +
                      "\"");
      }
    }
    return true;
  }

  ParsedCommandLine& out_;
};

const OptionInfo* Long(const std::string& name) {
  for (const OptionInfo& o : kOptions)
    if (name == o.name) return &o;
  return nullptr;
}

const OptionInfo* Short(char name) {
  for (const OptionInfo& o : kOptions)
    if (o.shortName != 0 && name == o.shortName) return &o;
  return nullptr;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine out;
  CReader reader(out);
  CGenerationSettings& s = out.options->settings;
  // The window's defaults: 16 characters of capitals, small letters and digits, marker '?'.
  s.length = 16;
  s.useCapitals = s.useSmall = s.useDigits = 1;
  s.symbolMask = "?";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      if (i + 1 < args.size()) reader.Fail("unexpected argument \"" + args[i + 1] + "\"");
      break;
    }
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const OptionInfo* o = Long(name);
      if (!o) {
        reader.Fail("unknown option \"--" + name + "\" (see --help)");
        break;
      }
      std::string value;
      if (equals != std::string::npos) {
        if (!o->takesValue) {
          reader.Fail(Display(*o) + " takes no value");
          break;
        }
        value = arg.substr(equals + 1);
      } else if (o->takesValue) {
        if (i + 1 >= args.size()) {
          reader.Fail(Display(*o) + " needs a value");
          break;
        }
        value = args[++i];
      }
      if (!reader.Apply(*o, value)) break;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      bool failed = false;
      for (std::size_t k = 1; k < arg.size() && !failed; ++k) {
        const OptionInfo* o = Short(arg[k]);
        if (!o) {
          failed = !reader.Fail(std::string("unknown option \"-") + arg[k] + "\" (see --help)");
          break;
        }
        if (!o->takesValue) {
          failed = !reader.Apply(*o, {});
          continue;
        }
        std::string value;
        if (k + 1 < arg.size()) {
          value = arg.substr(k + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          failed = !reader.Fail(Display(*o) + " needs a value");
          break;
        }
        failed = !reader.Apply(*o, value);
        break;
      }
      if (failed) break;
      continue;
    }
    reader.Fail("unexpected argument \"" + arg + "\"");
    break;
  }
  if (out.options) reader.Finish();
  return out;
}

std::string HelpText() {
  return "Usage: keymoor-cli [OPTION]...\n"
         "Makes passwords from the system's secure random source (or, with --seed, from the\n"
         "reproducible 15-bit generator) and writes one per line.\n"
         "\n"
         "  -n, --count N         passwords to make, 1 to 1000000000000 (default 1)\n"
         "  -l, --length N        characters per password, 1 to 1000000 (default 16)\n"
         "      --variable        variable length: each password 5 to N characters long\n"
         "  -m, --mask TEXT       masked passwords: TEXT with each marker replaced by a random character\n"
         "      --marker C        the marker of --mask, one character (default ?)\n"
         "  -s, --sets LIST       any of C capitals, S small letters, D digits, P special symbols\n"
         "                        (default CSD)\n"
         "      --include TEXT    add these symbols to the characters to choose from\n"
         "      --exclude TEXT    never use these symbols\n"
         "      --include-file PATH, --exclude-file PATH\n"
         "                        the same from a charset file (its first 1000 bytes, up to a zero byte)\n"
         "      --every-set       each password holds a character of every ticked set\n"
         "  -o, --output FILE     write FILE (replaced only once complete); default: standard output\n"
         "      --seed N          the 15-bit generator from state N, 0 to 4294967295\n"
         "      --lf, --crlf      line ends (default: CR LF for -o, the platform's own on standard output)\n"
         "      --entropy         print the bits of entropy of one password and the run's size\n"
         "  -q, --quiet           print nothing but errors (no --entropy, no progress)\n"
         "  -h, --help            print this help and exit\n"
         "      --version         print the version and exit\n"
         "\n"
         "Exit status: 0 done, 1 the run failed (the message says why), 2 a bad option,\n"
         "130 stopped by Ctrl+C.\n"
         "\n"
         "Security: without --seed the passwords come from the system's secure source.\n"
         "With --seed a whole run follows from one of 2^32 seeds: use it for test data, never for secrets.\n";
}
