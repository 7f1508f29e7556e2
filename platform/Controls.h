// Control wrappers: the tab control, the list view and static text, plus the owned GDI
// objects (font, icon, bitmap, window DC) and tooltip window that windows of ours may need.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "platform/Wnd.h"

// Tab control. Copyable, holds only the HWND.
class CTabCtrl : public CWindowRef {
 public:
  using CWindowRef::CWindowRef;

  // Inserts a text-only item at `index`. Returns its index or -1.
  int InsertItem(int index, const std::string& text) const;
  // The application value of item `index` (TCIF_PARAM); 0 when there is no such item.
  LPARAM GetItemData(int index) const;
  bool SetItemData(int index, LPARAM data) const;
  std::string GetItemText(int index) const;
  int GetItemCount() const { return static_cast<int>(Send(TCM_GETITEMCOUNT)); }
  int GetCurSel() const { return static_cast<int>(Send(TCM_GETCURSEL)); }
  // Selects without notifying the parent, as TCM_SETCURSEL does. Returns the previous one.
  int SetCurSel(int index) const { return static_cast<int>(Send(TCM_SETCURSEL, static_cast<WPARAM>(index))); }
};

// List view in report view. Copyable, holds only the HWND.
class CListCtrl : public CWindowRef {
 public:
  using CWindowRef::CWindowRef;

  void SetExtendedStyle(DWORD mask, DWORD style) const { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style); }
  DWORD GetExtendedStyle() const { return static_cast<DWORD>(Send(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
  // Inserts column `column` with text, format (LVCFMT_*) and width in pixels. Returns its index or -1.
  int InsertColumn(int column, const std::string& text, int format, int width) const;
  int GetColumnWidth(int column) const { return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, column)); }
  bool SetColumnWidth(int column, int width) const {
    return Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)) != FALSE;
  }
  // The heading of `column`, of any length; empty when there is no such column.
  std::string GetColumnText(int column) const;
  int GetColumnCount() const;

  // Inserts a row at `row` with the text of column 0. Returns its index or -1.
  int InsertItem(int row, const std::string& text) const;
  bool SetItemText(int row, int column, const std::string& text) const;
  // The whole text of a cell, of any length. The buffers it reads through are wiped, as the
  // text may be a password; wiping the result is the caller's.
  std::string GetItemText(int row, int column) const;
  bool DeleteAllItems() const { return Send(LVM_DELETEALLITEMS) != FALSE; }
  int GetItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
  int GetSelectedCount() const { return static_cast<int>(Send(LVM_GETSELECTEDCOUNT)); }
  int GetNextItem(int start, UINT flags) const {
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
  }
  // The selected row, or -1.
  int GetSelectedRow() const { return GetNextItem(-1, LVNI_SELECTED); }
  // Selects `row` (and focuses it); the list keeps at most one selected row.
  bool SelectRow(int row) const;
};

// Static text as a window object of ours, so it can be subclassed (SubclassDlgItem) and
// answer messages reflected from its parent.
class CStatic : public CWnd {};

// An owned GDI font. Not copyable.
class CFont {
 public:
  CFont() = default;
  ~CFont() { Delete(); }
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  // Creates the font; false when that fails. Replaces an earlier font.
  bool Create(const LOGFONTA& description);
  void Delete();
  HFONT Get() const { return font_; }
  bool IsCreated() const { return font_ != nullptr; }

 private:
  HFONT font_ = nullptr;
};

// An owned tooltip window. Not copyable.
class CToolTipCtrl : public CWindowRef {
 public:
  CToolTipCtrl() = default;
  ~CToolTipCtrl() { DestroyTip(); }
  CToolTipCtrl(const CToolTipCtrl&) = delete;
  CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

  // Creates the tooltip as a popup owned by `owner`, with WS_POPUP | `style`.
  bool Create(HWND owner, DWORD style = 0);
  void DestroyTip();
  // Adds tool `id` of `window`, covering `rect` (client coordinates of `window`).
  bool AddTool(HWND window, UINT id, const RECT& rect, const std::string& text) const;
  void UpdateTipText(HWND window, UINT id, const std::string& text) const;
  // Moves tool `id` of `window` to `rect` (client coordinates of `window`).
  void SetToolRect(HWND window, UINT id, const RECT& rect) const;
  // The text of tool `id` of `window`.
  std::string GetText(HWND window, UINT id) const;
  void RelayEvent(MSG& msg) const { Send(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg)); }
};

// An owned icon, loaded at a given size (not shared, so any size can be had). Movable, not
// copyable.
class CIcon {
 public:
  CIcon() = default;
  ~CIcon() { Destroy(); }
  CIcon(CIcon&& other) noexcept : icon_(other.icon_) { other.icon_ = nullptr; }
  CIcon& operator=(CIcon&& other) noexcept;
  CIcon(const CIcon&) = delete;
  CIcon& operator=(const CIcon&) = delete;

  // Loads icon resource `id` of `module` in the image nearest to `size` x `size` pixels,
  // drawn at that size. False when that fails; an earlier icon is destroyed either way.
  bool Load(HINSTANCE module, UINT id, int size);
  void Destroy();
  HICON Get() const { return icon_; }

 private:
  HICON icon_ = nullptr;
};

// An owned GDI bitmap. Not copyable.
class CBitmap {
 public:
  CBitmap() = default;
  ~CBitmap() { Delete(); }
  CBitmap(const CBitmap&) = delete;
  CBitmap& operator=(const CBitmap&) = delete;

  // Loads bitmap resource `id` of `module`, stretched to `cx` x `cy` pixels (0, 0: as it
  // is). False when that fails; an earlier bitmap is deleted either way.
  bool Load(HINSTANCE module, UINT id, int cx, int cy);
  void Delete();
  HBITMAP Get() const { return bitmap_; }
  // Takes ownership of `bitmap`, deleting an earlier one.
  void Reset(HBITMAP bitmap);
  // Gives up ownership; returns the bitmap.
  HBITMAP Release();

 private:
  HBITMAP bitmap_ = nullptr;
};

// The DC that GetDC hands out for a window (the screen for null), released when the owner
// goes. Not copyable.
class CWindowDC {
 public:
  explicit CWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~CWindowDC() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint and EndPaint around one WM_PAINT.
class CPaintDC {
 public:
  explicit CPaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~CPaintDC() { EndPaint(window_, &paint_); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};
