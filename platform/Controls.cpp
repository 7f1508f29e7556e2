// Control wrappers: each call is one message to the control.
#include "platform/Controls.h"

#include <vector>

int CTabCtrl::InsertItem(int index, const std::string& text) const {
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(Send(TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

LPARAM CTabCtrl::GetItemData(int index) const {
  TCITEMA item{};
  item.mask = TCIF_PARAM;
  if (!Send(TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) return 0;
  return item.lParam;
}

bool CTabCtrl::SetItemData(int index, LPARAM data) const {
  TCITEMA item{};
  item.mask = TCIF_PARAM;
  item.lParam = data;
  return Send(TCM_SETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != FALSE;
}

std::string CTabCtrl::GetItemText(int index) const {
  // Tab texts are short labels; a longer one is cut at the buffer.
  char buffer[256] = {};
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = static_cast<int>(sizeof(buffer));
  if (!Send(TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) return {};
  return item.pszText != nullptr ? std::string(item.pszText) : std::string();
}

int CListCtrl::InsertColumn(int column, const std::string& text, int format, int width) const {
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
  col.fmt = format;
  col.cx = width;
  col.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

std::string CListCtrl::GetColumnText(int column) const {
  // LVM_GETCOLUMN does not report the full length: grow until the text leaves room.
  for (std::size_t size = 64; size <= (1u << 20); size *= 4) {
    std::vector<char> buffer(size, '\0');
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT;
    col.pszText = buffer.data();
    col.cchTextMax = static_cast<int>(size);
    if (!Send(LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col))) return {};
    std::string text(col.pszText);
    if (text.size() + 1 < size) return text;
  }
  return {};
}

int CListCtrl::GetColumnCount() const {
  HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
  return header != nullptr ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int CListCtrl::InsertItem(int row, const std::string& text) const {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CListCtrl::SetItemText(int row, int column, const std::string& text) const {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  return Send(LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != FALSE;
}

std::string CListCtrl::GetItemText(int row, int column) const {
  // LVM_GETITEMTEXT returns the number of characters copied; a text that filled the
  // buffer may be longer, so the buffer grows until one is left over.
  for (std::size_t size = 256;; size *= 2) {
    std::vector<char> buffer(size, '\0');
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(size);
    const auto n =
        static_cast<std::size_t>(Send(LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    const bool whole = n + 1 < size || size >= (std::size_t{1} << 30);
    std::string text = whole ? std::string(buffer.data(), n < size ? n : size - 1) : std::string();
    // The texts may be passwords: no copy of ours is left behind in freed memory.
    SecureZeroMemory(buffer.data(), buffer.size());
    if (whole) return text;
  }
}

bool CListCtrl::SelectRow(int row) const {
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  return Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != FALSE;
}

bool CFont::Create(const LOGFONTA& description) {
  Delete();
  font_ = CreateFontIndirectA(&description);
  return font_ != nullptr;
}

void CFont::Delete() {
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
}

CIcon& CIcon::operator=(CIcon&& other) noexcept {
  if (this != &other) {
    Destroy();
    icon_ = other.icon_;
    other.icon_ = nullptr;
  }
  return *this;
}

bool CIcon::Load(HINSTANCE module, UINT id, int size) {
  Destroy();
  icon_ = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  return icon_ != nullptr;
}

void CIcon::Destroy() {
  if (icon_ != nullptr) DestroyIcon(icon_);
  icon_ = nullptr;
}

bool CBitmap::Load(HINSTANCE module, UINT id, int cx, int cy) {
  Reset(static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, cx, cy, LR_DEFAULTCOLOR)));
  return bitmap_ != nullptr;
}

void CBitmap::Delete() { Reset(nullptr); }

void CBitmap::Reset(HBITMAP bitmap) {
  if (bitmap_ != nullptr && bitmap_ != bitmap) DeleteObject(bitmap_);
  bitmap_ = bitmap;
}

HBITMAP CBitmap::Release() {
  HBITMAP bitmap = bitmap_;
  bitmap_ = nullptr;
  return bitmap;
}

bool CToolTipCtrl::Create(HWND owner, DWORD style) {
  DestroyTip();
  m_hWnd = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  return m_hWnd != nullptr;
}

void CToolTipCtrl::DestroyTip() {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
}

namespace {
// The size that every version of the common controls accepts.
TTTOOLINFOA ToolInfo(HWND window, UINT id) {
  TTTOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V2_SIZE;
  info.hwnd = window;
  info.uId = id;
  return info;
}
}  // namespace

bool CToolTipCtrl::AddTool(HWND window, UINT id, const RECT& rect, const std::string& text) const {
  TTTOOLINFOA info = ToolInfo(window, id);
  info.uFlags = 0;  // mouse events come through RelayEvent
  info.rect = rect;
  info.lpszText = const_cast<char*>(text.c_str());
  return Send(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CToolTipCtrl::UpdateTipText(HWND window, UINT id, const std::string& text) const {
  TTTOOLINFOA info = ToolInfo(window, id);
  info.lpszText = const_cast<char*>(text.c_str());
  Send(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::SetToolRect(HWND window, UINT id, const RECT& rect) const {
  TTTOOLINFOA info = ToolInfo(window, id);
  info.rect = rect;
  Send(TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&info));
}

std::string CToolTipCtrl::GetText(HWND window, UINT id) const {
  // The buffer size goes with the request, so a longer text is cut, never overrun.
  std::vector<char> buffer(1024, '\0');
  TTTOOLINFOA info = ToolInfo(window, id);
  info.lpszText = buffer.data();
  Send(TTM_GETTEXTA, buffer.size(), reinterpret_cast<LPARAM>(&info));
  return std::string(buffer.data());
}
