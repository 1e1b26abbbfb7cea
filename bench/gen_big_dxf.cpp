// dxflist-gen-bench: writes a large ASCII DXF file shaped like AutoCAD R2000 output, for timing.
//
// Usage: dxflist-gen-bench OUT.dxf SIZE_MB [crlf|lf]
//
// The output depends only on the arguments: the random numbers come from a fixed-seed
// splitmix64 and every real is held as an integer number of ten-thousandths, so no
// floating point or library-defined distribution can change a byte between platforms.

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr std::uint64_t kSeed = 0x5EED0F0DCAD2000ull;

class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Modulo bias does not matter for test data.
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    std::int64_t range(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(hi - lo) + 1));
    }
    bool chance(unsigned percent) { return below(100) < percent; }
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(N)];
    }

  private:
    std::uint64_t state_;
};

// Fixed-point reals: value * 10000.
constexpr std::int64_t kOne = 10000;

// AutoCAD pads 16-bit integer values to 6 columns and 32-bit ones to 9.
int int_width(int code) {
    if ((code >= 90 && code <= 99) || (code >= 420 && code <= 429) || code == 1071) return 9;
    return 6;
}

bool is_int_code(int code) {
    return (code >= 60 && code <= 99) || (code >= 170 && code <= 179) ||
           (code >= 270 && code <= 299) || (code >= 370 && code <= 389) ||
           (code >= 400 && code <= 409) || (code >= 420 && code <= 429) ||
           (code >= 1060 && code <= 1071);
}

// Collects output in one large block and hands it to fwrite in big chunks.
class Writer {
  public:
    Writer(std::FILE* file, std::string_view eol)
        : file_(file), eol_(eol), buf_(std::make_unique<char[]>(kCapacity)) {}

    std::uint64_t size() const { return flushed_ + used_; }
    bool ok() const { return ok_; }

    void flush() {
        if (used_ != 0 && std::fwrite(buf_.get(), 1, used_, file_) != used_) ok_ = false;
        flushed_ += used_;
        used_ = 0;
    }

    void str(int code, std::string_view value) {
        char* p = begin(code, value.size());
        std::memcpy(p, value.data(), value.size());
        end(p + value.size());
    }

    void integer(int code, std::int64_t value) {
        char* p = begin(code, 24);
        char digits[24];
        const auto res = std::to_chars(digits, digits + sizeof digits, value);
        const auto len = static_cast<int>(res.ptr - digits);
        for (int pad = int_width(code) - len; pad > 0; --pad) *p++ = ' ';
        std::memcpy(p, digits, static_cast<std::size_t>(len));
        end(p + len);
    }

    // Shortest form with at least one decimal, as AutoCAD writes: "0.0", "12.5", "1234.5678".
    void real(int code, std::int64_t fixed) {
        char* p = begin(code, 32);
        std::uint64_t mag = static_cast<std::uint64_t>(fixed);
        if (fixed < 0) {
            *p++ = '-';
            mag = 0 - mag;
        }
        p = std::to_chars(p, p + 24, mag / kOne).ptr;
        *p++ = '.';
        unsigned frac = static_cast<unsigned>(mag % kOne);
        if (frac == 0) {
            *p++ = '0';
        } else {
            char d[4];
            for (int i = 3; i >= 0; --i, frac /= 10) d[i] = static_cast<char>('0' + frac % 10);
            int n = 4;
            while (d[n - 1] == '0') --n;
            std::memcpy(p, d, static_cast<std::size_t>(n));
            p += n;
        }
        end(p);
    }

    // Handles are upper-case hex without leading zeros.
    void handle(int code, std::uint64_t h) {
        char* p = begin(code, 16);
        char d[16];
        int n = 0;
        do {
            d[n++] = "0123456789ABCDEF"[h & 0xF];
            h >>= 4;
        } while (h != 0);
        while (n > 0) *p++ = d[--n];
        end(p);
    }

  private:
    static constexpr std::size_t kCapacity = std::size_t{1} << 22;

    // Reserves room for the code line and a value of up to max_value bytes.
    char* begin(int code, std::size_t max_value) {
        if (kCapacity - used_ < max_value + 16) flush();
        char* p = buf_.get() + used_;
        if (code < 10) {
            *p++ = ' ';
            *p++ = ' ';
        } else if (code < 100) {
            *p++ = ' ';
        }
        p = std::to_chars(p, p + 8, code).ptr;
        std::memcpy(p, eol_.data(), eol_.size());
        return p + eol_.size();
    }

    void end(char* p) {
        std::memcpy(p, eol_.data(), eol_.size());
        used_ = static_cast<std::size_t>(p + eol_.size() - buf_.get());
    }

    std::FILE* file_;
    std::string_view eol_;
    std::unique_ptr<char[]> buf_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0;
    bool ok_ = true;
};

// Japanese text as code page 932 bytes. Several second bytes are 0x5C ('\'), 0x7B ('{'),
// 0x7D ('}') or 0x40 ('@'), which a byte-wise scanner mistakes for ASCII; the 0xA1-0xDF
// bytes are single-byte half-width katakana; 0x87xx are NEC extensions found only in CP932.
constexpr std::string_view kPhrases[] = {
    "\x93\xfa\x96\x7b\x8c\xea",          // 日本語
    "\x95\xbd\x96\xca\x90\x7d",          // 平面図
    "\x95\x5c\x8e\xa6",                  // 表示 (表 = 95 5C)
    "\x83\x5c\x83\x74\x83\x67",          // ソフト (ソ = 83 5C)
    "\x94\x5c\x97\xcd",                  // 能力 (能 = 94 5C)
    "\x88\xea\x97\x97\x95\x5c",          // 一覧表, last byte 5C
    "\xb6\xc0\xb6\xc5",                  // ｶﾀｶﾅ
    "\xc0\xde\xdd\xd2\xdd",              // ﾀﾞﾝﾒﾝ
    "\xba\xdd\xbe\xdd\xc4",              // ｺﾝｾﾝﾄ
    "\x90\xa1\x96\x40",                  // 寸法
    "\x82\x50\x8a\x4b",                  // １階
    "\x89\xef\x8b\x63\x8e\xba",          // 会議室
    "\x8e\x96\x96\xb1\x8f\x8a",          // 事務所
    "\x98\x4c\x89\xba",                  // 廊下
    "\x8a\x4b\x92\x69",                  // 階段
    "\x8b\x40\x8a\x42\x8e\xba",          // 機械室
    "\x97\x5c\x92\xe8",                  // 予定 (予 = 97 5C)
    "\x90\x5c\x90\xbf",                  // 申請 (申 = 90 5C)
    "\x8d\x5c\x91\xa2",                  // 構造 (構 = 8D 5C)
    "\x87\x40",                          // ①
    "\x87\x75",                          // ㎡
    "\x90\x7d\x96\xca\x94\xd4\x8d\x86",  // 図面番号
    "\x8f\x6b\x8e\xda",                  // 縮尺
    "\x8a\x94\x8e\xae\x89\xef\x8e\xd0",  // 株式会社
    "\x97\x81\x8e\xba",                  // 浴室
    "\x8c\xba\x8a\xd6",                  // 玄関
};

constexpr std::string_view kScaleWord = "\x8f\x6b\x8e\xda";  // 縮尺
constexpr std::int64_t kScales[] = {20, 50, 100, 200, 500};

constexpr std::string_view kAsciiWords[] = {"ROOM", "DOOR", "WINDOW", "GRID", "LEVEL", "NOTE"};

constexpr std::string_view kLayerBases[] = {
    "A-WALL",
    "A-DOOR",
    "A-GLAZ",
    "A-FLOR",
    "A-FURN",
    "A-CLNG",
    "S-COLS",
    "S-BEAM",
    "S-GRID",
    "E-LITE",
    "E-POWR",
    "M-HVAC",
    "P-SANR",
    "C-TOPO",
    "G-ANNO-TEXT",
    "G-ANNO-DIMS",
    "\x95\xc7",                           // 壁
    "\x8a\x4f\x95\xc7",                   // 外壁
    "\x93\xe0\x95\xc7",                   // 内壁
    "\x8c\x9a\x8b\xef",                   // 建具
    "\x92\xca\x82\xe8\x90\x63",           // 通り芯
    "\x90\xa1\x96\x40\x90\xfc",           // 寸法線
    "\x95\xb6\x8e\x9a",                   // 文字
    "\x95\x5c",                           // 表
    "\x90\xdd\x94\xf5_\x93\x64\x8b\x43",  // 設備_電気
    "\x8d\x5c\x91\xa2_\x92\x8c",          // 構造_柱
    "\x8f\xc6\x96\xbe",                   // 照明
    "\x8b\xf3\x92\xb2",                   // 空調
    "\x8b\x8b\x94\x72\x90\x85",           // 給排水
    "\x93\x56\x88\xe4",                   // 天井
    "\x8a\xee\x91\x62",                   // 基礎
    "\xb6\xde\xb2\xcd\xb7",               // ｶﾞｲﾍｷ
    "\x88\xea\x97\x97\x95\x5c",           // 一覧表
};

constexpr std::string_view kLinetypes[] = {"DASHED", "CENTER", "HIDDEN", "Continuous"};
constexpr std::int64_t kLineweights[] = {-3, -2, 13, 18, 25, 35, 50, 70};
constexpr std::int64_t kTextHeights[] = {2 * kOne + 5000, 3 * kOne + 5000, 250 * kOne, 350 * kOne,
                                         500 * kOne};

struct BlockDef {
    std::string_view name;
    int entities;
};

constexpr BlockDef kUserBlocks[] = {
    {"DOOR-900", 4},
    {"WIN-1800", 6},
    {"COLUMN-600", 5},
    {"GRID-MARK", 2},
    {"\x92\xca\x82\xe8\x90\x63\x8b\x4c\x8d\x86", 3},  // 通り芯記号
    {"\x95\x5c\x91\xe8\x97\x93", 12},                 // 表題欄 (表 = 95 5C)
    {"\x94\xe0", 3},                                  // 扉
    {"\x91\x8b", 4},                                  // 窓
};

struct HeaderVar {
    std::string_view name;
    int code;
    std::string_view value;  // for code 10: space-separated coordinates, written as 10/20/30
};

constexpr HeaderVar kHeader[] = {
    {"$ACADVER", 1, "AC1015"},
    {"$ACADMAINTVER", 70, "6"},
    {"$DWGCODEPAGE", 3, "ANSI_932"},
    {"$INSBASE", 10, "0.0 0.0 0.0"},
    {"$EXTMIN", 10, "-5000.0 -5000.0 0.0"},
    {"$EXTMAX", 10, "89100.0 64400.0 0.0"},
    {"$LIMMIN", 10, "0.0 0.0"},
    {"$LIMMAX", 10, "84100.0 59400.0"},
    {"$ORTHOMODE", 70, "0"},
    {"$REGENMODE", 70, "1"},
    {"$FILLMODE", 70, "1"},
    {"$QTEXTMODE", 70, "0"},
    {"$MIRRTEXT", 70, "0"},
    {"$LTSCALE", 40, "100.0"},
    {"$ATTMODE", 70, "1"},
    {"$TEXTSIZE", 40, "350.0"},
    {"$TRACEWID", 40, "1.0"},
    {"$TEXTSTYLE", 7, "Standard"},
    {"$CLAYER", 8, "0"},
    {"$CELTYPE", 6, "ByLayer"},
    {"$CECOLOR", 62, "256"},
    {"$CELTSCALE", 40, "1.0"},
    {"$DISPSILH", 70, "0"},
    {"$DIMSCALE", 40, "100.0"},
    {"$DIMASZ", 40, "2.5"},
    {"$DIMEXO", 40, "0.625"},
    {"$DIMDLI", 40, "3.75"},
    {"$DIMEXE", 40, "1.25"},
    {"$DIMRND", 40, "0.0"},
    {"$DIMDLE", 40, "0.0"},
    {"$DIMTP", 40, "0.0"},
    {"$DIMTM", 40, "0.0"},
    {"$DIMTXT", 40, "2.5"},
    {"$DIMCEN", 40, "2.5"},
    {"$DIMTSZ", 40, "0.0"},
    {"$DIMTOL", 70, "0"},
    {"$DIMLIM", 70, "0"},
    {"$DIMTIH", 70, "0"},
    {"$DIMTOH", 70, "0"},
    {"$DIMSE1", 70, "0"},
    {"$DIMSE2", 70, "0"},
    {"$DIMTAD", 70, "1"},
    {"$DIMZIN", 70, "8"},
    {"$DIMBLK", 1, ""},
    {"$DIMASO", 70, "1"},
    {"$DIMSHO", 70, "1"},
    {"$DIMPOST", 1, ""},
    {"$DIMAPOST", 1, ""},
    {"$DIMALT", 70, "0"},
    {"$DIMALTD", 70, "3"},
    {"$DIMALTF", 40, "0.03937007874016"},
    {"$DIMLFAC", 40, "1.0"},
    {"$DIMTOFL", 70, "1"},
    {"$DIMTVP", 40, "0.0"},
    {"$DIMTIX", 70, "0"},
    {"$DIMSOXD", 70, "0"},
    {"$DIMSAH", 70, "0"},
    {"$DIMBLK1", 1, ""},
    {"$DIMBLK2", 1, ""},
    {"$DIMSTYLE", 2, "ISO-25"},
    {"$DIMCLRD", 70, "0"},
    {"$DIMCLRE", 70, "0"},
    {"$DIMCLRT", 70, "0"},
    {"$DIMTFAC", 40, "1.0"},
    {"$DIMGAP", 40, "0.625"},
    {"$DIMJUST", 70, "0"},
    {"$DIMSD1", 70, "0"},
    {"$DIMSD2", 70, "0"},
    {"$DIMTOLJ", 70, "0"},
    {"$DIMTZIN", 70, "8"},
    {"$DIMALTZ", 70, "0"},
    {"$DIMALTTZ", 70, "0"},
    {"$DIMUPT", 70, "0"},
    {"$DIMDEC", 70, "2"},
    {"$DIMTDEC", 70, "2"},
    {"$DIMALTU", 70, "2"},
    {"$DIMALTTD", 70, "3"},
    {"$DIMTXSTY", 7, "Standard"},
    {"$DIMAUNIT", 70, "0"},
    {"$DIMADEC", 70, "0"},
    {"$DIMALTRND", 40, "0.0"},
    {"$DIMAZIN", 70, "0"},
    {"$DIMDSEP", 70, "46"},
    {"$DIMATFIT", 70, "3"},
    {"$DIMFRAC", 70, "0"},
    {"$DIMLDRBLK", 1, ""},
    {"$DIMLUNIT", 70, "2"},
    {"$DIMLWD", 70, "-2"},
    {"$DIMLWE", 70, "-2"},
    {"$DIMTMOVE", 70, "0"},
    {"$LUNITS", 70, "2"},
    {"$LUPREC", 70, "4"},
    {"$SKETCHINC", 40, "1.0"},
    {"$FILLETRAD", 40, "0.0"},
    {"$AUNITS", 70, "0"},
    {"$AUPREC", 70, "0"},
    {"$MENU", 1, "acad"},
    {"$ELEVATION", 40, "0.0"},
    {"$PELEVATION", 40, "0.0"},
    {"$THICKNESS", 40, "0.0"},
    {"$LIMCHECK", 70, "0"},
    {"$CHAMFERA", 40, "0.0"},
    {"$CHAMFERB", 40, "0.0"},
    {"$CHAMFERC", 40, "0.0"},
    {"$CHAMFERD", 40, "0.0"},
    {"$SKPOLY", 70, "0"},
    {"$TDCREATE", 40, "2460285.387453704"},
    {"$TDUCREATE", 40, "2460285.012453704"},
    {"$TDUPDATE", 40, "2460312.647997685"},
    {"$TDUUPDATE", 40, "2460312.272997685"},
    {"$TDINDWG", 40, "0.1473842593"},
    {"$TDUSRTIMER", 40, "0.1473842593"},
    {"$USRTIMER", 70, "1"},
    {"$ANGBASE", 50, "0.0"},
    {"$ANGDIR", 70, "0"},
    {"$PDMODE", 70, "0"},
    {"$PDSIZE", 40, "0.0"},
    {"$PLINEWID", 40, "0.0"},
    {"$SPLFRAME", 70, "0"},
    {"$SPLINETYPE", 70, "6"},
    {"$SPLINESEGS", 70, "8"},
    {"$HANDSEED", 5, ""},
    {"$SURFTAB1", 70, "6"},
    {"$SURFTAB2", 70, "6"},
    {"$SURFTYPE", 70, "6"},
    {"$SURFU", 70, "6"},
    {"$SURFV", 70, "6"},
    {"$UCSBASE", 2, ""},
    {"$UCSNAME", 2, ""},
    {"$UCSORG", 10, "0.0 0.0 0.0"},
    {"$UCSXDIR", 10, "1.0 0.0 0.0"},
    {"$UCSYDIR", 10, "0.0 1.0 0.0"},
    {"$UCSORTHOREF", 2, ""},
    {"$UCSORTHOVIEW", 70, "0"},
    {"$UCSORGTOP", 10, "0.0 0.0 0.0"},
    {"$UCSORGBOTTOM", 10, "0.0 0.0 0.0"},
    {"$UCSORGLEFT", 10, "0.0 0.0 0.0"},
    {"$UCSORGRIGHT", 10, "0.0 0.0 0.0"},
    {"$UCSORGFRONT", 10, "0.0 0.0 0.0"},
    {"$UCSORGBACK", 10, "0.0 0.0 0.0"},
    {"$PUCSBASE", 2, ""},
    {"$PUCSNAME", 2, ""},
    {"$PUCSORG", 10, "0.0 0.0 0.0"},
    {"$PUCSXDIR", 10, "1.0 0.0 0.0"},
    {"$PUCSYDIR", 10, "0.0 1.0 0.0"},
    {"$PUCSORTHOREF", 2, ""},
    {"$PUCSORTHOVIEW", 70, "0"},
    {"$PUCSORGTOP", 10, "0.0 0.0 0.0"},
    {"$PUCSORGBOTTOM", 10, "0.0 0.0 0.0"},
    {"$PUCSORGLEFT", 10, "0.0 0.0 0.0"},
    {"$PUCSORGRIGHT", 10, "0.0 0.0 0.0"},
    {"$PUCSORGFRONT", 10, "0.0 0.0 0.0"},
    {"$PUCSORGBACK", 10, "0.0 0.0 0.0"},
    {"$USERI1", 70, "0"},
    {"$USERI2", 70, "0"},
    {"$USERI3", 70, "0"},
    {"$USERI4", 70, "0"},
    {"$USERI5", 70, "0"},
    {"$USERR1", 40, "0.0"},
    {"$USERR2", 40, "0.0"},
    {"$USERR3", 40, "0.0"},
    {"$USERR4", 40, "0.0"},
    {"$USERR5", 40, "0.0"},
    {"$WORLDVIEW", 70, "1"},
    {"$SHADEDGE", 70, "3"},
    {"$SHADEDIF", 70, "70"},
    {"$TILEMODE", 70, "1"},
    {"$MAXACTVP", 70, "64"},
    {"$PINSBASE", 10, "0.0 0.0 0.0"},
    {"$PLIMCHECK", 70, "0"},
    {"$PEXTMIN", 10, "1.000000000000000E+20 1.000000000000000E+20 1.000000000000000E+20"},
    {"$PEXTMAX", 10, "-1.000000000000000E+20 -1.000000000000000E+20 -1.000000000000000E+20"},
    {"$PLIMMIN", 10, "0.0 0.0"},
    {"$PLIMMAX", 10, "420.0 297.0"},
    {"$UNITMODE", 70, "0"},
    {"$VISRETAIN", 70, "1"},
    {"$PLINEGEN", 70, "0"},
    {"$PSLTSCALE", 70, "1"},
    {"$TREEDEPTH", 70, "3020"},
    {"$CMLSTYLE", 2, "Standard"},
    {"$CMLJUST", 70, "0"},
    {"$CMLSCALE", 40, "20.0"},
    {"$PROXYGRAPHICS", 70, "1"},
    {"$MEASUREMENT", 70, "1"},
    {"$CELWEIGHT", 370, "-1"},
    {"$ENDCAPS", 280, "0"},
    {"$JOINSTYLE", 280, "0"},
    {"$LWDISPLAY", 290, "0"},
    {"$INSUNITS", 70, "4"},
    {"$HYPERLINKBASE", 1, ""},
    {"$STYLESHEET", 1, ""},
    {"$XEDIT", 290, "1"},
    {"$CEPSNTYPE", 380, "0"},
    {"$PSTYLEMODE", 290, "1"},
    {"$FINGERPRINTGUID", 2, "{4F0C9A3E-6B21-4D8A-9C3F-2E7B5A1D8C60}"},
    {"$VERSIONGUID", 2, "{B7E2D415-93A0-4C6F-8E12-5D9F0A3C7B48}"},
    {"$EXTNAMES", 290, "1"},
    {"$PSVPSCALE", 40, "0.0"},
    {"$OLESTARTUP", 290, "0"},
};

// Table and dictionary handles AutoCAD gives every new drawing.
constexpr std::uint64_t kBlockRecordTable = 0x1;
constexpr std::uint64_t kLayerTable = 0x2;
constexpr std::uint64_t kStyleTable = 0x3;
constexpr std::uint64_t kLtypeTable = 0x5;
constexpr std::uint64_t kViewTable = 0x6;
constexpr std::uint64_t kUcsTable = 0x7;
constexpr std::uint64_t kVportTable = 0x8;
constexpr std::uint64_t kAppidTable = 0x9;
constexpr std::uint64_t kDimstyleTable = 0xA;
constexpr std::uint64_t kRootDict = 0xC;
constexpr std::uint64_t kGroupDict = 0xD;
constexpr std::uint64_t kPlotStyleDict = 0xE;
constexpr std::uint64_t kNormalPlaceholder = 0xF;

constexpr std::string_view kAppName = "DXFLIST_BENCH";
constexpr std::int64_t kDrawingWidth = 84100 * kOne;
constexpr std::int64_t kDrawingHeight = 59400 * kOne;

class Generator {
  public:
    Generator(Writer& out, std::uint64_t target) : out_(out), target_(target) {
        layout_dict_ = next_handle_++;
        mline_dict_ = next_handle_++;
        bench_dict_ = next_handle_++;
        bench_xrecord_ = next_handle_++;
        // $HANDSEED comes first in the file but must exceed every handle used later; no entity
        // is shorter than 64 bytes, so this bound always holds.
        handseed_ = 0x10000 + target_ / 64;
    }

    // Returns the number of entities in the ENTITIES section.
    std::uint64_t run() {
        out_.str(999, "dxflist benchmark drawing, generated by dxflist-gen-bench");
        header();
        classes();
        tables();
        blocks();
        const std::uint64_t count = entities();
        objects();
        out_.str(0, "EOF");
        return count;
    }

    bool handles_fit() const { return next_handle_ <= handseed_; }

  private:
    void begin_section(std::string_view name) {
        out_.str(0, "SECTION");
        out_.str(2, name);
    }

    void header() {
        begin_section("HEADER");
        for (const HeaderVar& var : kHeader) {
            out_.str(9, var.name);
            if (var.code == 5) {
                out_.handle(5, handseed_);
            } else if (var.code == 10) {
                std::string_view rest = var.value;
                for (int code = 10; !rest.empty(); code += 10) {
                    const std::size_t space = rest.find(' ');
                    out_.str(code, rest.substr(0, space));
                    rest = space == std::string_view::npos ? std::string_view{}
                                                           : rest.substr(space + 1);
                }
            } else if (is_int_code(var.code)) {
                std::int64_t v = 0;
                std::from_chars(var.value.data(), var.value.data() + var.value.size(), v);
                out_.integer(var.code, v);
            } else {
                out_.str(var.code, var.value);
            }
        }
        out_.str(0, "ENDSEC");
    }

    void classes() {
        struct ClassDef {
            std::string_view dxf_name, cpp_name, app;
        };
        static constexpr ClassDef kClasses[] = {
            {"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault", "ObjectDBX Classes"},
            {"ACDBPLACEHOLDER", "AcDbPlaceHolder", "ObjectDBX Classes"},
            {"LAYOUT", "AcDbLayout", "ObjectDBX Classes"},
            {"DICTIONARYVAR", "AcDbDictionaryVar", "ObjectDBX Classes"},
            {"SORTENTSTABLE", "AcDbSortentsTable", "ObjectDBX Classes"},
        };
        begin_section("CLASSES");
        for (const ClassDef& c : kClasses) {
            out_.str(0, "CLASS");
            out_.str(1, c.dxf_name);
            out_.str(2, c.cpp_name);
            out_.str(3, c.app);
            out_.integer(90, 0);
            out_.integer(280, 0);
            out_.integer(281, 0);
        }
        out_.str(0, "ENDSEC");
    }

    void begin_table(std::string_view name, std::uint64_t h, std::int64_t count) {
        out_.str(0, "TABLE");
        out_.str(2, name);
        out_.handle(5, h);
        out_.handle(330, 0);
        out_.str(100, "AcDbSymbolTable");
        out_.integer(70, count);
    }

    void begin_record(std::string_view type, std::uint64_t table, std::string_view subclass,
                      std::string_view name, int handle_code = 5) {
        out_.str(0, type);
        out_.handle(handle_code, next_handle_++);
        out_.handle(330, table);
        out_.str(100, "AcDbSymbolTableRecord");
        out_.str(100, subclass);
        out_.str(2, name);
        out_.integer(70, 0);
    }

    void tables() {
        begin_section("TABLES");
        vport_table();
        ltype_table();
        layer_table();
        style_table();

        begin_table("VIEW", kViewTable, 1);
        begin_record("VIEW", kViewTable, "AcDbViewTableRecord", "\x90\xb3\x96\xca");  // 正面
        out_.real(40, 29700 * kOne);
        out_.real(10, 42050 * kOne);
        out_.real(20, 29700 * kOne);
        out_.real(41, 42050 * kOne);
        out_.real(11, 0);
        out_.real(21, 0);
        out_.real(31, kOne);
        out_.real(12, 0);
        out_.real(22, 0);
        out_.real(32, 0);
        out_.real(42, 50 * kOne);
        out_.real(43, 0);
        out_.real(44, 0);
        out_.real(50, 0);
        out_.integer(71, 0);
        out_.str(0, "ENDTAB");

        begin_table("UCS", kUcsTable, 0);
        out_.str(0, "ENDTAB");

        constexpr std::string_view kApps[] = {"ACAD", "ACAD_PSEXT", kAppName};
        begin_table("APPID", kAppidTable, std::size(kApps));
        for (std::string_view app : kApps)
            begin_record("APPID", kAppidTable, "AcDbRegAppTableRecord", app);
        out_.str(0, "ENDTAB");

        dimstyle_table();
        block_record_table();
        out_.str(0, "ENDSEC");
    }

    void vport_table() {
        begin_table("VPORT", kVportTable, 1);
        begin_record("VPORT", kVportTable, "AcDbViewportTableRecord", "*Active");
        const std::pair<int, std::int64_t> reals[] = {
            {10, 0},
            {20, 0},
            {11, kOne},
            {21, kOne},
            {12, 42050 * kOne},
            {22, 29700 * kOne},
            {13, 0},
            {23, 0},
            {14, 10 * kOne},
            {24, 10 * kOne},
            {15, 10 * kOne},
            {25, 10 * kOne},
            {16, 0},
            {26, 0},
            {36, kOne},
            {17, 0},
            {27, 0},
            {37, 0},
            {40, 59400 * kOne},
            {41, 14158},
            {42, 50 * kOne},
            {43, 0},
            {44, 0},
            {50, 0},
            {51, 0},
        };
        for (const auto& [code, v] : reals) out_.real(code, v);
        const std::pair<int, std::int64_t> ints[] = {
            {71, 0}, {72, 1000}, {73, 1}, {74, 3},  {75, 0},
            {76, 0}, {77, 0},    {78, 0}, {281, 0}, {65, 1},
        };
        for (const auto& [code, v] : ints) out_.integer(code, v);
        const std::pair<int, std::int64_t> ucs[] = {
            {110, 0}, {120, 0}, {130, 0},    {111, kOne}, {121, 0},
            {131, 0}, {112, 0}, {122, kOne}, {132, 0},
        };
        for (const auto& [code, v] : ucs) out_.real(code, v);
        out_.integer(79, 0);
        out_.real(146, 0);
        out_.str(0, "ENDTAB");
    }

    void ltype_table() {
        struct Dash {
            std::string_view name, description;
            std::int64_t a, b;  // dash and gap, 0 for solid
        };
        static constexpr Dash kTypes[] = {
            {"ByBlock", "", 0, 0},
            {"ByLayer", "", 0, 0},
            {"Continuous", "Solid line", 0, 0},
            {"DASHED", "\x94\x6a\x90\xfc __ __ __ __", 5000, -2500},           // 破線
            {"CENTER", "\x92\x86\x90\x53\x90\xfc ____ _ ____", 12500, -2500},  // 中心線
            {"HIDDEN", "\x89\x42\x82\xea\x90\xfc _ _ _ _", 2500, -1250},       // 隠れ線
        };
        begin_table("LTYPE", kLtypeTable, std::size(kTypes));
        for (const Dash& t : kTypes) {
            begin_record("LTYPE", kLtypeTable, "AcDbLinetypeTableRecord", t.name);
            out_.str(3, t.description);
            out_.integer(72, 65);
            out_.integer(73, t.a == 0 ? 0 : 2);
            out_.real(40, t.a == 0 ? 0 : t.a - t.b);
            if (t.a != 0) {
                for (std::int64_t len : {t.a, t.b}) {
                    out_.real(49, len);
                    out_.integer(74, 0);
                }
            }
        }
        out_.str(0, "ENDTAB");
    }

    void layer_table() {
        layers_ = {"0", "Defpoints"};
        for (std::string_view base : kLayerBases) layers_.emplace_back(base);
        for (int n = 1; layers_.size() < 320; ++n) {
            for (std::string_view base : kLayerBases) {
                std::string name(base);
                name += '-';
                if (n < 10) name += '0';
                name += std::to_string(n);
                layers_.push_back(std::move(name));
            }
        }
        begin_table("LAYER", kLayerTable, static_cast<std::int64_t>(layers_.size()));
        for (const std::string& name : layers_) {
            out_.str(0, "LAYER");
            out_.handle(5, next_handle_++);
            out_.handle(330, kLayerTable);
            out_.str(100, "AcDbSymbolTableRecord");
            out_.str(100, "AcDbLayerTableRecord");
            out_.str(2, name);
            if (name == "0" || name == "Defpoints") {
                out_.integer(70, 0);
                out_.integer(62, 7);
                out_.str(6, "Continuous");
                if (name == "Defpoints") out_.integer(290, 0);  // never plotted
                out_.integer(370, -3);
            } else {
                const std::uint64_t r = rng_.below(100);
                out_.integer(70, r < 4 ? 1 : r < 7 ? 4 : 0);  // a few frozen or locked
                const auto colour = static_cast<std::int64_t>(1 + rng_.below(255));
                out_.integer(62, rng_.chance(5) ? -colour : colour);  // negative = layer off
                out_.str(6,
                         rng_.chance(80) ? std::string_view{"Continuous"} : rng_.pick(kLinetypes));
                out_.integer(370, rng_.pick(kLineweights));
            }
            out_.handle(390, kNormalPlaceholder);
        }
        out_.str(0, "ENDTAB");
    }

    void style_table() {
        struct Style {
            std::string_view name, font, bigfont;
        };
        static constexpr Style kStyles[] = {
            {"Standard", "txt", "extfont2.shx"},
            {"\x83\x53\x83\x56\x83\x62\x83\x4e", "msgothic.ttc", ""},  // ゴシック
            {"\x96\xbe\x92\xa9", "msmincho.ttc", ""},                  // 明朝
            {"ROMANS", "romans.shx", "bigfont.shx"},
        };
        begin_table("STYLE", kStyleTable, std::size(kStyles));
        for (const Style& s : kStyles) {
            begin_record("STYLE", kStyleTable, "AcDbTextStyleTableRecord", s.name);
            out_.real(40, 0);
            out_.real(41, kOne);
            out_.real(50, 0);
            out_.integer(71, 0);
            out_.real(42, 2 * kOne + 5000);
            out_.str(3, s.font);
            out_.str(4, s.bigfont);
        }
        out_.str(0, "ENDTAB");
    }

    void dimstyle_table() {
        begin_table("DIMSTYLE", kDimstyleTable, 2);
        out_.str(100, "AcDbDimStyleTable");
        for (std::string_view name : {"Standard", "ISO-25"}) {
            // DIMSTYLE records carry their handle in group 105, not 5.
            begin_record("DIMSTYLE", kDimstyleTable, "AcDbDimStyleTableRecord", name, 105);
            out_.str(3, "");
            out_.real(41, 2 * kOne + 5000);
            out_.real(42, 6250);
            out_.real(43, 3 * kOne + 7500);
            out_.real(44, kOne + 2500);
            out_.real(140, 2 * kOne + 5000);
            out_.real(141, 2 * kOne + 5000);
            out_.real(147, 6250);
            out_.integer(77, 1);
            out_.integer(271, 2);
            out_.integer(278, 46);
        }
        out_.str(0, "ENDTAB");
    }

    void block_record_table() {
        begin_table("BLOCK_RECORD", kBlockRecordTable,
                    static_cast<std::int64_t>(2 + std::size(kUserBlocks)));
        auto record = [&](std::string_view name) {
            out_.str(0, "BLOCK_RECORD");
            const std::uint64_t h = next_handle_++;
            out_.handle(5, h);
            out_.handle(330, kBlockRecordTable);
            out_.str(100, "AcDbSymbolTableRecord");
            out_.str(100, "AcDbBlockTableRecord");
            out_.str(2, name);
            return h;
        };
        model_space_ = record("*Model_Space");
        paper_space_ = record("*Paper_Space");
        for (const BlockDef& b : kUserBlocks) block_records_.push_back(record(b.name));
        out_.str(0, "ENDTAB");
    }

    void blocks() {
        begin_section("BLOCKS");
        in_block_ = true;
        block("*Model_Space", model_space_, 0, false);
        block("*Paper_Space", paper_space_, 0, true);
        for (std::size_t i = 0; i < std::size(kUserBlocks); ++i)
            block(kUserBlocks[i].name, block_records_[i], kUserBlocks[i].entities, false);
        in_block_ = false;
        out_.str(0, "ENDSEC");
    }

    void block(std::string_view name, std::uint64_t record, int count, bool paper) {
        out_.str(0, "BLOCK");
        out_.handle(5, next_handle_++);
        out_.handle(330, record);
        out_.str(100, "AcDbEntity");
        if (paper) out_.integer(67, 1);
        out_.str(8, "0");
        out_.str(100, "AcDbBlockBegin");
        out_.str(2, name);
        out_.integer(70, 0);
        out_.real(10, 0);
        out_.real(20, 0);
        out_.real(30, 0);
        out_.str(3, name);
        out_.str(1, "");
        for (int i = 0; i < count; ++i) {
            // No INSERTs inside blocks, so no block can contain itself.
            switch (rng_.below(5)) {
                case 0:
                    line(record);
                    break;
                case 1:
                    circle(record);
                    break;
                case 2:
                    arc(record);
                    break;
                case 3:
                    text(record);
                    break;
                default:
                    lwpolyline(record);
                    break;
            }
        }
        out_.str(0, "ENDBLK");
        out_.handle(5, next_handle_++);
        out_.handle(330, record);
        out_.str(100, "AcDbEntity");
        if (paper) out_.integer(67, 1);
        out_.str(8, "0");
        out_.str(100, "AcDbBlockEnd");
    }

    std::uint64_t entities() {
        begin_section("ENTITIES");
        std::uint64_t count = 0;
        while (out_.size() < target_) {
            const std::uint64_t r = rng_.below(100);
            if (r < 38) {
                line(model_space_);
            } else if (r < 52) {
                lwpolyline(model_space_);
            } else if (r < 62) {
                circle(model_space_);
            } else if (r < 72) {
                arc(model_space_);
            } else if (r < 84) {
                text(model_space_);
            } else if (r < 88) {
                mtext(model_space_);
            } else if (r < 95) {
                insert(model_space_);
            } else {
                point(model_space_);
            }
            if (rng_.chance(2)) xdata();
            ++count;
        }
        out_.str(0, "ENDSEC");
        return count;
    }

    void objects() {
        begin_section("OBJECTS");
        out_.str(0, "DICTIONARY");
        out_.handle(5, kRootDict);
        out_.handle(330, 0);
        out_.str(100, "AcDbDictionary");
        out_.integer(281, 1);
        const std::pair<std::string_view, std::uint64_t> entries[] = {
            {"ACAD_GROUP", kGroupDict},       {"ACAD_LAYOUT", layout_dict_},
            {"ACAD_MLINESTYLE", mline_dict_}, {"ACAD_PLOTSTYLENAME", kPlotStyleDict},
            {kAppName, bench_dict_},
        };
        for (const auto& [key, h] : entries) {
            out_.str(3, key);
            out_.handle(350, h);
        }

        for (std::uint64_t h : {kGroupDict, layout_dict_, mline_dict_, bench_dict_}) {
            begin_object("DICTIONARY", h, kRootDict);
            out_.str(100, "AcDbDictionary");
            out_.integer(281, 1);
            if (h == bench_dict_) {
                out_.str(3, "\x90\x7d\x96\xca\x8f\xee\x95\xf1");  // 図面情報
                out_.handle(350, bench_xrecord_);
            }
        }

        begin_object("ACDBDICTIONARYWDFLT", kPlotStyleDict, kRootDict);
        out_.str(100, "AcDbDictionary");
        out_.integer(281, 1);
        out_.str(3, "Normal");
        out_.handle(350, kNormalPlaceholder);
        out_.str(100, "AcDbDictionaryWithDefault");
        out_.handle(340, kNormalPlaceholder);

        begin_object("ACDBPLACEHOLDER", kNormalPlaceholder, kPlotStyleDict);

        begin_object("XRECORD", bench_xrecord_, bench_dict_);
        out_.str(100, "AcDbXrecord");
        out_.integer(280, 1);
        out_.str(1, "\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x95\x5c\x8e\xa6");  // 株式会社 表示
        out_.real(10, 42050 * kOne);
        out_.real(20, 29700 * kOne);
        out_.real(30, 0);
        out_.real(40, 100 * kOne);
        out_.integer(70, 3);
        out_.integer(90, 20240101);
        out_.str(0, "ENDSEC");
    }

    void begin_object(std::string_view type, std::uint64_t h, std::uint64_t owner) {
        out_.str(0, type);
        out_.handle(5, h);
        out_.str(102, "{ACAD_REACTORS");
        out_.handle(330, owner);
        out_.str(102, "}");
        out_.handle(330, owner);
    }

    // Drawing coordinates, in whole millimetres 40% of the time, as hand-entered values are.
    std::int64_t coord(std::int64_t limit) {
        const std::int64_t span = in_block_ ? 1000 * kOne : limit;
        std::int64_t v = rng_.range(in_block_ ? -span : 0, span);
        if (rng_.chance(40)) v -= v % kOne;
        return v;
    }
    std::int64_t offset(std::int64_t max_units) {
        const std::int64_t span = (in_block_ ? max_units / 5 : max_units) * kOne;
        return rng_.range(-span, span);
    }
    std::int64_t angle() { return rng_.range(0, 360 * kOne - 1); }

    void begin_entity(std::string_view type, std::uint64_t owner, std::string_view subclass) {
        out_.str(0, type);
        out_.handle(5, next_handle_++);
        out_.handle(330, owner);
        out_.str(100, "AcDbEntity");
        if (in_block_) {
            out_.str(8, "0");
            if (rng_.chance(30)) out_.integer(62, 0);  // ByBlock
        } else {
            // Skip "0" and "Defpoints" so most entities land on named layers.
            out_.str(8, layers_[2 + rng_.below(layers_.size() - 2)]);
            if (rng_.chance(8)) out_.str(6, rng_.pick(kLinetypes));
            if (rng_.chance(15)) out_.integer(62, static_cast<std::int64_t>(1 + rng_.below(255)));
            if (rng_.chance(5)) out_.integer(370, rng_.pick(kLineweights));
        }
        out_.str(100, subclass);
    }

    void point3(int code, std::int64_t x, std::int64_t y) {
        out_.real(code, x);
        out_.real(code + 10, y);
        out_.real(code + 20, 0);
    }

    // Draws x before y in separate statements: the evaluation order of function arguments
    // differs between compilers, and with it the output.
    void random_point() {
        const std::int64_t x = coord(kDrawingWidth);
        const std::int64_t y = coord(kDrawingHeight);
        point3(10, x, y);
    }

    void line(std::uint64_t owner) {
        begin_entity("LINE", owner, "AcDbLine");
        const std::int64_t x = coord(kDrawingWidth);
        const std::int64_t y = coord(kDrawingHeight);
        point3(10, x, y);
        // Mostly horizontal or vertical, as in building plans.
        const std::uint64_t r = rng_.below(10);
        const std::int64_t dx = r < 4 ? offset(5000) : r < 8 ? 0 : offset(3000);
        const std::int64_t dy = r < 4 ? 0 : r < 8 ? offset(5000) : offset(3000);
        point3(11, x + dx, y + dy);
    }

    void circle(std::uint64_t owner) {
        begin_entity("CIRCLE", owner, "AcDbCircle");
        random_point();
        out_.real(40, rng_.range(10 * kOne, 1500 * kOne));
    }

    void arc(std::uint64_t owner) {
        begin_entity("ARC", owner, "AcDbCircle");
        random_point();
        out_.real(40, rng_.range(10 * kOne, 1500 * kOne));
        out_.str(100, "AcDbArc");
        const std::int64_t start = angle();
        out_.real(50, start);
        out_.real(51, (start + rng_.range(kOne, 270 * kOne)) % (360 * kOne));
    }

    void point(std::uint64_t owner) {
        begin_entity("POINT", owner, "AcDbPoint");
        random_point();
    }

    void lwpolyline(std::uint64_t owner) {
        begin_entity("LWPOLYLINE", owner, "AcDbPolyline");
        const auto n = static_cast<std::int64_t>(2 + rng_.below(11));
        const bool closed = n > 2 && rng_.chance(60);
        out_.integer(90, n);
        out_.integer(70, closed ? 1 : 0);
        out_.real(43, 0);
        // Each segment moves along one axis, staying within 4000 of the first vertex.
        const std::int64_t x0 = coord(kDrawingWidth);
        const std::int64_t y0 = coord(kDrawingHeight);
        std::int64_t x = x0, y = y0;
        for (std::int64_t i = 0; i < n; ++i) {
            out_.real(10, x);
            out_.real(20, y);
            if (rng_.chance(10)) out_.real(42, rng_.chance(50) ? 4142 : -kOne);
            if (i % 2 == 0)
                x = x0 + offset(4000);
            else
                y = y0 + offset(4000);
        }
    }

    void append_number(std::string& s, std::uint64_t v) {
        char d[24];
        s.append(d, std::to_chars(d, d + sizeof d, v).ptr);
    }

    void make_text() {
        text_.clear();
        switch (rng_.below(8)) {
            case 0:
            case 1:
                text_ = rng_.pick(kPhrases);
                break;
            case 2:
                text_ = rng_.pick(kPhrases);
                text_ += ' ';
                append_number(text_, 100 + rng_.below(900));
                break;
            case 3:
                text_ = rng_.pick(kAsciiWords);
                text_ += ' ';
                append_number(text_, 1 + rng_.below(999));
                break;
            case 4:
                text_ = "%%c";  // diameter sign
                append_number(text_, 50 + rng_.below(950));
                break;
            case 5:
                text_ = kScaleWord;
                text_ += " 1:";
                append_number(text_, static_cast<std::uint64_t>(rng_.pick(kScales)));
                break;
            case 6:
                append_number(text_, rng_.below(90));
                text_ += "%%d ";  // degree sign
                text_ += rng_.pick(kPhrases);
                break;
            default:
                text_ = rng_.pick(kPhrases);
                text_ += rng_.pick(kPhrases);
                break;
        }
    }

    void text(std::uint64_t owner) {
        begin_entity("TEXT", owner, "AcDbText");
        random_point();
        out_.real(40, rng_.pick(kTextHeights));
        make_text();
        out_.str(1, text_);
        if (rng_.chance(20)) out_.real(50, rng_.chance(50) ? 90 * kOne : angle());
        if (rng_.chance(30)) out_.str(7, "\x83\x53\x83\x56\x83\x62\x83\x4e");  // ゴシック
        out_.str(100, "AcDbText");
    }

    void mtext(std::uint64_t owner) {
        begin_entity("MTEXT", owner, "AcDbMText");
        random_point();
        out_.real(40, rng_.pick(kTextHeights));
        out_.real(41, rng_.range(1000 * kOne, 8000 * kOne));
        out_.integer(71, static_cast<std::int64_t>(1 + rng_.below(9)));
        out_.integer(72, 5);

        // Whole pieces only, so a chunk never splits a double-byte character.
        cuts_.clear();
        const std::size_t want = rng_.chance(15) ? 300 + rng_.below(600) : 1;
        text_ = "{\\fMS Gothic|b0|i0|c128|p49;";
        text_ += rng_.pick(kPhrases);
        text_ += "}";
        cuts_.push_back(text_.size());
        while (text_.size() < want || cuts_.size() < 2) {
            text_ += "\\P";
            text_ += rng_.pick(kPhrases);
            if (rng_.chance(30)) {
                text_ += ' ';
                append_number(text_, rng_.below(10000));
            }
            cuts_.push_back(text_.size());
        }
        // All but the last chunk of a long text go in group 3, at most 250 bytes each.
        std::size_t start = 0;
        std::size_t last_cut = 0;
        for (std::size_t cut : cuts_) {
            if (cut - start > 250) {
                out_.str(3, std::string_view(text_).substr(start, last_cut - start));
                start = last_cut;
            }
            last_cut = cut;
        }
        out_.str(1, std::string_view(text_).substr(start));
        if (rng_.chance(50)) out_.str(7, "Standard");
        out_.integer(73, 1);
        out_.real(44, kOne);
    }

    void insert(std::uint64_t owner) {
        begin_entity("INSERT", owner, "AcDbBlockReference");
        out_.str(2, kUserBlocks[rng_.below(std::size(kUserBlocks))].name);
        random_point();
        if (rng_.chance(25)) {
            const std::int64_t s = rng_.chance(50) ? -kOne : 5000 * rng_.range(1, 4);
            out_.real(41, s);
            out_.real(42, s < 0 ? kOne : s);
            out_.real(43, kOne);
        }
        if (rng_.chance(40)) out_.real(50, 90 * kOne * rng_.range(1, 3));
    }

    void xdata() {
        out_.str(1001, kAppName);
        out_.str(1000, rng_.pick(kPhrases));
        out_.str(1002, "{");
        out_.integer(1070, static_cast<std::int64_t>(rng_.below(1000)));
        out_.real(1040, rng_.range(0, 1000 * kOne));
        out_.str(1002, "}");
    }

    Writer& out_;
    Rng rng_{kSeed};
    std::uint64_t target_;
    std::uint64_t next_handle_ = 0x10;
    std::uint64_t handseed_ = 0;
    std::uint64_t layout_dict_ = 0, mline_dict_ = 0, bench_dict_ = 0, bench_xrecord_ = 0;
    std::uint64_t model_space_ = 0, paper_space_ = 0;
    std::vector<std::uint64_t> block_records_;
    std::vector<std::string> layers_;
    bool in_block_ = false;
    std::string text_;
    std::vector<std::size_t> cuts_;
};

int usage() {
    std::fputs("usage: dxflist-gen-bench OUT.dxf SIZE_MB [crlf|lf]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return usage();

    std::string_view eol = "\r\n";
    if (argc == 4) {
        const std::string_view mode = argv[3];
        if (mode == "lf")
            eol = "\n";
        else if (mode != "crlf")
            return usage();
    }

    const std::string_view size_arg = argv[2];
    double mb = -1;
    const auto parsed = std::from_chars(size_arg.data(), size_arg.data() + size_arg.size(), mb);
    if (parsed.ec != std::errc{} || parsed.ptr != size_arg.data() + size_arg.size() ||
        !(mb >= 0 && mb <= 1e6)) {
        std::fprintf(stderr, "dxflist-gen-bench: SIZE_MB must be a number from 0 to 1000000\n");
        return usage();
    }
    const auto target = static_cast<std::uint64_t>(std::llround(mb * 1e6));

    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "dxflist-gen-bench: cannot create %s: %s\n", argv[1],
                     std::strerror(errno));
        return 1;
    }
    // Our own buffer already batches the writes; a second copy through stdio would only cost.
    std::setvbuf(file, nullptr, _IONBF, 0);

    Writer out(file, eol);
    Generator gen(out, target);
    const std::uint64_t count = gen.run();
    out.flush();
    const bool closed = std::fclose(file) == 0;
    if (!out.ok() || !closed) {
        std::fprintf(stderr, "dxflist-gen-bench: error writing %s\n", argv[1]);
        return 1;
    }
    if (!gen.handles_fit()) {
        std::fprintf(stderr, "dxflist-gen-bench: internal error: $HANDSEED bound too small\n");
        return 1;
    }
    std::printf("%s: %llu bytes, %llu entities\n", argv[1],
                static_cast<unsigned long long>(out.size()),
                static_cast<unsigned long long>(count));
    return 0;
}
