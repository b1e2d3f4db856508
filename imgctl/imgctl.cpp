// The image library over libvips.
//
// A handle keeps the open source file and a lazy libvips pipeline. Nothing is
// decoded when ToDIB returns: the first resize knows the target size and
// reloads the JPEG with the largest DCT scaling (1/2, 1/4, 1/8) whose result
// still covers the target, so a 24-megapixel photo is never held in memory at
// full size on the album path.
//
// That scaled reload is done by libjpeg itself on the whole file in memory
// when the result is small (see decodeScaled); libvips does the rest.
#include "imgctl/imgctl.h"

#include "platform/atomic_file.h"
#include "platform/paths.h"

#include <vips/vips.h>
#include <vips/vector.h>

#include <cstdio>  // before jpeglib.h, which uses FILE
#include <jpeglib.h>
#include <jerror.h>
#include <csetjmp>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// Larger pictures are refused outright: a forged header must not make us
// stream gigapixels or allocate for them.
constexpr long long kMaxPixels = 1LL << 28;  // 268 megapixels
// The largest side a JPEG file can carry.
constexpr int kMaxJpegSide = 65500;
// Results up to this size are kept decoded in memory after encoding, so the
// same handle can be resized again (a smaller copy) without decoding the
// source a second time.
constexpr long long kKeepDecodedPixels = 4LL << 20;
// Turning needs the whole picture at once; this bounds that memory.
constexpr long long kMaxTurnPixels = 64LL << 20;

// One reference to a libvips object, released on scope exit.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : m_p(p) {}
    ~Ref() { reset(); }
    Ref(Ref&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            reset();
            m_p = o.m_p;
            o.m_p = nullptr;
        }
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void reset() {
        if (m_p) g_object_unref(m_p);
        m_p = nullptr;
    }
    // For libvips' output arguments.
    T** out() {
        reset();
        return &m_p;
    }

private:
    T* m_p = nullptr;
};

using ImageRef = Ref<VipsImage>;
using SourceRef = Ref<VipsSource>;

// libvips loads its format modules (HEIF, PDF, ImageMagick, JPEG XL,
// OpenSlide) from the library folder under VIPSHOME at start. This library
// reads and writes JPEG only, which is built into libvips itself; the modules
// would cost some 30 ms at every start and put their loaders' sniffers in
// front of every file we open. So unless the user has set VIPSHOME, point it
// at this library's own folder, where no modules are. libvips sets the
// variable itself in vips_init when it is unset, on whichever thread decodes
// first; setting it here, once, when the library is loaded, takes that
// write away from the moment other threads are at work (a host loads the
// library before it starts its own threads).
__attribute__((constructor)) void keepVipsModulesOut() {
    if (std::getenv("VIPSHOME")) return;
    ::setenv("VIPSHOME", platform::moduleFolder(reinterpret_cast<const void*>(&keepVipsModulesOut)).c_str(), 0);
}

bool startVips() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        if (vips_init("imgctl") != 0) return;
        // The operation cache would keep decoded pictures alive after their
        // handle is gone; every call here works on fresh inputs anyway.
        vips_cache_set_max(0);
        // Callers parallelise across pictures (one picture per thread), which
        // scales better than threads inside one small pipeline. VIPS_CONCURRENCY
        // still overrides.
        if (!std::getenv("VIPS_CONCURRENCY")) vips_concurrency_set(1);
        // No run-time compiled loops (liborc): liborc 0.4.33 frees compiled
        // code without taking its lock, and a vertical reduce compiles a
        // program per resize and frees it when the pipeline goes. Two
        // threads dropping their pipelines at once corrupted the heap
        // (SIGSEGV in orc_code_free, "corrupted double-linked list").
        // libvips' plain C loops do the same work.
        vips_vector_set_enabled(FALSE);
        ok = true;
    });
    return ok;
}

// Why a call failed (see GetLastFailure).
struct Failure {
    int code = 0;          // errno of a file-system failure, or 0
    bool corrupt = false;  // the data is not a decodable JPEG picture
    std::string text;
};

// The calling thread's last failure, whatever the call.
thread_local std::optional<Failure> t_lastFailure;

// libvips keeps one error text for the whole process. It is taken (and
// cleared) right after the call that failed; when several pictures fail at
// the same moment, a text may also name a neighbour's failure.
std::string takeVipsError() {
    char* copy = vips_error_buffer_copy();
    std::string text = copy ? copy : "";
    g_free(copy);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Whether libvips' text comes from reading the JPEG data itself (libjpeg's
// messages, which libvips passes on under its JPEG loader's name), rather
// than from memory or the operations after it.
bool fromJpegDecoder(const std::string& text) {
    return text.find("VipsJpeg") != std::string::npos || text.find("jpegload") != std::string::npos ||
           text.find("VipsForeignLoad") != std::string::npos;
}

Failure systemFailure(int code, const std::string& what) {
    return {code, false, what + ": " + std::generic_category().message(code)};
}

Failure usageFailure(const std::string& what) { return {EINVAL, false, what}; }

// A failure inside libvips; the text is libvips' own. corrupt says whether
// the step can fail only through the picture's data, otherwise the text
// decides.
Failure vipsFailure(const char* step, bool decoding) {
    std::string text = takeVipsError();
    const bool corrupt = decoding || fromJpegDecoder(text);
    if (text.empty()) text = std::string(step) + " failed";
    return {0, corrupt, std::move(text)};
}

struct Dib {
    Dib() = default;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    ~Dib() {
        if (fd >= 0) ::close(fd);
    }

    std::mutex mutex;
    int fd = -1;           // the open file, for the scaled decode from memory
    SourceRef source;      // the open file, for reloading at a smaller scale
    ImageRef image;        // the current picture, possibly still a lazy pipeline
    bool pristine = true;  // image is the plain full-size load of source
    bool spent = false;    // a streamed pipeline was consumed and cannot run again
    std::optional<Failure> failure;  // the last failure of a call on this handle
};

// Records the failure for the calling thread and, when there is one, for
// the handle (whose mutex the caller holds); returns the 0 of a failed call.
int fail(Failure f, Dib* dib = nullptr) {
    if (dib) dib->failure = f;
    t_lastFailure = std::move(f);
    return 0;
}

class HandleTable {
public:
    int32_t add(std::shared_ptr<Dib> dib) {
        std::lock_guard lock(m_mutex);
        for (;;) {
            const int32_t h = m_next;
            m_next = m_next == INT32_MAX ? 1 : m_next + 1;
            if (m_map.emplace(h, dib).second) return h;
        }
    }
    std::shared_ptr<Dib> find(int32_t h) {
        std::lock_guard lock(m_mutex);
        const auto it = m_map.find(h);
        return it == m_map.end() ? nullptr : it->second;
    }
    // A call still working on the handle keeps its own reference; the picture
    // goes when that call ends.
    void remove(int32_t h) {
        std::shared_ptr<Dib> gone;
        std::lock_guard lock(m_mutex);
        const auto it = m_map.find(h);
        if (it == m_map.end()) return;
        gone = std::move(it->second);
        m_map.erase(it);
    }

private:
    std::mutex m_mutex;
    std::unordered_map<int32_t, std::shared_ptr<Dib>> m_map;
    int32_t m_next = 1;
};

HandleTable& table() {
    static HandleTable* t = new HandleTable;  // never destroyed: handles may outlive static destruction
    return *t;
}

long long pixels(const VipsImage* im) { return static_cast<long long>(im->Xsize) * im->Ysize; }

ImageRef loadJpeg(VipsSource* source, VipsAccess access, int shrink) {
    ImageRef im;
    if (vips_source_rewind(source) != 0) return {};
    if (vips_jpegload_source(source, im.out(), "access", access, "shrink", shrink, "fail_on",
                             VIPS_FAIL_ON_TRUNCATED, nullptr) != 0)
        return {};
    return im;
}

// The DCT scaling to decode at: as much as the target allows, that is the
// smallest decoded size that is still at least the target. Decoding is what
// an album run spends its time on, and a 1/8 decode (the average of each
// 8 x 8 block, a box filter of the right width) followed by the resampling
// kernel looks as clean at album sizes as a 1/4 decode does.
int jpegShrinkFor(int w, int h, int tw, int th) {
    const double factor = std::min(double(w) / tw, double(h) / th);
    for (int s : {8, 4, 2})
        if (factor >= s) return s;
    return 1;
}

// The scaled decode of the album path, done by libjpeg on the whole file in
// memory. libvips hands libjpeg its input 4 KB at a time, and libjpeg takes
// its fast Huffman decoder only while several KB are buffered ahead, so
// through libvips most of a photo is decoded on the slow path; from memory
// the same decode takes about a seventh less time, and decoding is where an
// album run spends its time. The pixels are those of libvips' own load at
// the same scale (libvips uses the same libjpeg with the same settings).
// Only the common cases are taken here: an RGB or grey picture whose file
// and result are small. Anything else, and any failure, returns nothing and
// leaves the picture to libvips, so this path never decides that a picture
// is unusable.
constexpr long long kMaxDirectFileBytes = 64LL << 20;

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool truncated;
};

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

// Warnings are not printed. A file that ends early is refused, as libvips
// does for the other loads here (fail on truncation); damaged data inside a
// complete file is decoded as well as it goes.
void jpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<JpegErrors*>(cinfo->err)->truncated = true;
}

// Kept free of C++ objects with destructors: libjpeg's errors leave it by
// longjmp. Returns a new memory image, or nullptr.
VipsImage* decodeJpegMemory(const unsigned char* data, unsigned long size, int shrink) {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = jpegErrorExit;
    errors.pub.emit_message = jpegMessage;
    errors.truncated = false;
    VipsImage* volatile image = nullptr;
    JOCTET* volatile icc = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (image) g_object_unref(image);
        std::free(icc);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);  // the colour profile, if any
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) jpegErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE && cinfo.num_components == 1;
    const bool colour = (cinfo.jpeg_color_space == JCS_YCbCr || cinfo.jpeg_color_space == JCS_RGB) &&
                        cinfo.num_components == 3;
    if (!grey && !colour) jpegErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));  // CMYK and the like: libvips
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(shrink);
    jpeg_calc_output_dimensions(&cinfo);
    if (static_cast<long long>(cinfo.output_width) * cinfo.output_height > kKeepDecodedPixels)
        jpegErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
    JOCTET* iccData = nullptr;
    unsigned iccLength = 0;
    if (jpeg_read_icc_profile(&cinfo, &iccData, &iccLength)) icc = iccData;

    jpeg_start_decompress(&cinfo);
    image = vips_image_new_memory();
    vips_image_init_fields(image, int(cinfo.output_width), int(cinfo.output_height), cinfo.output_components,
                           VIPS_FORMAT_UCHAR, VIPS_CODING_NONE,
                           grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB, 1.0, 1.0);
    if (vips_image_write_prepare(image) != 0) jpegErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = VIPS_IMAGE_ADDR(image, 0, cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    if (errors.truncated) jpegErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
    jpeg_destroy_decompress(&cinfo);
    if (icc) {
        vips_image_set_blob_copy(image, VIPS_META_ICC_NAME, icc, iccLength);
        std::free(icc);
    }
    // As libvips marks its own sequential loads: its resamplers then work in
    // strips instead of tiles, which halves the cost of the thumbnail made
    // from the enlarged picture.
    vips_image_set_int(image, VIPS_META_SEQUENTIAL, 1);
    return image;
}

// Reads the whole open file and decodes it at 1/shrink; nothing when the
// file is large or the decode is left to libvips.
ImageRef decodeScaled(int fd, int shrink) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 4 ||
        st.st_size > kMaxDirectFileBytes)
        return {};
    const auto size = static_cast<std::size_t>(st.st_size);
    // One buffer per thread, reused from picture to picture: fresh pages for
    // every photo would cost a page fault per 4 KB. A buffer grown for an
    // unusually large file is not kept.
    constexpr std::size_t kKeptBufferBytes = 16u << 20;
    thread_local std::unique_ptr<unsigned char[]> buffer;
    thread_local std::size_t capacity = 0;
    if (capacity < size) {
        buffer.reset();
        capacity = 0;
        buffer.reset(new (std::nothrow) unsigned char[size]);
        if (!buffer) return {};
        capacity = size;
    }
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, buffer.get() + got, size - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the file was cut short meanwhile: decode what is there
        got += static_cast<std::size_t>(n);
    }
    ImageRef image(decodeJpegMemory(buffer.get(), static_cast<unsigned long>(got), shrink));
    if (capacity > kKeptBufferBytes) {
        buffer.reset();
        capacity = 0;
    }
    return image;
}

// Resamples to exactly tw x th. libvips rounds the output size itself; a
// one-pixel disagreement is settled by repeating the edge.
ImageRef resampleTo(VipsImage* in, int tw, int th) {
    ImageRef out;
    const double hs = double(tw) / in->Xsize;
    const double vs = double(th) / in->Ysize;
    if (vips_resize(in, out.out(), hs, "vscale", vs, "kernel", VIPS_KERNEL_LANCZOS3, nullptr) != 0) return {};
    if (out->Xsize == tw && out->Ysize == th) return out;
    ImageRef exact;
    if (vips_embed(out.get(), exact.out(), 0, 0, tw, th, "extend", VIPS_EXTEND_COPY, nullptr) != 0) return {};
    return exact;
}

// What a browser shows correctly without metadata: 8-bit sRGB (or grey),
// no alpha. Pictures with their own colour profile are converted to sRGB,
// since the profile itself is not written.
ImageRef forJpeg(VipsImage* in) {
    ImageRef cur(in);
    g_object_ref(in);
    if (vips_image_hasalpha(cur.get())) {
        ImageRef flat;
        VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
        const int r = vips_flatten(cur.get(), flat.out(), "background", white, nullptr);
        vips_area_unref(VIPS_AREA(white));
        if (r != 0) return {};
        cur = std::move(flat);
    }
    if (vips_image_get_typeof(cur.get(), VIPS_META_ICC_NAME)) {
        ImageRef srgb;
        if (vips_icc_transform(cur.get(), srgb.out(), "srgb", "embedded", TRUE, "depth", 8, nullptr) == 0) {
            cur = std::move(srgb);
        } else {
            vips_error_clear();  // a broken profile: keep the pixels as they are
        }
    }
    const VipsInterpretation want =
        cur->Bands < 3 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB;
    if (vips_image_guess_interpretation(cur.get()) != want || cur->BandFmt != VIPS_FORMAT_UCHAR) {
        ImageRef conv;
        if (vips_colourspace(cur.get(), conv.out(), want, nullptr) != 0) return {};
        cur = std::move(conv);
        if (cur->BandFmt != VIPS_FORMAT_UCHAR) {
            ImageRef cast;
            if (vips_cast_uchar(cur.get(), cast.out(), nullptr) != 0) return {};
            cur = std::move(cast);
        }
    }
    return cur;
}

// Hands libvips' encoded bytes to the file, which keeps the errno of a
// write that failed (libvips would only report it as text).
gint64 writeToFile(VipsTargetCustom*, const void* data, gint64 length, void* user) {
    auto* file = static_cast<platform::AtomicFile*>(user);
    if (file->write({static_cast<const char*>(data), static_cast<std::size_t>(length)})) return -1;
    return length;
}

// Encodes into a temporary file beside the destination and renames it over
// the destination: a failure at any point leaves the destination as it was.
// A link standing at the destination is replaced, never written through.
std::optional<Failure> writeJpegFile(VipsImage* im, const std::string& dest, int quality, bool smallest) {
    platform::AtomicFile file;
    if (const std::error_code ec = file.open(dest)) return systemFailure(ec.value(), dest);
    Ref<VipsTargetCustom> target(vips_target_custom_new());
    if (!target) return vipsFailure("vips_target_custom_new", false);
    g_signal_connect(target.get(), "write", G_CALLBACK(writeToFile), &file);
    // 4:2:0 at every quality: libvips would switch to 4:4:4 from quality 90
    // on, which makes the enlarged pictures about a third larger for colour
    // detail that photographs hardly have and that web pages do not need.
    const bool encoded = vips_jpegsave_target(im, VIPS_TARGET(target.get()), "Q", quality, "strip", TRUE,
                                              "optimize_coding", smallest ? TRUE : FALSE, "subsample_mode",
                                              VIPS_FOREIGN_SUBSAMPLE_ON, nullptr) == 0;
    target.reset();
    if (!encoded) {
        // The picture is read while it is encoded: what failed is the write
        // of the file or the decode of the source.
        if (const std::error_code ec = file.error()) {
            vips_error_clear();
            return systemFailure(ec.value(), dest);
        }
        return vipsFailure("vips_jpegsave_target", false);
    }
    if (const std::error_code ec = file.commit()) return systemFailure(ec.value(), dest);
    return std::nullopt;
}

bool validTarget(long long w, long long h) { return w >= 1 && h >= 1 && w <= kMaxJpegSide && h <= kMaxJpegSide && w * h <= kMaxPixels; }

}  // namespace

extern "C" {

int32_t ToDIB(const char* path) {
    if (!path || !*path) return fail(usageFailure("ToDIB: no file name"));
    if (!startVips()) return fail(vipsFailure("vips_init", false));
    // Non-blocking, so that a FIFO under a picture's name cannot stall us.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(systemFailure(errno, path));
    struct stat st {};
    const int statError = ::fstat(fd, &st) != 0 ? errno : 0;
    if (statError || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (statError) return fail(systemFailure(statError, path));
        if (S_ISDIR(st.st_mode)) return fail(systemFailure(EISDIR, path));
        return fail({0, false, std::string(path) + ": not a regular file"});
    }
    auto dib = std::make_shared<Dib>();
    dib->source = SourceRef(vips_source_new_from_descriptor(fd));  // keeps its own duplicate
    dib->fd = fd;
    if (!dib->source) return fail(vipsFailure("vips_source_new_from_descriptor", false));
    // JPEG only: the program hands nothing else, and a picture of another
    // kind behind a .jpg name is not what the album expects.
    const char* loader = vips_foreign_find_load_source(dib->source.get());
    if (!loader || std::strcmp(loader, "VipsForeignLoadJpegSource") != 0) {
        vips_error_clear();
        return fail({0, true, std::string(path) + ": not a JPEG file"});
    }
    dib->image = loadJpeg(dib->source.get(), VIPS_ACCESS_SEQUENTIAL, 1);
    if (!dib->image) return fail(vipsFailure("vips_jpegload_source", true));
    if (!validTarget(dib->image->Xsize, dib->image->Ysize))
        return fail({0, false, std::string(path) + ": picture too large (" + std::to_string(dib->image->Xsize) +
                                   " x " + std::to_string(dib->image->Ysize) + ")"});
    return table().add(std::move(dib));
}

int32_t ResizeDIB(int32_t handle, int32_t width, int32_t height) {
    const auto dib = table().find(handle);
    if (!dib) return fail(usageFailure("ResizeDIB: unknown handle"));
    std::lock_guard lock(dib->mutex);
    if (dib->spent) return fail(usageFailure("ResizeDIB: the picture was streamed and is gone"), dib.get());
    if ((width < 1 && width != -1) || (height < 1 && height != -1) || (width == -1 && height == -1))
        return fail(usageFailure("ResizeDIB: invalid size"), dib.get());
    const int w = dib->image->Xsize;
    const int h = dib->image->Ysize;
    const long long tw = width > 0 ? width : std::max(1LL, std::llround(double(height) * w / h));
    const long long th = height > 0 ? height : std::max(1LL, std::llround(double(width) * h / w));
    if (!validTarget(tw, th)) return fail(usageFailure("ResizeDIB: invalid size"), dib.get());
    if (tw == w && th == h) return 1;

    ImageRef in;
    const int shrink = dib->pristine ? jpegShrinkFor(w, h, int(tw), int(th)) : 1;
    if (shrink > 1) {
        in = decodeScaled(dib->fd, shrink);
        if (!in) in = loadJpeg(dib->source.get(), VIPS_ACCESS_SEQUENTIAL, shrink);
        if (!in) return fail(vipsFailure("vips_jpegload_source", true), dib.get());
    } else {
        in = ImageRef(dib->image.get());
        g_object_ref(in.get());
    }
    ImageRef out = resampleTo(in.get(), int(tw), int(th));
    if (!out) return fail(vipsFailure("vips_resize", false), dib.get());
    dib->image = std::move(out);
    dib->pristine = false;
    return 1;
}

int32_t TurnDIB(int32_t handle, int32_t angle) {
    VipsAngle a;
    switch (angle) {
        case 90: a = VIPS_ANGLE_D90; break;  // clockwise, a right turn
        case 180: a = VIPS_ANGLE_D180; break;
        case 270: a = VIPS_ANGLE_D270; break;
        default: a = VIPS_ANGLE_LAST; break;
    }
    const auto dib = table().find(handle);
    if (!dib) return fail(usageFailure("TurnDIB: unknown handle"));
    std::lock_guard lock(dib->mutex);
    if (a == VIPS_ANGLE_LAST) return fail(usageFailure("TurnDIB: angle not 90, 180 or 270"), dib.get());
    if (dib->spent) return fail(usageFailure("TurnDIB: the picture was streamed and is gone"), dib.get());
    if (pixels(dib->image.get()) > kMaxTurnPixels)
        return fail({ENOMEM, false, "TurnDIB: picture too large to turn"}, dib.get());
    // A turn reads the picture out of order, which a streamed pipeline
    // cannot do: decode it whole first (libvips puts very large pictures in
    // a temporary file rather than in memory).
    ImageRef whole;
    if (dib->pristine) {
        whole = loadJpeg(dib->source.get(), VIPS_ACCESS_RANDOM, 1);
    } else {
        whole = ImageRef(vips_image_copy_memory(dib->image.get()));  // a memory picture is only referenced
    }
    if (!whole) return fail(vipsFailure("decode", dib->pristine), dib.get());
    ImageRef out;
    if (vips_rot(whole.get(), out.out(), a, nullptr) != 0) return fail(vipsFailure("vips_rot", false), dib.get());
    dib->image = std::move(out);
    dib->pristine = false;
    return 1;
}

int32_t MirrorDIB(int32_t handle) {
    const auto dib = table().find(handle);
    if (!dib) return fail(usageFailure("MirrorDIB: unknown handle"));
    std::lock_guard lock(dib->mutex);
    if (dib->spent) return fail(usageFailure("MirrorDIB: the picture was streamed and is gone"), dib.get());
    if (pixels(dib->image.get()) > kMaxTurnPixels)
        return fail({ENOMEM, false, "MirrorDIB: picture too large to mirror"}, dib.get());
    // Held whole, as for a turn: the copies are small by now, and a
    // pipeline that was consumed could not be read a second time.
    ImageRef whole;
    if (dib->pristine) {
        whole = loadJpeg(dib->source.get(), VIPS_ACCESS_RANDOM, 1);
    } else {
        whole = ImageRef(vips_image_copy_memory(dib->image.get()));
    }
    if (!whole) return fail(vipsFailure("decode", dib->pristine), dib.get());
    ImageRef out;
    if (vips_flip(whole.get(), out.out(), VIPS_DIRECTION_HORIZONTAL, nullptr) != 0)
        return fail(vipsFailure("vips_flip", false), dib.get());
    dib->image = std::move(out);
    dib->pristine = false;
    return 1;
}

int32_t DIBtoJPG(const char* path, int32_t handle, int32_t quality, int32_t encoderFlag) {
    const auto dib = table().find(handle);
    if (!dib) return fail(usageFailure("DIBtoJPG: unknown handle"));
    std::lock_guard lock(dib->mutex);
    if (!path || !*path) return fail(usageFailure("DIBtoJPG: no file name"), dib.get());
    if (quality < 1 || quality > 100) return fail(usageFailure("DIBtoJPG: quality not in 1..100"), dib.get());
    if (dib->spent) return fail(usageFailure("DIBtoJPG: the picture was streamed and is gone"), dib.get());

    const bool keep = pixels(dib->image.get()) <= kKeepDecodedPixels;
    if (keep) {
        ImageRef mem(vips_image_copy_memory(dib->image.get()));
        if (!mem) return fail(vipsFailure("decode", false), dib.get());
        dib->image = std::move(mem);
        dib->pristine = false;
    }
    std::optional<Failure> failure;
    ImageRef ready = forJpeg(dib->image.get());
    if (!ready) failure = vipsFailure("colour conversion", false);
    else failure = writeJpegFile(ready.get(), path, quality, encoderFlag != 0);
    ready.reset();
    if (!keep) {
        // The stream has been read; a full-size load can start over from
        // the file, anything derived from it cannot.
        if (dib->pristine) {
            dib->image = loadJpeg(dib->source.get(), VIPS_ACCESS_SEQUENTIAL, 1);
            if (!dib->image) {
                dib->spent = true;
                vips_error_clear();
            }
        } else {
            dib->spent = true;
        }
    }
    if (failure) return fail(std::move(*failure), dib.get());
    return 1;
}

void DeleteDIB(int32_t handle) { table().remove(handle); }

int32_t GetLastFailure(int32_t handle, int32_t* code, int32_t* corrupt, char* text, int32_t capacity) {
    std::optional<Failure> f;
    if (handle == 0) {
        f = t_lastFailure;
    } else if (const auto dib = table().find(handle)) {
        std::lock_guard lock(dib->mutex);
        f = dib->failure;
    }
    if (code) *code = f ? f->code : 0;
    if (corrupt) *corrupt = f && f->corrupt ? 1 : 0;
    const std::string none;
    const std::string& t = f ? f->text : none;
    if (text && capacity > 0) {
        const std::size_t n = std::min(t.size(), static_cast<std::size_t>(capacity) - 1);
        std::memcpy(text, t.data(), n);
        text[n] = '\0';
    }
    if (!f) return 0;
    return static_cast<int32_t>(std::min<std::size_t>(t.size() + 1, INT32_MAX));
}

}  // extern "C"
