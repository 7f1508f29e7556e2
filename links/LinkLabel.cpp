// CLinkLabel: attach steps, colours and font, cursor, click, tooltip relay and fitting.
#include "links/LinkLabel.h"

#include <shellapi.h>

#include <oleacc.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "links/OpenURL.h"
#include "platform/Accessible.h"
#include "platform/Dpi.h"
#include "platform/Services.h"

constexpr MessageEntry CLinkLabel::kMessages[] = {
    // Only the single click opens: STN_DBLCLK is left alone, so a double-click opens once.
    {Reflected(WM_COMMAND), STN_CLICKED, 0, On<&CLinkLabel::OnClicked>},
    {Reflected(WM_CTLCOLORSTATIC), 0, 0, On<&CLinkLabel::CtlColor>},
    {WM_SETCURSOR, 0, 0, On<&CLinkLabel::OnSetCursor>},
    {WM_GETDLGCODE, 0, 0, On<&CLinkLabel::OnGetDlgCode>},
    {WM_KEYDOWN, 0, 0, On<&CLinkLabel::OnKeyDown>},
    {WM_PAINT, 0, 0, On<&CLinkLabel::OnPaint>},
    {WM_SETFOCUS, 0, 0, On<&CLinkLabel::OnFocusChange>},
    {WM_KILLFOCUS, 0, 0, On<&CLinkLabel::OnFocusChange>},
    {WM_UPDATEUISTATE, 0, 0, On<&CLinkLabel::OnUpdateUiState>},
    {WM_GETOBJECT, 0, 0, On<&CLinkLabel::OnGetObject>},
};

MessageTable CLinkLabel::GetMessageTable() const { return kMessages; }

CLinkLabel::~CLinkLabel() {
  // A control that outlives its label gets its own font back before the underlined one goes.
  if (underlinedFont_.IsCreated() && IsAttached() && IsWindow(m_hWnd) &&
      reinterpret_cast<HFONT>(Send(WM_GETFONT)) == underlinedFont_.Get()) {
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(plainFont_), FALSE);
  }
  underlinedFont_.Delete();
  toolTip_.DestroyTip();
  url_.clear();
}

void CLinkLabel::OnAttach() {
  // Without SS_NOTIFY a static lets the mouse through to its parent and reports no clicks.
  // A tab stop, so the keyboard reaches it in the dialog's order.
  ModifyStyle(0, SS_NOTIFY | WS_TABSTOP);
  if (url_.empty()) url_ = GetText();
  if (GetText().empty()) SetText(url_);
  FitToText();
  linkCursor_ = LoadCursorA(nullptr, IDC_ARROW);

  RECT client{};
  GetClientRect(m_hWnd, &client);
  if (toolTip_.Create(m_hWnd)) toolTip_.AddTool(m_hWnd, 1, client, url_);
}

void CLinkLabel::SetURL(const std::string& url) {
  url_ = url;
  if (!IsAttached()) return;  // attaching fits the control and makes the tooltip later
  FitToText();
  toolTip_.UpdateTipText(m_hWnd, 1, url_);
}

void CLinkLabel::SetDpi(UINT dpi) {
  dpi_ = dpi;
  if (!IsAttached()) return;
  // The underlined font was made from the font of the old scale: it is made again from the
  // control's font at the next colour request.
  if (underlinedFont_.IsCreated()) {
    if (reinterpret_cast<HFONT>(Send(WM_GETFONT)) == underlinedFont_.Get()) {
      Send(WM_SETFONT, reinterpret_cast<WPARAM>(plainFont_), FALSE);
    }
    underlinedFont_.Delete();
  }
  FitToText();
  RECT client{};
  GetClientRect(m_hWnd, &client);
  if (toolTip_.IsAttached()) toolTip_.SetToolRect(m_hWnd, 1, client);
}

void CLinkLabel::SetUnderline(bool underline) {
  underline_ = underline;
  if (IsAttached()) Invalidate(true);  // a null window would invalidate every window
}

bool CLinkLabel::PreTranslateMessage(MSG& msg) {
  if (toolTip_.IsAttached()) toolTip_.RelayEvent(msg);
  return CStatic::PreTranslateMessage(msg);
}

bool CLinkLabel::OnSetCursor(WPARAM, LPARAM, LRESULT& result) {
  SetCursor(linkCursor_);
  result = TRUE;
  return true;
}

COLORREF CLinkLabel::TextColour() const {
  if (Services().HighContrastOn()) {
    const LinkColours system = HighContrastLinkColours();
    return visited_ ? system.visited : system.text;
  }
  return visited_ ? visitedColour_ : linkColour_;
}

bool CLinkLabel::CtlColor(WPARAM wParam, LPARAM, LRESULT& result) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetTextColor(dc, TextColour());
  HFONT own = reinterpret_cast<HFONT>(Send(WM_GETFONT));
  if (underline_) {
    if (!underlinedFont_.IsCreated()) {
      // A control without a font of its own draws in the default GUI font.
      HFONT font = own != nullptr ? own : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
      LOGFONTA description{};
      if (GetObjectA(font, sizeof(description), &description) != 0) {
        description.lfUnderline = 1;
        underlinedFont_.Create(description);
      }
    }
    if (underlinedFont_.IsCreated()) {
      SelectObject(dc, underlinedFont_.Get());
      // Observed under Wine: the static selects its own font into the DC after this request,
      // so the font chosen here alone never shows. It draws with the underlined font once that
      // is its own; its previous font comes back when the underline goes or the label does.
      if (own != underlinedFont_.Get()) {
        plainFont_ = own;
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(underlinedFont_.Get()), FALSE);
      }
    }
  } else if (underlinedFont_.IsCreated() && own == underlinedFont_.Get()) {
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(plainFont_), FALSE);
  }
  const int background = Services().HighContrastOn() ? HighContrastLinkColours().background : -1;
  if (background >= 0) {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(background));
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(background));
  } else {
    SetBkMode(dc, TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  }
  return true;
}

bool CLinkLabel::OnGetDlgCode(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = DefSubclassProc(m_hWnd, WM_GETDLGCODE, wParam, lParam);
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (msg != nullptr && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_SPACE)) {
    result |= DLGC_WANTMESSAGE;
  }
  return true;
}

bool CLinkLabel::OnKeyDown(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (wParam != VK_RETURN && wParam != VK_SPACE) return false;
  // Bit 30: the key was already down, an automatic repeat.
  if ((lParam & (1 << 30)) == 0) OnClicked();
  result = 0;
  return true;
}

bool CLinkLabel::OnPaint(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = DefSubclassProc(m_hWnd, WM_PAINT, wParam, lParam);
  const bool cuesHidden = (Send(WM_QUERYUISTATE) & UISF_HIDEFOCUS) != 0;
  if (GetFocus() == m_hWnd && !cuesHidden) {
    const CWindowDC dc(m_hWnd);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    if (dc.Get() != nullptr) DrawFocusRect(dc.Get(), &client);
  }
  return true;
}

void CLinkLabel::Redraw() const {
  // The background is the parent's (the label is transparent): it is drawn again under it.
  HWND parent = GetParent();
  RECT rc{};
  GetWindowRect(m_hWnd, &rc);
  if (parent != nullptr) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    RedrawWindow(parent, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  } else {
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  }
}

bool CLinkLabel::OnFocusChange(WPARAM, LPARAM, LRESULT&) {
  Redraw();
  return false;  // the static's own handling goes on
}

bool CLinkLabel::OnUpdateUiState(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = DefSubclassProc(m_hWnd, WM_UPDATEUISTATE, wParam, lParam);
  if (GetFocus() == m_hWnd) Redraw();
  return true;
}

namespace {
// What a link tells assistive technology. The label is found again through its window at
// every question, since a client may hold the object longer than the label lives.
class CLinkAnswers final : public CAccessibleAnswers {
 public:
  bool Name(HWND window, LONG child, std::wstring& name) const override {
    const CLinkLabel* label = Of(window, child);
    if (label == nullptr) return false;
    name = WidenAnsi(label->GetText());
    return true;
  }
  bool Value(HWND window, LONG child, std::wstring& value) const override {
    const CLinkLabel* label = Of(window, child);
    if (label == nullptr) return false;
    value = WidenAnsi(label->URL());
    return true;
  }
  bool Role(HWND window, LONG child, LONG& role) const override {
    if (Of(window, child) == nullptr) return false;
    role = ROLE_SYSTEM_LINK;
    return true;
  }
  bool State(HWND window, LONG child, LONG& state) const override {
    const CLinkLabel* label = Of(window, child);
    if (label == nullptr) return false;
    state = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;
    if (GetFocus() == window) state |= STATE_SYSTEM_FOCUSED;
    if (label->IsVisited()) state |= STATE_SYSTEM_TRAVERSED;
    if (!IsWindowVisible(window)) state |= STATE_SYSTEM_INVISIBLE;
    return true;
  }
  bool DefaultAction(HWND window, LONG child, std::wstring& action) const override {
    if (Of(window, child) == nullptr) return false;
    action = L"Jump";
    return true;
  }
  bool DoDefaultAction(HWND window, LONG child) const override {
    if (Of(window, child) == nullptr) return false;
    // Queued as the click the static would send: a client in another process waits for this
    // call, and must not wait for a failure box that the open may show.
    const int id = GetDlgCtrlID(window);
    return PostMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(window)) !=
           FALSE;
  }

 private:
  static const CLinkLabel* Of(HWND window, LONG child) {
    if (child != CHILDID_SELF) return nullptr;
    return dynamic_cast<const CLinkLabel*>(CWnd::FromHandle(window));
  }
};
}  // namespace

bool CLinkLabel::OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  static const auto answers = std::make_shared<const CLinkAnswers>();
  return AnswerGetObject(m_hWnd, wParam, lParam, answers, result);
}

namespace {
double Luminance(COLORREF colour) {
  const auto channel = [](int value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(GetRValue(colour)) + 0.7152 * channel(GetGValue(colour)) +
         0.0722 * channel(GetBValue(colour));
}

COLORREF SystemColour(int index) { return GetSysColor(index); }
}  // namespace

double ContrastRatio(COLORREF a, COLORREF b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

LinkColours HighContrastLinkColours(COLORREF (*sysColour)(int)) {
  if (sysColour == nullptr) sysColour = &SystemColour;
  constexpr double kReadable = 4.5;
  struct Pair {
    int text;
    int background;
    bool painted;  // the background is painted behind the text, not the dialog's own
  };
  static constexpr Pair kPairs[] = {
      {COLOR_HOTLIGHT, COLOR_BTNFACE, false},
      {COLOR_HIGHLIGHTTEXT, COLOR_HIGHLIGHT, true},
      {COLOR_BTNTEXT, COLOR_BTNFACE, false},
  };
  const Pair* best = nullptr;
  double bestRatio = 0;
  for (const Pair& pair : kPairs) {
    const double ratio = ContrastRatio(sysColour(pair.text), sysColour(pair.background));
    if (ratio >= kReadable) {
      best = &pair;
      break;
    }
    if (ratio > bestRatio) {
      best = &pair;
      bestRatio = ratio;
    }
  }
  const COLORREF text = sysColour(best->text);
  return {text, text, best->painted ? best->background : -1};
}

void CLinkLabel::OnClicked() {
  const int r = OpenURL(url_, SW_SHOW);
  visited_ = r > 32;
  if (!visited_) {
    // No repaint here: a visited colour already on screen stays until the next paint.
    Services().PlayBeep(MB_ICONEXCLAMATION);
    ShowOpenError(r);
    return;
  }
  Invalidate(true);
}

void CLinkLabel::FitToText() {
  if (!fitToText_) return;
  RECT rc{};
  GetWindowRect(m_hWnd, &rc);
  if (HWND parent = GetParent()) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);

  // Measured in the context's default font, as the control's DC comes without its font.
  // That font is made for the DC's DPI, which after a move to another monitor's scale is no
  // longer the window's: the extent is scaled from the one to the other. Observed under Wine:
  // the default font keeps its 96 DPI size at every scale while the control's own font grows,
  // so the box also covers the text in its own font, and no scale cuts it.
  const std::string text = GetText();
  const int length = static_cast<int>(text.size());
  SIZE extent{};
  if (const CWindowDC dc(m_hWnd); dc.Get() != nullptr) {
    GetTextExtentPoint32A(dc.Get(), text.c_str(), length, &extent);
    const int dcDpi = GetDeviceCaps(dc.Get(), LOGPIXELSY);
    const int dpi = static_cast<int>(dpi_ != 0 ? dpi_ : WindowDpi(m_hWnd));
    if (dcDpi > 0 && dpi != dcDpi) {
      extent.cx = MulDiv(extent.cx, dpi, dcDpi);
      extent.cy = MulDiv(extent.cy, dpi, dcDpi);
    }
    if (HFONT own = reinterpret_cast<HFONT>(Send(WM_GETFONT))) {
      const HGDIOBJ before = SelectObject(dc.Get(), own);
      SIZE drawn{};
      GetTextExtentPoint32A(dc.Get(), text.c_str(), length, &drawn);
      SelectObject(dc.Get(), before);
      extent.cx = std::max(extent.cx, drawn.cx);
      extent.cy = std::max(extent.cy, drawn.cy);
    }
  }

  const DWORD style = Style();
  if (style & SS_CENTERIMAGE) {
    const LONG d = (rc.bottom - rc.top - extent.cy) / 2;
    rc.top += d;
    rc.bottom -= d;
  } else {
    rc.bottom = rc.top + extent.cy;
  }
  if (style & SS_CENTER) {
    const LONG d = (rc.right - rc.left - extent.cx) / 2;
    rc.left += d;
    rc.right -= d;
  } else if (style & SS_RIGHT) {
    rc.left = rc.right - extent.cx;
  } else {
    rc.right = rc.left + extent.cx;
  }
  SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER);
}

std::string OpenErrorMessage(int code) {
  const char* text = nullptr;
  switch (static_cast<unsigned>(code)) {
    case 0:
      text = "The operating system is out\nof memory or resources.";
      break;
    case SE_ERR_FNF:
      text = "The specified file was not found.";
      break;
    case SE_ERR_PNF:
      text = "The specified path was not found.";
      break;
    case SE_ERR_ACCESSDENIED:
      text = "The operating system denied\naccess to the specified file.";
      break;
    case SE_ERR_OOM:
      text = "There was not enough memory to complete the operation.";
      break;
    case ERROR_BAD_FORMAT:
      text = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
      break;
    case SE_ERR_SHARE:
      text = "A sharing violation occurred. ";
      break;
    case SE_ERR_ASSOCINCOMPLETE:
      text = "The filename association is\nincomplete or invalid.";
      break;
    case SE_ERR_DDETIMEOUT:
      text = "The DDE transaction could not\nbe completed because the request timed out.";
      break;
    case SE_ERR_DDEFAIL:
      text = "The DDE transaction failed.";
      break;
    case SE_ERR_DDEBUSY:
      text = "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
      break;
    case SE_ERR_NOASSOC:
      text = "There is no application associated\nwith the given filename extension.";
      break;
    case SE_ERR_DLLNOTFOUND:
      text = "The specified dynamic-link library was not found.";
      break;
    default:
      break;
  }
  std::string message = "Unable to open hyperlink:\n\n";
  if (text != nullptr) return message + text;
  return message + "Unknown Error (" + std::to_string(code) + ") occurred.";
}

void CLinkLabel::ShowOpenError(int code) { AppMessageBox(OpenErrorMessage(code), MB_OK | MB_ICONEXCLAMATION); }
