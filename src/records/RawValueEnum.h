#pragma once

#include <QString>

#include <concepts>
#include <type_traits>

// An enumeration whose cases carry a text raw value. An application makes its own enumeration
// recordable by declaring `QString rawValue(TheEnum)` next to it, where argument-dependent lookup
// finds it:
//
//     namespace app {
//     enum class Screen { library, editor };
//     QString rawValue(Screen screen);
//     }
template <typename E>
concept RawValueEnum = std::is_enum_v<E> && requires(E value) {
    { rawValue(value) } -> std::convertible_to<QString>;
};
