// AccessProbe: the popup's accessible objects under Wine, as a screen reader reaches them.
//   AccessProbe host              shows the stand-in window (CAccessHostWindow) and prints
//                                 "ready HWND LAYOUT"; then takes commands on standard input,
//                                 answering each with one line: "title TEXT" (the item view's
//                                 name), "focus N" (the link with the keyboard focus, -1 none),
//                                 "events" (what default actions posted since, "|"-separated),
//                                 "announce TEXT" ("raised" or "unavailable"), "disconnect",
//                                 "quit"
//   AccessProbe read HWND         reads the host's controls through AccessibleObjectFromWindow
//                                 and prints one line per object and per link
//   AccessProbe act HWND ID CHILD does the default action of control ID's child (0: itself)
//   AccessProbe hold HWND         takes the link bar's object, prints the first link's name, then
//                                 "holding"; after a line on standard input, the name again
//   AccessProbe local             the host and the reading in this one process
// Text is UTF-8 both ways.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fw/CComPtr.h"
#include "tests/driver/CLineReader.h"
#include "tests/popup/CAccessHostWindow.h"

namespace {

void Print(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Utf8(const wchar_t* text)
{
    if (!text)
        return "(null)";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], size, nullptr, nullptr);
    return result;
}

std::wstring Wide(const std::string& text)
{
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(size > 0 ? size - 1 : 0, L'\0');
    if (size > 1)
        ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &result[0], size);
    return result;
}

std::string Hex(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(result));
    return text;
}

VARIANT Child(long id)
{
    VARIANT child;
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

std::string NameOf(IAccessible* object, long id)
{
    BSTR name = nullptr;
    const HRESULT result = object->get_accName(Child(id), &name);
    std::string text = SUCCEEDED(result) ? "[" + Utf8(name) + "]" : "error:" + Hex(result);
    ::SysFreeString(name);
    return text;
}

std::string ActionOf(IAccessible* object, long id)
{
    BSTR action = nullptr;
    const HRESULT result = object->get_accDefaultAction(Child(id), &action);
    std::string text = result == S_OK ? "[" + Utf8(action) + "]" : "none";
    ::SysFreeString(action);
    return text;
}

std::string NumberOf(HRESULT result, const VARIANT& value)
{
    if (FAILED(result))
        return "error:" + Hex(result);
    return value.vt == VT_I4 ? std::to_string(value.lVal) : "vt" + std::to_string(value.vt);
}

std::string RoleOf(IAccessible* object, long id)
{
    VARIANT role;
    ::VariantInit(&role);
    const HRESULT result = object->get_accRole(Child(id), &role);
    std::string text = NumberOf(result, role);
    ::VariantClear(&role);
    return text;
}

std::string StateOf(IAccessible* object, long id)
{
    VARIANT state;
    ::VariantInit(&state);
    const HRESULT result = object->get_accState(Child(id), &state);
    std::string text = NumberOf(result, state);
    ::VariantClear(&state);
    return text;
}

std::string Navigate(IAccessible* object, long direction, long from)
{
    VARIANT end;
    ::VariantInit(&end);
    const HRESULT result = object->accNavigate(direction, Child(from), &end);
    std::string text = result == S_FALSE ? "none" : NumberOf(result, end);
    ::VariantClear(&end);
    return text;
}

// The control's object with a reference for the caller, or null.
IAccessible* ObjectOf(HWND control)
{
    IAccessible* object = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&object))))
        return nullptr;
    return object;
}

// One line for the control, then one per child:
//   object ID name=[...] role=N children=N action=[...]
//   child ID N name=[...] role=N state=N location=L,T,W,H hit=N action=[...] next=N previous=N
void ReadControl(HWND host, int id)
{
    HWND control = ::GetDlgItem(host, id);
    CComPtr<IAccessible> object(ObjectOf(control));
    if (!object) {
        Print("object " + std::to_string(id) + " none");
        return;
    }
    long count = 0;
    const HRESULT counted = object->get_accChildCount(&count);
    Print("object " + std::to_string(id) + " name=" + NameOf(object.Get(), CHILDID_SELF) + " role="
          + RoleOf(object.Get(), CHILDID_SELF) + " children=" + (SUCCEEDED(counted) ? std::to_string(count) : "error:" + Hex(counted))
          + " action=" + ActionOf(object.Get(), CHILDID_SELF) + " first=" + Navigate(object.Get(), NAVDIR_FIRSTCHILD, CHILDID_SELF));
    for (long child = 1; SUCCEEDED(counted) && child <= count; ++child) {
        long left = 0, top = 0, width = 0, height = 0;
        const HRESULT located = object->accLocation(&left, &top, &width, &height, Child(child));
        std::string line = "child " + std::to_string(id) + " " + std::to_string(child) + " name="
                           + NameOf(object.Get(), child) + " role=" + RoleOf(object.Get(), child) + " state="
                           + StateOf(object.Get(), child);
        if (SUCCEEDED(located)) {
            VARIANT hit;
            ::VariantInit(&hit);
            const HRESULT tested = object->accHitTest(left + width / 2, top + height / 2, &hit);
            line += " location=" + std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(width) + ","
                    + std::to_string(height) + " hit=" + NumberOf(tested, hit);
        } else {
            line += " location=error:" + Hex(located);
        }
        line += " action=" + ActionOf(object.Get(), child) + " next=" + Navigate(object.Get(), NAVDIR_NEXT, child)
                + " previous=" + Navigate(object.Get(), NAVDIR_PREVIOUS, child);
        Print(line);
    }
}

void ReadHost(HWND host)
{
    for (int id : {CAccessHostWindow::kLinkBarId, CAccessHostWindow::kMenuIconId, CAccessHostWindow::kItemViewId})
        ReadControl(host, id);
}

int Act(HWND host, int id, long child)
{
    CComPtr<IAccessible> object(ObjectOf(::GetDlgItem(host, id)));
    if (!object) {
        Print("no object");
        return 1;
    }
    Print("done " + Hex(object->accDoDefaultAction(Child(child))));
    return 0;
}

// A screen reader that keeps the object while the program's window goes on.
int Hold(HWND host)
{
    CComPtr<IAccessible> object(ObjectOf(::GetDlgItem(host, CAccessHostWindow::kLinkBarId)));
    if (!object) {
        Print("no object");
        return 1;
    }
    Print("name " + NameOf(object.Get(), 1));
    Print("holding");
    char line[64];
    if (!std::fgets(line, sizeof line, stdin))
        return 1;
    Print("name " + NameOf(object.Get(), 1));
    return 0;
}

void Pump()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

std::string Execute(CAccessHostWindow& host, const std::string& line, bool& quit)
{
    const std::string::size_type blank = line.find(' ');
    const std::string command = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (command == "title") {
        host.SetTitle(Wide(rest));
    } else if (command == "focus") {
        host.SetFocusedLink(std::atoi(rest.c_str()));
    } else if (command == "events") {
        Pump();
        std::string events;
        for (const std::string& event : host.TakeEvents())
            events += (events.empty() ? "" : "|") + event;
        return "ok " + events;
    } else if (command == "announce") {
        if (!host.CanAnnounce())
            return "ok unavailable";
        return host.Announce(Wide(rest)) ? "ok raised" : "ok failed";
    } else if (command == "disconnect") {
        host.Disconnect();
    } else if (command == "quit") {
        quit = true;
    } else {
        return "error unknown command: " + command;
    }
    return "ok";
}

int Host(CAccessHostWindow& host)
{
    CLineReader reader;
    if (!reader.start())
        return 1;
    Print("ready " + std::to_string(reinterpret_cast<INT_PTR>(host.Handle())) + " " + host.Layout());
    bool quit = false;
    while (!quit) {
        HANDLE wake = reader.event();
        ::MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT);
        Pump();
        std::string line;
        while (!quit && reader.next(line))
            Print(Execute(host, line, quit));
        if (reader.finished())
            break;
    }
    return 0;
}

HWND ReadHandle(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(text, nullptr, 10)));
}

} // namespace

int main(int argc, char** argv)
{
    if (FAILED(::OleInitialize(nullptr)))
        return 2;
    int code = 0;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "host" || command == "local") {
        CAccessHostWindow host;
        if (!host.Create(::GetModuleHandleA(nullptr))) {
            Print("error the window could not be made");
            code = 1;
        } else if (command == "host") {
            code = Host(host);
        } else {
            Print("ready " + std::to_string(reinterpret_cast<INT_PTR>(host.Handle())) + " " + host.Layout());
            ReadHost(host.Handle());
        }
    } else if (command == "read" && argc == 3) {
        ReadHost(ReadHandle(argv[2]));
    } else if (command == "hold" && argc == 3) {
        code = Hold(ReadHandle(argv[2]));
    } else if (command == "act" && argc == 5) {
        code = Act(ReadHandle(argv[2]), std::atoi(argv[3]), std::atol(argv[4]));
    } else {
        Print("usage: AccessProbe host | read HWND | act HWND ID CHILD | hold HWND | local");
        code = 2;
    }
    ::OleUninitialize();
    return code;
}
