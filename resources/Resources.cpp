#include "resources/Resources.h"

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

gfx::Bitmap Decode(const EmbeddedPicture* picture)
{
    if (!picture) {
        return {};
    }
    return gfx::Bitmap::FromPixels(picture->width, picture->height, picture->pixels);
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
    return Decode(FindBitmapResource(id));
}
gfx::Bitmap LoadBitmapResource(std::string_view name)
{
    return Decode(FindBitmapResource(name));
}
gfx::Bitmap LoadIconResource(int id)
{
    return Decode(FindIconResource(id));
}

} // namespace tolvar
