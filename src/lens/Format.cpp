#include <algorithm>
#include <cctype>

#include "Frames.h"

namespace lens {

namespace {

struct TypeName {
    FieldType type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {FieldType::U8, "u8"},   {FieldType::I8, "i8"},   {FieldType::U16, "u16"},
    {FieldType::I16, "i16"}, {FieldType::U32, "u32"}, {FieldType::I32, "i32"},
    {FieldType::F32, "f32"}, {FieldType::F64, "f64"},
};

struct ChecksumName {
    Checksum kind;
    const char* name;
};
constexpr ChecksumName kChecksumNames[] = {
    {Checksum::Sum8, "sum8"},
    {Checksum::Xor8, "xor8"},
    {Checksum::Crc8, "crc8"},
    {Checksum::Crc16Modbus, "crc16modbus"},
    {Checksum::Crc16CcittFalse, "crc16ccitt"},
    {Checksum::Crc32, "crc32"},
};

std::string fieldText(const Field& field) {
    for (const TypeName& t : kTypeNames)
        if (t.type == field.type)
            return std::string(t.name) + (fieldBytes(field.type) == 1 ? ""
                                          : field.bigEndian           ? "be"
                                                                      : "le");
    return {};
}

// "i16le*4" into fields; false when the word is no field.
bool parseField(std::string_view word, std::vector<Field>& fields, std::string& why) {
    std::size_t star = word.find('*');
    std::string_view name = word.substr(0, star);
    int repeat = 1;
    if (star != std::string_view::npos) {
        std::string_view count = word.substr(star + 1);
        repeat = 0;
        for (char c : count) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || repeat > kMaxChannels) {
                repeat = -1;
                break;
            }
            repeat = repeat * 10 + (c - '0');
        }
        if (count.empty() || repeat < 1 || repeat > kMaxChannels) {
            why = "a field repeats 1 to 32 times: " + std::string(word);
            return false;
        }
    }
    for (const TypeName& t : kTypeNames) {
        std::string_view base = t.name;
        if (name.substr(0, base.size()) != base) continue;
        std::string_view order = name.substr(base.size());
        Field field{t.type, order == "be"};
        bool wide = fieldBytes(t.type) > 1;
        if (wide ? order != "le" && order != "be" : !order.empty()) {
            why = wide ? std::string(base) + " needs its byte order, le or be"
                       : std::string(base) + " takes no byte order";
            return false;
        }
        fields.insert(fields.end(), static_cast<std::size_t>(repeat), field);
        return true;
    }
    why = "not a field, checksum or option: " + std::string(word);
    return false;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<Format> parseBinary(const std::vector<std::string_view>& words, std::string& why) {
    Format format;
    format.kind = Format::Kind::Binary;
    // The words follow the frame's own order: sync, length, fields, checksum.
    enum Stage { Sync, Length, Fields, Sum } stage = Sync;
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string_view word = words[i];
        if (word.substr(0, 5) == "sync=") {
            std::string_view hex = word.substr(5);
            if (stage != Sync || hex.empty() || hex.size() % 2 || hex.size() > 8 ||
                !std::all_of(hex.begin(), hex.end(), [](char c) { return hexDigit(c) >= 0; })) {
                why = "sync is 1 to 4 bytes in hex, first: " + std::string(word);
                return std::nullopt;
            }
            for (std::size_t k = 0; k < hex.size(); k += 2)
                format.sync.push_back(
                    static_cast<uint8_t>(hexDigit(hex[k]) * 16 + hexDigit(hex[k + 1])));
            stage = Length;
        } else if (word == "len") {
            if (stage != Length) {
                why = format.sync.empty() ? "len needs sync before it"
                                          : "len comes before the fields";
                return std::nullopt;
            }
            format.lengthByte = true;
            stage = Fields;
        } else if (auto sum = std::find_if(std::begin(kChecksumNames), std::end(kChecksumNames),
                                           [&](const ChecksumName& c) { return word == c.name; });
                   sum != std::end(kChecksumNames)) {
            if (stage == Sum || format.fields.empty()) {
                why = "one checksum, after the fields: " + std::string(word);
                return std::nullopt;
            }
            format.checksum = sum->kind;
            stage = Sum;
        } else {
            if (stage == Sum) {
                why = "the checksum comes last";
                return std::nullopt;
            }
            if (!parseField(word, format.fields, why)) return std::nullopt;
            if (format.fields.size() > kMaxChannels) {
                why = "at most 32 fields";
                return std::nullopt;
            }
            stage = Fields;
        }
    }
    if (format.fields.empty()) {
        why = "bin needs at least one field";
        return std::nullopt;
    }
    if (format.lengthByte && FrameLayout(format).payload > 255) {
        why = "a length byte counts at most 255 field bytes";
        return std::nullopt;
    }
    return format;
}

} // namespace

std::size_t fieldBytes(FieldType type) {
    switch (type) {
    case FieldType::U8:
    case FieldType::I8:
        return 1;
    case FieldType::U16:
    case FieldType::I16:
        return 2;
    case FieldType::U32:
    case FieldType::I32:
    case FieldType::F32:
        return 4;
    case FieldType::F64:
        return 8;
    }
    return 1;
}

std::size_t Format::frameBytes() const {
    return kind == Kind::Binary ? FrameLayout(*this).size : 0;
}

std::string toText(const Format& format) {
    if (format.kind == Format::Kind::Byte) return "byte";
    if (format.kind == Format::Kind::Text) return "text";
    std::string text = "bin";
    if (!format.sync.empty()) {
        text += " sync=";
        for (uint8_t b : format.sync) {
            text += "0123456789ABCDEF"[b >> 4];
            text += "0123456789ABCDEF"[b & 15];
        }
    }
    if (format.lengthByte) text += " len";
    for (std::size_t i = 0; i < format.fields.size();) {
        std::size_t run = 1;
        while (i + run < format.fields.size() && format.fields[i + run] == format.fields[i])
            ++run;
        text += ' ' + fieldText(format.fields[i]);
        if (run > 1) text += '*' + std::to_string(run);
        i += run;
    }
    for (const ChecksumName& c : kChecksumNames)
        if (c.kind == format.checksum) text += std::string(" ") + c.name;
    return text;
}

std::optional<Format> parseFormat(std::string_view text, std::string* error) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::vector<std::string_view> words;
    std::string_view rest = lower;
    while (!rest.empty()) {
        std::size_t start = rest.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
        words.push_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    std::string why;
    std::optional<Format> format;
    if (words.empty()) {
        why = "empty";
    } else if (words.size() == 1 && (words[0] == "byte" || words[0] == "text")) {
        format = Format{};
        format->kind = words[0] == "byte" ? Format::Kind::Byte : Format::Kind::Text;
    } else if (words[0] == "bin") {
        format = parseBinary(words, why);
    } else {
        why = "a lens is byte, text or bin ...";
    }
    if (!format && error) *error = why;
    return format;
}

} // namespace lens
