// Helpers for the window tests: recording stand-ins for the platform services, a builder
// of in-memory dialog templates, and a driver that runs steps inside a modal loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dialog.h"
#include "platform/Services.h"

// Records every call and answers as told; shows nothing and starts nothing.
class CRecordingServices : public CPlatformServices {
 public:
  struct Box {
    HWND owner;
    std::string text;       // a wide box's text in the ANSI code page
    std::wstring wideText;  // the text as shown; an ANSI box's text widened
    std::string caption;
    UINT type;
    HWND focusBefore;  // the focus when the box was asked for
  };
  struct FileDialog {
    bool save;
    std::string title;
    std::string filter;  // zero separators shown as '|'
    std::wstring initialDirectory;
    DWORD flags;
    HWND owner;
  };

  int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
    boxes.push_back({owner, text, WidenAnsi(text), caption, type, GetFocus()});
    if (onBox) onBox();
    return boxAnswer;
  }
  int ShowMessageBoxW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override {
    boxes.push_back({owner, NarrowToAnsi(text), text, NarrowToAnsi(caption), type, GetFocus()});
    if (onBox) onBox();
    return boxAnswer;
  }
  bool ShowOpenFileDialog(OPENFILENAMEW& ofn) override { return FileAnswer(ofn, false); }
  bool ShowSaveFileDialog(OPENFILENAMEW& ofn) override { return FileAnswer(ofn, true); }
  INT_PTR ShellOpen(HWND, const char*, const char* file, const char*, const char*, int show) override {
    shellOpens.push_back(file != nullptr ? file : "");
    shellShow = show;
    return shellAnswer;
  }
  UINT RunCommandLine(const char* commandLine, UINT) override {
    commandLines.push_back(commandLine);
    return runAnswer;
  }
  void PlayBeep(UINT type) override { beeps.push_back(type); }
  bool HighContrastOn() override { return highContrast; }
  bool DialogsScaleWithDpi() override { return dialogsScaleWithDpi; }

  std::vector<Box> boxes;
  std::vector<FileDialog> fileDialogs;
  std::vector<std::string> shellOpens;
  std::vector<std::string> commandLines;
  std::vector<UINT> beeps;
  int shellShow = 0;
  int boxAnswer = IDOK;
  std::function<void()> onBox;  // runs while the "box" is up
  bool fileChosen = false;      // false: the dialog is cancelled
  std::wstring filePath;        // the path a chosen file dialog returns
  INT_PTR shellAnswer = 42;
  UINT runAnswer = 33;
  bool highContrast = false;        // what the high-contrast query reports
  bool dialogsScaleWithDpi = true;  // per-monitor v2: the dialog manager re-scales

 private:
  bool FileAnswer(OPENFILENAMEW& ofn, bool save) {
    std::string filter;
    for (const wchar_t* p = ofn.lpstrFilter; p != nullptr && *p != L'\0'; p += std::wstring(p).size() + 1) {
      filter += NarrowToAnsi(p) + "|";
    }
    fileDialogs.push_back({save, ofn.lpstrTitle ? NarrowToAnsi(ofn.lpstrTitle) : "", filter,
                           ofn.lpstrInitialDir ? ofn.lpstrInitialDir : L"", ofn.Flags, ofn.hwndOwner});
    if (!fileChosen || filePath.size() + 1 > ofn.nMaxFile) return false;
    filePath.copy(ofn.lpstrFile, filePath.size());
    ofn.lpstrFile[filePath.size()] = '\0';
    return true;
  }
};

// Builds a DLGTEMPLATE with DS_SETFONT (8 point "MS Shell Dlg") in memory.
class CTemplateBuilder {
 public:
  CTemplateBuilder(DWORD style, short cx, short cy, const std::string& title = "") {
    AddDword(style | DS_SETFONT);
    AddDword(0);
    countAt_ = words_.size();
    words_.push_back(0);
    words_.push_back(0);
    words_.push_back(0);
    words_.push_back(static_cast<WORD>(cx));
    words_.push_back(static_cast<WORD>(cy));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // standard class
    AddString(title);
    words_.push_back(8);
    AddString("MS Shell Dlg");
  }

  CTemplateBuilder& Control(const std::string& windowClass, const std::string& text, int id, DWORD style, short x,
                            short y, short cx, short cy) {
    if (words_.size() % 2 != 0) words_.push_back(0);  // items start on a DWORD boundary
    AddDword(style | WS_CHILD | WS_VISIBLE);
    AddDword(0);
    words_.push_back(static_cast<WORD>(x));
    words_.push_back(static_cast<WORD>(y));
    words_.push_back(static_cast<WORD>(cx));
    words_.push_back(static_cast<WORD>(cy));
    words_.push_back(static_cast<WORD>(id));
    AddString(windowClass);
    AddString(text);
    words_.push_back(0);  // no creation data
    ++words_[countAt_];
    return *this;
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void AddDword(DWORD v) {
    words_.push_back(LOWORD(v));
    words_.push_back(HIWORD(v));
  }
  void AddString(const std::string& s) {
    for (unsigned char c : s) words_.push_back(c);
    words_.push_back(0);
  }

  std::vector<WORD> words_;
  std::size_t countAt_ = 0;
};

// Runs `dialog` modally and, from inside its loop, one step per timer tick. A dialog still
// open after the last step is ended with kStillOpen.
constexpr INT_PTR kStillOpen = 99;

inline INT_PTR RunModalSteps(CDialog& dialog, std::vector<std::function<void(HWND)>> steps) {
  struct Driver {
    CDialog* dialog;
    std::vector<std::function<void(HWND)>> steps;
    std::size_t next = 0;
    bool busy = false;
  };
  static Driver* driver = nullptr;
  Driver state{&dialog, std::move(steps)};
  driver = &state;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
    if (driver == nullptr || driver->busy || driver->dialog->GetSafeHwnd() == nullptr) return;
    driver->busy = true;  // a step may run a nested loop
    if (driver->next < driver->steps.size()) {
      driver->steps[driver->next++](driver->dialog->GetSafeHwnd());
    } else {
      driver->dialog->EndDialog(kStillOpen);
    }
    driver->busy = false;
  });
  const INT_PTR result = dialog.DoModal();
  KillTimer(nullptr, timer);
  driver = nullptr;
  return result;
}

// Dispatches this thread's messages until `done()` holds or `timeoutMs` have passed; true
// when it holds. A nested modal loop started by a message runs inside the dispatch.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    MSG msg;
    while (!done() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

// Typing: one WM_CHAR per character, as the keyboard would deliver them.
inline void Type(HWND edit, const std::string& text) {
  for (unsigned char c : text) SendMessageA(edit, WM_CHAR, c, 1);
}

// Replaces the whole text as a paste would (bypasses ES_NUMBER, honours the input limit).
inline void PasteOver(HWND edit, const std::string& text) {
  SendMessageA(edit, EM_SETSEL, 0, -1);
  SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

inline std::string TextOf(HWND window) { return CWindowRef(window).GetText(); }

inline std::pair<int, int> SelectionOf(HWND edit) {
  DWORD start = 0, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {static_cast<int>(start), static_cast<int>(end)};
}
