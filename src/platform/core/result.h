#pragma once
// The one way the libraries report a failure: a value, or the reason in words
// the windows can show. Callers that only need to know whether it worked test
// the result like a bool; the windows turn the reason into their message.

#include <QString>

#include <utility>
#include <variant>

// Why an operation failed, in the user's language (a file name, a cause).
struct Failure {
    QString reason;
};

inline Failure failure(QString reason) { return Failure{std::move(reason)}; }

template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) { }
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) { }

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    T valueOr(T fallback) const { return ok() ? value() : std::move(fallback); }
    // The reason; empty when it worked.
    QString error() const { return ok() ? QString() : std::get<1>(state_).reason; }

private:
    std::variant<T, Failure> state_;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failed_(true), reason_(std::move(failure.reason)) { }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    QString error() const { return reason_; }

private:
    bool failed_ = false;
    QString reason_;
};
