#include "app/accessible_names.h"

#include <commctrl.h>
#include <oleacc.h>

#include "wizard/wizard_types.h"

namespace {

struct AccessibleDescription {
    int id;
    const wchar_t* name;  // null: the control's own text
    long role;
};

constexpr AccessibleDescription kDescriptions[] = {
    {control_id::kLogo, L"Tervane", ROLE_SYSTEM_GRAPHIC},
    {control_id::kPageTitle, nullptr, ROLE_SYSTEM_STATICTEXT},
    {control_id::kUsername, L"Username", ROLE_SYSTEM_TEXT},
    {control_id::kPassword, L"Password", ROLE_SYSTEM_TEXT},
    {control_id::kShowPassword, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kLogin, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kWifiOnly, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kSignUp, nullptr, ROLE_SYSTEM_LINK},
    {control_id::kAccountLine, nullptr, ROLE_SYSTEM_STATICTEXT},
    {control_id::kBaseUnitList, L"Base units", ROLE_SYSTEM_LIST},
    {control_id::kRefreshBaseUnits, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kConnect, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kBackBaseUnits, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kBaseUnitLine, nullptr, ROLE_SYSTEM_STATICTEXT},
    {control_id::kWifiList, L"Wi-Fi networks", ROLE_SYSTEM_LIST},
    {control_id::kRefreshWifi, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kNetworkName, L"Wi-Fi network name", ROLE_SYSTEM_TEXT},
    {control_id::kWifiPassword, L"Wi-Fi password", ROLE_SYSTEM_TEXT},
    {control_id::kShowWifiPassword, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kUsernameOnly, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kConfigure, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kBackWifi, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kResultHeading, nullptr, ROLE_SYSTEM_STATICTEXT},
    {control_id::kResultMessage, nullptr, ROLE_SYSTEM_STATICTEXT},
    {control_id::kFinish, nullptr, ROLE_SYSTEM_PUSHBUTTON},
    {control_id::kStatus, nullptr, ROLE_SYSTEM_STATICTEXT},
};

const AccessibleDescription* Find(int id) {
    for (const AccessibleDescription& entry : kDescriptions) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The standard object of the control with name, role and (for a placeholder) value replaced.
// Holds only the window handle, so it stays harmless when a reader keeps it after the window.
class NamedAccessible : public IAccessible {
public:
    NamedAccessible(HWND control, IAccessible* standard, const AccessibleDescription& description)
        : control_(control), standard_(standard), description_(description) {
        standard_->AddRef();
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return standard_->QueryInterface(iid, out);  // IOleWindow, IEnumVARIANT, ...
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            standard_->Release();
            delete this;
        }
        return left;
    }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        return standard_->GetTypeInfoCount(count);
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                        VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
        return standard_->Invoke(id, iid, locale, flags, parameters, result, exception, argument);
    }

    // IAccessible: what this object changes.
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        if (!IsSelf(child) || !description_.name) {
            return standard_->get_accName(child, name);
        }
        if (!name) {
            return E_POINTER;
        }
        *name = SysAllocString(description_.name);
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child)) {
            return standard_->get_accRole(child, role);
        }
        if (!role) {
            return E_POINTER;
        }
        role->vt = VT_I4;
        role->lVal = description_.role;
        return S_OK;
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
        if (IsSelf(child) && description_.role == ROLE_SYSTEM_TEXT) {
            if (!value) {
                return E_POINTER;
            }
            *value = nullptr;
            if (GetWindowLongPtrW(control_, GWL_STYLE) & ES_PASSWORD) {
                return E_ACCESSDENIED;  // as the system does for every password field
            }
            HWND frame = GetParent(control_);
            if (frame && SendMessageW(frame, WM_APP_PLACEHOLDER_SHOWN, description_.id, 0)) {
                *value = SysAllocString(L"");  // the grey hint is not a value
                return S_OK;
            }
        }
        return standard_->get_accValue(child, value);
    }

    // IAccessible: the standard object's answers.
    STDMETHODIMP get_accParent(IDispatch** parent) override {
        return standard_->get_accParent(parent);
    }
    STDMETHODIMP get_accChildCount(long* count) override {
        return standard_->get_accChildCount(count);
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
        return standard_->get_accChild(child, out);
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override {
        return standard_->get_accDescription(child, text);
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* text) override {
        return standard_->get_accHelp(child, text);
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
        return standard_->get_accKeyboardShortcut(child, text);
    }
    STDMETHODIMP get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
    STDMETHODIMP get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* text) override {
        return standard_->get_accDefaultAction(child, text);
    }
    STDMETHODIMP accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height,
                             VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override {
        return standard_->accHitTest(x, y, child);
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

private:
    virtual ~NamedAccessible() = default;

    LONG references_ = 1;
    HWND control_;
    IAccessible* standard_;
    const AccessibleDescription& description_;
};

LRESULT CALLBACK AccessibleProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data) {
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        // The object is handed out through COM; the window thread joins an apartment once,
        // when the first reader asks, and stays in it.
        static const bool apartment = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        (void)apartment;
        const auto& description = *reinterpret_cast<const AccessibleDescription*>(data);
        IAccessible* standard = nullptr;
        if (SUCCEEDED(CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&standard)))) {
            auto* named = new NamedAccessible(control, standard, description);
            standard->Release();
            const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, named);
            named->Release();
            return result;
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, &AccessibleProcedure, id);
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void AttachAccessibleName(HWND control, int controlId) {
    if (const AccessibleDescription* description = Find(controlId)) {
        SetWindowSubclass(control, &AccessibleProcedure, 3,
                          reinterpret_cast<DWORD_PTR>(description));
    }
}

void AnnounceTextChange(HWND control) {
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, control, OBJID_CLIENT, CHILDID_SELF);
}
