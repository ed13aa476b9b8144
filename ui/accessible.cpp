#include "accessible.h"

#include <string.h>

#include <new>

// Defined here rather than taken from MinGW's libraries, which would bring
// an import of oleacc.dll into the executable with them.
static const IID kIUnknown = { 0x00000000, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };
static const IID kIDispatch = { 0x00020400, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };
static const IID kIAccessible = { 0x618736E0, 0x3C3D, 0x11CF, { 0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 } };

// Most people never run a screen reader: the DLLs it takes are loaded only
// once one asks, and from the system folder only, so that a planted copy
// beside the clock is never taken.
static struct {
    HRESULT(WINAPI* createStandard)(HWND, LONG, REFIID, void**);
    LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN);
    HRESULT(WINAPI* coInitialize)(LPVOID);
    void(WINAPI* coUninitialize)();
    BSTR(WINAPI* sysAllocString)(const OLECHAR*);
} calls;

static HMODULE LoadSystemLibrary(const char* name)
{
    char path[MAX_PATH];
    size_t size = strlen(name) + 1;
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + size > sizeof(path))
        return NULL;
    path[length] = '\\';
    memcpy(path + length + 1, name, size);
    return LoadLibraryA(path);
}

template <typename Function>
static bool Find(HMODULE module, const char* name, Function* call)
{
    *call = module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : NULL;
    return *call != NULL;
}

// Tried once: a system without them will not grow them while the clock runs.
static bool LoadAccessibility()
{
    static bool tried, found;
    if (!tried) {
        tried = true;
        HMODULE oleacc = LoadSystemLibrary("oleacc.dll");
        HMODULE ole32 = LoadSystemLibrary("ole32.dll");
        HMODULE oleaut32 = LoadSystemLibrary("oleaut32.dll");
        found = Find(oleacc, "CreateStdAccessibleObject", &calls.createStandard) &&
                Find(oleacc, "LresultFromObject", &calls.lresultFromObject) &&
                Find(ole32, "CoInitialize", &calls.coInitialize) &&
                Find(ole32, "CoUninitialize", &calls.coUninitialize) &&
                Find(oleaut32, "SysAllocString", &calls.sysAllocString);
    }
    return found;
}

static bool IsSelf(VARIANT child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

static HRESULT Answer(VARIANT* answer, LONG value)
{
    answer->vt = VT_I4;
    answer->lVal = value;
    return S_OK;
}

static HRESULT Answer(BSTR* answer, const wchar_t* text)
{
    *answer = calls.sysAllocString(text);
    return *answer ? S_OK : E_OUTOFMEMORY;
}

// A reader may hold the object longer than the window lives: once the window
// has gone, every call answers that the object is cut off.
#define FROM_SYSTEM(call) return standard_ ? standard_->call : RPC_E_DISCONNECTED

// The window's client area as a clock: what it is, what it is called and the
// time it shows, which follows the minute. Its place, its controls as
// children, navigation and hit testing are the system's own object's.
class ClockObject : public IAccessible {
public:
    ClockObject(HWND window, IAccessible* standard) : window_(window), standard_(standard) {}

    void Disconnect()
    {
        if (standard_)
            standard_->Release();
        standard_ = NULL;
        window_ = NULL;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = IsEqualIID(id, kIUnknown) || IsEqualIID(id, kIDispatch) || IsEqualIID(id, kIAccessible) ? this : NULL;
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            Disconnect();
            HeapFree(GetProcessHeap(), 0, this);
        }
        return left;
    }

    // Readers use the interface itself, never its scripting side.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        if (!IsSelf(child))
            FROM_SYSTEM(get_accName(child, name));
        if (HRESULT failed = Ready(name))
            return failed;
        return Answer(name, L"deskclock");
    }

    // Read when asked, in the user's own format, from the time the face
    // shows: never a minute behind.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        if (!IsSelf(child))
            FROM_SYSTEM(get_accValue(child, value));
        if (HRESULT failed = Ready(value))
            return failed;
        SYSTEMTIME now;
        GetLocalTime(&now);
        wchar_t text[64];
        if (!GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &now, NULL, text, 64))
            return E_FAIL;
        return Answer(value, text);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!IsSelf(child))
            FROM_SYSTEM(get_accRole(child, role));
        if (HRESULT failed = Ready(role))
            return failed;
        return Answer(role, ROLE_SYSTEM_CLOCK);
    }

    // The system's own states (unavailable, invisible) stand; the clock takes
    // the keys, so it can be focused, and it is focused when it has them.
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        if (!IsSelf(child))
            FROM_SYSTEM(get_accState(child, state));
        if (HRESULT failed = Ready(state))
            return failed;
        VARIANT system;
        HRESULT result = standard_->get_accState(child, &system);
        if (FAILED(result))
            return result;
        LONG flags = system.vt == VT_I4 ? system.lVal & ~STATE_SYSTEM_FOCUSED : 0;
        if (!(flags & STATE_SYSTEM_UNAVAILABLE))
            flags |= STATE_SYSTEM_FOCUSABLE;
        if (GetFocus() == window_)
            flags |= STATE_SYSTEM_FOCUSED;
        return Answer(state, flags);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { FROM_SYSTEM(get_accParent(parent)); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { FROM_SYSTEM(get_accChildCount(count)); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        FROM_SYSTEM(get_accChild(child, object));
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        FROM_SYSTEM(get_accDescription(child, text));
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override { FROM_SYSTEM(get_accHelp(child, text)); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        FROM_SYSTEM(get_accHelpTopic(file, child, topic));
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override
    {
        FROM_SYSTEM(get_accKeyboardShortcut(child, text));
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { FROM_SYSTEM(get_accFocus(child)); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { FROM_SYSTEM(get_accSelection(children)); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* text) override
    {
        FROM_SYSTEM(get_accDefaultAction(child, text));
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { FROM_SYSTEM(accSelect(flags, child)); }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* width, long* height, VARIANT child) override
    {
        FROM_SYSTEM(accLocation(x, y, width, height, child));
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        FROM_SYSTEM(accNavigate(direction, start, end));
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override { FROM_SYSTEM(accHitTest(x, y, child)); }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { FROM_SYSTEM(accDoDefaultAction(child)); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { FROM_SYSTEM(put_accName(child, name)); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override { FROM_SYSTEM(put_accValue(child, value)); }

private:
    HRESULT Ready(const void* answer) const { return !standard_ ? RPC_E_DISCONNECTED : answer ? S_OK : E_POINTER; }

    HWND window_;
    IAccessible* standard_;
    // The clock's own, until the window goes.
    LONG references_ = 1;
};

static ClockObject* kept;
// COM, which handing the object over needs, started on the window's thread
// by the clock and so to be ended by it.
static bool comStarted;

IAccessible* ClockAccessible(HWND window)
{
    if (kept || !LoadAccessibility())
        return kept;
    if (!comStarted)
        comStarted = SUCCEEDED(calls.coInitialize(NULL));
    IAccessible* standard = NULL;
    if (FAILED(calls.createStandard(window, OBJID_CLIENT, kIAccessible, reinterpret_cast<void**>(&standard))))
        return NULL;
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(ClockObject));
    if (!memory) {
        standard->Release();
        return NULL;
    }
    kept = new (memory) ClockObject(window, standard);
    return kept;
}

// Where the object cannot be handed over (no proxy for the interface), the
// system's default answer still gives a reader the system's own object.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        if (IAccessible* object = ClockAccessible(window)) {
            LRESULT handed = calls.lresultFromObject(kIAccessible, wParam, object);
            if (SUCCEEDED(static_cast<HRESULT>(handed)))
                return handed;
        }
    }
    return DefWindowProcA(window, WM_GETOBJECT, wParam, lParam);
}

void ReleaseClockAccessible()
{
    if (kept) {
        kept->Disconnect();
        kept->Release();
        kept = NULL;
    }
    if (comStarted)
        calls.coUninitialize();
    comStarted = false;
}
