// How the call trace writes a call's arguments and result: text as a quoted
// string, predefined keys by name, handles and pointers in hex, numbers in
// decimal. Tests build the lines they expect with the same functions.
#pragma once
#include <windows.h>

#include <string>
#include <type_traits>

namespace wince {

std::string traceArg(const char16_t* s);
std::string traceArg(const char* s);
std::string traceArg(HKEY key);
std::string traceArg(const void* p);
template <class T>
  requires std::is_integral_v<T> || std::is_enum_v<T>
std::string traceArg(T v) {
  if constexpr (std::is_signed_v<T>)
    return std::to_string(static_cast<long long>(v));
  else
    return std::to_string(static_cast<unsigned long long>(v));
}

}  // namespace wince
