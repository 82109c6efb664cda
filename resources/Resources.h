#pragma once

#include "platform/gfx/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tolvar {

// A PNG built into the program, found by its resource id or, for pictures
// known by name ("WEBU", "BTNOKD"), by that name (id 0). Its pixels were
// decoded when the program was built.
struct EmbeddedPicture
{
    int id;
    const char* name;
    const unsigned char* data; // the PNG
    std::size_t size;
    const std::uint32_t* pixels; // width * height, as gfx::Bitmap holds them
    int width;
    int height;
};

std::span<const EmbeddedPicture> BitmapResources();
std::span<const EmbeddedPicture> IconResources();
// The same pictures drawn at twice the detail, in the same order.
std::span<const EmbeddedPicture> BitmapResourcesAt2x();
std::span<const EmbeddedPicture> IconResourcesAt2x();

// Null when there is no such resource. Names compare without regard to case,
// as resource names do.
const EmbeddedPicture* FindBitmapResource(int id);
const EmbeddedPicture* FindBitmapResource(std::string_view name);
const EmbeddedPicture* FindIconResource(int id);

// The decoded picture, or a null bitmap (IsNull()) when the resource is
// missing or cannot be decoded: callers treat that as "not loaded". On a
// screen of device scale 2 it carries its 2x drawing as its detail.
gfx::Bitmap LoadBitmapResource(int id);
gfx::Bitmap LoadBitmapResource(std::string_view name);
gfx::Bitmap LoadIconResource(int id);

} // namespace tolvar
