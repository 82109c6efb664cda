#include "resources/Resources.h"

#include "platform/gfx/DeviceScale.h"

#include <cctype>

namespace tolvar {

namespace {

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

const EmbeddedPicture* FindById(std::span<const EmbeddedPicture> table, int id)
{
    if (id <= 0) {
        return nullptr;
    }
    for (const EmbeddedPicture& p : table) {
        if (p.id == id) {
            return &p;
        }
    }
    return nullptr;
}

gfx::Bitmap Decode(const EmbeddedPicture* picture, std::span<const EmbeddedPicture> table,
                   std::span<const EmbeddedPicture> at2x)
{
    if (!picture) {
        return {};
    }
    // Shown from the built-in pixels, copied only if something draws into
    // them: the start copied over a megabyte of skin it only ever read.
    gfx::Bitmap bitmap = gfx::Bitmap::View(picture->width, picture->height, picture->pixels);
    const auto index = static_cast<std::size_t>(picture - table.data());
    if (gfx::DeviceScale() == 2 && index < at2x.size()) {
        const EmbeddedPicture& detail = at2x[index];
        if (detail.id == picture->id && std::string_view(detail.name) == picture->name &&
            detail.width == 2 * picture->width && detail.height == 2 * picture->height) {
            // The same for the detail: a few megabytes at this density.
            bitmap.SetDetail(gfx::Bitmap::View(detail.width, detail.height, detail.pixels));
        }
    }
    return bitmap;
}

} // namespace

const EmbeddedPicture* FindBitmapResource(int id)
{
    return FindById(BitmapResources(), id);
}

const EmbeddedPicture* FindBitmapResource(std::string_view name)
{
    if (name.empty()) {
        return nullptr;
    }
    for (const EmbeddedPicture& p : BitmapResources()) {
        if (p.id == 0 && SameName(p.name, name)) {
            return &p;
        }
    }
    return nullptr;
}

const EmbeddedPicture* FindIconResource(int id)
{
    return FindById(IconResources(), id);
}

gfx::Bitmap LoadBitmapResource(int id)
{
    return Decode(FindBitmapResource(id), BitmapResources(), BitmapResourcesAt2x());
}
gfx::Bitmap LoadBitmapResource(std::string_view name)
{
    return Decode(FindBitmapResource(name), BitmapResources(), BitmapResourcesAt2x());
}
gfx::Bitmap LoadIconResource(int id)
{
    return Decode(FindIconResource(id), IconResources(), IconResourcesAt2x());
}

} // namespace tolvar
