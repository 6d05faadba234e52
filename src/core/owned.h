#pragma once
// One move-only owner for every kind of resource: handles, GDI objects, selected objects,
// paint DCs, COM pointers. A Traits type says what the resource is and how it is given back:
//   using Value = ...;                    // trivially copyable
//   static Value empty() noexcept;        // the "holds nothing" value
//   static void close(Value) noexcept;    // gives the resource back
#include <utility>

namespace oz {

template <typename Traits>
class Owned {
public:
    using Value = typename Traits::Value;

    Owned() noexcept = default;
    explicit Owned(Value value) noexcept : value_(value) {}
    ~Owned() { reset(); }

    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : value_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Value get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return !(value_ == Traits::empty()); }

    // For out-parameters: gives back what is held, then lends the slot.
    Value* put() noexcept {
        reset();
        return &value_;
    }

    [[nodiscard]] Value release() noexcept { return std::exchange(value_, Traits::empty()); }

    void reset(Value value = Traits::empty()) noexcept {
        Value old = std::exchange(value_, value);
        if (!(old == Traits::empty())) Traits::close(old);
    }

private:
    Value value_ = Traits::empty();
};

// Traits for a handle-like resource whose empty value is null and that one function gives back.
template <typename T, auto closeFunction>
struct ClosedBy {
    using Value = T;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { closeFunction(value); }
};

}  // namespace oz
