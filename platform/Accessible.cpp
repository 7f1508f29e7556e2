// The wrapping proxy (an IAccessible in front of the standard one), the WM_GETOBJECT answer,
// the subclass that carries answers for a control, and the fixed-name and tab-item answers.
#include "platform/Accessible.h"

#include <commctrl.h>
#include <objbase.h>
#include <oleacc.h>

#include <new>
#include <utility>
#include <vector>

// IAccessible's IID is taken with __uuidof: mingw's uuid and oleacc libraries both define
// IID_IAccessible, and a program that needs both (other IIDs come from uuid) fails to link.
namespace {
// Child id of a VARIANT, or false when it carries none.
bool ChildOf(const VARIANT& v, LONG& child) {
  if (v.vt != VT_I4) return false;
  child = v.lVal;
  return true;
}

HRESULT ToBstr(const std::wstring& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

class CAccessibleProxy final : public IAccessible {
 public:
  CAccessibleProxy(HWND window, IAccessible* inner, std::shared_ptr<const CAccessibleAnswers> answers)
      : window_(window), inner_(inner), answers_(std::move(answers)) {
    inner_->AddRef();
  }
  CAccessibleProxy(const CAccessibleProxy&) = delete;
  CAccessibleProxy& operator=(const CAccessibleProxy&) = delete;

  // IUnknown: one identity for IUnknown, IDispatch and IAccessible.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, __uuidof(IAccessible))) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: the standard proxy's.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return inner_->GetTypeInfo(index, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return inner_->GetIDsOfNames(iid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override {
    return inner_->Invoke(id, iid, lcid, flags, params, result, exception, argError);
  }

  // IAccessible: ours where the answers have one, the standard proxy's otherwise.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    LONG own = 0;
    if (count != nullptr && Live() && answers_->ChildCount(window_, own)) {
      *count = own;
      return S_OK;
    }
    return inner_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    LONG id = 0;
    LONG count = 0;
    if (out != nullptr && ChildOf(child, id) && id > 0 && Live() && answers_->ChildCount(window_, count) &&
        id <= count) {
      *out = nullptr;  // a simple element: the caller asks this object about it
      return S_FALSE;
    }
    return inner_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    std::wstring text;
    LONG id = 0;
    if (ChildOf(child, id) && Live() && answers_->Name(window_, id, text)) return ToBstr(text, name);
    return inner_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    std::wstring text;
    LONG id = 0;
    if (ChildOf(child, id) && Live() && answers_->Value(window_, id, text)) return ToBstr(text, value);
    return inner_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return inner_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    LONG id = 0;
    LONG own = 0;
    if (role != nullptr && ChildOf(child, id) && Live() && answers_->Role(window_, id, own)) {
      VariantInit(role);
      role->vt = VT_I4;
      role->lVal = own;
      return S_OK;
    }
    return inner_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    LONG id = 0;
    LONG own = 0;
    if (state != nullptr && ChildOf(child, id) && Live() && answers_->State(window_, id, own)) {
      VariantInit(state);
      state->vt = VT_I4;
      state->lVal = own;
      return S_OK;
    }
    return inner_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return inner_->get_accHelp(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return inner_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return inner_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return inner_->get_accSelection(children); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    std::wstring text;
    LONG id = 0;
    if (ChildOf(child, id) && Live() && answers_->DefaultAction(window_, id, text)) return ToBstr(text, action);
    return inner_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return inner_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return inner_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return inner_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return inner_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    LONG id = 0;
    if (ChildOf(child, id) && Live() && answers_->DoDefaultAction(window_, id)) return S_OK;
    return inner_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return inner_->put_accName(child, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return inner_->put_accValue(child, value);
  }

 private:
  ~CAccessibleProxy() { inner_->Release(); }
  bool Live() const { return IsWindow(window_) != FALSE; }

  LONG refs_ = 1;
  HWND window_;
  IAccessible* inner_;
  std::shared_ptr<const CAccessibleAnswers> answers_;
};

constexpr UINT_PTR kAnswersSubclassId = 0x4B41;  // "KA"

LRESULT CALLBACK AnswersSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR refData) {
  auto* answers = reinterpret_cast<std::shared_ptr<const CAccessibleAnswers>*>(refData);
  if (message == WM_GETOBJECT) {
    LRESULT result = 0;
    if (AnswerGetObject(hwnd, wParam, lParam, *answers, result)) return result;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &AnswersSubclassProc, kAnswersSubclassId);
    delete answers;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

class CFixedName final : public CAccessibleAnswers {
 public:
  explicit CFixedName(std::wstring name) : name_(std::move(name)) {}
  bool Name(HWND, LONG child, std::wstring& name) const override {
    if (child != CHILDID_SELF) return false;
    name = name_;
    return true;
  }

 private:
  std::wstring name_;
};

class CTabItems final : public CAccessibleAnswers {
 public:
  bool Name(HWND tab, LONG child, std::wstring& name) const override {
    if (!IsItem(tab, child)) return false;
    std::vector<wchar_t> text(256, L'\0');
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    if (!SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(child - 1), reinterpret_cast<LPARAM>(&item))) {
      return false;
    }
    // The control may answer with a pointer of its own instead of filling the buffer.
    name = item.pszText != nullptr ? item.pszText : L"";
    return true;
  }
  bool Role(HWND tab, LONG child, LONG& role) const override {
    if (!IsItem(tab, child)) return false;
    role = ROLE_SYSTEM_PAGETAB;
    return true;
  }
  bool State(HWND tab, LONG child, LONG& state) const override {
    if (!IsItem(tab, child)) return false;
    state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (SendMessageW(tab, TCM_GETCURSEL, 0, 0) == child - 1) {
      state |= STATE_SYSTEM_SELECTED;
      if (GetFocus() == tab) state |= STATE_SYSTEM_FOCUSED;
    }
    return true;
  }
  bool ChildCount(HWND tab, LONG& count) const override {
    count = static_cast<LONG>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    return true;
  }

 private:
  static bool IsItem(HWND tab, LONG child) {
    return child > 0 && child <= static_cast<LONG>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
  }
};
}  // namespace

bool AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, std::shared_ptr<const CAccessibleAnswers> answers,
                     LRESULT& result) {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT || !answers) return false;
  IAccessible* standard = nullptr;
  if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&standard))) ||
      standard == nullptr) {
    return false;
  }
  auto* proxy = new (std::nothrow) CAccessibleProxy(window, standard, std::move(answers));
  standard->Release();
  if (proxy == nullptr) return false;
  result = LresultFromObject(__uuidof(IAccessible), wParam, proxy);
  proxy->Release();  // the hand-over holds its own reference
  return true;
}

bool SetAccessibleAnswers(HWND control, std::shared_ptr<const CAccessibleAnswers> answers) {
  if (control == nullptr || !answers) return false;
  auto* held = new (std::nothrow) std::shared_ptr<const CAccessibleAnswers>(std::move(answers));
  if (held == nullptr) return false;
  if (!SetWindowSubclass(control, &AnswersSubclassProc, kAnswersSubclassId, reinterpret_cast<DWORD_PTR>(held))) {
    delete held;
    return false;
  }
  return true;
}

bool SetAccessibleName(HWND control, const std::wstring& name) {
  return SetAccessibleAnswers(control, std::make_shared<CFixedName>(name));
}

bool ExposeTabItems(HWND tab) { return SetAccessibleAnswers(tab, std::make_shared<CTabItems>()); }

CComApartment::CComApartment() {
  // S_FALSE: COM was already started on this thread; it still wants its CoUninitialize.
  started_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

CComApartment::~CComApartment() {
  if (started_) CoUninitialize();
}
