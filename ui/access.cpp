// Accessible objects for the windows we draw ourselves. The strip's object
// has a simple child for each control; the viewer's and the About box's
// have none and carry what those windows show as text in their name and
// description. Every call comes on the user-interface thread: the system
// marshals other processes' calls to the thread that made the object.
#include <windows.h>
#include <oleacc.h>
#include <wchar.h>

#include "access.h"

namespace {

// Defined here rather than taken from a library: the import library's
// symbol of the same name is no GUID (see the link order in the build).
const IID IID_Accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

BSTR text_bstr(const WCHAR* text) { return text && text[0] ? SysAllocString(text) : nullptr; }

// The child a VARIANT names: CHILDID_SELF (0), 1 to children, or -1 for
// anything else.
long child_of(const VARIANT& v, long children) {
    if (v.vt != VT_I4) return -1;
    return v.lVal >= 0 && v.lVal <= children ? v.lVal : -1;
}

class Accessible : public IAccessible {
public:
    enum Kind { STRIP, PLAIN };
    virtual ~Accessible() = default;
    Accessible(HWND window, Kind kind, UiDescribeFn name_extra, UiDescribeFn description)
        : refs_(1), window_(window), kind_(kind), name_extra_(name_extra), description_(description) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_Accessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (!left) delete this;
        return left;
    }

    // IDispatch: not offered; readers use the interface itself.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!IsWindow(window_)) return E_FAIL;
        return AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(parent));
    }
    STDMETHODIMP get_accChildCount(long* count) override {
        if (!count) return E_POINTER;
        *count = children();
        return S_OK;
    }
    // The children are simple elements, not objects of their own.
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return child_of(child, children()) > 0 ? S_FALSE : E_INVALIDARG;
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        long id = child_of(child, children());
        if (id < 0) return E_INVALIDARG;
        if (id == CHILDID_SELF) {
            WCHAR text[600];
            int n = GetWindowTextW(window_, text, 256);
            if (name_extra_) {
                WCHAR extra[300] = L"";
                name_extra_(extra, 300);
                if (extra[0]) {
                    wcsncpy(text + n, n ? L": " : L"", 3);
                    wcsncat(text, extra, 600 - wcslen(text) - 1);
                }
            }
            *out = text_bstr(text);
        } else {
            UiStripChild c;
            if (!ui_strip_child(id, &c)) return E_INVALIDARG;
            *out = text_bstr(c.name);
        }
        return *out ? S_OK : S_FALSE;
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        long id = child_of(child, children());
        if (id < 0) return E_INVALIDARG;
        UiStripChild c;
        if (id > 0 && ui_strip_child(id, &c)) *out = text_bstr(c.value);
        return *out ? S_OK : S_FALSE;
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (child_of(child, children()) != CHILDID_SELF || !description_) return S_FALSE;
        static WCHAR text[4096];
        text[0] = 0;
        description_(text, 4096);
        *out = text_bstr(text);
        return *out ? S_OK : S_FALSE;
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* out) override {
        if (!out) return E_POINTER;
        VariantInit(out);
        long id = child_of(child, children());
        if (id < 0) return E_INVALIDARG;
        out->vt = VT_I4;
        out->lVal = id == CHILDID_SELF        ? ROLE_SYSTEM_CLIENT
                    : id <= UI_STRIP_BUTTONS  ? ROLE_SYSTEM_PUSHBUTTON
                    : id == UI_STRIP_TEXT     ? ROLE_SYSTEM_STATICTEXT
                                              : ROLE_SYSTEM_SLIDER;
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* out) override {
        if (!out) return E_POINTER;
        VariantInit(out);
        long id = child_of(child, children());
        if (id < 0) return E_INVALIDARG;
        long state = 0;
        if (!IsWindowVisible(window_)) state |= STATE_SYSTEM_INVISIBLE;
        bool enabled = IsWindowEnabled(window_) != 0;
        if (!enabled) state |= STATE_SYSTEM_UNAVAILABLE;
        bool has_focus = GetFocus() == window_;
        if (id == CHILDID_SELF) {
            state |= STATE_SYSTEM_FOCUSABLE;
            if (has_focus && (kind_ == PLAIN || !ui_strip_focus())) state |= STATE_SYSTEM_FOCUSED;
        } else {
            if (enabled) state |= STATE_SYSTEM_FOCUSABLE;
            if (id == UI_STRIP_TEXT) state |= STATE_SYSTEM_READONLY;
            if (has_focus && ui_strip_focus() == id) state |= STATE_SYSTEM_FOCUSED;
        }
        out->vt = VT_I4;
        out->lVal = state;
        return S_OK;
    }
    STDMETHODIMP get_accHelp(VARIANT, BSTR* out) override {
        if (out) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* out) override {
        if (out) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accFocus(VARIANT* out) override {
        if (!out) return E_POINTER;
        VariantInit(out);
        if (GetFocus() != window_) return S_FALSE;
        out->vt = VT_I4;
        out->lVal = kind_ == STRIP ? ui_strip_focus() : CHILDID_SELF;
        return S_OK;
    }
    STDMETHODIMP get_accSelection(VARIANT* out) override {
        if (out) VariantInit(out);
        return S_FALSE;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        long id = child_of(child, children());
        if (id < 0) return E_INVALIDARG;
        if (id >= 1 && id <= UI_STRIP_BUTTONS) *out = SysAllocString(L"Press");
        return *out ? S_OK : S_FALSE;
    }
    STDMETHODIMP accSelect(long flags, VARIANT child) override {
        long id = child_of(child, children());
        if (id < 0) return E_INVALIDARG;
        if (!(flags & SELFLAG_TAKEFOCUS)) return E_NOTIMPL;
        SetFocus(window_);
        if (kind_ == STRIP && id > 0) ui_strip_set_focus(id);
        return S_OK;
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        long id = child_of(child, children());
        if (id < 0) return E_INVALIDARG;
        RECT r;
        if (id == CHILDID_SELF) {
            GetClientRect(window_, &r);
        } else {
            UiStripChild c;
            if (!ui_strip_child(id, &c)) return E_INVALIDARG;
            r = c.rect;
        }
        MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* out) override {
        if (!out) return E_POINTER;
        VariantInit(out);
        long n = children(), id = child_of(start, n);
        if (id < 0) return E_INVALIDARG;
        long to = 0;
        switch (direction) {
        case NAVDIR_FIRSTCHILD: to = id == CHILDID_SELF && n ? 1 : 0; break;
        case NAVDIR_LASTCHILD: to = id == CHILDID_SELF ? n : 0; break;
        case NAVDIR_NEXT: to = id > 0 && id < n ? id + 1 : 0; break;
        case NAVDIR_PREVIOUS: to = id > 1 ? id - 1 : 0; break;
        default: return S_FALSE;  // the controls stand in no grid
        }
        if (!to) return S_FALSE;
        out->vt = VT_I4;
        out->lVal = to;
        return S_OK;
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* out) override {
        if (!out) return E_POINTER;
        VariantInit(out);
        POINT p = {x, y};
        ScreenToClient(window_, &p);
        RECT client;
        GetClientRect(window_, &client);
        if (!PtInRect(&client, p)) return S_FALSE;
        out->vt = VT_I4;
        out->lVal = kind_ == STRIP ? ui_strip_child_at(p) : CHILDID_SELF;
        return S_OK;
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        long id = child_of(child, children());
        if (id < 0) return E_INVALIDARG;
        if (id < 1 || id > UI_STRIP_BUTTONS) return DISP_E_MEMBERNOTFOUND;
        if (!IsWindowEnabled(window_)) return E_FAIL;
        return ui_strip_press(id) ? S_OK : E_FAIL;
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override {
        long id = child_of(child, children());
        if (id != UI_STRIP_SEEK && id != UI_STRIP_VOLUME) return id < 0 ? E_INVALIDARG : E_NOTIMPL;
        if (!IsWindowEnabled(window_)) return E_FAIL;
        return ui_strip_set_value(id, value ? value : L"") ? S_OK : E_INVALIDARG;
    }

private:
    long children() const { return kind_ == STRIP ? UI_STRIP_CHILDREN : 0; }

    LONG refs_;
    HWND window_;
    Kind kind_;
    UiDescribeFn name_extra_, description_;
};

LRESULT answer(Accessible* object, WPARAM wparam) {
    LRESULT result = LresultFromObject(IID_Accessible, wparam, static_cast<IAccessible*>(object));
    object->Release();
    return result;
}

}  // namespace

LRESULT ui_strip_get_object(HWND strip, WPARAM wparam, LPARAM lparam) {
    if (static_cast<LONG>(lparam) != static_cast<LONG>(OBJID_CLIENT))
        return DefWindowProcA(strip, WM_GETOBJECT, wparam, lparam);
    return answer(new Accessible(strip, Accessible::STRIP, nullptr, nullptr), wparam);
}

LRESULT ui_plain_get_object(HWND window, WPARAM wparam, LPARAM lparam, UiDescribeFn name_extra,
                            UiDescribeFn description) {
    if (static_cast<LONG>(lparam) != static_cast<LONG>(OBJID_CLIENT))
        return DefWindowProcA(window, WM_GETOBJECT, wparam, lparam);
    return answer(new Accessible(window, Accessible::PLAIN, name_extra, description), wparam);
}
