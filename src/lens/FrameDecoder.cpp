#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "Frames.h"

namespace lens {

FrameLayout::FrameLayout(const Format& f) : format(f) {
    std::size_t at = f.sync.size() + (f.lengthByte ? 1 : 0);
    for (const Field& field : f.fields) {
        offsets.push_back(at);
        at += fieldBytes(field.type);
        payload += fieldBytes(field.type);
    }
    covered = payload + (f.lengthByte ? 1 : 0);
    size = at + checksumBytes(f.checksum);
}

FrameLayout::Verdict FrameLayout::check(const uint8_t* p) const {
    const std::size_t syncBytes = format.sync.size();
    if (syncBytes && std::memcmp(p, format.sync.data(), syncBytes) != 0) return Verdict::NotAFrame;
    if (format.lengthByte && p[syncBytes] != payload) return Verdict::NotAFrame;
    if (format.checksum == Checksum::None) return Verdict::Good;
    const uint32_t sum = checksum(format.checksum, p + syncBytes, covered);
    const uint8_t* stored = p + syncBytes + covered;
    uint32_t carried = 0;
    switch (format.checksum) {
    case Checksum::Crc16Modbus:
        carried = stored[0] | stored[1] << 8;
        break;
    case Checksum::Crc16CcittFalse:
        carried = stored[0] << 8 | stored[1];
        break;
    case Checksum::Crc32:
        carried = uint32_t(stored[0]) | uint32_t(stored[1]) << 8 | uint32_t(stored[2]) << 16 |
                  uint32_t(stored[3]) << 24;
        break;
    default:
        carried = stored[0];
        break;
    }
    return sum == carried ? Verdict::Good : Verdict::BadChecksum;
}

std::optional<std::size_t> FrameLayout::findLock(const uint8_t* p, std::size_t n,
                                                 std::size_t* undecided) const {
    // Every place is tried in turn, so a false start (the sync's first byte in the data, or
    // one good frame by chance) never hides a true one that begins inside it.
    for (std::size_t i = 0;; ++i) {
        const void* first = i < n ? std::memchr(p + i, format.sync[0], n - i) : nullptr;
        i = first ? static_cast<std::size_t>(static_cast<const uint8_t*>(first) - p) : n;
        if (n - i < 2 * size) {
            // Not enough to tell; a place whose first frame is plainly bad needs no more.
            if (n - i >= size && check(p + i) != Verdict::Good) continue;
            if (undecided) *undecided = i;
            return std::nullopt;
        }
        if (check(p + i) == Verdict::Good && check(p + i + size) == Verdict::Good) return i;
    }
}

namespace {

template <std::size_t N> uint64_t loadBits(const uint8_t* p, bool bigEndian) {
    uint64_t bits = 0;
    for (std::size_t k = 0; k < N; ++k)
        bits |= uint64_t(p[bigEndian ? N - 1 - k : k]) << (8 * k);
    return bits;
}

double readField(const uint8_t* p, const Field& field) {
    switch (field.type) {
    case FieldType::U8:
        return p[0];
    case FieldType::I8:
        return static_cast<int8_t>(p[0]);
    case FieldType::U16:
        return static_cast<uint16_t>(loadBits<2>(p, field.bigEndian));
    case FieldType::I16:
        return static_cast<int16_t>(loadBits<2>(p, field.bigEndian));
    case FieldType::U32:
        return static_cast<uint32_t>(loadBits<4>(p, field.bigEndian));
    case FieldType::I32:
        return static_cast<int32_t>(loadBits<4>(p, field.bigEndian));
    case FieldType::F32: {
        uint32_t bits = static_cast<uint32_t>(loadBits<4>(p, field.bigEndian));
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case FieldType::F64: {
        uint64_t bits = loadBits<8>(p, field.bigEndian);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    }
    return 0;
}

template <typename T> uint64_t integerBits(double value) {
    const double held = std::clamp(std::nearbyint(value), double(std::numeric_limits<T>::min()),
                                   double(std::numeric_limits<T>::max()));
    return static_cast<std::make_unsigned_t<T>>(static_cast<T>(held));
}

void writeField(uint8_t* p, const Field& field, double value) {
    uint64_t bits = 0;
    switch (field.type) {
    case FieldType::U8:
        bits = integerBits<uint8_t>(value);
        break;
    case FieldType::I8:
        bits = integerBits<int8_t>(value);
        break;
    case FieldType::U16:
        bits = integerBits<uint16_t>(value);
        break;
    case FieldType::I16:
        bits = integerBits<int16_t>(value);
        break;
    case FieldType::U32:
        bits = integerBits<uint32_t>(value);
        break;
    case FieldType::I32:
        bits = integerBits<int32_t>(value);
        break;
    case FieldType::F32: {
        float single = static_cast<float>(value);
        uint32_t word;
        std::memcpy(&word, &single, sizeof word);
        bits = word;
        break;
    }
    case FieldType::F64:
        std::memcpy(&bits, &value, sizeof bits);
        break;
    }
    const std::size_t n = fieldBytes(field.type);
    for (std::size_t k = 0; k < n; ++k)
        p[field.bigEndian ? n - 1 - k : k] = static_cast<uint8_t>(bits >> (8 * k));
}

// Fixed frames, with or without sync. The state is where the decoder stands (skipping to the
// phase, in step without sync, searching, locked), the counters and the bytes of a frame or a
// lock not yet decided; a step is only taken once every byte it looks at is there, so no split
// of the stream can change one.
class FrameDecoder : public Decoder {
public:
    explicit FrameDecoder(const Format& format) : format_(format), layout_(format_) {
        for (std::size_t i = 0; i < format_.fields.size(); ++i)
            names_.push_back("ch" + std::to_string(i + 1));
        reset(0, false, 0);
    }

    void reset(uint64_t offset, bool midStream, uint64_t phase) override {
        const uint64_t size = layout_.size;
        base_ = offset;
        carry_.clear();
        counters_ = {};
        toSkip_ = midStream ? (phase % size + size - offset % size) % size : 0;
        state_ = !format_.sync.empty() ? State::Search : toSkip_ ? State::Phase : State::InStep;
    }

    void feed(const uint8_t* data, std::size_t n, Sink& sink) override {
        if (!carry_.empty()) {
            // Enough of the new bytes behind the old ones for any step to be taken.
            const std::size_t old = carry_.size();
            const std::size_t taken = std::min(n, 2 * layout_.size);
            carry_.insert(carry_.end(), data, data + taken);
            const std::size_t used = run(carry_.data(), carry_.size(), sink);
            base_ += used;
            if (used < old) { // then every new byte went in: taken == n
                carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(used));
                return;
            }
            carry_.clear();
            data += used - old;
            n -= used - old;
        }
        const std::size_t used = run(data, n, sink);
        base_ += used;
        carry_.assign(data + used, data + n);
    }

    const std::vector<std::string>& channelNames() const override { return names_; }
    const Counters& counters() const override { return counters_; }
    uint64_t offset() const override { return base_ + carry_.size(); }

private:
    enum class State { Phase, InStep, Search, Locked };

    // Takes every step that p[0..n) allows (p[0] at stream offset base_); returns the bytes used.
    std::size_t run(const uint8_t* p, std::size_t n, Sink& sink) {
        const std::size_t size = layout_.size;
        std::size_t i = 0;
        for (;;) {
            switch (state_) {
            case State::Phase: {
                const std::size_t k = static_cast<std::size_t>(std::min<uint64_t>(toSkip_, n - i));
                i += k;
                toSkip_ -= k;
                counters_.bytesSkipped += k;
                if (toSkip_) return i;
                state_ = State::InStep;
                break;
            }
            case State::InStep:
                // Without sync nothing tells where a frame starts, so a bad one only counts.
                for (; n - i >= size; i += size) {
                    if (layout_.check(p + i) == FrameLayout::Verdict::Good) {
                        deliver(p + i, base_ + i + size, sink);
                    } else {
                        ++counters_.badChecksums;
                        counters_.bytesSkipped += size;
                    }
                }
                return i;
            case State::Search: {
                std::size_t undecided = 0;
                std::optional<std::size_t> at = layout_.findLock(p + i, n - i, &undecided);
                const std::size_t skip = at ? *at : undecided;
                counters_.bytesSkipped += skip;
                i += skip;
                if (!at) return i;
                state_ = State::Locked;
                break;
            }
            case State::Locked:
                for (; n - i >= size; i += size) {
                    FrameLayout::Verdict verdict = layout_.check(p + i);
                    if (verdict != FrameLayout::Verdict::Good) {
                        if (verdict == FrameLayout::Verdict::BadChecksum) ++counters_.badChecksums;
                        ++counters_.resyncs;
                        state_ = State::Search;
                        break;
                    }
                    deliver(p + i, base_ + i + size, sink);
                }
                if (state_ == State::Locked) return i;
                break;
            }
        }
    }

    void deliver(const uint8_t* frame, uint64_t end, Sink& sink) {
        const std::size_t count = format_.fields.size();
        for (std::size_t k = 0; k < count; ++k)
            values_[k] = readField(frame + layout_.offsets[k], format_.fields[k]);
        ++counters_.frames;
        sink.frame(end, values_, static_cast<int>(count));
    }

    const Format format_;
    const FrameLayout layout_;
    std::vector<std::string> names_;
    State state_ = State::InStep;
    uint64_t base_ = 0;   // stream offset of the first byte not yet used
    uint64_t toSkip_ = 0; // bytes before the phase
    std::vector<uint8_t> carry_;
    Counters counters_;
    double values_[kMaxChannels] = {};
};

} // namespace

std::vector<uint8_t> encodeFrame(const Format& format, const double* values) {
    const FrameLayout layout(format);
    std::vector<uint8_t> frame(layout.size);
    std::copy(format.sync.begin(), format.sync.end(), frame.begin());
    if (format.lengthByte) frame[format.sync.size()] = static_cast<uint8_t>(layout.payload);
    for (std::size_t k = 0; k < format.fields.size(); ++k)
        writeField(frame.data() + layout.offsets[k], format.fields[k], values[k]);
    uint8_t* sum = frame.data() + format.sync.size() + layout.covered;
    const uint32_t value =
        checksum(format.checksum, frame.data() + format.sync.size(), layout.covered);
    const std::size_t n = checksumBytes(format.checksum);
    const bool highFirst = format.checksum == Checksum::Crc16CcittFalse;
    for (std::size_t k = 0; k < n; ++k)
        sum[highFirst ? n - 1 - k : k] = static_cast<uint8_t>(value >> (8 * k));
    return frame;
}

std::unique_ptr<Decoder> makeFrameDecoder(const Format& format) {
    return std::make_unique<FrameDecoder>(format);
}

} // namespace lens
