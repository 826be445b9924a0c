#include "link/record_format.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <type_traits>

namespace vx {

namespace {

// ---- field type classification -------------------------------------------------------------

template <class T>
concept Visitable = requires(const T& t) {
    t.visit([](const char*, const auto&) {});
};

template <class T>
concept TextField = std::is_same_v<T, std::string_view>;

template <class T>
concept RangeField = !TextField<T> && requires(const T& t) {
    std::begin(t);
    std::end(t);
};

template <class R> using ElementOf = std::remove_cvref_t<decltype(*std::begin(std::declval<R&>()))>;

// ---- scalars -------------------------------------------------------------------------------

template <class T> void appendInteger(std::string& out, T v) {
    char buf[24];
    auto res = std::is_signed_v<T> ? std::to_chars(buf, buf + sizeof buf, (long long)v)
                                   : std::to_chars(buf, buf + sizeof buf, (unsigned long long)v);
    out.append(buf, res.ptr);
}

template <class T> void appendHex(std::string& out, T v) {
    static const char digits[] = "0123456789ABCDEF";
    using U = std::make_unsigned_t<T>;
    U u = U(v);
    out += "0x";
    for (int shift = int(sizeof(U)) * 8 - 4; shift >= 0; shift -= 4)
        out += digits[(u >> shift) & 15];
}

// Shortest digits that read back to the same value; std::to_chars ignores the C locale, so a
// GUI that switched LC_NUMERIC to a comma locale still gets a decimal point.
template <class T> void appendReal(std::string& out, T v, std::string_view nonFinite) {
    if (!std::isfinite(v)) {
        out += nonFinite;
        return;
    }
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void appendByteHex(std::string& out, uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    out += digits[b >> 4];
    out += digits[b & 15];
}

// ---- JSON ----------------------------------------------------------------------------------

template <class T> void jsonValue(std::string& out, const T& v);

struct JsonFields {
    std::string& out;
    bool first = true;
    template <class T> void operator()(const char* name, const T& value) {
        if (!first) out += ',';
        first = false;
        // Field names are snake_case identifiers: nothing to escape.
        out += '"';
        out += name;
        out += "\":";
        jsonValue(out, value);
    }
};

template <class T> void jsonObject(std::string& out, const T& record) {
    out += '{';
    record.visit(JsonFields{out});
    out += '}';
}

template <class T> void jsonValue(std::string& out, const T& v) {
    if constexpr (TextField<T>) {
        appendJsonString(out, v);
    } else if constexpr (std::is_floating_point_v<T>) {
        appendReal(out, v, "null");
    } else if constexpr (std::is_integral_v<T>) {
        appendInteger(out, v);
    } else if constexpr (RangeField<T>) {
        out += '[';
        bool first = true;
        for (const auto& e : v) {
            if (!first) out += ',';
            first = false;
            jsonValue(out, e);
        }
        out += ']';
    } else {
        static_assert(Visitable<T>, "record field of an unsupported type");
        jsonObject(out, v);
    }
}

// ---- text ----------------------------------------------------------------------------------

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// Fields shown in hexadecimal: bit sets and codes.
bool isHexField(std::string_view name) {
    for (std::string_view suffix : {"flags", "status", "code", "validity", "bitmap", "event_mask",
                                    "message_mask", "output_mask"})
        if (endsWith(name, suffix)) return true;
    return name.starts_with("output_mask_");
}

template <class T> void textScalar(std::string& out, std::string_view name, const T& v) {
    if constexpr (std::is_floating_point_v<T>) {
        appendReal(out, v, std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf"));
    } else if (isHexField(name)) {
        appendHex(out, v);
    } else {
        appendInteger(out, v);
    }
}

struct TextFields {
    std::string& out;
    bool& first; // shared by the nested walks of one record
    std::string prefix;

    void key(std::string_view name) {
        if (!first) out += ' ';
        first = false;
        out += prefix;
        out += name;
        out += '=';
    }

    template <class T> void nested(std::string p, const T& record) {
        record.visit(TextFields{out, first, std::move(p)});
    }

    template <class T> void operator()(std::string_view name, const T& value) {
        if constexpr (TextField<T>) {
            key(name);
            appendJsonString(out, value);
        } else if constexpr (std::is_arithmetic_v<T>) {
            key(name);
            textScalar(out, name, value);
        } else if constexpr (RangeField<T>) {
            using E = ElementOf<T>;
            if constexpr (std::is_same_v<E, uint8_t>) {
                key(name);
                for (uint8_t b : value) appendByteHex(out, b);
            } else if constexpr (std::is_arithmetic_v<E>) {
                key(name);
                out += '[';
                bool firstElement = true;
                for (const auto& e : value) {
                    if (!firstElement) out += ',';
                    firstElement = false;
                    textScalar(out, name, e);
                }
                out += ']';
            } else {
                size_t i = 0;
                for (const auto& e : value) {
                    std::string p = prefix;
                    p += name;
                    p += '[';
                    appendInteger(p, i++);
                    p += "].";
                    nested(std::move(p), e);
                }
            }
        } else {
            std::string p = prefix;
            p += name;
            p += '.';
            nested(std::move(p), value);
        }
    }
};

template <class T> void textRecord(std::string& out, const T& record) {
    bool first = true;
    record.visit(TextFields{out, first, {}});
}

} // namespace

void appendJsonString(std::string& out, std::string_view s) {
    static const char digits[] = "0123456789ABCDEF";
    out += '"';
    for (char ch : s) {
        auto c = uint8_t(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                // Bytes are taken as Latin-1 code points: \u00XX keeps every byte value.
                out += "\\u00";
                out += digits[c >> 4];
                out += digits[c & 15];
            } else {
                out += char(c);
            }
        }
    }
    out += '"';
}

void writeRecordJson(std::string& out, const RecordArea& area, RecordKind kind) {
    if (!withRecord(area, kind, [&](const auto& r) { jsonObject(out, r); })) out += "{}";
}

void writeRecordJson(std::string& out, const RecordSnapshot& record) {
    std::visit(
        [&](const auto& r) {
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(r)>, std::monostate>)
                out += "{}";
            else
                jsonObject(out, r);
        },
        record);
}

void writeRecordText(std::string& out, const RecordArea& area, RecordKind kind) {
    withRecord(area, kind, [&](const auto& r) { textRecord(out, r); });
}

void writeRecordText(std::string& out, const RecordSnapshot& record) {
    std::visit(
        [&](const auto& r) {
            if constexpr (!std::is_same_v<std::remove_cvref_t<decltype(r)>, std::monostate>)
                textRecord(out, r);
        },
        record);
}

} // namespace vx
