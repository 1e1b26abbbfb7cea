// taskbar_probe.dll: stands in for the taskbar's ITaskbarList3 (CLSID_TaskbarList), whose
// progress Wine accepts but neither shows nor reports, so that the GUI tests can read back what
// the program asks of its taskbar button. Every progress call is appended to the file named by
// DXFLIST_TASKBAR_LOG, one line each: "state FLAGS" (0 none, 1 busy, 2 normal) or
// "value DONE TOTAL". Registered for the current user by the tests only while they run.

#include <windows.h>
// After windows.h, which they need.
#include <shobjidl.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace {

void logLine(const std::string& line) {
    wchar_t path[MAX_PATH];
    if (!GetEnvironmentVariableW(L"DXFLIST_TASKBAR_LOG", path, MAX_PATH)) return;
    if (FILE* log = _wfopen(path, L"ab")) {
        std::fputs((line + "\n").c_str(), log);
        std::fclose(log);
    }
}

class TaskbarProbe final : public ITaskbarList3 {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_ITaskbarList || iid == IID_ITaskbarList2 ||
            iid == __uuidof(ITaskbarList3)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND, ULONGLONG done, ULONGLONG total) override {
        logLine("value " + std::to_string(done) + " " + std::to_string(total));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND, TBPFLAG flags) override {
        logLine("state " + std::to_string(flags));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HrInit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return S_OK; }

  private:
    std::atomic<ULONG> references_{1};
};

class Factory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static: never deleted
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* probe = new TaskbarProbe;
        const HRESULT result = probe->QueryInterface(iid, out);
        probe->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }
};

Factory factory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (clsid != CLSID_TaskbarList) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, out);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return S_FALSE;
}
