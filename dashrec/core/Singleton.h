#pragma once
// One process-wide instance per service class, created on first use.

#include <memory>
#include <mutex>

namespace vk {

template <typename T>
class Singleton {
public:
    virtual ~Singleton() = default;

    static T* Inst()
    {
        std::call_once(_once, [] { _inst.reset(new T()); });
        return _inst.get();
    }

protected:
    Singleton() = default;

    // The lock of the whole service; locked methods may call each other.
    std::recursive_mutex _mutex;

private:
    static std::unique_ptr<T> _inst;
    static std::once_flag _once;
};

template <typename T> std::unique_ptr<T> Singleton<T>::_inst;
template <typename T> std::once_flag Singleton<T>::_once;

// The interface through which start-up drives a run mode.
class CMainHandler {
public:
    virtual void Initialize(bool) = 0;
    virtual void Start() = 0;
    virtual void Finalize() = 0;

protected:
    ~CMainHandler() = default;
};

} // namespace vk
