// tessavue-vdev: a virtual serial device for using and testing Tessavue without hardware.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "Lens.h"

namespace {

const char kUsage[] =
    "Usage: tessavue-vdev --link PATH [--baud N] [--wave saw|sine|triangle|random|file]\n"
    "                     [--file F] [--format F [--garbage N]] [--banner TEXT]\n"
    "                     [--seconds S] [--record R] [--wait-for TEXT]\n"
    "\n"
    "Creates a pseudo-terminal, makes it reachable as the symlink PATH, prints PATH and\n"
    "streams bytes into it until stopped (Ctrl+C, SIGTERM) or for S seconds. Open PATH as the\n"
    "port in Tessavue.\n"
    "\n"
    "Unplugging and plugging back in, as with a USB adapter:\n"
    "  kill -USR1 <pid>  unplug: once the bytes sent so far have been read (2 s at most), the\n"
    "                    device goes away and PATH is removed; prints \"unplugged\"\n"
    "  kill -USR2 <pid>  plug in again: a new device at PATH, the stream goes on; prints PATH\n"
    "\n"
    "  --link PATH     where the device appears (an old symlink there is replaced)\n"
    "  --baud N        line rate; N/10 bytes a second as with 8N1 (default 9600)\n"
    "  --wave W        saw (0..255 repeating, default), sine and triangle (period 256 and 510\n"
    "                  bytes), random, or file (the bytes of --file, over and over)\n"
    "  --file F        the file for --wave file\n"
    "  --format F      numbers instead of a wave, a sine and a cosine period of 256 samples:\n"
    "                  labels (lines \"sin:0.7071\\tcos:0.7071\"), csv (lines \"0.7071,0.7071\"),\n"
    "                  header (a line \"sin,cos\" first, then csv), or a binary lens such as\n"
    "                  \"bin i16le*4\", \"bin f32le*8\" or \"bin sync=AA55 i16le*3 crc16modbus\"\n"
    "                  (channel k a sine shifted by k/8 of a period); lines end in CR LF\n"
    "  --garbage N     with a binary --format, 5 bytes that are no frame after every Nth frame\n"
    "  --banner TEXT   send the line TEXT (and CR LF) once, first\n"
    "  --seconds S     stop after S seconds (default: run until stopped)\n"
    "  --record R      also write every byte sent into the file R\n"
    "  --wait-for TEXT stream only once TEXT has been received from the port, as a device\n"
    "                  that waits for a command; \\r \\n \\t \\\\ \\xNN stand for CR, LF,\n"
    "                  tab, a backslash and the byte NN (hex)\n"
    "\n"
    "Bytes nobody is reading are dropped, as on a real line.\n";

volatile sig_atomic_t stopRequested = 0;
volatile sig_atomic_t unplugRequested = 0;
volatile sig_atomic_t plugRequested = 0;

void onSignal(int signal) {
    if (signal == SIGUSR1)
        unplugRequested = 1;
    else if (signal == SIGUSR2)
        plugRequested = 1;
    else
        stopRequested = 1;
}

struct Options {
    std::string link;
    double baud = 9600;
    std::string wave = "saw";
    std::string file;
    std::string record;
    std::string format;
    std::string banner;
    int garbageEvery = 0;
    std::string waitFor; // the bytes, escapes already read
    std::optional<double> seconds;
};

// The escapes a user writes for the bytes a shell will not pass: \r \n \t \\ \xNN.
std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const char e = i + 1 < text.size() ? text[++i] : '\0';
        if (e == 'r' || e == 'n' || e == 't' || e == '\\') {
            out += e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : '\\';
        } else if (e == 'x' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<double> positiveNumber(const char* text) {
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(value > 0)) return std::nullopt;
    return value;
}

// Returns nullopt after printing why the command line is unusable.
std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view name = argv[i];
        if (name == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tessavue-vdev: %s needs a value\n%s", argv[i], kUsage);
            return std::nullopt;
        }
        const char* value = argv[++i];
        std::optional<double> number = positiveNumber(value);
        if (name == "--link") {
            options.link = value;
        } else if (name == "--wave") {
            options.wave = value;
        } else if (name == "--file") {
            options.file = value;
        } else if (name == "--record") {
            options.record = value;
        } else if (name == "--format") {
            options.format = value;
        } else if (name == "--banner") {
            options.banner = value;
        } else if (name == "--garbage" && number && *number == std::floor(*number)) {
            options.garbageEvery = static_cast<int>(std::min(*number, 1e9));
        } else if (name == "--wait-for" && unescape(value) && !unescape(value)->empty()) {
            options.waitFor = *unescape(value);
        } else if (name == "--baud" && number) {
            options.baud = *number;
        } else if (name == "--seconds" && number) {
            options.seconds = *number;
        } else {
            std::fprintf(stderr, "tessavue-vdev: bad option %s %s\n%s", argv[i - 1], value, kUsage);
            return std::nullopt;
        }
    }
    if (options.link.empty()) {
        std::fprintf(stderr, "tessavue-vdev: --link PATH is required\n%s", kUsage);
        return std::nullopt;
    }
    return options;
}

// One period of the waveform; the device sends it over and over.
std::optional<std::vector<uint8_t>> makePattern(const Options& options) {
    std::vector<uint8_t> pattern;
    if (options.wave == "saw") {
        for (int i = 0; i < 256; ++i)
            pattern.push_back(static_cast<uint8_t>(i));
    } else if (options.wave == "triangle") {
        for (int i = 0; i < 510; ++i)
            pattern.push_back(static_cast<uint8_t>(i <= 255 ? i : 510 - i));
    } else if (options.wave == "sine") {
        for (int i = 0; i < 256; ++i)
            pattern.push_back(static_cast<uint8_t>(
                std::lround(127.5 + 127.5 * std::sin(2 * std::numbers::pi * i / 256))));
    } else if (options.wave == "random") {
        std::mt19937 generator(std::random_device{}());
        for (int i = 0; i < 1 << 20; ++i)
            pattern.push_back(static_cast<uint8_t>(generator()));
    } else if (options.wave == "file") {
        std::ifstream in(options.file, std::ios::binary);
        try {
            if (in) pattern.assign(std::istreambuf_iterator<char>(in), {});
        } catch (const std::ios_base::failure&) { // a directory opens but cannot be read
            pattern.clear();
        }
        if (pattern.empty()) {
            std::fprintf(stderr, "tessavue-vdev: cannot read a byte from --file '%s'\n",
                         options.file.c_str());
            return std::nullopt;
        }
    } else {
        std::fprintf(stderr, "tessavue-vdev: unknown wave '%s'\n%s", options.wave.c_str(), kUsage);
        return std::nullopt;
    }
    return pattern;
}

// What the device sends: prefix once, then pattern over and over.
struct Stream {
    std::vector<uint8_t> prefix;
    std::vector<uint8_t> pattern;
};

// One period of 256 samples in a --format: text lines of a sine and a cosine, or binary frames
// whose channel k is a sine shifted by k/8 of a period, in the range its field type holds.
std::optional<Stream> makeNumbers(const Options& options) {
    Stream stream;
    auto append = [](std::vector<uint8_t>& to, std::string_view text) {
        to.insert(to.end(), text.begin(), text.end());
    };
    const std::string& f = options.format;
    std::string why;
    std::optional<lens::Format> lens;
    if (f != "labels" && f != "csv" && f != "header") {
        lens = lens::parseFormat(f, &why);
        if (!lens || lens->kind != lens::Format::Kind::Binary) {
            std::fprintf(stderr,
                         "tessavue-vdev: --format '%s' is neither labels, csv, header nor "
                         "a binary lens%s%s\n%s",
                         f.c_str(), why.empty() ? "" : ": ", why.c_str(), kUsage);
            return std::nullopt;
        }
    }
    if (f == "header") append(stream.prefix, "sin,cos\r\n");
    for (int i = 0; i < 256; ++i) {
        const double angle = 2 * std::numbers::pi * i / 256;
        if (!lens) {
            char line[64];
            std::snprintf(line, sizeof line,
                          f == "labels" ? "sin:%.4f\tcos:%.4f\r\n" : "%.4f,%.4f\r\n",
                          std::sin(angle), std::cos(angle));
            append(stream.pattern, line);
            continue;
        }
        std::vector<double> values;
        for (const lens::Field& field : lens->fields) {
            const bool floating =
                field.type == lens::FieldType::F32 || field.type == lens::FieldType::F64;
            const bool narrow =
                field.type == lens::FieldType::U8 || field.type == lens::FieldType::I8;
            const bool unsignedType = field.type == lens::FieldType::U8 ||
                                      field.type == lens::FieldType::U16 ||
                                      field.type == lens::FieldType::U32;
            const double amplitude = floating ? 1 : narrow ? 100 : 1000;
            const double wave = std::sin(angle + std::numbers::pi * double(values.size()) / 4);
            values.push_back((unsignedType ? amplitude : 0) + amplitude * wave);
        }
        std::vector<uint8_t> frame = lens::encodeFrame(*lens, values.data());
        stream.pattern.insert(stream.pattern.end(), frame.begin(), frame.end());
        if (options.garbageEvery > 0 && (i + 1) % options.garbageEvery == 0)
            for (uint8_t b : {0x13, 0x37, 0x00, 0xFF, 0x42}) // never the sync's first byte
                stream.pattern.push_back(lens->sync.empty() || b != lens->sync[0] ? b
                                                                                  : uint8_t(~b));
    }
    return stream;
}

// Makes link point at target, replacing a symlink left there by an earlier run.
bool placeLink(const std::string& target, const std::string& link) {
    if (symlink(target.c_str(), link.c_str()) == 0) return true;
    struct stat info {};
    if (errno != EEXIST || lstat(link.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return false;
    return unlink(link.c_str()) == 0 && symlink(target.c_str(), link.c_str()) == 0;
}

// A pseudo-terminal reachable at a link, as long as it is plugged in.
class Device {
public:
    explicit Device(std::string link) : link_(std::move(link)) {}
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    ~Device() { unplug(false); }

    bool pluggedIn() const { return master_ >= 0; }
    int master() const { return master_; }

    // Prints why when the device cannot be made.
    bool plugIn() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            std::perror("tessavue-vdev: cannot create a pseudo-terminal");
            return false;
        }
        std::string slavePath = ptsname(master_);
        // Holding the slave open keeps the master writable while no program has the port open;
        // the bytes that pile up meanwhile are discarded by whoever opens the port. Raw, so
        // nothing is echoed back into the master, which nobody reads.
        slave_ = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        if (slave_ < 0 || tcgetattr(slave_, &raw) != 0) {
            std::perror("tessavue-vdev: cannot open the pseudo-terminal");
            return false;
        }
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        if (!placeLink(slavePath, link_)) {
            std::fprintf(stderr, "tessavue-vdev: cannot create %s: %s\n", link_.c_str(),
                         std::strerror(errno));
            return false;
        }
        std::printf("%s\n", link_.c_str());
        std::fflush(stdout);
        return true;
    }

    // With afterReading, what was sent is read first (for two seconds at most): a hang-up throws
    // away whatever the reading side has not taken yet, and a pulled cable would have delivered
    // it.
    void unplug(bool afterReading) {
        if (master_ < 0) return;
        const timespec pause{0, 10'000'000};
        int waiting = 0;
        for (int i = 0;
             afterReading && i < 200 && ioctl(slave_, FIONREAD, &waiting) == 0 && waiting > 0; ++i)
            nanosleep(&pause, nullptr);
        unlink(link_.c_str());
        close(slave_);
        close(master_);
        master_ = slave_ = -1;
    }

private:
    const std::string link_;
    int master_ = -1;
    int slave_ = -1;
};

double secondsSince(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec - start.tv_sec) + double(now.tv_nsec - start.tv_nsec) * 1e-9;
}

// Reads what the port is sent until it has brought text; false when stopped first.
bool waitToHear(const Device& device, const std::string& text) {
    const timespec pause{0, 2'000'000};
    std::string heard;
    char buffer[4096];
    for (;;) {
        if (heard.find(text) != std::string::npos) return true;
        // Only the tail can still hold the start of text.
        if (heard.size() >= text.size()) heard.erase(0, heard.size() - (text.size() - 1));
        if (stopRequested) return false;
        const ssize_t n = read(device.master(), buffer, sizeof buffer);
        if (n > 0)
            heard.append(buffer, static_cast<size_t>(n));
        else
            nanosleep(&pause, nullptr);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::optional<Options> options = parseOptions(argc, argv);
    std::optional<Stream> stream;
    if (options && !options->format.empty()) {
        stream = makeNumbers(*options);
    } else if (options) {
        if (std::optional<std::vector<uint8_t>> pattern = makePattern(*options))
            stream = Stream{{}, std::move(*pattern)};
    }
    if (!stream) return 2;
    if (!options->banner.empty()) {
        const std::string line = options->banner + "\r\n";
        stream->prefix.insert(stream->prefix.begin(), line.begin(), line.end());
    }
    // The n-th byte sent, counting from the first of the prefix.
    auto byteAt = [&](uint64_t n) {
        return n < stream->prefix.size()
                   ? stream->prefix[n]
                   : stream->pattern[(n - stream->prefix.size()) % stream->pattern.size()];
    };

    FILE* record = nullptr;
    if (!options->record.empty() && !(record = std::fopen(options->record.c_str(), "wb"))) {
        std::fprintf(stderr, "tessavue-vdev: cannot create %s: %s\n", options->record.c_str(),
                     std::strerror(errno));
        return 1;
    }
    // Caught before the link exists, so a stop never leaves it behind.
    struct sigaction action {};
    action.sa_handler = onSignal;
    for (int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2})
        sigaction(signal, &action, nullptr);
    Device device(options->link);
    if (!device.plugIn()) return 1;
    if (!waitToHear(device, options->waitFor)) {
        device.unplug(false);
        return 0;
    }

    // Sends what is due every 2 ms so the stream is smooth; what the pty does not take is
    // skipped, not sent late, and the waveform goes on from the last byte that went out.
    const double bytesPerSecond = options->baud / 10;
    const timespec tick{0, 2'000'000};
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const size_t mostPerTick = 64 * 1024; // a pty takes no more at once anyway
    uint64_t due = 0;
    uint64_t position = 0;
    std::vector<uint8_t> chunk;
    while (!stopRequested && !(options->seconds && secondsSince(start) >= *options->seconds)) {
        nanosleep(&tick, nullptr);
        if (unplugRequested && device.pluggedIn()) {
            device.unplug(true);
            if (record) std::fflush(record);
            std::printf("unplugged\n");
            std::fflush(stdout);
        }
        if (plugRequested && !device.pluggedIn() && !device.plugIn()) return 1;
        unplugRequested = 0;
        plugRequested = 0;
        uint64_t nowDue = static_cast<uint64_t>(secondsSince(start) * bytesPerSecond);
        chunk.clear();
        for (uint64_t i = 0; i < std::min<uint64_t>(nowDue - due, mostPerTick); ++i)
            chunk.push_back(byteAt(position + i));
        due = nowDue;
        ssize_t written = chunk.empty() || !device.pluggedIn()
                              ? 0
                              : write(device.master(), chunk.data(), chunk.size());
        if (written <= 0) continue;
        position += static_cast<uint64_t>(written);
        if (record) std::fwrite(chunk.data(), 1, static_cast<size_t>(written), record);
    }

    device.unplug(false);
    if (record) std::fclose(record);
    return 0;
}
