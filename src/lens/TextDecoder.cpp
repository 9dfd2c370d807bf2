#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "Frames.h"

namespace lens {

namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

enum class Reading { Number, Gap, Empty, NotNumber };

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
bool endsWord(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ';' || c == ':' || c == '=';
}
bool sameLetters(std::string_view a, std::string_view lower) {
    return a.size() == lower.size() &&
           std::equal(a.begin(), a.end(), lower.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? char(x - 'A' + 'a') : x) == y;
           });
}
// What may follow a number as its unit: "3.3V", "25%", "21.5°C".
bool startsUnit(std::string_view rest) {
    if (rest.empty()) return true;
    unsigned char c = static_cast<unsigned char>(rest[0]);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '%' || c >= 0x80;
}

// A field as a number: sign, decimals, exponent, 0x hex, then an optional unit.
Reading readNumber(std::string_view s, double& value) {
    if (s.empty()) return Reading::Empty;
    const bool negative = s[0] == '-';
    const std::size_t body = s[0] == '+' || negative ? 1 : 0;
    std::string_view rest = s.substr(body);
    if (sameLetters(rest, "nan") || sameLetters(rest, "inf") || sameLetters(rest, "infinity"))
        return Reading::Gap;
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
        hexValue(rest[2]) >= 0) {
        double hex = 0;
        std::size_t j = 2;
        for (; j < rest.size() && hexValue(rest[j]) >= 0; ++j)
            hex = hex * 16 + hexValue(rest[j]);
        if (!startsUnit(rest.substr(j))) return Reading::NotNumber;
        value = negative ? -hex : hex;
        return Reading::Number;
    }
    std::size_t j = 0, digits = 0;
    for (; j < rest.size() && isDigit(rest[j]); ++j)
        ++digits;
    if (j < rest.size() && rest[j] == '.')
        for (++j; j < rest.size() && isDigit(rest[j]); ++j)
            ++digits;
    if (!digits) return Reading::NotNumber;
    if (j + 1 < rest.size() && (rest[j] == 'e' || rest[j] == 'E')) {
        std::size_t k = j + 1 + (rest[j + 1] == '+' || rest[j + 1] == '-');
        if (k < rest.size() && isDigit(rest[k])) {
            for (j = k; j < rest.size() && isDigit(rest[j]);)
                ++j;
        }
    }
    if (!startsUnit(rest.substr(j))) return Reading::NotNumber;
    const char* first = negative ? s.data() : rest.data();
    auto [end, error] = std::from_chars(first, rest.data() + j, value);
    (void)end;
    return error == std::errc() && std::isfinite(value) ? Reading::Number : Reading::Gap;
}

// Text lines: the state is the line so far (its bytes kept up to kMaxLineBytes), whether it is
// being dropped, whether a CR just ended a line (so an LF next belongs to it), and the channels
// the stream has named. A line is decided only at its end, so a split never changes one.
class TextDecoder : public Decoder {
public:
    TextDecoder() {
        line_.reserve(kMaxLineBytes);
        reset(0, false, 0);
    }

    // The channels named so far stay: a view that starts again elsewhere in the same stream
    // keeps each label on its channel.
    void reset(uint64_t offset, bool midStream, uint64_t) override {
        offset_ = lineStart_ = offset;
        line_.clear();
        lineBytes_ = 0;
        tooLong_ = afterCr_ = false;
        dropping_ = midStream;
        header_.clear();
        counters_ = {};
    }

    void feed(const uint8_t* data, std::size_t n, Sink& sink) override {
        const char* p = reinterpret_cast<const char*>(data);
        const char* const end = p + n;
        const uint64_t base = offset_;
        auto at = [&, start = p](const char* q) { return base + static_cast<uint64_t>(q - start); };
        if (afterCr_ && p < end) {
            afterCr_ = false;
            if (*p == '\n') {
                ++p;
                ++lineStart_;
            }
        }
        while (p < end) {
            const char* q = p;
            while (q < end && *q != '\n' && *q != '\r')
                ++q;
            const std::size_t length = static_cast<std::size_t>(q - p);
            // A line that lies whole in this feed is read where it is, without a copy.
            const bool whole = q != end && lineBytes_ == 0 && !dropping_ && length <= kMaxLineBytes;
            if (!whole) keep(p, length);
            lineBytes_ += length;
            if (q == end) break;
            endLine(whole ? std::string_view(p, length) : std::string_view(line_), at(q) + 1, sink);
            lineStart_ = at(q) + 1;
            if (*q == '\r') {
                if (q + 1 == end) {
                    afterCr_ = true;
                } else if (q[1] == '\n') {
                    ++q;
                    ++lineStart_;
                }
            }
            p = q + 1;
        }
        offset_ = base + n;
    }

    const std::vector<std::string>& channelNames() const override { return names_; }
    const Counters& counters() const override { return counters_; }
    uint64_t offset() const override { return offset_; }

private:
    void keep(const char* p, std::size_t length) {
        if (dropping_ || tooLong_) return;
        if (lineBytes_ + length > kMaxLineBytes) {
            tooLong_ = true;
            line_.clear();
        } else {
            line_.append(p, length);
        }
    }

    void endLine(std::string_view line, uint64_t end, Sink& sink) {
        if (dropping_ || tooLong_) {
            counters_.bytesSkipped += lineBytes_ + 1;
            if (!dropping_) ++counters_.longLines;
        } else {
            take(line, end, sink);
        }
        dropping_ = tooLong_ = false;
        line_.clear();
        lineBytes_ = 0;
    }

    struct Item {
        std::string_view label; // empty: a field by its place in the line
        std::string_view value;
        Reading reading = Reading::Empty;
        double number = kGap;
    };

    // Fields are separated by runs of spaces and tabs with at most one comma or semicolon; each
    // further comma or semicolon is an empty field. "name:value" and "name=value" may have
    // spaces around the separator; a name is never a number ("12:30" is two numbers).
    void split(std::string_view line) {
        words_.clear();
        int commas = 0;
        for (std::size_t i = 0; i < line.size();) {
            char c = line[i];
            if (c == ' ' || c == '\t') {
                ++i;
            } else if (c == ',' || c == ';') {
                ++commas;
                ++i;
            } else if (c == ':' || c == '=') {
                words_.push_back({{}, commas});
                commas = 0;
                ++i;
            } else {
                std::size_t j = i;
                while (j < line.size() && !endsWord(line[j]))
                    ++j;
                words_.push_back({line.substr(i, j - i), commas});
                commas = 0;
                i = j;
            }
        }
        items_.clear();
        auto isMark = [&](std::size_t k) { return k < words_.size() && words_[k].text.empty(); };
        bool first = true;
        for (std::size_t k = 0; k < words_.size(); ++k) {
            const Word& word = words_[k];
            if (word.text.empty()) continue; // a separator with no name before it
            for (int e = first ? 0 : 1; e < word.commasBefore; ++e)
                items_.push_back({});
            first = false;
            Item item;
            double scratch = 0;
            if (isMark(k + 1) && readNumber(word.text, scratch) == Reading::NotNumber) {
                item.label = word.text;
                ++k;
                if (k + 1 < words_.size() && !isMark(k + 1) && !isMark(k + 2))
                    item.value = words_[++k].text;
            } else {
                item.value = word.text;
            }
            item.reading = readNumber(item.value, item.number);
            if (item.reading != Reading::Number) item.number = kGap;
            items_.push_back(item);
        }
    }

    void take(std::string_view line, uint64_t end, Sink& sink) {
        split(line);
        if (items_.empty()) return; // a blank line
        const bool data = std::any_of(items_.begin(), items_.end(), [](const Item& item) {
            return item.reading == Reading::Number || item.reading == Reading::Gap;
        });
        const bool allLabels = std::all_of(items_.begin(), items_.end(), [](const Item& item) {
            return !item.label.empty() && item.value.empty();
        });
        bool changed = false;
        if (!data && allLabels && items_.size() >= 2) { // "a:\tb:" names its channels
            for (const Item& item : items_)
                channelFor(item.label, changed);
            header_.clear();
        } else if (!data) {
            ++counters_.textLines;
            sink.text(lineStart_, line);
            keepHeader(line);
        } else {
            applyHeader(changed);
            std::fill(std::begin(values_), std::end(values_), kGap);
            std::size_t place = 0;
            for (const Item& item : items_) {
                // A label with words after it ("debug: sensor 3 idle") makes no channel.
                const bool words =
                    item.reading == Reading::NotNumber || item.reading == Reading::Empty;
                int channel = item.label.empty() ? placeChannel(place++, changed)
                              : words            ? find(item.label)
                                                 : channelFor(item.label, changed);
                if (channel >= 0)
                    values_[channel] = item.number;
                else if (!words)
                    ++counters_.droppedLabels;
            }
            if (changed) sink.channelsChanged();
            ++counters_.frames;
            sink.frame(end, values_, static_cast<int>(names_.size()));
            return;
        }
        if (changed) sink.channelsChanged();
    }

    // A line of names ("time,sin,cos") names the channels if the next data line has as many
    // fields by place; until then it is a line of text like any other, and a banner of words
    // separated only by spaces is never taken for one.
    void keepHeader(std::string_view line) {
        header_.clear();
        if (items_.size() < 2 || line.find_first_of(",;\t") == std::string_view::npos) return;
        for (const Item& item : items_)
            if (!item.label.empty() || item.reading != Reading::NotNumber) return;
        for (const Item& item : items_)
            header_.emplace_back(item.value);
    }

    void applyHeader(bool& changed) {
        std::size_t places = static_cast<std::size_t>(std::count_if(
            items_.begin(), items_.end(), [](const Item& item) { return item.label.empty(); }));
        if (header_.size() == places) {
            for (std::size_t k = 0; k < places; ++k) {
                int named = find(header_[k]);
                if (k < places_.size() && places_[k] >= 0) {
                    if (named < 0) {
                        names_[static_cast<std::size_t>(places_[k])] = header_[k];
                        changed = true;
                    }
                } else if (named >= 0 || names_.size() < kMaxChannels) {
                    places_.resize(std::max(places_.size(), k + 1), -1);
                    places_[k] = channelFor(header_[k], changed);
                }
            }
        }
        header_.clear();
    }

    int find(std::string_view name) const {
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == name) return static_cast<int>(i);
        return -1;
    }

    // -1 once kMaxChannels are taken: a new name never shares another's channel.
    int channelFor(std::string_view name, bool& changed) {
        int channel = find(name);
        if (channel >= 0 || names_.size() >= kMaxChannels) return channel;
        names_.emplace_back(name);
        changed = true;
        return static_cast<int>(names_.size() - 1);
    }

    int placeChannel(std::size_t place, bool& changed) {
        if (place < places_.size() && places_[place] >= 0) return places_[place];
        int channel = channelFor("ch" + std::to_string(place + 1), changed);
        if (channel >= 0) {
            places_.resize(std::max(places_.size(), place + 1), -1);
            places_[place] = channel;
        }
        return channel;
    }

    uint64_t offset_ = 0;
    uint64_t lineStart_ = 0;
    std::string line_;          // the line so far when it spans feeds
    std::size_t lineBytes_ = 0; // its length, also past kMaxLineBytes
    bool tooLong_ = false;
    bool dropping_ = false;
    bool afterCr_ = false;
    std::vector<std::string> header_; // a line of names waiting for the next data line
    std::vector<std::string> names_;
    std::vector<int> places_; // the channel of each field by place
    Counters counters_;
    double values_[kMaxChannels] = {};
    struct Word {
        std::string_view text; // empty: a ':' or '='
        int commasBefore;
    };
    std::vector<Word> words_; // the line's words and items, kept to spare allocations
    std::vector<Item> items_;
};

} // namespace

std::unique_ptr<Decoder> makeTextDecoder() {
    return std::make_unique<TextDecoder>();
}

std::optional<uint64_t> findLineBoundary(const uint8_t* data, std::size_t n, uint64_t dataOffset,
                                         uint64_t from) {
    std::size_t i = static_cast<std::size_t>(from - dataOffset);
    // from is a boundary itself when a line end is just before it (and no LF of a CRLF after).
    if (i > 0 && (data[i - 1] == '\n' || (data[i - 1] == '\r' && (i == n || data[i] != '\n'))))
        return from;
    for (; i < n; ++i) {
        if (data[i] == '\n' || data[i] == '\r') {
            std::size_t after = i + 1 + (data[i] == '\r' && i + 1 < n && data[i + 1] == '\n');
            return dataOffset + after;
        }
    }
    return std::nullopt;
}

} // namespace lens
