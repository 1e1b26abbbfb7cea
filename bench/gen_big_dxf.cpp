// dxflist-gen-bench: writes a large ASCII DXF file shaped like AutoCAD R2000 output, for timing.
//
// Usage: dxflist-gen-bench OUT.dxf SIZE_MB [crlf|lf]
//
// What the listing's speed depends on is kept: line lengths, the share of hidden groups (handles,
// subclass markers, owners) and of "0" pairs, values over and under 16 bytes, header variables
// with several values, Japanese text in code page 932. The output depends only on the
// arguments: a fixed-seed splitmix64 and integer arithmetic, no floating point or
// library-defined distribution that could change a byte between platforms.

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

class Rng {
  public:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    std::int64_t range(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(hi - lo) + 1));
    }
    bool chance(unsigned percent) { return below(100) < percent; }
    template <typename List>
    const auto& pick(const List& items) {
        return items[below(std::size(items))];
    }

  private:
    std::uint64_t state_ = 0x5EED0F0DCAD2000ull;
};

// Reals are held as ten-thousandths.
constexpr std::int64_t kOne = 10000;

// Writes group pairs as AutoCAD does: codes right-aligned in three columns, integers padded to
// six columns (nine for 32-bit codes), reals in their shortest form with one decimal at least,
// handles in upper-case hex.
class Writer {
  public:
    Writer(std::FILE* file, std::string_view eol) : file_(file), eol_(eol) {}
    std::uint64_t size() const { return written_ + buffer_.size(); }
    bool flush() {
        const bool ok = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
        written_ += buffer_.size();
        buffer_.clear();
        return ok;
    }
    void str(int code, std::string_view value) {
        char digits[8];
        const std::string_view c(digits, std::to_chars(digits, digits + 8, code).ptr - digits);
        buffer_.append(c.size() < 3 ? 3 - c.size() : 0, ' ').append(c).append(eol_);
        buffer_.append(value).append(eol_);
        if (buffer_.size() > (1u << 22) && !flush()) failed_ = true;
    }
    void integer(int code, std::int64_t value) {
        const std::string digits = std::to_string(value);
        const std::size_t width = code >= 90 && code <= 99 ? 9 : 6;
        str(code, std::string(digits.size() < width ? width - digits.size() : 0, ' ') + digits);
    }
    void real(int code, std::int64_t fixed) {
        const std::uint64_t mag = fixed < 0 ? 0 - static_cast<std::uint64_t>(fixed) : fixed;
        std::string text = (fixed < 0 ? "-" : "") + std::to_string(mag / kOne) + ".";
        std::string frac = std::to_string(mag % kOne + kOne).substr(1);
        while (frac.size() > 1 && frac.back() == '0') frac.pop_back();
        str(code, text + frac);
    }
    void handle(int code, std::uint64_t h) {
        char hex[20];
        str(code, std::string_view(hex, std::to_chars(hex, hex + 20, h, 16).ptr - hex));
    }
    bool failed() const { return failed_; }

  private:
    std::FILE* file_;
    std::string_view eol_;
    std::string buffer_;
    std::uint64_t written_ = 0;
    bool failed_ = false;
};

// The lines of a text, as views into it.
std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> all;
    for (std::size_t end; !text.empty(); text.remove_prefix(std::min(end + 1, text.size()))) {
        end = std::min(text.find('\n'), text.size());
        all.push_back(text.substr(0, end));
    }
    return all;
}

// Japanese in code page 932. Several second bytes are 0x5C ('\'), 0x7D ('}') or 0x40 ('@'),
// which a byte-wise scanner mistakes for ASCII; 0xA1-0xDF are half-width katakana; 0x87xx are
// NEC extensions found only in CP932.
// 日本語 平面図 表示 ソフト 一覧表 ｶﾀｶﾅ 寸法 会議室 事務所 予定 ① ㎡ 図面番号 株式会社
const std::vector<std::string_view> kPhrases = lines(
    "\x93\xfa\x96\x7b\x8c\xea\n\x95\xbd\x96\xca\x90\x7d\n\x95\x5c\x8e\xa6\n\x83\x5c\x83\x74\x83\x67"
    "\n\x88\xea\x97\x97\x95\x5c\n\xb6\xc0\xb6\xc5\n\x90\xa1\x96\x40\n\x89\xef\x8b\x63\x8e\xba\n\x8e"
    "\x96\x96\xb1\x8f\x8a\n\x97\x5c\x92\xe8\n\x87\x40\n\x87\x75\n\x90\x7d\x96\xca\x94\xd4\x8d\x86\n"
    "\x8a\x94\x8e\xae\x89\xef\x8e\xd0");
// The last six: 壁 外壁 建具 寸法線 設備_電気 ｶﾞｲﾍｷ
const std::vector<std::string_view> kLayers = lines(
    "A-WALL\nA-DOOR\nA-GLAZ\nA-FURN\nS-COLS\nS-GRID\nE-LITE\nM-HVAC\nG-ANNO-TEXT\nG-ANNO-"
    "DIMS\n\x95\xc7\n\x8a\x4f\x95\xc7\n\x8c\x9a\x8b\xef\n\x90\xa1\x96\x40\x90\xfc\n\x90\xdd\x94\xf5"
    "_\x93\x64\x8b\x43\n\xb6\xde\xb2\xcd\xb7");
constexpr std::string_view kAsciiWords[] = {"ROOM", "DOOR", "WINDOW", "GRID", "LEVEL", "NOTE"};
constexpr std::string_view kLinetypes[] = {"DASHED", "CENTER", "HIDDEN", "Continuous"};
constexpr std::int64_t kTextHeights[] = {25000, 35000, 250 * kOne, 350 * kOne, 500 * kOne};
// Two blocks: a door and a title block with a Japanese name whose first byte pair holds 0x5C.
constexpr std::string_view kBlocks[] = {"DOOR-900", "\x95\x5c\x91\xe8\x97\x93"};  // 表題欄
// A few header variables, of one value, of several, and of a handle.
constexpr std::string_view kHeader[][2] = {
    {"$ACADVER", "1 AC1015"},
    {"$DWGCODEPAGE", "3 ANSI_932"},
    {"$INSBASE", "10 0.0 0.0 0.0"},
    {"$EXTMIN", "10 -5000.0 -5000.0 0.0"},
    {"$EXTMAX", "10 89100.0 64400.0 0.0"},
    {"$LIMMAX", "10 84100.0 59400.0"},
    {"$ORTHOMODE", "70 0"},
    {"$LTSCALE", "40 100.0"},
    {"$TEXTSTYLE", "7 Standard"},
    {"$CLAYER", "8 0"},
    {"$DIMSTYLE", "2 ISO-25"},
    {"$TDCREATE", "40 2460285.387453704"},
    {"$HANDSEED", "5 FFFFFF"},
    {"$MENU", "1 acad"},
    {"$FINGERPRINTGUID", "2 {4F0C9A3E-6B21-4D8A-9C3F-2E7B5A1D8C60}"},
};

class Generator {
  public:
    Generator(Writer& out, std::uint64_t target) : out_(out), target_(target) {}

    std::uint64_t run() {
        out_.str(999, "dxflist benchmark drawing, generated by dxflist-gen-bench");
        section("HEADER");
        for (const auto& [name, value] : kHeader) {
            out_.str(9, name);
            int code = std::atoi(value.data());
            std::string_view rest = value.substr(value.find(' ') + 1);
            for (; !rest.empty(); code += 10) {
                const std::size_t space = std::min(rest.find(' '), rest.size());
                out_.str(code, rest.substr(0, space));
                rest.remove_prefix(std::min(space + 1, rest.size()));
            }
        }
        out_.str(0, "ENDSEC");
        section("TABLES");
        out_.str(0, "TABLE");
        out_.str(2, "LAYER");
        out_.handle(5, 2);
        out_.handle(330, 0);
        out_.str(100, "AcDbSymbolTable");
        out_.integer(70, static_cast<std::int64_t>(kLayers.size()));
        for (std::string_view layer : kLayers) {
            object("LAYER", 2, "AcDbSymbolTableRecord");
            out_.str(100, "AcDbLayerTableRecord");
            out_.str(2, layer);
            out_.integer(70, 0);
            out_.integer(62, static_cast<std::int64_t>(1 + rng_.below(255)));
            out_.str(6, "Continuous");
        }
        out_.str(0, "ENDTAB");
        out_.str(0, "ENDSEC");
        section("BLOCKS");
        inBlock_ = true;
        for (std::string_view name : kBlocks) {
            object("BLOCK", 0x1F, "AcDbEntity");
            out_.str(8, "0");
            out_.str(100, "AcDbBlockBegin");
            out_.str(2, name);
            out_.integer(70, 0);
            point(10, 0, 0);
            out_.str(3, name);
            for (int i = name.size() == 8 ? 4 : 12; i > 0; --i) entity(0x1F);
            object("ENDBLK", 0x1F, "AcDbEntity");
            out_.str(8, "0");
            out_.str(100, "AcDbBlockEnd");
        }
        inBlock_ = false;
        out_.str(0, "ENDSEC");
        section("ENTITIES");
        std::uint64_t count = 0;
        for (; out_.size() < target_; ++count) entity(0x1E);
        out_.str(0, "ENDSEC");
        out_.str(0, "EOF");
        return count;
    }

  private:
    void section(std::string_view name) {
        out_.str(0, "SECTION");
        out_.str(2, name);
    }
    void object(std::string_view type, std::uint64_t owner, std::string_view subclass) {
        out_.str(0, type);
        out_.handle(5, handle_++);
        out_.handle(330, owner);
        out_.str(100, subclass);
    }
    // Whole millimetres 40% of the time, as hand-entered values are.
    std::int64_t coord(std::int64_t limit) {
        std::int64_t v = inBlock_ ? rng_.range(-1000 * kOne, 1000 * kOne) : rng_.range(0, limit);
        if (rng_.chance(40)) v -= v % kOne;
        return v;
    }
    std::int64_t offset(std::int64_t units) { return rng_.range(-units * kOne, units * kOne); }
    void point(int code, std::int64_t x, std::int64_t y) {
        out_.real(code, x);
        out_.real(code + 10, y);
        out_.real(code + 20, 0);
    }
    // x before y in separate statements: the order of evaluating arguments is unspecified.
    void randomPoint() {
        const std::int64_t x = coord(84100 * kOne);
        point(10, x, coord(59400 * kOne));
    }
    std::string text() {
        std::string t(rng_.pick(kPhrases));
        switch (rng_.below(5)) {
            case 0:
                return t + ' ' + std::to_string(100 + rng_.below(900));
            case 1:
                return std::string(rng_.pick(kAsciiWords)) + ' ' + std::to_string(rng_.below(999));
            case 2:
                return "%%c" + std::to_string(50 + rng_.below(950));
            case 3:
                return t + std::string(rng_.pick(kPhrases));
            default:
                return t;
        }
    }
    // The entity mix of a building plan: mostly lines and polylines, then text, arcs, circles,
    // block references, points; one in fifty with extended data.
    void entity(std::uint64_t owner) {
        const std::uint64_t r = rng_.below(100);
        const char* const types[][2] = {{"LINE", "AcDbLine"},
                                        {"LWPOLYLINE", "AcDbPolyline"},
                                        {"CIRCLE", "AcDbCircle"},
                                        {"ARC", "AcDbCircle"},
                                        {"TEXT", "AcDbText"},
                                        {"MTEXT", "AcDbMText"},
                                        {"INSERT", "AcDbBlockReference"},
                                        {"POINT", "AcDbPoint"}};
        const int kind = r < 38   ? 0
                         : r < 52 ? 1
                         : r < 62 ? 2
                         : r < 72 ? 3
                         : r < 84 ? 4
                         : r < 88 ? 5
                         : r < 95 ? 6
                                  : 7;
        out_.str(0, types[kind][0]);
        out_.handle(5, handle_++);
        out_.handle(330, owner);
        out_.str(100, "AcDbEntity");
        out_.str(8, inBlock_ ? "0" : rng_.pick(kLayers));
        if (rng_.chance(8)) out_.str(6, rng_.pick(kLinetypes));
        if (rng_.chance(15)) out_.integer(62, static_cast<std::int64_t>(1 + rng_.below(255)));
        out_.str(100, types[kind][1]);
        if (kind == 0) {  // mostly horizontal or vertical, as in building plans
            const std::int64_t x = coord(84100 * kOne), y = coord(59400 * kOne);
            point(10, x, y);
            const bool across = rng_.chance(50);
            const std::int64_t d = offset(5000);
            point(11, across ? x + d : x, across ? y : y + d);
        } else if (kind == 1) {
            const auto n = static_cast<std::int64_t>(2 + rng_.below(11));
            out_.integer(90, n);
            out_.integer(70, n > 2 && rng_.chance(60) ? 1 : 0);
            out_.real(43, 0);
            const std::int64_t x0 = coord(84100 * kOne), y0 = coord(59400 * kOne);
            for (std::int64_t i = 0, x = x0, y = y0; i < n; ++i) {
                out_.real(10, x);
                out_.real(20, y);
                if (rng_.chance(10)) out_.real(42, 4142);
                (i % 2 == 0 ? x : y) = (i % 2 == 0 ? x0 : y0) + offset(4000);
            }
        } else if (kind == 2 || kind == 3) {
            randomPoint();
            out_.real(40, rng_.range(10 * kOne, 1500 * kOne));
            if (kind == 3) {
                out_.str(100, "AcDbArc");
                const std::int64_t start = rng_.range(0, 360 * kOne - 1);
                out_.real(50, start);
                out_.real(51, (start + rng_.range(kOne, 270 * kOne)) % (360 * kOne));
            }
        } else if (kind == 4) {
            randomPoint();
            out_.real(40, rng_.pick(kTextHeights));
            out_.str(1, text());
            if (rng_.chance(20)) out_.real(50, 90 * kOne);
            if (rng_.chance(30)) out_.str(7, "\x83\x53\x83\x56\x83\x62\x83\x4e");  // ゴシック
            out_.str(100, "AcDbText");
        } else if (kind == 5) {
            // Long notes come in pieces of at most 250 bytes, whole characters each.
            randomPoint();
            out_.real(40, rng_.pick(kTextHeights));
            out_.integer(71, 1);
            std::string note = "{\\fMS Gothic|b0|i0|c128|p49;" + text() + "}";
            for (int i = rng_.chance(15) ? static_cast<int>(30 + rng_.below(60)) : 0; i > 0; --i) {
                if (note.size() > 230) {
                    out_.str(3, note);
                    note.clear();
                }
                note += "\\P" + text();
            }
            out_.str(1, note);
        } else if (kind == 6) {
            out_.str(2, rng_.pick(kBlocks));
            randomPoint();
            if (rng_.chance(40)) out_.real(50, 90 * kOne * rng_.range(1, 3));
        } else {
            randomPoint();
        }
        if (rng_.chance(2)) {
            out_.str(1001, "DXFLIST_BENCH");
            out_.str(1000, rng_.pick(kPhrases));
            out_.integer(1070, static_cast<std::int64_t>(rng_.below(1000)));
        }
    }

    Writer& out_;
    std::uint64_t target_;
    Rng rng_;
    std::uint64_t handle_ = 0x20;
    bool inBlock_ = false;
};

int usage() {
    std::fputs("usage: dxflist-gen-bench OUT.dxf SIZE_MB [crlf|lf]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return usage();
    const std::string_view mode = argc == 4 ? argv[3] : "crlf";
    if (mode != "crlf" && mode != "lf") return usage();
    const std::string_view size = argv[2];
    double mb = -1;
    const auto parsed = std::from_chars(size.data(), size.data() + size.size(), mb);
    if (parsed.ec != std::errc{} || parsed.ptr != size.data() + size.size() ||
        !(mb >= 0 && mb <= 1e6))
        return usage();
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "dxflist-gen-bench: cannot create %s: %s\n", argv[1],
                     std::strerror(errno));
        return 1;
    }
    Writer out(file, mode == "lf" ? "\n" : "\r\n");
    const std::uint64_t count =
        Generator(out, static_cast<std::uint64_t>(std::llround(mb * 1e6))).run();
    if (!out.flush() || out.failed() || std::fclose(file) != 0) {
        std::fprintf(stderr, "dxflist-gen-bench: error writing %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %llu bytes, %llu entities\n", argv[1],
                static_cast<unsigned long long>(out.size()),
                static_cast<unsigned long long>(count));
    return 0;
}
