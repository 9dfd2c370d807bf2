#pragma once

// What the lens's own files share: where a frame's parts lie and whether the bytes at a place
// make a good frame (the frame decoder and the boundary search ask the same), and the decoders.
#include "Lens.h"

namespace lens {

std::size_t fieldBytes(FieldType type);
std::size_t checksumBytes(Checksum kind);

struct FrameLayout {
    explicit FrameLayout(const Format& format);
    const Format& format;
    std::vector<std::size_t> offsets; // each field's place in the frame
    std::size_t payload = 0;          // field bytes
    std::size_t covered = 0;          // what the checksum covers: the length byte and the fields
    std::size_t size = 0;             // the whole frame

    enum class Verdict { Good, NotAFrame, BadChecksum };
    // p holds at least size bytes.
    Verdict check(const uint8_t* p) const;
    // The first place at or after 0 where two good frames follow each other; nullopt and, in
    // *undecided, the first place that needs more than n bytes to tell, when there is none.
    std::optional<std::size_t> findLock(const uint8_t* p, std::size_t n,
                                        std::size_t* undecided) const;
};

std::unique_ptr<Decoder> makeFrameDecoder(const Format& format);
std::unique_ptr<Decoder> makeTextDecoder();
std::optional<uint64_t> findLineBoundary(const uint8_t* data, std::size_t n, uint64_t dataOffset,
                                         uint64_t from);

} // namespace lens
