#pragma once
// A value, or why there is none: the one shape of an operation that either
// gives something or fails with a reason for the user (CONTRIBUTING.md).
// Its members are those of std::expected, which C++20 does not have yet, so
// moving to it is a rename.
#include <QString>
#include <utility>
#include <variant>

template <typename E>
struct Failure {
    E error;
};
// A failure with its reason: `return fail(QStringLiteral("…"));`.
template <typename E>
Failure<std::decay_t<E>> fail(E&& error)
{
    return {std::forward<E>(error)};
}

template <typename T, typename E = QString>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    template <typename F>
    Result(Failure<F> failure) : m_state(std::in_place_index<1>, std::move(failure.error))
    {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }
    const T& value() const { return std::get<0>(m_state); }
    T& value() { return std::get<0>(m_state); }
    const T& operator*() const { return value(); }
    T& operator*() { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    const E& error() const { return std::get<1>(m_state); }
    T value_or(T other) const { return has_value() ? value() : std::move(other); }

private:
    std::variant<T, E> m_state;
};

// An operation that gives nothing but may fail.
template <typename E>
class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    template <typename F>
    Result(Failure<F> failure) : m_error(std::move(failure.error)), m_failed(true)
    {}

    bool has_value() const { return !m_failed; }
    explicit operator bool() const { return has_value(); }
    const E& error() const { return m_error; }

private:
    E m_error{};
    bool m_failed = false;
};
