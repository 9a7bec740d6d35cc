// The image importer over real files that the ffmpeg command makes from known pixels: exact
// for lossless formats, within a tolerance for JPEG; damaged files give no image.
#include "toolbox/ImageIO.h"

#include "MediaFiles.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

constexpr int kW = 16, kH = 12;

// Four solid quadrants: red, green, blue, white.
std::vector<UInt8> QuadrantRGB() {
    std::vector<UInt8> rgb;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            int q = (y >= kH / 2) * 2 + (x >= kW / 2);
            const UInt8 colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            rgb.insert(rgb.end(), colours[q], colours[q] + 3);
        }
    return rgb;
}

// Writes pixels of the given size and ffmpeg pixel format as an image file whose kind the
// name's extension tells.
std::string MakeImage(const mediafiles::TempDir& dir, const std::string& name,
                      const std::vector<UInt8>& pixels, int w, int h, const std::string& format = "rgb24") {
    std::string raw = dir / "in.raw";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size()));
    std::string out = dir / name;
    EXPECT_TRUE(mediafiles::Ffmpeg("-f rawvideo -pix_fmt " + format + " -s " + std::to_string(w) + "x" +
                                   std::to_string(h) + " -i '" + raw + "' -frames:v 1 -q:v 2 '" + out + "'"));
    return out;
}

std::string MakeImage(const mediafiles::TempDir& dir, const std::string& name) {
    return MakeImage(dir, name, QuadrantRGB(), kW, kH);
}

CGImageRef ImageAt(const std::string& path) {
    CFStringRef text = CFStringCreateWithCString(nullptr, ("file://" + path).c_str(), kCFStringEncodingUTF8);
    CFURLRef url = CFURLCreateWithString(nullptr, text, nullptr);
    CFRelease(text);
    CGImageSourceRef source = CGImageSourceCreateWithURL(url, nullptr);
    CFRelease(url);
    CGImageRef image =
        CGImageSourceGetCount(source) ? CGImageSourceCreateImageAtIndex(source, 0, nullptr) : nullptr;
    CFRelease(source);
    return image;
}

// The image's pixels (alpha, red, green, blue), rows packed.
std::vector<UInt8> Argb(CGImageRef image) {
    std::vector<UInt8> out;
    const UInt8* px = toolbox::CGImagePixels(image);
    for (size_t y = 0; y < CGImageGetHeight(image); ++y)
        out.insert(out.end(), px + y * CGImageGetBytesPerRow(image),
                   px + y * CGImageGetBytesPerRow(image) + 4 * CGImageGetWidth(image));
    return out;
}

std::vector<UInt8> Opaque(const std::vector<UInt8>& rgb) {
    std::vector<UInt8> argb;
    for (size_t i = 0; i < rgb.size(); i += 3)
        argb.insert(argb.end(), {255, rgb[i], rgb[i + 1], rgb[i + 2]});
    return argb;
}

// Rows far shorter than the converters' vector blocks too: every byte must land in its place,
// and nothing may be written past the image (the guard-page run of these tests checks that).
// GIF's encoder maps colours onto its palette: it is compared with what the ffmpeg command
// decodes.
TEST(ImageImport, EachLosslessFormatDecodesExactlyAtEverySize) {
    mediafiles::TempDir dir;
    const std::pair<int, int> sizes[] = {{1, 1}, {3, 2}, {5, 3}, {8, 6}, {17, 5}, {kW, kH}};
    for (auto [w, h] : sizes) {
        std::vector<UInt8> rgb(size_t(w * h * 3));
        for (size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = UInt8(i * 37 + 11);
        for (std::string kind : {"png", "bmp", "tiff", "gif"}) {
            std::string what = kind + " " + std::to_string(w) + "x" + std::to_string(h);
            std::string path = MakeImage(dir, "t." + kind, rgb, w, h);
            CGImageRef image = ImageAt(path);
            ASSERT_NE(image, nullptr) << what;
            ASSERT_EQ(CGImageGetWidth(image), size_t(w)) << what;
            ASSERT_EQ(CGImageGetHeight(image), size_t(h)) << what;
            EXPECT_EQ(Argb(image), kind == "gif" ? mediafiles::DecodeArgb(path) : Opaque(rgb)) << what;
            CGImageRelease(image);
        }
    }
}

// JPEG blurs colour across the quadrants' edges; it is judged away from them.
TEST(ImageImport, JpegDecodesWithinATolerance) {
    mediafiles::TempDir dir;
    CGImageRef image = ImageAt(MakeImage(dir, "a.jpg"));
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(CGImageGetWidth(image), size_t(kW));
    ASSERT_EQ(CGImageGetHeight(image), size_t(kH));
    const std::vector<UInt8> got = Argb(image), expected = Opaque(QuadrantRGB());
    int worst = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            if (std::abs(2 * x - kW + 1) < 6 || std::abs(2 * y - kH + 1) < 6) continue;
            for (size_t c = 0; c < 4; ++c) {
                const size_t i = size_t(y * kW + x) * 4 + c;
                worst = std::max(worst, std::abs(int(got[i]) - int(expected[i])));
            }
        }
    EXPECT_LE(worst, 40);
    CGImageRelease(image);
}

// A half-transparent pixel is premultiplied, rounded, in the importer's image, and laid over
// white in its picture.
TEST(ImageImport, ImporterPremultipliesImagesAndLaysPicturesOverWhite) {
    mediafiles::TempDir dir;
    FSSpec spec;
    ASSERT_EQ(toolbox::FSSpecFromPath(MakeImage(dir, "alpha.png", {200, 100, 1, 128}, 1, 1, "rgba"), &spec),
              noErr);
    GraphicsImportComponent gi = nullptr;
    ASSERT_EQ(GetGraphicsImporterForFile(&spec, &gi), noErr);
    CGImageRef image = nullptr;
    ASSERT_EQ(GraphicsImportCreateCGImage(gi, &image, kGraphicsImportCreateCGImageUsingCurrentSettings),
              noErr);
    const std::vector<UInt8> premultiplied{0x80, (200 * 128 + 127) / 255, (100 * 128 + 127) / 255, 1};
    EXPECT_EQ(Argb(image), premultiplied);
    CGImageRelease(image);
    PicHandle picture = nullptr;
    ASSERT_EQ(GraphicsImportGetAsPicture(gi, &picture), noErr);
    CloseComponent(gi);
    GWorldPtr gw = nullptr;
    const Rect one{0, 0, 1, 1};
    ASSERT_EQ(NewGWorld(&gw, 32, &one, nullptr, nullptr, 0), noErr);
    {
        SavedGWorldRec saved;
        SetGWorld(gw, nullptr);
        DrawPicture(picture, &one);
    }
    const UInt8* px = reinterpret_cast<const UInt8*>(GetPixBaseAddr(GetGWorldPixMap(gw)));
    EXPECT_EQ(std::vector<UInt8>(px, px + 4),
              (std::vector<UInt8>{255, UInt8(premultiplied[1] + 127), UInt8(premultiplied[2] + 127), 128}));
    DisposeGWorld(gw);
    KillPicture(picture);
}

TEST(ImageImport, MissingForeignTruncatedDamagedAndTooWideFilesGiveNoImage) {
    mediafiles::TempDir dir;
    av_log_set_level(AV_LOG_QUIET); // the decoders describe every damaged file

    EXPECT_EQ(ImageAt(dir / "missing.png"), nullptr);
    std::ofstream(dir / "text.png") << "not an image at all";
    EXPECT_EQ(ImageAt(dir / "text.png"), nullptr);
    FSSpec spec;
    toolbox::FSSpecFromPath(dir / "text.png", &spec);
    GraphicsImportComponent gi = reinterpret_cast<GraphicsImportComponent>(1);
    EXPECT_EQ(GetGraphicsImporterForFile(&spec, &gi), noCodecErr);
    EXPECT_EQ(gi, nullptr);

    // Every prefix of each file decodes or fails cleanly; the signature alone gives nothing.
    for (const char* name : {"b.png", "b.bmp", "b.gif", "b.jpg", "b.tiff"}) {
        const std::string file = mediafiles::ReadAll(MakeImage(dir, name));
        std::vector<UInt8> bytes(file.begin(), file.end());
        ASSERT_FALSE(bytes.empty());
        for (size_t n = 0; n < bytes.size(); n += 1 + n / 16) {
            std::vector<UInt8> prefix(bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
            CGImageRelease(toolbox::DecodeImageData(prefix));
        }
        EXPECT_EQ(toolbox::DecodeImageData(std::span(bytes.data(), std::min<size_t>(bytes.size(), 8))),
                  nullptr)
            << name;
        // Damage the middle of the file.
        for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 16 && i < bytes.size(); ++i)
            bytes[i] ^= 0xA5;
        CGImageRelease(toolbox::DecodeImageData(bytes));
    }
    // Images wider than a buffer.
    for (int width : {4095, 4096}) {
        const std::string path = dir / (std::to_string(width) + ".png");
        ASSERT_TRUE(mediafiles::Ffmpeg("-f lavfi -i color=c=red:s=" + std::to_string(width) +
                                       "x2 -frames:v 1 '" + path + "'"));
        CGImageRef image = ImageAt(path);
        EXPECT_EQ(image != nullptr, width < 4096) << width;
        CGImageRelease(image);
    }
}

} // namespace
