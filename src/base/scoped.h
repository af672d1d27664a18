// Small non-copyable owners of Win32 handles: each closes what it holds when it goes out
// of scope, so every path of a function releases what it acquired.
#pragma once

#include <windows.h>

#include "library.h"

// Registry key. Get() for calls, Put() for the out-parameter of an open or create call.
class ScopedRegKey {
public:
    ScopedRegKey() = default;
    explicit ScopedRegKey(HKEY key) : m_key(key) {}
    ~ScopedRegKey() { Close(); }
    ScopedRegKey(const ScopedRegKey&) = delete;
    ScopedRegKey& operator=(const ScopedRegKey&) = delete;

    HKEY Get() const { return m_key; }
    HKEY* Put() { Close(); return &m_key; }
    bool IsOpen() const { return m_key != nullptr; }
    void Close()
    {
        if (m_key) {
            RegCloseKey(m_key);
            m_key = nullptr;
        }
    }

private:
    HKEY m_key = nullptr;
};

// Kernel handle closed with CloseHandle (null and INVALID_HANDLE_VALUE mean none).
class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE h) : m_handle(h) {}
    ~ScopedHandle() { Close(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h = nullptr) { Close(); m_handle = h; }
    HANDLE Detach() { HANDLE h = m_handle; m_handle = nullptr; return h; }
    void Close()
    {
        if (IsValid())
            CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    HANDLE m_handle = nullptr;
};

// Ownership of a mutex by this thread for the scope: taken with a bounded wait, released
// at the end. The mutex handle is not owned: it must stay open while the lock is held. A
// mutex whose holder ended without releasing it (WAIT_ABANDONED) is taken as well.
class ScopedMutexLock {
public:
    ScopedMutexLock() = default;
    ~ScopedMutexLock() { Release(); }
    ScopedMutexLock(const ScopedMutexLock&) = delete;
    ScopedMutexLock& operator=(const ScopedMutexLock&) = delete;

    // Waits at most timeoutMs; the result of the wait (WAIT_FAILED for a null mutex).
    DWORD Acquire(HANDLE mutex, DWORD timeoutMs)
    {
        Release();
        DWORD wait = mutex ? WaitForSingleObject(mutex, timeoutMs) : WAIT_FAILED;
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
            m_mutex = mutex;
        return wait;
    }
    // Takes over a mutex that this thread acquired by a wait of its own.
    void Adopt(HANDLE mutex)
    {
        Release();
        m_mutex = mutex;
    }
    bool Held() const { return m_mutex != nullptr; }
    void Release()
    {
        if (m_mutex) {
            ReleaseMutex(m_mutex);
            m_mutex = nullptr;
        }
    }

private:
    HANDLE m_mutex = nullptr;
};

// View of a file mapping.
class ScopedView {
public:
    ScopedView() = default;
    ~ScopedView() { Unmap(); }
    ScopedView(const ScopedView&) = delete;
    ScopedView& operator=(const ScopedView&) = delete;

    // Maps `bytes` from offset 0; true when the view exists.
    bool Map(HANDLE mapping, DWORD access, SIZE_T bytes)
    {
        Unmap();
        m_view = static_cast<BYTE*>(MapViewOfFile(mapping, access, 0, 0, bytes));
        return m_view != nullptr;
    }
    BYTE* Get() const { return m_view; }
    void Unmap()
    {
        if (m_view) {
            UnmapViewOfFile(m_view);
            m_view = nullptr;
        }
    }

private:
    BYTE* m_view = nullptr;
};

// Loaded library module, only ever from a full path of an existing file (library.h).
class ScopedLibrary {
public:
    ScopedLibrary() = default;
    explicit ScopedLibrary(HMODULE m) : m_module(m) {}
    ~ScopedLibrary() { Free(); }
    ScopedLibrary(const ScopedLibrary&) = delete;
    ScopedLibrary& operator=(const ScopedLibrary&) = delete;

    HMODULE Get() const { return m_module; }
    // A library whose code is called.
    bool Load(const char* path)
    {
        Free();
        m_module = LoadCodeLibrary(path);
        return m_module != nullptr;
    }
    // A library used for its resources only: none of its code runs.
    bool LoadResources(const char* path)
    {
        Free();
        m_module = LoadResourceLibrary(path);
        return m_module != nullptr;
    }
    void Free()
    {
        if (m_module) {
            FreeLibrary(m_module);
            m_module = nullptr;
        }
    }

private:
    HMODULE m_module = nullptr;
};

// A GDI object selected into a device context; the previous one is selected back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? SelectObject(dc, obj) : nullptr) {}
    ~ScopedSelect()
    {
        if (m_old)
            SelectObject(m_dc, m_old);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};
