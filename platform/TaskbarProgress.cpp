// CTaskbarProgress: ITaskbarList3 from CoCreateInstance, held for the object's lifetime.
#include "platform/TaskbarProgress.h"

#include <objbase.h>
#include <shobjidl.h>

CTaskbarProgress::CTaskbarProgress(HWND window) : window_(window) {
  // S_FALSE: COM was already started on this thread; it still wants its CoUninitialize.
  const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  comStarted_ = SUCCEEDED(started);
  void* object = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &object))) {
    taskbar_ = static_cast<ITaskbarList3*>(object);
    if (FAILED(taskbar_->HrInit())) {
      taskbar_->Release();
      taskbar_ = nullptr;
    }
  }
  if (taskbar_ != nullptr) taskbar_->SetProgressState(window_, TBPF_NORMAL);
}

CTaskbarProgress::~CTaskbarProgress() {
  if (taskbar_ != nullptr) {
    taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
    taskbar_->Release();
  }
  if (comStarted_) CoUninitialize();
}

void CTaskbarProgress::SetValue(std::uint64_t done, std::uint64_t total) {
  if (taskbar_ != nullptr && total > 0) taskbar_->SetProgressValue(window_, done, total);
}
