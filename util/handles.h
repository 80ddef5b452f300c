// Move-only owners for the Win32 handle kinds the tool uses.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

// One owner per handle kind; Traits gives the invalid value and the close call.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }

    // Gives up ownership without closing.
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }

    // Keeps the thread's last Windows error: a caller about to read the error of a failed call
    // must not find the close call's instead (the destructor resets too).
    void reset(Handle handle = Traits::Invalid())
    {
        const DWORD error = GetLastError();
        close();
        handle_ = handle;
        SetLastError(error);
    }

    // Closes now and reports whether the close call succeeded; false when nothing was held.
    bool close()
    {
        if (handle_ == Traits::Invalid())
            return false;
        return Traits::Close(release());
    }

    // For out-parameters: closes what is held and hands out the slot.
    Handle* put()
    {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};

// Handle kinds whose close call returns nonzero on success, by their invalid value.
template <typename H, BOOL(WINAPI* CloseCall)(H)>
struct NullInvalidTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle h) { return CloseCall(h) != 0; }
};

template <BOOL(WINAPI* CloseCall)(HANDLE)>
struct MinusOneInvalidTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) { return CloseCall(h) != 0; }
};

using RegKey = UniqueHandle<RegKeyTraits>;
using FindHandle = UniqueHandle<MinusOneInvalidTraits<FindClose>>;
using FileHandle = UniqueHandle<MinusOneInvalidTraits<CloseHandle>>;
// Process, thread and other kernel handles that use NULL as their invalid value.
using KernelHandle = UniqueHandle<NullInvalidTraits<HANDLE, CloseHandle>>;
using Module = UniqueHandle<NullInvalidTraits<HMODULE, FreeLibrary>>;
using GdiObject = UniqueHandle<NullInvalidTraits<HGDIOBJ, DeleteObject>>;
using UniqueWindow = UniqueHandle<NullInvalidTraits<HWND, DestroyWindow>>;

// A function of a loaded library by its name, as the type it has; null when either is missing.
template <typename Function>
Function ProcAddress(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// A library that is no KnownDLL, loaded from the system folder alone: imported statically,
// Windows would take a copy of that name planted beside the tool (in Downloads, say).
class SystemLibrary {
public:
    explicit SystemLibrary(const char* name) : module_(LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

    template <typename Function>
    Function Get(const char* name) const
    {
        return ProcAddress<Function>(module_.get(), name);
    }

private:
    Module module_;
};

// A memory device context from CreateCompatibleDC.
using MemoryDc = UniqueHandle<NullInvalidTraits<HDC, DeleteDC>>;

// A window's (or, for null, the screen's) device context from GetDC, released when it goes.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint and EndPaint for one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintDc() { EndPaint(window_, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_ = {};
    HDC dc_;
};

// Selects a GDI object into a device context and puts the previous one back when it goes.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Owns one reference to a COM interface.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }

    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    void reset()
    {
        if (ptr_)
            std::exchange(ptr_, nullptr)->Release();
    }

    // For out-parameters: releases what is held first, so nothing leaks.
    T** put()
    {
        reset();
        return &ptr_;
    }

    // Asks the held object for another interface.
    template <typename U>
    HRESULT As(ComPtr<U>& other) const
    {
        return ptr_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other.put()));
    }

private:
    T* ptr_ = nullptr;
};

// COM for the calling thread, apartment-threaded, for as long as the object lives.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};
