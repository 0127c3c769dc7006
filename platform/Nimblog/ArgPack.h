// Nimblog arguments: what a ring record keeps of each argument, worked out at
// compile time from the argument types.
//
// A record keeps integers and typed values as their bytes and strings as
// their characters; nothing becomes text until the ring is read out. Each list
// of argument types has one Layout, a constant in static storage: every
// argument's kind, its place in the record's data and, for a typed value, the
// function that turns its bytes into text. Writing a record packs the
// arguments straight into the ring's slot by that layout, with no run-time
// branching on their kinds; reading a record walks its layout.
//
// Argument kinds:
//   integers, bool, enums (by their underlying type): kept at their own width;
//   strings (std::string, std::string_view, C strings; a null C string reads
//     "(null)"): their characters, cut to fit (see below);
//   typed values: a trivially copyable value kept as its bytes, with a
//     function that appends its text, called only when the text is wanted:
//       void linkEndsText(std::string& out, LinkEnds const& ends);
//       Nimblog::log("filed on %s", Nimblog::typed<&linkEndsText>(ends));
//     A trivially copyable value with a toString() member is a typed value of
//     that text without saying so (Nimblog::log("%s", af) for an
//     AddressFamily af keeps one byte and reads "ipv4").
//
// Text room: the strings and typed texts of a record share textBytes
// characters, in argument order, each an equal share of what those before it
// left over. A string is cut when it is written, a typed text when it is read
// out; a string written after a typed value reckons with that value's whole
// share, as its text is not known yet. So a record whose typed values come
// after its strings reads exactly as if their texts had been passed as
// strings. The strings' characters are stored beside the integers and typed
// values: where those leave less than textBytes, the room of that record's
// texts is what they leave (Layout::textRoom).
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace Nimblog {

inline constexpr std::size_t maxArgs = 4;
// Characters of text that the strings and typed texts of one record share.
inline constexpr std::size_t textBytes = 56;
// Bytes a record holds for its arguments.
inline constexpr std::size_t dataBytes = 86;

// Appends the text of the value whose bytes (in any alignment) are at `bytes`.
using TextFn = void (*)(std::string& out, void const* bytes);

// One argument on its way into a formatted text, or read back from a record.
// A string view, and a typed value's bytes, are borrowed.
struct Arg {
  enum class Kind : std::uint8_t { Unsigned, Signed, String, Typed };
  Kind kind = Kind::Unsigned;
  std::uint64_t u = 0;          // Unsigned; Signed keeps the value's bit pattern
  std::string_view s;           // String
  void const* bytes = nullptr;  // Typed
  TextFn text = nullptr;        // Typed

  static Arg integer(Kind kind, std::uint64_t u) noexcept {
    Arg a;
    a.kind = kind;
    a.u = u;
    return a;
  }
  static Arg string(std::string_view s) noexcept {
    Arg a;
    a.kind = Kind::String;
    a.s = s;
    return a;
  }
  static Arg typed(void const* bytes, TextFn text) noexcept {
    Arg a;
    a.kind = Kind::Typed;
    a.bytes = bytes;
    a.text = text;
    return a;
  }
};

// A value passed as its bytes, turned into text by `Text` (a function
// void(std::string& out, T const& value)) only when the text is wanted.
template <auto Text, class T>
struct Typed {
  T const& value;
};
template <auto Text, class T>
Typed<Text, T> typed(T const& value) noexcept {
  static_assert(std::is_trivially_copyable_v<T>, "a typed value is kept as its bytes");
  static_assert(std::is_invocable_v<decltype(Text), std::string&, T const&>,
                "Text appends the value's text: void(std::string&, T const&)");
  return Typed<Text, T>{value};
}

// A trivially copyable value that names its own text.
template <class T>
concept SelfDescribed = std::is_trivially_copyable_v<T> && requires(T const& v) {
  { v.toString() } -> std::convertible_to<std::string>;
};

// Where one argument lies in a record's data.
struct ArgSlot {
  Arg::Kind kind = Arg::Kind::Unsigned;
  std::uint8_t offset = 0;  // the value, or a string's length byte
  std::uint8_t size = 0;    // bytes of an integer or a typed value; 1 for a string
  TextFn text = nullptr;    // Typed
};

// How the records written with one list of argument types hold them. The
// characters of the strings follow the fixed part, in argument order.
struct Layout {
  std::uint8_t count = 0;
  std::uint8_t fixedBytes = 0;
  std::uint8_t textRoom = 0;  // characters its strings and typed texts share
  ArgSlot args[maxArgs] = {};
};

namespace detail {

template <class T>
T fromBytes(void const* bytes) noexcept {
  std::array<std::byte, sizeof(T)> raw;
  std::memcpy(raw.data(), bytes, sizeof(T));
  return std::bit_cast<T>(raw);
}

template <class T, auto Text>
void typedText(std::string& out, void const* bytes) {
  Text(out, fromBytes<T>(bytes));
}

template <class T>
void selfText(std::string& out, void const* bytes) {
  out += fromBytes<T>(bytes).toString();
}

// The integer type an integer argument is stored as.
template <class T, bool integer>
struct IntOf {
  using type = std::uint8_t;
};
template <class T>
struct IntOf<T, true> {
  using type = typename std::conditional_t<
      std::is_same_v<T, bool>, std::type_identity<std::uint8_t>,
      std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>, std::type_identity<T>>>::type;
};

template <class T, bool typed>
constexpr TextFn selfTextOf() {
  if constexpr (typed) {
    return &selfText<T>;
  } else {
    return nullptr;
  }
}

// What a record keeps of an argument of type T: its kind, the integer type an
// integer is stored as, a typed value's size and text function.
template <class T>
struct ArgTraits {
  static constexpr bool cString = std::is_same_v<T, char const*> || std::is_same_v<T, char*>;
  static constexpr bool string = cString || std::is_convertible_v<T const&, std::string_view>;
  static constexpr bool integer = !string && (std::is_integral_v<T> || std::is_enum_v<T>);
  static constexpr bool typed = !string && !integer;
  static_assert(!typed || SelfDescribed<T>,
                "Nimblog takes integers, enums, strings and typed values");

  using Int = typename IntOf<T, integer>::type;
  static constexpr Arg::Kind kind = string                  ? Arg::Kind::String
                                    : typed                 ? Arg::Kind::Typed
                                    : std::is_signed_v<Int> ? Arg::Kind::Signed
                                                            : Arg::Kind::Unsigned;
  static constexpr std::size_t size = string ? 1 : typed ? sizeof(T) : sizeof(Int);
  static constexpr TextFn text = selfTextOf<T, typed>();

  static std::string_view view(T const& v) noexcept {
    if constexpr (cString) {
      return v != nullptr ? std::string_view(v) : std::string_view("(null)");
    } else {
      return std::string_view(v);
    }
  }
  static T const& value(T const& v) noexcept { return v; }
};

template <auto Text, class T>
struct ArgTraits<Typed<Text, T>> {
  static constexpr bool string = false;
  static constexpr bool integer = false;
  using Int = std::uint8_t;
  static constexpr Arg::Kind kind = Arg::Kind::Typed;
  static constexpr std::size_t size = sizeof(T);
  static constexpr TextFn text = &typedText<T, Text>;
  static T const& value(Typed<Text, T> const& v) noexcept { return v.value; }
};

template <class... Args>
constexpr Layout layoutOf() {
  static_assert(sizeof...(Args) <= maxArgs, "too many arguments for one record");
  Layout layout;
  layout.count = static_cast<std::uint8_t>(sizeof...(Args));
  std::size_t offset = 0;
  std::size_t i = 0;
  [[maybe_unused]] auto const place = [&](Arg::Kind kind, std::size_t size, TextFn text) {
    layout.args[i++] =
        ArgSlot{kind, static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(size), text};
    offset += size;
  };
  (place(ArgTraits<Args>::kind, ArgTraits<Args>::size, ArgTraits<Args>::text), ...);
  layout.fixedBytes = static_cast<std::uint8_t>(offset);
  bool const strings = ((ArgTraits<Args>::kind == Arg::Kind::String) || ...);
  layout.textRoom =
      static_cast<std::uint8_t>(strings ? std::min(textBytes, dataBytes - offset) : textBytes);
  return layout;
}

}  // namespace detail

// Writes arguments into a record's data by their layout and returns the
// record's truncated bits (bit i: string argument i was cut). `args` points to
// the caller's std::tuple of references to them.
using PackFn = std::uint8_t (*)(std::byte* data, void const* args) noexcept;

// The layout of one list of argument types, and its packing function.
template <class... Args>
class ArgPack {
 public:
  using Refs = std::tuple<Args const&...>;
  static constexpr Layout layout = detail::layoutOf<Args...>();
  static_assert(layout.fixedBytes <= dataBytes, "the arguments do not fit a record");

  // A PackFn for Refs; none for no arguments.
  static constexpr PackFn packer() noexcept {
    if constexpr (sizeof...(Args) == 0) {
      return nullptr;
    } else {
      return &packRefs;
    }
  }

  // Writes `args` into a record's data; returns its truncated bits.
  static std::uint8_t pack(std::byte* data, Args const&... args) noexcept {
    Cursor at{data};
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      (put<I>(args, at), ...);
    }
    (std::index_sequence_for<Args...>());
    return at.truncated;
  }

 private:
  // The packing state of one record.
  struct Cursor {
    std::byte* data;
    std::size_t chars = 0;  // string characters written after the fixed part
    std::size_t used = 0;   // text room used or reckoned with so far
    std::uint8_t truncated = 0;
  };

  static std::uint8_t packRefs(std::byte* data, void const* args) noexcept {
    return std::apply([data](Args const&... a) { return pack(data, a...); },
                      *static_cast<Refs const*>(args));
  }

  // Text arguments (strings and typed values) from position `i` on.
  static constexpr std::size_t textsFrom(std::size_t i) {
    std::size_t n = 0;
    for (; i < layout.count; ++i)
      n += layout.args[i].kind == Arg::Kind::String || layout.args[i].kind == Arg::Kind::Typed;
    return n;
  }
  // Whether a string comes after position `i`.
  static constexpr bool stringAfter(std::size_t i) {
    for (++i; i < layout.count; ++i) {
      if (layout.args[i].kind == Arg::Kind::String)
        return true;
    }
    return false;
  }

  template <std::size_t I, class T>
  static void put(T const& arg, Cursor& at) noexcept {
    using Traits = detail::ArgTraits<T>;
    constexpr ArgSlot slot = layout.args[I];
    if constexpr (Traits::integer) {
      auto const v = static_cast<typename Traits::Int>(arg);
      std::memcpy(at.data + slot.offset, &v, sizeof v);
    } else if constexpr (Traits::string) {
      std::string_view const s = Traits::view(arg);
      std::size_t const share = (layout.textRoom - at.used) / textsFrom(I);
      std::size_t const length = std::min(s.size(), share);
      if (length < s.size())
        at.truncated |= static_cast<std::uint8_t>(1u << I);
      at.data[slot.offset] = static_cast<std::byte>(length);
      copyText(at.data + layout.fixedBytes + at.chars, s.data(), length);
      at.chars += length;
      at.used += length;
    } else {
      std::memcpy(at.data + slot.offset, &Traits::value(arg), slot.size);
      if constexpr (stringAfter(I))
        at.used += (layout.textRoom - at.used) / textsFrom(I);
    }
  }

  // Most strings are a few characters (a name): copied inline rather than
  // through a library call.
  static void copyText(std::byte* to, char const* from, std::size_t length) noexcept {
    if (length <= 8) {
      for (std::size_t i = 0; i < length; ++i)
        to[i] = static_cast<std::byte>(from[i]);
      return;
    }
    std::memcpy(to, from, length);
  }
};

// The argument as the formatted trace takes it: a view of `v`, not a copy.
template <class T>
Arg toArg(T const& v) noexcept {
  using Traits = detail::ArgTraits<T>;
  if constexpr (Traits::string) {
    return Arg::string(Traits::view(v));
  } else if constexpr (Traits::integer) {
    auto const i = static_cast<typename Traits::Int>(v);
    if constexpr (std::is_signed_v<typename Traits::Int>) {
      return Arg::integer(Arg::Kind::Signed,
                          static_cast<std::uint64_t>(static_cast<std::int64_t>(i)));
    } else {
      return Arg::integer(Arg::Kind::Unsigned, static_cast<std::uint64_t>(i));
    }
  } else {
    return Arg::typed(&Traits::value(v), Traits::text);
  }
}

}  // namespace Nimblog
