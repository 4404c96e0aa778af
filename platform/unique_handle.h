// Move-only owners of Windows resources. Every handle the system opens goes into one of
// these, so that no early return can leak it.
#pragma once

#include <cstdio>
#include <utility>

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <unknwn.h>
#include <winhttp.h>

namespace win {

template <typename Traits> class unique_handle {
public:
    using pointer = typename Traits::pointer;

    unique_handle() noexcept = default;
    explicit unique_handle(pointer value) noexcept : value_(value) {}
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& other) noexcept : value_(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~unique_handle() { reset(); }

    pointer get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }
    void reset(pointer value = Traits::invalid()) noexcept {
        pointer old = std::exchange(value_, value);
        if (old != Traits::invalid())
            Traits::close(old);
    }
    // For out parameters: frees the current value and hands out the slot.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

private:
    pointer value_ = Traits::invalid();
};

struct KernelHandleTraits { // files, pipes: INVALID_HANDLE_VALUE means none
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};
struct KernelObjectTraits { // threads, events: null means none
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
    using pointer = HKEY;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::RegCloseKey(h); }
};
struct FindTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::FindClose(h); }
};
struct LocalMemTraits { // buffers the system allocated with LocalAlloc
    using pointer = HLOCAL;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::LocalFree(h); }
};
struct ArgvTraits { // the argument array CommandLineToArgvW allocates with LocalAlloc
    using pointer = LPWSTR*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::LocalFree(h); }
};
struct EnvironmentBlockTraits {
    using pointer = LPWCH;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::FreeEnvironmentStringsW(h); }
};
struct CoTaskMemTraits { // strings the shell allocated with CoTaskMemAlloc
    using pointer = PWSTR;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::CoTaskMemFree(h); }
};
struct BstrTraits {
    using pointer = BSTR;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::SysFreeString(h); }
};
struct SafeArrayTraits {
    using pointer = SAFEARRAY*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::SafeArrayDestroy(h); }
};
struct FileStreamTraits {
    using pointer = FILE*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::fclose(h); }
};
struct ModuleTraits {
    using pointer = HMODULE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::FreeLibrary(h); }
};

struct WinHttpTraits {
    using pointer = HINTERNET;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::WinHttpCloseHandle(h); }
};

// COM initialised on a thread: the owner's end uninitialises it there.
struct CoUninitializeTraits {
    using pointer = bool;
    static pointer invalid() noexcept { return false; }
    static void close(pointer) noexcept { ::CoUninitialize(); }
};

using unique_file_handle = unique_handle<KernelHandleTraits>;
using unique_object_handle = unique_handle<KernelObjectTraits>;
using unique_hkey = unique_handle<RegKeyTraits>;
using unique_find_handle = unique_handle<FindTraits>;
using unique_local_mem = unique_handle<LocalMemTraits>;
using unique_argv = unique_handle<ArgvTraits>;
using unique_environment_block = unique_handle<EnvironmentBlockTraits>;
using unique_cotaskmem_string = unique_handle<CoTaskMemTraits>;
using unique_bstr = unique_handle<BstrTraits>;
using unique_safearray = unique_handle<SafeArrayTraits>;
using unique_file_stream = unique_handle<FileStreamTraits>;
using unique_module = unique_handle<ModuleTraits>;
using unique_hinternet = unique_handle<WinHttpTraits>;
using unique_couninitialize_call = unique_handle<CoUninitializeTraits>;

// Initialises COM on the calling thread with the given apartment, and returns what undoes it:
// an empty owner, with the reason in `result`, when it failed. Destroy it on the same thread.
inline unique_couninitialize_call InitializeCom(DWORD apartment, HRESULT& result) noexcept {
    result = ::CoInitializeEx(nullptr, apartment);
    return unique_couninitialize_call(SUCCEEDED(result));
}

// An owned COM interface pointer.
template <typename T> class com_ptr {
public:
    com_ptr() noexcept = default;
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.p_, nullptr));
        return *this;
    }
    ~com_ptr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset(T* p = nullptr) noexcept {
        if (T* old = std::exchange(p_, p))
            old->Release();
    }
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

// An owned VARIANT, cleared on destruction.
class unique_variant {
public:
    unique_variant() noexcept { ::VariantInit(&v_); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    ~unique_variant() { ::VariantClear(&v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

} // namespace win
