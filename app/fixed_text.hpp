// Text put together at compile time from literals and numbers, so that --help can name the
// limits the code holds to and still need no allocation at the start of a run.
#pragma once

#include <cstddef>

// N - 1 characters and a terminating zero.
template <std::size_t N> struct fixed_text {
    char text[N];

    constexpr const char* c_str() const { return text; }
};

template <std::size_t N> constexpr fixed_text<N> literal(const char (&text)[N]) {
    fixed_text<N> out{};
    for (std::size_t i = 0; i < N; ++i)
        out.text[i] = text[i];
    return out;
}

template <std::size_t A, std::size_t B>
constexpr fixed_text<A + B - 1> operator+(const fixed_text<A>& a, const fixed_text<B>& b) {
    fixed_text<A + B - 1> out{};
    for (std::size_t i = 0; i + 1 < A; ++i)
        out.text[i] = a.text[i];
    for (std::size_t i = 0; i < B; ++i)
        out.text[A - 1 + i] = b.text[i];
    return out;
}

template <std::size_t A, std::size_t B>
constexpr fixed_text<A + B - 1> operator+(const fixed_text<A>& a, const char (&b)[B]) {
    return a + literal(b);
}

// The decimal digits of a number known at compile time.
template <unsigned long long Value> constexpr auto decimal() {
    constexpr std::size_t digits = [] {
        std::size_t count = 1;
        for (unsigned long long v = Value; v >= 10; v /= 10)
            ++count;
        return count;
    }();
    fixed_text<digits + 1> out{};
    unsigned long long v = Value;
    for (std::size_t i = digits; i-- > 0; v /= 10)
        out.text[i] = static_cast<char>('0' + v % 10);
    return out;
}
