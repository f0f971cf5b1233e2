// Shared ownership of host objects: an intrusive reference count and the smart pointer
// through which the host hands such objects out.
#pragma once

#include <cstdint>
#include <utility>

// Base of every reference-counted host object. The count starts at 0; the first
// RefCountedPtr that takes the object raises it to 1, and the last one to let go deletes it.
class RefCountedBase {
 public:
  RefCountedBase() = default;
  RefCountedBase(const RefCountedBase&) : m_refCount(0) {}
  RefCountedBase& operator=(const RefCountedBase&) { return *this; }
  virtual ~RefCountedBase() = default;

  uint32_t AddRef() const { return ++m_refCount; }
  uint32_t Release() const {
    uint32_t left = --m_refCount;
    if (left == 0) delete this;
    return left;
  }
  uint32_t GetRefCount() const { return m_refCount; }

 private:
  mutable uint32_t m_refCount = 0;
};

template <typename T>
class RefCountedPtr {
 public:
  RefCountedPtr() = default;
  RefCountedPtr(std::nullptr_t) {}
  RefCountedPtr(T* object) : m_object(object) {
    if (m_object) m_object->AddRef();
  }
  RefCountedPtr(const RefCountedPtr& other) : RefCountedPtr(other.m_object) {}
  RefCountedPtr(RefCountedPtr&& other) noexcept
      : m_object(std::exchange(other.m_object, nullptr)) {}
  template <typename U>
  RefCountedPtr(const RefCountedPtr<U>& other) : RefCountedPtr(other.get()) {}
  ~RefCountedPtr() {
    if (m_object) m_object->Release();
  }

  RefCountedPtr& operator=(RefCountedPtr other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }

  T* get() const { return m_object; }
  T* operator->() const { return m_object; }
  T& operator*() const { return *m_object; }
  bool IsValid() const { return m_object != nullptr; }
  bool IsNull() const { return m_object == nullptr; }
  explicit operator bool() const { return m_object != nullptr; }
  bool operator==(const RefCountedPtr& other) const { return m_object == other.m_object; }
  bool operator==(std::nullptr_t) const { return m_object == nullptr; }

 private:
  T* m_object = nullptr;
};
