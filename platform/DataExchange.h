// Data exchange between a dialog's fields and its controls: one ordered mapping of
// {control, field, kind, limit} entries, walked by PullControls (with validation) and
// PushControls (never fails).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Wnd.h"

enum class ExchangeKind : std::uint8_t {
  Attach,    // binds a wrapper field to its control on the first exchange
  Subclass,  // attaches a window object of ours to its control on the first exchange
  CheckBox,  // 32-bit check state
  Text,      // byte string with a maximum length (also the edit box's input limit)
  Number,    // 32-bit signed number with a range, written and read as "%d"
};

// One mapping entry. Built with the factories below; refers to the field, never owns it.
struct ExchangeEntry {
  static ExchangeEntry Attach(int control, CWindowRef& wrapper);
  // The object's attach steps (OnAttach) run, and from then on it receives the control's
  // messages and those its parent reflects to it.
  static ExchangeEntry Subclass(int control, CWnd& window);
  static ExchangeEntry CheckBox(int control, std::int32_t& state);
  static ExchangeEntry Text(int control, std::string& text, std::int32_t maxChars);
  static ExchangeEntry Number(int control, std::int32_t& value, std::int32_t lo, std::int32_t hi);

  int control;
  ExchangeKind kind;
  union {
    CWindowRef* wrapper;
    CWnd* window;          // Subclass
    std::int32_t* number;  // CheckBox and Number
    std::string* text;
  } field;
  std::int32_t lo;  // Number: lowest value
  std::int32_t hi;  // Number: highest value; Text: maximum characters
};

// A view of a window's mapping.
struct ExchangeMap {
  ExchangeMap() = default;
  template <std::size_t N>
  ExchangeMap(const ExchangeEntry (&map)[N]) : entries(map), count(N) {}

  const ExchangeEntry* entries = nullptr;
  std::size_t count = 0;
};

// Reads a number as "%d" does from the first 63 characters of `text`: leading white space,
// an optional sign, then digits up to the first other character; the rest is ignored.
// No digits: nullopt. A number beyond 32 bits gives the nearest 32-bit bound, so it stays
// out of every range the window uses instead of wrapping.
std::optional<std::int32_t> ParseLeadingNumber(std::string_view text);

// Walks `map` over the children of `dialog`. A pull validates and stops at the first
// failing entry after the warning (exclamation icon, through AppMessageBox) and with the
// focus and a full selection on the failing control; it then returns false.
// A push writes every field and returns true. The caller holds the lockout.
bool ExchangeControls(HWND dialog, const ExchangeMap& map, bool pull);

// The warning texts, with the limits written in decimal.
std::string NotANumberWarning();
std::string OutOfRangeWarning(std::int32_t lo, std::int32_t hi);
std::string TooLongWarning(std::int32_t maxChars);
