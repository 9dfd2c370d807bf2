#pragma once

// A lens reads the raw byte stream as numbers: text lines or binary frames, decoded into up to
// kMaxChannels channels of samples (double; NaN is a gap). Standard C++ only, no Qt, so that the
// same bytes give the same samples wherever they come from (a port, the recent copy, a file)
// and however they are split into fetches.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lens {

constexpr int kMaxChannels = 32;
// A text line longer than this is counted and skipped; memory stays bounded by it.
constexpr std::size_t kMaxLineBytes = 4096;

enum class FieldType { U8, I8, U16, I16, U32, I32, F32, F64 };
struct Field {
    FieldType type = FieldType::U8;
    bool bigEndian = false;
    bool operator==(const Field&) const = default;
};
// A frame's checksum covers what follows the sync: the length byte (when there is one) and the
// fields. Its bytes close the frame: crc16modbus low byte first (as Modbus sends it), crc16ccitt
// high byte first, crc32 low byte first; sum8 (the bytes added, modulo 256), xor8 and crc8
// (polynomial 0x07, no reflection, start 0) take one byte.
enum class Checksum { None, Sum8, Xor8, Crc8, Crc16Modbus, Crc16CcittFalse, Crc32 };
// The checksum of n bytes, as the frame carries it (before its byte order).
uint32_t checksum(Checksum kind, const uint8_t* data, std::size_t n);

// A lens as its short text form says it (the command line's --lens, the .lens side files): "byte",
// "text", "bin i16le*4", "bin sync=AA55 u8 i16le f32le sum8".
struct Format {
    enum class Kind { Byte, Text, Binary };
    Kind kind = Kind::Byte;
    std::vector<Field> fields; // Binary: one per channel, in frame order
    std::vector<uint8_t> sync; // Binary: 0..4 sync bytes before the fields
    bool lengthByte = false;   // Binary: after the sync, the number of field bytes (needs sync)
    Checksum checksum = Checksum::None;
    bool operator==(const Format&) const = default;

    // Bytes of one frame (sync, length, fields, checksum); 0 for byte and text lenses.
    std::size_t frameBytes() const;
    bool isByte() const { return kind == Kind::Byte; }
};

// The text form back from a format; parseFormat(toText(f)) == f.
std::string toText(const Format& format);
// nullopt, with a short reason in *error when asked, for a text that is not a lens.
std::optional<Format> parseFormat(std::string_view text, std::string* error = nullptr);

// The bytes of one binary frame carrying values[i] in field i (integers rounded and held to
// their type's range), its sync, length byte and checksum in place: what a device would send.
std::vector<uint8_t> encodeFrame(const Format& format, const double* values);

// What the decoder met besides good frames; all counts since the last reset().
struct Counters {
    uint64_t frames = 0;        // frames (binary) or data lines (text) delivered
    uint64_t badChecksums = 0;  // binary: frames whose checksum failed
    uint64_t resyncs = 0;       // binary with sync: times a lock was lost and searched again
    uint64_t bytesSkipped = 0;  // bytes that belonged to no delivered frame or line
    uint64_t textLines = 0;     // text: lines with no number, kept as text
    uint64_t longLines = 0;     // text: lines over kMaxLineBytes, skipped
    uint64_t droppedLabels = 0; // text: labels beyond kMaxChannels, not given a channel
    bool operator==(const Counters&) const = default;
};

// Where the decoder puts what it decodes.
class Sink {
public:
    virtual ~Sink() = default;
    // One frame: values[i] is channel i's sample; channels at or beyond count are gaps.
    // end is the stream offset just past the frame's last byte.
    virtual void frame(uint64_t end, const double* values, int count) = 0;
    // A line the text lens did not take as data (a banner, a message), without its line end.
    // offset is where the line starts in the stream.
    virtual void text(uint64_t offset, std::string_view line) {
        (void)offset;
        (void)line;
    }
    // A channel was added or renamed (a label or a header line).
    virtual void channelsChanged() {}
};

// Decodes one stream. State (a partial line or frame, the lock) lives across feed() calls.
class Decoder {
public:
    virtual ~Decoder() = default;
    // Starts again at stream offset `offset`. midStream: the bytes do not begin at a boundary
    // (a port just opened, a view that starts inside a file): a text lens drops the first,
    // partial line; a fixed-frame lens without sync starts at the next offset o with
    // o % frameBytes == phase; a synced lens searches for its lock.
    virtual void reset(uint64_t offset, bool midStream, uint64_t phase = 0) = 0;
    // Decodes the next n bytes of the stream.
    virtual void feed(const uint8_t* data, std::size_t n, Sink& sink) = 0;
    // Channel names in channel order ("ch1".. by default, labels or header fields for text).
    virtual const std::vector<std::string>& channelNames() const = 0;
    virtual const Counters& counters() const = 0;
    // The stream offset of the next byte feed() expects.
    virtual uint64_t offset() const = 0;
};

std::unique_ptr<Decoder> makeDecoder(const Format& format);

// The first frame or line boundary at or after `from` in data, which holds the stream's bytes
// from stream offset dataOffset on: text, just after the next line end; fixed frames, the next
// offset with offset % frameBytes == phase; synced frames, the start of two good frames in a
// row. nullopt when data holds none. Work is bounded by what it looks at, not by the stream.
std::optional<uint64_t> findBoundary(const Format& format, const uint8_t* data, std::size_t n,
                                     uint64_t dataOffset, uint64_t from, uint64_t phase = 0);

} // namespace lens
