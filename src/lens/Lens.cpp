#include "Frames.h"

namespace lens {

namespace {
// The byte lens read as frames is one unsigned byte a sample.
Format byteFrames() {
    Format format;
    format.kind = Format::Kind::Binary;
    format.fields = {Field{}};
    return format;
}
} // namespace

std::unique_ptr<Decoder> makeDecoder(const Format& format) {
    switch (format.kind) {
    case Format::Kind::Text:
        return makeTextDecoder();
    case Format::Kind::Binary:
        return makeFrameDecoder(format);
    case Format::Kind::Byte:
        break;
    }
    return makeFrameDecoder(byteFrames());
}

std::optional<uint64_t> findBoundary(const Format& format, const uint8_t* data, std::size_t n,
                                     uint64_t dataOffset, uint64_t from, uint64_t phase) {
    if (from < dataOffset || from > dataOffset + n) return std::nullopt;
    if (format.kind == Format::Kind::Text) return findLineBoundary(data, n, dataOffset, from);
    if (format.kind == Format::Kind::Byte) return from;
    const FrameLayout layout(format);
    if (format.sync.empty()) {
        const uint64_t size = layout.size;
        const uint64_t at = from + (phase % size + size - from % size) % size;
        return at <= dataOffset + n ? std::optional<uint64_t>(at) : std::nullopt;
    }
    const std::size_t i = static_cast<std::size_t>(from - dataOffset);
    std::optional<std::size_t> lock = layout.findLock(data + i, n - i, nullptr);
    return lock ? std::optional<uint64_t>(from + *lock) : std::nullopt;
}

} // namespace lens
