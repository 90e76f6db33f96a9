#pragma once

#include <utility>
#include <variant>

// The outcome of an asynchronous call: a value or an error, never both.
template <typename T, typename E> class Result {
public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool isSuccess() const { return m_storage.index() == 0; }
    explicit operator bool() const { return isSuccess(); }

    const T& value() const& { return std::get<0>(m_storage); }
    T&& value() && { return std::get<0>(std::move(m_storage)); }
    const E& error() const& { return std::get<1>(m_storage); }

private:
    template <std::size_t I, typename V>
    Result(std::in_place_index_t<I> index, V&& v) : m_storage(index, std::forward<V>(v)) {}

    std::variant<T, E> m_storage;
};
