// The exchange walk, number reading and the validation warnings.
#include "platform/DataExchange.h"

#include <cctype>
#include <limits>
#include <new>

#include "platform/Services.h"

ExchangeEntry ExchangeEntry::Attach(int control, CWindowRef& wrapper) {
  ExchangeEntry e{control, ExchangeKind::Attach, {}, 0, 0};
  e.field.wrapper = &wrapper;
  return e;
}

ExchangeEntry ExchangeEntry::Subclass(int control, CWnd& window) {
  ExchangeEntry e{control, ExchangeKind::Subclass, {}, 0, 0};
  e.field.window = &window;
  return e;
}

ExchangeEntry ExchangeEntry::CheckBox(int control, std::int32_t& state) {
  ExchangeEntry e{control, ExchangeKind::CheckBox, {}, 0, 0};
  e.field.number = &state;
  return e;
}

ExchangeEntry ExchangeEntry::Text(int control, std::string& text, std::int32_t maxChars) {
  ExchangeEntry e{control, ExchangeKind::Text, {}, 0, maxChars};
  e.field.text = &text;
  return e;
}

ExchangeEntry ExchangeEntry::Number(int control, std::int32_t& value, std::int32_t lo, std::int32_t hi) {
  ExchangeEntry e{control, ExchangeKind::Number, {}, lo, hi};
  e.field.number = &value;
  return e;
}

std::optional<std::int32_t> ParseLeadingNumber(std::string_view text) {
  text = text.substr(0, 63);
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  // Accumulate up to just past the 32-bit range; more digits cannot bring it back.
  constexpr std::int64_t kBeyond = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
  std::int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kBeyond) value = kBeyond;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::string NotANumberWarning() { return "Please enter a whole number."; }

std::string OutOfRangeWarning(std::int32_t lo, std::int32_t hi) {
  return "Please enter a number from " + std::to_string(lo) + " to " + std::to_string(hi) + ".";
}

std::string TooLongWarning(std::int32_t maxChars) {
  return "Please enter no more than " + std::to_string(maxChars) + " characters.";
}

namespace {

// Shows the warning, then puts the focus on the control with all of its text selected.
bool Fail(HWND control, const std::string& warning) {
  AppMessageBox(warning, MB_OK | MB_ICONEXCLAMATION);
  if (control != nullptr) {
    SetFocus(control);
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
  }
  return false;
}

// WM_SETTEXT sends EN_CHANGE and resets the caret and selection even for an equal text, so a
// push writes only a different one, whatever its length: the selection a failed pull made on
// a long text survives the push that follows it.
void WriteText(HWND control, const std::string& text) {
  if (CWindowRef(control).GetText() != text) SetWindowTextA(control, text.c_str());
}

bool PullEntry(HWND control, const ExchangeEntry& entry) {
  switch (entry.kind) {
    case ExchangeKind::Attach:
      if (!entry.field.wrapper->IsAttached()) entry.field.wrapper->Attach(control);
      return true;
    case ExchangeKind::Subclass:
      if (!entry.field.window->IsAttached()) entry.field.window->SubclassWindow(control);
      return true;
    case ExchangeKind::CheckBox:
      *entry.field.number = static_cast<std::int32_t>(SendMessageA(control, BM_GETCHECK, 0, 0));
      return true;
    case ExchangeKind::Text:
      *entry.field.text = CWindowRef(control).GetText();
      if (entry.field.text->size() > static_cast<std::size_t>(entry.hi)) return Fail(control, TooLongWarning(entry.hi));
      SendMessageA(control, EM_LIMITTEXT, static_cast<WPARAM>(entry.hi), 0);
      return true;
    case ExchangeKind::Number: {
      const auto value = ParseLeadingNumber(CWindowRef(control).GetText());
      if (!value) return Fail(control, NotANumberWarning());
      *entry.field.number = *value;
      if (*value < entry.lo || *value > entry.hi) return Fail(control, OutOfRangeWarning(entry.lo, entry.hi));
      return true;
    }
  }
  return true;
}

void PushEntry(HWND control, const ExchangeEntry& entry) {
  switch (entry.kind) {
    case ExchangeKind::Attach:
      if (!entry.field.wrapper->IsAttached()) entry.field.wrapper->Attach(control);
      break;
    case ExchangeKind::Subclass:
      if (!entry.field.window->IsAttached()) entry.field.window->SubclassWindow(control);
      break;
    case ExchangeKind::CheckBox:
      SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(*entry.field.number), 0);
      break;
    case ExchangeKind::Text:
      WriteText(control, *entry.field.text);
      SendMessageA(control, EM_LIMITTEXT, static_cast<WPARAM>(entry.hi), 0);
      break;
    case ExchangeKind::Number:
      WriteText(control, std::to_string(*entry.field.number));
      break;
  }
}

}  // namespace

bool ExchangeControls(HWND dialog, const ExchangeMap& map, bool pull) {
  for (std::size_t i = 0; i < map.count; ++i) {
    const ExchangeEntry& entry = map.entries[i];
    HWND control = GetDlgItem(dialog, entry.control);
    if (!pull) {
      PushEntry(control, entry);
      continue;
    }
    try {
      if (!PullEntry(control, entry)) return false;
    } catch (const std::bad_alloc&) {
      return Fail(control, "There is not enough memory to read this entry.");
    }
  }
  return true;
}
