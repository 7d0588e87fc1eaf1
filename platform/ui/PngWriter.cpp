#include "platform/ui/PngWriter.h"

#include <cairo.h>

#include <cstring>
#include <fstream>
#include <memory>

namespace plat::ui {

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// The image as a surface of the library's; null when it cannot be made.
Surface ToSurface(const RgbImage& image)
{
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() < count)
        return nullptr;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const auto stride = static_cast<size_t>(cairo_image_surface_get_stride(surface.get()));
    const size_t rowBytes = static_cast<size_t>(image.width) * sizeof(uint32_t);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(data + static_cast<size_t>(y) * stride,
                    image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width), rowBytes);
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::vector<uint8_t> EncodePng(const RgbImage& image)
{
    std::vector<uint8_t> bytes;
    Surface surface = ToSurface(image);
    if (!surface || cairo_surface_write_to_png_stream(surface.get(), AppendBytes, &bytes) != CAIRO_STATUS_SUCCESS)
        return {};
    return bytes;
}

bool WritePng(const RgbImage& image, const std::string& path)
{
    const std::vector<uint8_t> bytes = EncodePng(image);
    if (bytes.empty())
        return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace plat::ui
